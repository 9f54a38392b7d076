#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "config/daemon_config.hpp"

namespace kelvane::admin {

// The topic list served at /catalog, copied once when the endpoint starts; later
// configuration changes do not reach it.
struct CatalogSnapshot {
  static constexpr std::string_view kService = "kelvane-ws-bridged";
  static constexpr std::string_view kVersion = "1.0.0-rc.1";

  std::vector<config::TopicConfig> topics;

  // {"service":…,"version":…,"topics":[{"name":…,"type":…,"direction":…,"ws_path":…,
  //  "qos":{"reliability":…,"durability":…,"history_depth":N}},…]} without white space,
  // topics in configuration order.
  [[nodiscard]] std::string render_json() const;
};

}  // namespace kelvane::admin
