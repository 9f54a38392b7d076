#include <gtest/gtest.h>

#include <cstdlib>
#include <string_view>

#include "config/env.hpp"

namespace kelvane::config {
namespace {

// Sets the variables for one test and removes them afterwards.
class EnvExpansion : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("KVL_TEST_PORT", "9001", 1);
    ::setenv("KVL_TEST_EMPTY", "", 1);
    ::setenv("KVL_TEST_SPECIAL", "a # \"b\"\nc: d", 1);
    ::setenv("KVL_TEST_LATIN1", "\xe9t\xe9", 1);
    ::unsetenv("KVL_TEST_UNSET");
  }
  void TearDown() override {
    for (const char* name : {"KVL_TEST_PORT", "KVL_TEST_EMPTY", "KVL_TEST_SPECIAL", "KVL_TEST_LATIN1"}) {
      ::unsetenv(name);
    }
  }
};

TEST_F(EnvExpansion, References) {
  const struct {
    std::string_view in;
    std::string_view out;
  } cases[] = {
      {"port: ${KVL_TEST_PORT}", "port: 9001"},
      {"port: ${KVL_TEST_PORT:-8080}", "port: 9001"},
      {"port: ${KVL_TEST_UNSET:-8080}", "port: 8080"},
      {"port: ${KVL_TEST_EMPTY:-8080}", "port: "},  // empty counts as set
      {"port: ${KVL_TEST_UNSET}!", "port: !"},      // unset, no default: nothing
      {"${KVL_TEST_LATIN1:-fallback}", "fallback"},  // not UTF-8 counts as unset
      {"${KVL_TEST_LATIN1}", ""},
      {"$KVL_TEST_PORT and $ and $$", "$KVL_TEST_PORT and $ and $$"},
      {"${KVL_TEST_PORT", "${KVL_TEST_PORT"},  // no closing brace: literal
      {"end ${", "end ${"},                     // nothing after the brace
      {"${}", ""},
      {"${:-only default}", "only default"},
      {"${KVL_TEST_UNSET:-a:-b}", "a:-b"},  // split at the first ":-"
      // References do not nest: the default ends at the first '}'.
      {"${KVL_TEST_UNSET:-${KVL_TEST_PORT}}", "${KVL_TEST_PORT}"},
      {"${KVL_TEST_UNSET:-x}}", "x}"},
      {"${KVL_TEST_PORT}${KVL_TEST_PORT}", "90019001"},
      {"${KVL_TEST_SPECIAL}", "a # \"b\"\nc: d"},
      {"${A=B:-eq}", "eq"},
      {"gr\xc3\xbc\xc3\x9f ${KVL_TEST_UNSET:-\xe2\x80\x94}", "gr\xc3\xbc\xc3\x9f \xe2\x80\x94"},
  };
  for (const auto& c : cases) EXPECT_EQ(expand_env_vars(c.in), c.out) << c.in;
}

}  // namespace
}  // namespace kelvane::config
