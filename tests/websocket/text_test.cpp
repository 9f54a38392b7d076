#include "websocket/text.hpp"

#include <gtest/gtest.h>

#include <string_view>
#include <vector>

namespace kelvane::websocket {
namespace {

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
