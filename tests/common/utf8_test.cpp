#include "common/utf8.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace kelvane {
namespace {

std::vector<std::uint8_t> bytes_of(std::string_view text) { return {text.begin(), text.end()}; }

struct Utf8Case {
  const char* name;
  std::string_view bytes;
  std::optional<Utf8Error> error;
  std::string_view lossy;
};

class Utf8 : public ::testing::TestWithParam<Utf8Case> {};

TEST_P(Utf8, ValidatesAndReplaces) {
  const auto& c = GetParam();
  EXPECT_EQ(find_utf8_error(bytes_of(c.bytes)), c.error);
  EXPECT_EQ(is_valid_utf8(c.bytes), !c.error.has_value());
  EXPECT_EQ(utf8_lossy(bytes_of(c.bytes)), c.lossy);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Utf8,
    ::testing::Values(
        Utf8Case{"ascii", "hello", std::nullopt, "hello"},
        Utf8Case{"multibyte", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", std::nullopt,
                 "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"},
        Utf8Case{"stray_continuation", "a\x80z", Utf8Error{1, 1}, "a\xEF\xBF\xBDz"},
        Utf8Case{"invalid_lead", "ab\xFF", Utf8Error{2, 1}, "ab\xEF\xBF\xBD"},
        Utf8Case{"overlong_two_byte", "\xC0\xAF", Utf8Error{0, 1}, "\xEF\xBF\xBD\xEF\xBF\xBD"},
        Utf8Case{"overlong_three_byte", "\xE0\x80\x80", Utf8Error{0, 1},
                 "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
        Utf8Case{"surrogate", "\xED\xA0\x80", Utf8Error{0, 1}, "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
        Utf8Case{"above_max", "\xF4\x90\x80\x80", Utf8Error{0, 1},
                 "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
        Utf8Case{"broken_third_byte", "x\xE2\x82(", Utf8Error{1, 2}, "x\xEF\xBF\xBD("},
        Utf8Case{"broken_fourth_byte", "\xF0\x9F\x98z", Utf8Error{0, 3}, "\xEF\xBF\xBDz"},
        Utf8Case{"truncated_at_end", "ok\xF0\x9F\x98", Utf8Error{2, std::nullopt}, "ok\xEF\xBF\xBD"}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(Utf8Describe, StandardTexts) {
  EXPECT_EQ(describe(Utf8Error{3, 1}), "invalid utf-8 sequence of 1 bytes from index 3");
  EXPECT_EQ(describe(Utf8Error{0, 2}), "invalid utf-8 sequence of 2 bytes from index 0");
  EXPECT_EQ(describe(Utf8Error{7, std::nullopt}), "incomplete utf-8 byte sequence from index 7");
}

}  // namespace
}  // namespace kelvane
