#include "config/yaml.hpp"

#include <algorithm>
#include <utility>

#include "common/text.hpp"

namespace kelvane::config {

YamlNode YamlNode::make_scalar(std::string text) {
  YamlNode node;
  node.scalar = std::move(text);
  return node;
}

YamlNode YamlNode::make_seq() {
  YamlNode node;
  node.kind = Kind::Seq;
  return node;
}

YamlNode YamlNode::make_map() {
  YamlNode node;
  node.kind = Kind::Map;
  return node;
}

void YamlNode::insert(std::string key, YamlNode value) {
  const auto at = std::lower_bound(entries.begin(), entries.end(), key,
                                   [](const YamlEntry& entry, const std::string& k) { return entry.key < k; });
  if (at != entries.end() && at->key == key) {
    at->value = std::move(value);
  } else {
    entries.insert(at, YamlEntry{std::move(key), std::move(value)});
  }
}

const YamlNode* YamlNode::find(std::string_view key) const {
  const auto at = std::lower_bound(entries.begin(), entries.end(), key,
                                   [](const YamlEntry& entry, std::string_view k) { return entry.key < k; });
  return at != entries.end() && at->key == key ? &at->value : nullptr;
}

bool operator==(const YamlNode& a, const YamlNode& b) {
  return a.kind == b.kind && a.scalar == b.scalar && a.items == b.items && a.entries == b.entries;
}

bool operator==(const YamlEntry& a, const YamlEntry& b) { return a.key == b.key && a.value == b.value; }

std::vector<YamlLine> prepare_lines(std::string_view text) {
  std::vector<YamlLine> lines;
  std::size_t begin = 0;
  while (begin <= text.size()) {
    std::size_t end = text.find('\n', begin);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(begin, end - begin);
    begin = end + 1;

    char quote = 0;
    for (std::size_t i = 0; i < line.size(); ++i) {
      const char c = line[i];
      if (quote != 0) {
        if (c == quote) quote = 0;
      } else if (c == '"' || c == '\'') {
        quote = c;
      } else if (c == '#') {
        line = line.substr(0, i);
        break;
      }
    }
    line = trim_white_space_end(line);
    if (line.empty()) continue;
    const std::size_t indent = std::min(line.find_first_not_of(' '), line.size());
    lines.push_back(YamlLine{indent, std::string(line.substr(indent))});
  }
  return lines;
}

std::string unquote(std::string_view text) {
  text = trim_white_space(text);
  if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') && text.back() == text.front()) {
    text = text.substr(1, text.size() - 2);
  }
  return std::string(text);
}

bool parse_bool(std::string_view text) {
  const std::string lower = ascii_lower(trim_white_space(text));
  return lower == "1" || lower == "yes" || lower == "true";
}

namespace {

using Result = std::expected<YamlParsed, ConfigError>;

bool is_seq_marker(std::string_view text) { return text == "-" || text.starts_with("- "); }

class BlockParser {
 public:
  explicit BlockParser(std::span<const YamlLine> lines) : lines_(lines) {}

  Result map(std::size_t i, std::size_t indent, std::size_t depth) const {
    YamlNode node = YamlNode::make_map();
    while (i < lines_.size()) {
      const YamlLine& line = lines_[i];
      if (line.indent < indent) break;
      if (line.indent > indent) return fail("unexpected indent at line containing " + line.text);
      if (is_seq_marker(line.text)) return fail("unexpected sequence marker in map context");
      if (line.text.find(':') == std::string::npos) return fail("no `:` in line: " + line.text);
      auto entry = this->entry(line.text, i, indent, depth);
      if (!entry) return std::unexpected(std::move(entry.error()));
      i = entry->value.next;
      node.insert(std::move(entry->key), std::move(entry->value.node));
    }
    return YamlParsed{std::move(node), i};
  }

  Result seq(std::size_t i, std::size_t indent, std::size_t depth) const {
    YamlNode node = YamlNode::make_seq();
    while (i < lines_.size()) {
      const YamlLine& line = lines_[i];
      if (line.indent < indent) break;
      if (line.indent > indent) return fail("seq misindented");
      if (line.text.empty() || line.text.front() != '-') break;
      if (!is_seq_marker(line.text)) return fail("malformed seq item");

      if (line.text == "-") {
        auto item = block_after(i, indent, depth, /*allow_seq=*/false);
        if (!item) return item;
        node.items.push_back(std::move(item->node));
        i = item->next;
        continue;
      }
      const std::string_view rest = std::string_view(line.text).substr(2);
      if (rest.find(':') == std::string_view::npos) {
        node.items.push_back(YamlNode::make_scalar(unquote(rest)));
        ++i;
        continue;
      }
      // "- key: value" opens a map whose further entries sit two columns deeper.
      if (depth + 1 > kMaxNestingDepth) return too_deep();
      const std::size_t entry_indent = indent + 2;
      YamlNode item = YamlNode::make_map();
      auto first = entry(rest, i, entry_indent, depth + 1);
      if (!first) return std::unexpected(std::move(first.error()));
      i = first->value.next;
      item.insert(std::move(first->key), std::move(first->value.node));
      while (i < lines_.size() && lines_[i].indent == entry_indent) {
        const std::string& text = lines_[i].text;
        if (text.starts_with("- ")) break;
        if (text.find(':') == std::string::npos) return fail("seq map missing colon");
        auto next = entry(text, i, entry_indent, depth + 1);
        if (!next) return std::unexpected(std::move(next.error()));
        i = next->value.next;
        item.insert(std::move(next->key), std::move(next->value.node));
      }
      node.items.push_back(std::move(item));
    }
    return YamlParsed{std::move(node), i};
  }

 private:
  struct Entry {
    std::string key;
    YamlParsed value;
  };

  static Result fail(std::string text) { return std::unexpected(ConfigError::syntax(std::move(text))); }
  static Result too_deep() {
    return fail("nesting deeper than " + std::to_string(kMaxNestingDepth) + " levels");
  }

  // "key: value" on line i, whose key sits at indent: a non-empty value is a scalar,
  // an empty one opens the block below (or is an empty scalar).
  std::expected<Entry, ConfigError> entry(std::string_view text, std::size_t i, std::size_t indent,
                                          std::size_t depth) const {
    const std::size_t colon = text.find(':');
    std::string key(trim_white_space(text.substr(0, colon)));
    const std::string_view value = trim_white_space(text.substr(colon + 1));
    if (!value.empty()) return Entry{std::move(key), YamlParsed{YamlNode::make_scalar(unquote(value)), i + 1}};
    auto block = block_after(i, indent, depth, /*allow_seq=*/true);
    if (!block) return std::unexpected(std::move(block.error()));
    return Entry{std::move(key), std::move(*block)};
  }

  // The block that starts on the line after i when that line is indented deeper than
  // indent; otherwise an empty scalar. A sequence is opened only where allowed.
  Result block_after(std::size_t i, std::size_t indent, std::size_t depth, bool allow_seq) const {
    const std::size_t next = i + 1;
    if (next >= lines_.size() || lines_[next].indent <= indent) return YamlParsed{YamlNode::make_scalar({}), next};
    if (depth + 1 > kMaxNestingDepth) return too_deep();
    const std::size_t child_indent = lines_[next].indent;
    if (allow_seq && is_seq_marker(lines_[next].text)) return seq(next, child_indent, depth + 1);
    return map(next, child_indent, depth + 1);
  }

  std::span<const YamlLine> lines_;
};

}  // namespace

Result parse_block_map(std::span<const YamlLine> lines, std::size_t start, std::size_t indent) {
  return BlockParser(lines).map(start, indent, 0);
}

Result parse_block_seq(std::span<const YamlLine> lines, std::size_t start, std::size_t indent) {
  return BlockParser(lines).seq(start, indent, 0);
}

}  // namespace kelvane::config
