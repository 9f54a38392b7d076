#include <gtest/gtest.h>

#include <cerrno>

#include "common/os_error.hpp"

namespace kelvane {
namespace {

TEST(OsErrorText, DescriptionFollowedByNumber) {
  EXPECT_EQ(os_error_text(ENOENT), "No such file or directory (os error 2)");
  EXPECT_EQ(os_error_text(EADDRINUSE), "Address already in use (os error 98)");
  // An unknown number still names itself.
  EXPECT_TRUE(os_error_text(99999).ends_with(" (os error 99999)"));
}

}  // namespace
}  // namespace kelvane
