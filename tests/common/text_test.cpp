#include "common/text.hpp"

#include <gtest/gtest.h>

#include <cstddef>
#include <string_view>
#include <vector>

namespace kelvane {
namespace {

TEST(WhiteSpaceLengthAt, EveryWhiteSpaceCharacterAndNearMisses) {
  const struct {
    std::string_view text;
    std::size_t pos;
    std::size_t length;
  } cases[] = {
      {"\t", 0, 1}, {"\n", 0, 1}, {"\v", 0, 1}, {"\f", 0, 1}, {"\r", 0, 1}, {" ", 0, 1},
      {"\xc2\x85", 0, 2},      // U+0085
      {"\xc2\xa0", 0, 2},      // U+00A0
      {"\xe1\x9a\x80", 0, 3},  // U+1680
      {"\xe2\x80\x80", 0, 3}, {"\xe2\x80\x81", 0, 3}, {"\xe2\x80\x82", 0, 3}, {"\xe2\x80\x83", 0, 3},
      {"\xe2\x80\x84", 0, 3}, {"\xe2\x80\x85", 0, 3}, {"\xe2\x80\x86", 0, 3}, {"\xe2\x80\x87", 0, 3},
      {"\xe2\x80\x88", 0, 3}, {"\xe2\x80\x89", 0, 3}, {"\xe2\x80\x8a", 0, 3},  // U+2000..U+200A
      {"\xe2\x80\xa8", 0, 3},  // U+2028
      {"\xe2\x80\xa9", 0, 3},  // U+2029
      {"\xe2\x80\xaf", 0, 3},  // U+202F
      {"\xe2\x81\x9f", 0, 3},  // U+205F
      {"\xe3\x80\x80", 0, 3},  // U+3000
      {"a b", 1, 1},
      {"a\xc2\xa0", 1, 2},
      // Not white space: other characters, stray or truncated bytes, positions at or past the end.
      {"\x08", 0, 0}, {"\x0e", 0, 0}, {"\x1f", 0, 0}, {"a", 0, 0}, {"\x7f", 0, 0},
      {"\xe2\x80\x8b", 0, 0},  // U+200B zero-width space
      {"\xe2\x80\xa7", 0, 0}, {"\xe2\x80\xb0", 0, 0}, {"\xe2\x81\x9e", 0, 0}, {"\xe3\x80\x81", 0, 0},
      {"\xc2\xa9", 0, 0}, {"\xa0", 0, 0}, {"\x85", 0, 0}, {"\xc2", 0, 0}, {"\xe2\x80", 0, 0},
      {"\xe3\x80", 0, 0}, {"\xc2\xa0", 1, 0}, {"\xe2\x80\x80", 1, 0}, {" ", 1, 0}, {"", 0, 0}, {" ", 5, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(white_space_length_at(c.text, c.pos), c.length) << c.text << " @" << c.pos;
}

TEST(TrimWhiteSpace, UnicodeWhiteSpaceOnBothEnds) {
  const struct {
    std::string_view text;
    std::string_view trimmed;
  } cases[] = {
      {" \t\r\n\v\f x y \xc2\xa0\xe3\x80\x80", "x y"},
      {" \t\r\n\v\f x y \xc2\xa0\xe3\x80\x80\xe2\x80\xa8", "x y"},
      {"\xc2\x85\xe1\x9a\x80" "a" "\xe2\x80\x8a\xe2\x80\xaf\xe2\x81\x9f", "a"},
      {"   ", ""},
      {"", ""},
      // A non-space two-byte character stays; so do zero-width space and stray bytes.
      {"\xc2\xa9", "\xc2\xa9"},
      {"\xe2\x80\x8b" "a", "\xe2\x80\x8b" "a"},
      {" \xa0 ", "\xa0"},
      {"\xe2\x80 a \xe2\x80", "\xe2\x80 a \xe2\x80"},
  };
  for (const auto& c : cases) EXPECT_EQ(trim_white_space(c.text), c.trimmed) << c.text;
}

TEST(TrimWhiteSpace, EndOnly) {
  EXPECT_EQ(trim_white_space_end(" a \xc2\xa0"), " a");
  EXPECT_EQ(trim_white_space_end("a\xe2\x80\xa9\r\n\xe1\x9a\x80"), "a");
  // A white-space encoding after a stray byte still ends the text.
  EXPECT_EQ(trim_white_space_end("\xe2\xc2\xa0"), "\xe2");
  EXPECT_EQ(trim_white_space_end("a\xa0\x80"), "a\xa0\x80");
  EXPECT_EQ(trim_white_space_end(" \t "), "");
}

TEST(SplitWhiteSpace, TokensBetweenRuns) {
  EXPECT_EQ(split_white_space("  GET\t\t/p \xe2\x80\x83 HTTP/1.1 "),
            (std::vector<std::string_view>{"GET", "/p", "HTTP/1.1"}));
  EXPECT_EQ(split_white_space("a\xc2\xa0\xc2\xa9\xe3\x80\x80" "b"), (std::vector<std::string_view>{"a", "\xc2\xa9", "b"}));
  EXPECT_EQ(split_white_space("one"), (std::vector<std::string_view>{"one"}));
  EXPECT_TRUE(split_white_space(" \t ").empty());
  EXPECT_TRUE(split_white_space("").empty());
}

TEST(AsciiSpace, OnlyTheSixAsciiWhiteSpaceBytes) {
  for (int byte = 0; byte < 256; ++byte) {
    const bool expected = byte == ' ' || (byte >= '\t' && byte <= '\r');
    EXPECT_EQ(is_ascii_space(static_cast<char>(byte)), expected) << byte;
  }
  EXPECT_EQ(trim_ascii_space(" \t\r\n\v\f Bearer x \r\n"), "Bearer x");
  EXPECT_EQ(trim_ascii_space("\xc2\xa0x\xc2\xa0"), "\xc2\xa0x\xc2\xa0");  // Unicode-only white space stays
  EXPECT_EQ(trim_ascii_space("  "), "");
}

TEST(AsciiCaseFolding, LowerAndCompare) {
  EXPECT_EQ(ascii_lower("Sec-WebSocket-KEY\xc3\x89"), "sec-websocket-key\xc3\x89");
  EXPECT_EQ(ascii_lower("@[`{AZaz09"), "@[`{azaz09");
  const struct {
    std::string_view a;
    std::string_view b;
    bool equal;
  } cases[] = {
      {"WebSocket", "websocket", true},
      {"AUTHORIZATION", "authorization", true},
      {"", "", true},
      {"websocket ", "websocket", false},
      {"websocket", "websockeu", false},
      {"@", "`", false},  // 0x40 and 0x60 differ only in the case bit but are not letters
      {"[", "{", false},
      {"\xc3\x89", "\xc3\xa9", false},  // É and é: only ASCII folds
  };
  for (const auto& c : cases) {
    EXPECT_EQ(equals_ignore_ascii_case(c.a, c.b), c.equal) << c.a << " vs " << c.b;
    EXPECT_EQ(equals_ignore_ascii_case(c.b, c.a), c.equal) << c.b << " vs " << c.a;
  }
}

}  // namespace
}  // namespace kelvane
