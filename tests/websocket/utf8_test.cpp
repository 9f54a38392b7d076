#include "websocket/utf8.hpp"

#include <gtest/gtest.h>

#include "websocket/hex.hpp"
#include "websocket/text.hpp"

namespace kelvane::websocket {
namespace {

using testing::bytes_of;

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

TEST(Text, TrimAndSplitUseUnicodeWhiteSpace) {
  EXPECT_EQ(trim_white_space(" \t\r\n\v\f x y \xC2\xA0\xE3\x80\x80"), "x y");
  EXPECT_EQ(trim_white_space("\xC2\xA9"), "\xC2\xA9");  // a non-space two-byte character stays
  EXPECT_EQ(trim_white_space("   "), "");
  EXPECT_EQ(split_white_space("  GET\t\t/p \xE2\x80\x83 HTTP/1.1 "),
            (std::vector<std::string_view>{"GET", "/p", "HTTP/1.1"}));
  EXPECT_TRUE(split_white_space(" \t ").empty());
}

TEST(Text, AsciiCaseFolding) {
  EXPECT_EQ(ascii_lower("Sec-WebSocket-KEY\xC3\x89"), "sec-websocket-key\xC3\x89");
  EXPECT_TRUE(equals_ignore_ascii_case("WebSocket", "websocket"));
  EXPECT_FALSE(equals_ignore_ascii_case("websocket ", "websocket"));
  EXPECT_FALSE(equals_ignore_ascii_case("websocket", "websockeu"));
}

}  // namespace
}  // namespace kelvane::websocket
