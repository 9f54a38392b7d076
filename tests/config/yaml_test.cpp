#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "config/yaml.hpp"

namespace kelvane::config {
namespace {

YamlNode scalar(std::string text) { return YamlNode::make_scalar(std::move(text)); }

std::expected<YamlNode, ConfigError> parse(std::string_view text) {
  const auto lines = prepare_lines(text);
  auto parsed = parse_block_map(lines, 0, 0);
  if (!parsed) return std::unexpected(parsed.error());
  EXPECT_EQ(parsed->next, lines.size());
  return std::move(parsed->node);
}

TEST(YamlPrepareLines, StripsCommentsOutsideQuotesAndTrailingWhiteSpace) {
  const auto lines = prepare_lines(
      "a: 1 # comment\n"
      "\n"
      "   \t \r\n"
      "# only a comment\n"
      "  b: \"x # kept\"#cut\n"
      "\tc: 'it''s' # quotes toggle, no escapes\n"
      "d: x#no space needed\r\n"
      "e: \"open quote # swallows the rest\n"
      "f: y\xe3\x80\x80\xc2\xa0");  // trailing U+3000 and U+00A0
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[0].indent, 0u);
  EXPECT_EQ(lines[0].text, "a: 1");
  EXPECT_EQ(lines[1].indent, 2u);
  EXPECT_EQ(lines[1].text, "b: \"x # kept\"");
  EXPECT_EQ(lines[2].indent, 0u);  // a tab is not indentation
  EXPECT_EQ(lines[2].text, "\tc: 'it''s'");
  EXPECT_EQ(lines[3].text, "d: x");
  EXPECT_EQ(lines[4].text, "e: \"open quote # swallows the rest");
  EXPECT_EQ(lines[5].text, "f: y");
}

TEST(YamlUnquote, RemovesOneMatchingPairAfterTrimming) {
  const struct {
    std::string_view in;
    std::string_view out;
  } cases[] = {
      {"  plain  ", "plain"},   {"\"quoted\"", "quoted"}, {"'single'", "single"},
      {"\" padded \"", " padded "}, {"\"mixed'", "\"mixed'"}, {"\"", "\""},
      {"\"\"", ""},             {"'\"x\"'", "\"x\""},     {"\"a\\\"\"", "a\\\""},
  };
  for (const auto& c : cases) EXPECT_EQ(unquote(c.in), c.out) << c.in;
}

TEST(YamlParseBool, OnlyOneYesTrueAreTrue) {
  for (const std::string_view yes : {"1", "yes", "true", " TRUE ", "Yes", "tRuE"}) EXPECT_TRUE(parse_bool(yes)) << yes;
  for (const std::string_view no : {"", "0", "no", "false", "on", "y", "t", "enabled", "true1"}) {
    EXPECT_FALSE(parse_bool(no)) << no;
  }
}

TEST(YamlBlockMap, NestedMapsAndSequences) {
  const auto root = parse(
      "zeta: last\n"
      "alpha:\n"
      "  inner: \"q\"\n"
      "  deeper:\n"
      "      leaf: 'v'\n"
      "  list:\n"
      "    - one\n"
      "    - 'two'\n"
      "empty:\n"
      "zeta: replaced\n");
  ASSERT_TRUE(root) << root.error().message();

  YamlNode deeper = YamlNode::make_map();
  deeper.insert("leaf", scalar("v"));
  YamlNode list = YamlNode::make_seq();
  list.items = {scalar("one"), scalar("two")};
  YamlNode alpha = YamlNode::make_map();
  alpha.insert("inner", scalar("q"));
  alpha.insert("deeper", deeper);
  alpha.insert("list", list);
  YamlNode expected = YamlNode::make_map();
  expected.insert("zeta", scalar("replaced"));
  expected.insert("alpha", alpha);
  expected.insert("empty", scalar(""));
  EXPECT_EQ(*root, expected);
  // Keys are ordered byte-wise.
  ASSERT_EQ(root->entries.size(), 3u);
  EXPECT_EQ(root->entries[0].key, "alpha");
  EXPECT_EQ(root->entries[1].key, "empty");
  EXPECT_EQ(root->entries[2].key, "zeta");
}

TEST(YamlBlockMap, KeysAreTrimmedNotUnquotedAndSplitAtFirstColon) {
  const auto root = parse("\"k\" : a:b:c\n  \t\n");
  ASSERT_TRUE(root);
  const YamlNode* value = root->find("\"k\"");
  ASSERT_NE(value, nullptr);
  EXPECT_EQ(value->scalar, "a:b:c");
}

TEST(YamlBlockSeq, ItemForms) {
  const auto root = parse(
      "items:\n"
      "  - plain\n"
      "  -\n"
      "  -\n"
      "    k: v\n"
      "  - name: a\n"
      "    qos:\n"
      "      depth: 3\n"
      "    tags:\n"
      "      - x\n"
      "  - \"quoted: still a map\"\n"
      "  - a: 1\n"
      "    a: 2\n");
  ASSERT_TRUE(root) << root.error().message();
  const YamlNode* items = root->find("items");
  ASSERT_NE(items, nullptr);
  ASSERT_TRUE(items->is_seq());
  ASSERT_EQ(items->items.size(), 6u);
  EXPECT_EQ(items->items[0], scalar("plain"));
  EXPECT_EQ(items->items[1], scalar(""));

  YamlNode kv = YamlNode::make_map();
  kv.insert("k", scalar("v"));
  EXPECT_EQ(items->items[2], kv);

  const YamlNode& topic = items->items[3];
  ASSERT_TRUE(topic.is_map());
  EXPECT_EQ(*topic.find("name"), scalar("a"));
  ASSERT_NE(topic.find("qos"), nullptr);
  EXPECT_EQ(*topic.find("qos")->find("depth"), scalar("3"));
  ASSERT_TRUE(topic.find("tags")->is_seq());
  EXPECT_EQ(topic.find("tags")->items.at(0), scalar("x"));

  // A colon inside quotes still makes a one-entry map.
  const YamlNode& quoted = items->items[4];
  ASSERT_TRUE(quoted.is_map());
  EXPECT_EQ(*quoted.find("\"quoted"), scalar("still a map\""));

  EXPECT_EQ(*items->items[5].find("a"), scalar("2"));
}

TEST(YamlBlockSeq, EndsAtALessIndentedOrNonItemLine) {
  const auto lines = prepare_lines("- a\n- b\nkey: v\n");
  const auto seq = parse_block_seq(lines, 0, 0);
  ASSERT_TRUE(seq);
  EXPECT_EQ(seq->node.items.size(), 2u);
  EXPECT_EQ(seq->next, 2u);
}

TEST(YamlSyntaxErrors, ExactTexts) {
  const struct {
    std::string_view text;
    std::string_view message;
  } cases[] = {
      {"a: 1\n  b: 2\n", "config syntax: unexpected indent at line containing b: 2"},
      {"- a\n", "config syntax: unexpected sequence marker in map context"},
      {"-\n", "config syntax: unexpected sequence marker in map context"},
      {"just words\n", "config syntax: no `:` in line: just words"},
      {"a:\n  - x\n   - y\n", "config syntax: seq misindented"},
      {"a:\n  - name: x\n     type: y\n", "config syntax: seq misindented"},
      {"a:\n  - x\n  -y\n", "config syntax: malformed seq item"},
      {"a:\n  - name: x\n    nocolon\n", "config syntax: seq map missing colon"},
      // A sequence at the same indentation as its key is not nested under it.
      {"a:\n- x\n", "config syntax: unexpected sequence marker in map context"},
      // "-" alone opens a map, never a sequence.
      {"a:\n  -\n    - x\n", "config syntax: unexpected sequence marker in map context"},
      // A nested block that ends above the parent's indentation.
      {"a:\n    b: 1\n  c: 2\n", "config syntax: unexpected indent at line containing c: 2"},
  };
  for (const auto& c : cases) {
    const auto root = parse(c.text);
    ASSERT_FALSE(root) << c.text;
    EXPECT_EQ(root.error().kind, ConfigError::Kind::Syntax);
    EXPECT_EQ(root.error().message(), c.message) << c.text;
  }
}

TEST(YamlSyntaxErrors, DeepNestingIsRefusedNotRecursedInto) {
  std::string text;
  for (std::size_t depth = 0; depth <= kMaxNestingDepth + 1; ++depth) text += std::string(depth, ' ') + "k:\n";
  text += std::string(kMaxNestingDepth + 2, ' ') + "leaf: 1\n";
  const auto root = parse(text);
  ASSERT_FALSE(root);
  EXPECT_EQ(root.error().message(), "config syntax: nesting deeper than 64 levels");

  // Exactly the limit is accepted.
  std::string at_limit;
  for (std::size_t depth = 0; depth < kMaxNestingDepth; ++depth) at_limit += std::string(depth, ' ') + "k:\n";
  at_limit += std::string(kMaxNestingDepth, ' ') + "leaf: 1\n";
  EXPECT_TRUE(parse(at_limit));
}

}  // namespace
}  // namespace kelvane::config
