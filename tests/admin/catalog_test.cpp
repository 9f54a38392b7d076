#include <gtest/gtest.h>

#include "admin/catalog.hpp"

namespace kelvane::admin {
namespace {

TEST(Catalog, WithoutTopics) {
  EXPECT_EQ(CatalogSnapshot{}.render_json(), R"({"service":"kelvane-ws-bridged","version":"1.0.0-rc.1","topics":[]})");
}

TEST(Catalog, TopicsInConfigurationOrderWithEscapes) {
  CatalogSnapshot catalog;
  catalog.topics.push_back({"sen\"sor\x01", "", "in", "/topics/sensor", "", "", 0});
  catalog.topics.push_back({"z::Cmd", "pkg::Cmd", "bidir", "/c\\d\n", "reliable", "transient_local", 4294967295u});
  EXPECT_EQ(catalog.render_json(),
            R"({"service":"kelvane-ws-bridged","version":"1.0.0-rc.1","topics":[)"
            R"({"name":"sen\"sor\u0001","type":"","direction":"in","ws_path":"/topics/sensor",)"
            R"("qos":{"reliability":"","durability":"","history_depth":0}},)"
            R"({"name":"z::Cmd","type":"pkg::Cmd","direction":"bidir","ws_path":"/c\\d\n",)"
            R"("qos":{"reliability":"reliable","durability":"transient_local","history_depth":4294967295}}]})");
}

}  // namespace
}  // namespace kelvane::admin
