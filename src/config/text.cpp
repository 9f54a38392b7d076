#include "config/text.hpp"

#include <cstddef>
#include <limits>

namespace kelvane::config {

namespace {

constexpr char32_t kInvalid = 0xFFFFFFFF;

struct Decoded {
  char32_t code_point;  // kInvalid when the bytes are not a well-formed sequence
  std::size_t length;   // bytes consumed (1 for an invalid byte)
};

bool is_continuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Decodes the sequence that starts at text[pos].
Decoded decode_at(std::string_view text, std::size_t pos) {
  const auto lead = static_cast<unsigned char>(text[pos]);
  if (lead < 0x80) return {lead, 1};
  std::size_t length = 0;
  char32_t value = 0;
  char32_t minimum = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    value = lead & 0x1F;
    minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    value = lead & 0x0F;
    minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    value = lead & 0x07;
    minimum = 0x10000;
  } else {
    return {kInvalid, 1};
  }
  if (text.size() - pos < length) return {kInvalid, 1};
  for (std::size_t i = 1; i < length; ++i) {
    const auto byte = static_cast<unsigned char>(text[pos + i]);
    if (!is_continuation(byte)) return {kInvalid, 1};
    value = (value << 6) | (byte & 0x3F);
  }
  if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return {kInvalid, 1};
  return {value, length};
}

bool is_white_space(char32_t c) {
  return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
         c == 0x3000;
}

// Length of the white-space code point that ends text, 0 when there is none.
std::size_t trailing_white_space_length(std::string_view text) {
  if (text.empty()) return 0;
  std::size_t start = text.size() - 1;
  while (start > 0 && text.size() - start < 4 && is_continuation(static_cast<unsigned char>(text[start]))) --start;
  const Decoded d = decode_at(text, start);
  const bool ends_text = d.length == text.size() - start;
  return d.code_point != kInvalid && ends_text && is_white_space(d.code_point) ? d.length : 0;
}

}  // namespace

std::string_view trim_white_space_end(std::string_view text) {
  while (const std::size_t length = trailing_white_space_length(text)) text.remove_suffix(length);
  return text;
}

std::string_view trim_white_space(std::string_view text) {
  while (!text.empty()) {
    const Decoded d = decode_at(text, 0);
    if (d.code_point == kInvalid || !is_white_space(d.code_point)) break;
    text.remove_prefix(d.length);
  }
  return trim_white_space_end(text);
}

std::optional<std::int32_t> parse_decimal_i32(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return std::nullopt;
  // Accumulate the magnitude; the negative range is one larger than the positive one.
  const std::int64_t limit = negative ? -static_cast<std::int64_t>(std::numeric_limits<std::int32_t>::min())
                                      : std::numeric_limits<std::int32_t>::max();
  std::int64_t magnitude = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    magnitude = magnitude * 10 + (c - '0');
    if (magnitude > limit) return std::nullopt;
  }
  return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

}  // namespace kelvane::config
