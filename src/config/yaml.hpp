#pragma once

#include <cstddef>
#include <expected>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "config/config_error.hpp"

namespace kelvane::config {

struct YamlEntry;

// One node of a parsed configuration document: a scalar, a sequence or a mapping.
struct YamlNode {
  enum class Kind { Scalar, Seq, Map };

  Kind kind = Kind::Scalar;
  std::string scalar;              // Scalar
  std::vector<YamlNode> items;     // Seq, in file order
  std::vector<YamlEntry> entries;  // Map, ordered by key byte-wise, keys unique

  [[nodiscard]] static YamlNode make_scalar(std::string text);
  [[nodiscard]] static YamlNode make_seq();
  [[nodiscard]] static YamlNode make_map();

  // Map: inserts key, replacing the value of an existing equal key.
  void insert(std::string key, YamlNode value);
  // Map: the value of key, nullptr when absent (or when this is not a Map).
  [[nodiscard]] const YamlNode* find(std::string_view key) const;

  [[nodiscard]] bool is_scalar() const { return kind == Kind::Scalar; }
  [[nodiscard]] bool is_seq() const { return kind == Kind::Seq; }
  [[nodiscard]] bool is_map() const { return kind == Kind::Map; }
};

struct YamlEntry {
  std::string key;
  YamlNode value;
};

[[nodiscard]] bool operator==(const YamlNode& a, const YamlNode& b);
[[nodiscard]] bool operator==(const YamlEntry& a, const YamlEntry& b);

// A non-blank line with its comment and trailing white space removed.
struct YamlLine {
  std::size_t indent;  // leading U+0020 characters (a tab does not count)
  std::string text;    // what follows them
};

// Splits text at every '\n', strips comments ('#' outside quotes; no escapes) and
// trailing white space, drops blank lines and measures indentation.
[[nodiscard]] std::vector<YamlLine> prepare_lines(std::string_view text);

// Nested blocks deeper than this are refused rather than recursed into.
inline constexpr std::size_t kMaxNestingDepth = 64;

struct YamlParsed {
  YamlNode node;
  std::size_t next;  // index of the first line not consumed
};

// Builds a Map / Seq from the lines beginning at start with the given indentation.
[[nodiscard]] std::expected<YamlParsed, ConfigError> parse_block_map(std::span<const YamlLine> lines,
                                                                     std::size_t start, std::size_t indent);
[[nodiscard]] std::expected<YamlParsed, ConfigError> parse_block_seq(std::span<const YamlLine> lines,
                                                                     std::size_t start, std::size_t indent);

// Trims white space, then removes one pair of matching surrounding quotes (" or ');
// no escape sequences.
[[nodiscard]] std::string unquote(std::string_view text);

// "1", "yes" and "true" (trimmed, ASCII case-insensitive) are true; everything else is
// false.
[[nodiscard]] bool parse_bool(std::string_view text);

}  // namespace kelvane::config
