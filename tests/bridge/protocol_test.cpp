#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bridge/protocol.hpp"

namespace kelvane::bridge {
namespace {

using Kind = BridgeError::Kind;

std::vector<std::uint8_t> from_hex(std::string_view hex) {
  std::vector<std::uint8_t> out;
  std::string digits;
  for (char c : hex) {
    if (c != ' ') digits.push_back(c);
  }
  for (std::size_t i = 0; i + 1 < digits.size(); i += 2) {
    out.push_back(static_cast<std::uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
  }
  return out;
}

std::string as_text(const std::vector<std::uint8_t>& bytes) { return {bytes.begin(), bytes.end()}; }

TEST(ParseOp, AcceptedOperations) {
  const struct {
    std::string_view text;
    BridgeOp expected;
  } cases[] = {
      {R"({"op":"subscribe","topic":"T"})", Subscribe{"T", std::nullopt}},
      {R"( { "topic" : "T" ,  "op" : "subscribe" } )", Subscribe{"T", std::nullopt}},
      {"\t\n{\"op\":\"subscribe\"\"topic\":\"T\"}\r\n", Subscribe{"T", std::nullopt}},
      {R"({,,"op":"subscribe",,,"topic":"T",})", Subscribe{"T", std::nullopt}},
      {R"({"op":subscribe,"topic":T})", Subscribe{"T", std::nullopt}},
      {R"({"op":"unsubscribe","topic":"T","id":"c-7"})", Unsubscribe{"T", "c-7"}},
      {R"({"op":"subscribe","topic":"T","id":42})", Subscribe{"T", "42"}},
      {R"({"op":"publish","topic":"T","data":{"a":[1,"]"]},"id":"x"})", Publish{"T", R"({"a":[1,"]"]})"}},
      {R"({"op":"publish","topic":"T","data":"line\nnext"})", Publish{"T", R"(line\nnext)"}},
      {R"({"op":"publish","topic":"T","data":"say \"hi\""})", Publish{"T", R"(say \"hi\")"}},
      {R"({"op":"publish","topic":"T","data":"hi"})", Publish{"T", "hi"}},
      {R"({"op":"publish","topic":"T","data":42})", Publish{"T", "42"}},
      {R"({"op":"publish","topic":"T","data":[1,[2,"[x"],3]})", Publish{"T", R"([1,[2,"[x"],3])"}},
      {R"({"op":"publish","topic":"T","data":{"a":"}"}})", Publish{"T", R"({"a":"}"})"}},
      {R"({"op":"publish","topic":"T","data":,})", Publish{"T", ""}},
      {R"({"op":"publish","topic":"T","data":""})", Publish{"T", ""}},
      {R"({"op":"publish","topic":"A","topic":"B","data":1})", Publish{"B", "1"}},
      {R"({"op":"subscribe","topic":"T","extra":{"nested":[1,2]}})", Subscribe{"T", std::nullopt}},
      // U+00A0 and U+3000 are white space too.
      {"\xc2\xa0{\"op\":\xe3\x80\x80\"subscribe\",\"topic\":\"T\"}\xc2\xa0", Subscribe{"T", std::nullopt}},
      // Non-ASCII topic names pass through.
      {"{\"op\":\"subscribe\",\"topic\":\"gr\xc3\xbc\xc3\x9f\"}", Subscribe{"gr\xc3\xbc\xc3\x9f", std::nullopt}},
  };
  for (const auto& c : cases) {
    const auto op = parse_op(c.text);
    ASSERT_TRUE(op.has_value()) << c.text << " -> " << op.error().text;
    EXPECT_EQ(*op, c.expected) << c.text;
  }
}

TEST(ParseOp, RejectedTextsWithExactErrors) {
  const struct {
    std::string_view text;
    BridgeError expected;
  } cases[] = {
      {"[1,2]", {Kind::BadJson, "expected `{`"}},
      {"", {Kind::BadJson, "expected `{`"}},
      {"   ", {Kind::BadJson, "expected `{`"}},
      {"hello", {Kind::BadJson, "expected `{`"}},
      {"{", {Kind::BadJson, "expected `}`"}},
      {R"({"op":"subscribe")", {Kind::BadJson, "expected `}`"}},
      {R"({"op"})", {Kind::BadJson, "expected `:`"}},
      {R"({"op" "x"})", {Kind::BadJson, "expected `:`"}},
      {R"({op:"subscribe"})", {Kind::BadJson, "expected `\"`"}},
      {R"({"op":"subscribe" 7})", {Kind::BadJson, "expected `\"`"}},
      {R"({"op":})", {Kind::BadJson, "eof"}},
      {R"({"op":   })", {Kind::BadJson, "eof"}},
      {R"({"})", {Kind::BadJson, "eof"}},
      {R"({"op":"publish","topic":"T","data":"abc})", {Kind::BadJson, "unterminated string"}},
      {R"({"op":"publish","topic":"T","data":"abc\"})", {Kind::BadJson, "unterminated string"}},
      {R"({"op":"publish","topic":"T","data":[1,2})", {Kind::BadJson, "unterminated array"}},
      {R"({"op":"publish","topic":"T","data":["]"})", {Kind::BadJson, "unterminated array"}},
      {R"({"op":"publish","topic":"T","data":{"a":1})", {Kind::BadJson, "unterminated object"}},
      {R"({"topic":"T"})", {Kind::UnknownOp, "(missing)"}},
      {R"({})", {Kind::UnknownOp, "(missing)"}},
      {R"({"op":"Subscribe","topic":"T"})", {Kind::UnknownOp, "Subscribe"}},
      {R"({"op":"sub\"scribe","topic":"T"})", {Kind::UnknownOp, R"(sub\"scribe)"}},
      {R"({"op":"subscribe"})", {Kind::MissingTopic, ""}},
      {R"({"op":"subscribe","topic":""})", {Kind::MissingTopic, ""}},
      {R"({"op":"bogus","topic":""})", {Kind::MissingTopic, ""}},
      {R"({"op":"publish"})", {Kind::MissingTopic, ""}},
      {R"({"op":"publish","topic":"T"})", {Kind::MissingData, ""}},
  };
  for (const auto& c : cases) {
    const auto op = parse_op(c.text);
    ASSERT_FALSE(op.has_value()) << c.text;
    EXPECT_EQ(op.error(), c.expected) << c.text << " -> " << op.error().text;
  }
}

TEST(ParseJsonString, ReturnsRawBodyAndAdvancesCursor) {
  Cursor c{R"(  "a\"b" rest)", 0};
  const auto s = parse_json_string(c);
  ASSERT_TRUE(s.has_value());
  EXPECT_EQ(*s, R"(a\"b)");
  EXPECT_EQ(c.text.substr(c.pos), " rest");

  Cursor ends_after_quote{"\"", 0};
  EXPECT_EQ(parse_json_string(ends_after_quote).error().text, "eof");
  Cursor empty{"", 0};
  EXPECT_EQ(parse_json_string(empty).error().text, "expected `\"`");
  Cursor trailing_backslash{"\"ab\\", 0};
  EXPECT_EQ(parse_json_string(trailing_backslash).error().text, "unterminated string");
}

TEST(RenderData, ByteFixtures) {
  const struct {
    std::string_view in_hex;
    std::string_view out_hex;
  } cases[] = {
      {"7B 22 61 22 3A 31 7D", "7B 22 61 22 3A 31 7D"},  // {"a":1} unchanged
      {"5B 31 5D", "5B 31 5D"},                          // [1] unchanged
      {"68 69", "22 68 69 22"},
      {"", "22 22"},
      {"61 0A 62", "22 61 5C 6E 62 22"},
      {"01", "22 5C 75 30 30 30 31 22"},
      {"0C 08", "22 5C 75 30 30 30 63 5C 75 30 30 30 38 22"},
      {"22 5C 0D 09 7F", "22 5C 22 5C 5C 5C 72 5C 74 7F 22"},
      {"C3 A9", "22 C3 A9 22"},
      {"FF 00", "5B 32 35 35 2C 30 5D"},  // [255,0]
      {"20 7B 7D", "22 20 7B 7D 22"},
      {"7B FF", "5B 31 32 33 2C 32 35 35 5D"},  // [123,255]: invalid UTF-8 wins over the brace
  };
  for (const auto& c : cases) {
    std::string out;
    append_rendered_data(out, from_hex(c.in_hex));
    EXPECT_EQ(out, as_text(from_hex(c.out_hex))) << c.in_hex;
  }
}

TEST(RenderMessages, NotifyAndErrorsByteForByte) {
  const std::string payload = "hi";
  EXPECT_EQ(render_notify("T", std::span(reinterpret_cast<const std::uint8_t*>(payload.data()), payload.size())),
            R"({"op":"notify","topic":"T","data":"hi"})");
  EXPECT_EQ(render_notify("a\"b", {}), R"({"op":"notify","topic":"a"b","data":""})");
  EXPECT_EQ(render_acl_error("T", DeniedAccess::Read), R"({"op":"error","code":403,"topic":"T","reason":"acl-deny-read"})");
  EXPECT_EQ(render_acl_error("T", DeniedAccess::Write),
            R"({"op":"error","code":403,"topic":"T","reason":"acl-deny-write"})");
}

}  // namespace
}  // namespace kelvane::bridge
