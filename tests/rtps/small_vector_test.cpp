#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rtps/small_vector.hpp"

namespace kelvane::rtps {
namespace {

std::vector<std::string> items(const SmallVector<std::string, 3>& v) { return {v.begin(), v.end()}; }

TEST(SmallVector, KeepsOrderAcrossTheSpillAndThroughCopiesAndMoves) {
  for (const std::size_t n : {0U, 2U, 3U, 4U, 9U}) {
    SmallVector<std::string, 3> v;
    std::vector<std::string> expected;
    for (std::size_t i = 0; i < n; ++i) {
      // Long enough to live on the heap, so a double destruction or leak shows under ASan.
      expected.push_back("element number " + std::to_string(i) + " with a long tail");
      v.push_back(expected.back());
    }
    EXPECT_EQ(items(v), expected) << n;
    SmallVector<std::string, 3> copy = v;
    EXPECT_EQ(items(copy), expected);
    SmallVector<std::string, 3> moved = std::move(copy);
    EXPECT_EQ(items(moved), expected);
    EXPECT_TRUE(copy.empty());  // NOLINT(bugprone-use-after-move): moved-from is cleared by design
    SmallVector<std::string, 3> assigned;
    assigned.push_back("old");
    assigned = moved;
    EXPECT_EQ(items(assigned), expected);
    assigned = std::move(moved);
    EXPECT_EQ(items(assigned), expected);
    assigned.clear();
    assigned.push_back("again");
    EXPECT_EQ(items(assigned), std::vector<std::string>{"again"});
  }
}

}  // namespace
}  // namespace kelvane::rtps
