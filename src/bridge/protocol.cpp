#include "bridge/protocol.hpp"

#include <charconv>

#include "common/json_escape.hpp"
#include "common/text.hpp"
#include "common/utf8.hpp"

namespace kelvane::bridge {

namespace {

BridgeError bad_json(std::string_view message) { return {BridgeError::Kind::BadJson, std::string(message)}; }

bool at_end(const Cursor& c) { return c.pos >= c.text.size(); }
char peek(const Cursor& c) { return c.text[c.pos]; }

// Moves past the string token whose opening quote is at c.pos; false when the text
// ends first. A backslash skips the character after it, whatever it is.
bool skip_string_token(Cursor& c) {
  ++c.pos;
  while (c.pos < c.text.size()) {
    const char ch = c.text[c.pos];
    if (ch == '\\') {
      c.pos += 2;
    } else if (ch == '"') {
      ++c.pos;
      return true;
    } else {
      ++c.pos;
    }
  }
  c.pos = c.text.size();
  return false;
}

// The raw text from the opening bracket at c.pos through its matching closer. Only
// brackets of the same kind nest; brackets inside string tokens do not count.
std::expected<std::string_view, BridgeError> bracketed_value(Cursor& c, char open, char close,
                                                             std::string_view unterminated) {
  const std::size_t start = c.pos;
  std::size_t depth = 0;
  while (c.pos < c.text.size()) {
    const char ch = c.text[c.pos];
    if (ch == '"') {
      if (!skip_string_token(c)) break;
      continue;
    }
    ++c.pos;
    if (ch == open) {
      ++depth;
    } else if (ch == close && --depth == 0) {
      return c.text.substr(start, c.pos - start);
    }
  }
  return std::unexpected(bad_json(unterminated));
}

// A bare token: everything up to white space, ',' or '}' (possibly nothing).
std::string_view bare_token(Cursor& c) {
  const std::size_t start = c.pos;
  while (c.pos < c.text.size()) {
    const char ch = c.text[c.pos];
    if (ch == ',' || ch == '}' || white_space_length_at(c.text, c.pos) != 0) break;
    ++c.pos;
  }
  return c.text.substr(start, c.pos - start);
}

std::expected<std::string_view, BridgeError> parse_value(Cursor& c) {
  if (at_end(c)) return std::unexpected(bad_json("eof"));
  switch (peek(c)) {
    case '"': return parse_json_string(c);
    case '[': return bracketed_value(c, '[', ']', "unterminated array");
    case '{': return bracketed_value(c, '{', '}', "unterminated object");
    default: return bare_token(c);
  }
}

// The members the bridge reads; later duplicates replace earlier ones.
struct Members {
  std::optional<std::string_view> op;
  std::optional<std::string_view> topic;
  std::optional<std::string_view> id;
  std::optional<std::string_view> data;

  void store(std::string_view key, std::string_view value) {
    if (key == "op") op = value;
    else if (key == "topic") topic = value;
    else if (key == "id") id = value;
    else if (key == "data") data = value;
  }
};

std::expected<Members, BridgeError> scan_members(std::string_view body) {
  Members members;
  Cursor c{body, 0};
  for (;;) {
    while (!at_end(c)) {
      if (peek(c) == ',') {
        ++c.pos;
        continue;
      }
      const std::size_t ws = white_space_length_at(c.text, c.pos);
      if (ws == 0) break;
      c.pos += ws;
    }
    if (at_end(c)) return members;
    auto key = parse_json_string(c);
    if (!key) return std::unexpected(std::move(key.error()));
    skip_ws_to(c);
    if (at_end(c) || peek(c) != ':') return std::unexpected(bad_json("expected `:`"));
    ++c.pos;
    skip_ws_to(c);
    auto value = parse_value(c);
    if (!value) return std::unexpected(std::move(value.error()));
    members.store(*key, *value);
  }
}

std::optional<std::string> owned(std::optional<std::string_view> v) {
  if (!v) return std::nullopt;
  return std::string(*v);
}

}  // namespace

void skip_ws_to(Cursor& cursor) {
  while (const std::size_t len = white_space_length_at(cursor.text, cursor.pos)) cursor.pos += len;
}

std::expected<std::string_view, BridgeError> parse_json_string(Cursor& cursor) {
  skip_ws_to(cursor);
  if (at_end(cursor) || peek(cursor) != '"') return std::unexpected(bad_json("expected `\"`"));
  const std::size_t body_start = cursor.pos + 1;
  if (body_start >= cursor.text.size()) {
    cursor.pos = body_start;
    return std::unexpected(bad_json("eof"));
  }
  if (!skip_string_token(cursor)) return std::unexpected(bad_json("unterminated string"));
  return cursor.text.substr(body_start, cursor.pos - 1 - body_start);
}

std::expected<BridgeOp, BridgeError> parse_op(std::string_view text) {
  const std::string_view trimmed = trim_white_space(text);
  if (trimmed.empty() || trimmed.front() != '{') return std::unexpected(bad_json("expected `{`"));
  if (trimmed.size() < 2 || trimmed.back() != '}') return std::unexpected(bad_json("expected `}`"));

  auto members = scan_members(trimmed.substr(1, trimmed.size() - 2));
  if (!members) return std::unexpected(std::move(members.error()));
  if (!members->op) return std::unexpected(BridgeError{BridgeError::Kind::UnknownOp, "(missing)"});
  if (!members->topic || members->topic->empty()) {
    return std::unexpected(BridgeError{BridgeError::Kind::MissingTopic, {}});
  }
  const std::string_view op = *members->op;
  std::string topic(*members->topic);
  if (op == "subscribe") return Subscribe{std::move(topic), owned(members->id)};
  if (op == "unsubscribe") return Unsubscribe{std::move(topic), owned(members->id)};
  if (op == "publish") {
    if (!members->data) return std::unexpected(BridgeError{BridgeError::Kind::MissingData, {}});
    return Publish{std::move(topic), std::string(*members->data)};
  }
  return std::unexpected(BridgeError{BridgeError::Kind::UnknownOp, std::string(op)});
}

void append_rendered_data(std::string& out, std::span<const std::uint8_t> payload) {
  const std::string_view text(reinterpret_cast<const char*>(payload.data()), payload.size());
  if (!find_utf8_error(payload)) {
    if (!text.empty() && (text.front() == '{' || text.front() == '[')) {
      out.append(text);
      return;
    }
    out.push_back('"');
    append_json_escaped(out, text);
    out.push_back('"');
    return;
  }
  out.reserve(out.size() + payload.size() * 4 + 2);
  out.push_back('[');
  char digits[3];
  for (std::size_t i = 0; i < payload.size(); ++i) {
    if (i != 0) out.push_back(',');
    const auto [last, ec] = std::to_chars(digits, digits + sizeof digits, payload[i]);
    out.append(digits, last);
  }
  out.push_back(']');
}

std::string render_notify(std::string_view topic, std::span<const std::uint8_t> payload) {
  static constexpr std::string_view kHead = R"({"op":"notify","topic":")";
  static constexpr std::string_view kMiddle = R"(","data":)";
  std::string out;
  out.reserve(kHead.size() + topic.size() + kMiddle.size() + payload.size() + 3);
  out.append(kHead).append(topic).append(kMiddle);
  append_rendered_data(out, payload);
  out.push_back('}');
  return out;
}

std::string render_acl_error(std::string_view topic, DeniedAccess denied) {
  std::string out = R"({"op":"error","code":403,"topic":")";
  out.append(topic);
  out.append(denied == DeniedAccess::Read ? R"(","reason":"acl-deny-read"})" : R"(","reason":"acl-deny-write"})");
  return out;
}

}  // namespace kelvane::bridge
