#pragma once

#include <cstdint>
#include <expected>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

namespace kelvane::bridge {

struct Subscribe {
  std::string topic;
  std::optional<std::string> id;
  friend bool operator==(const Subscribe&, const Subscribe&) = default;
};

struct Unsubscribe {
  std::string topic;
  std::optional<std::string> id;
  friend bool operator==(const Unsubscribe&, const Unsubscribe&) = default;
};

struct Publish {
  std::string topic;
  std::string data;  // the raw text the client wrote for "data"
  friend bool operator==(const Publish&, const Publish&) = default;
};

// One parsed client operation.
using BridgeOp = std::variant<Subscribe, Unsubscribe, Publish>;

struct BridgeError {
  enum class Kind { BadJson, UnknownOp, MissingTopic, MissingData };
  Kind kind;
  std::string text;  // BadJson: the message; UnknownOp: the op value or "(missing)"
  friend bool operator==(const BridgeError&, const BridgeError&) = default;
};

// Reads one client object. Lenient: values are kept as the raw text the client sent,
// keys must be quoted, commas may be missing or repeated.
[[nodiscard]] std::expected<BridgeOp, BridgeError> parse_op(std::string_view text);

// A cursor over the text being parsed.
struct Cursor {
  std::string_view text;
  std::size_t pos = 0;
};

// Advances the cursor over Unicode white space.
void skip_ws_to(Cursor& cursor);

// Reads one string token after optional white space and returns its body unchanged
// (escape sequences are kept as written).
[[nodiscard]] std::expected<std::string_view, BridgeError> parse_json_string(Cursor& cursor);

// Appends the JSON form of sample bytes: raw when they are UTF-8 starting with '{' or
// '[', a JSON string when they are other UTF-8, else an array of byte values.
void append_rendered_data(std::string& out, std::span<const std::uint8_t> payload);

// {"op":"notify","topic":"TOPIC","data":DATA}; the topic is inserted unescaped.
[[nodiscard]] std::string render_notify(std::string_view topic, std::span<const std::uint8_t> payload);

enum class DeniedAccess { Read, Write };

// {"op":"error","code":403,"topic":"TOPIC","reason":"acl-deny-read"|"acl-deny-write"}.
[[nodiscard]] std::string render_acl_error(std::string_view topic, DeniedAccess denied);

}  // namespace kelvane::bridge
