#include "admin/request.hpp"

#include <algorithm>
#include <cstddef>

namespace kelvane::admin {

namespace {

// Length of the white-space code point at text[pos], or 0 when there is none there.
// Only the encodings of Unicode White_Space characters are recognised, so a malformed
// sequence is never taken for white space.
std::size_t white_space_length(std::string_view text, std::size_t pos) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[pos + i]); };
  const std::size_t left = text.size() - pos;
  const unsigned char lead = byte(0);
  if ((lead >= 0x09 && lead <= 0x0D) || lead == 0x20) return 1;
  if (lead == 0xC2 && left >= 2) return byte(1) == 0x85 || byte(1) == 0xA0 ? 2 : 0;  // U+0085, U+00A0
  if (left < 3) return 0;
  const unsigned char b1 = byte(1);
  const unsigned char b2 = byte(2);
  if (lead == 0xE1) return b1 == 0x9A && b2 == 0x80 ? 3 : 0;  // U+1680
  if (lead == 0xE3) return b1 == 0x80 && b2 == 0x80 ? 3 : 0;  // U+3000
  if (lead != 0xE2) return 0;
  if (b1 == 0x80) {
    const bool spaces = b2 >= 0x80 && b2 <= 0x8A;                   // U+2000..U+200A
    const bool separators = b2 == 0xA8 || b2 == 0xA9 || b2 == 0xAF;  // U+2028, U+2029, U+202F
    return spaces || separators ? 3 : 0;
  }
  return b1 == 0x81 && b2 == 0x9F ? 3 : 0;  // U+205F
}

std::string_view first_line(std::span<const std::uint8_t> request) {
  std::string_view text(reinterpret_cast<const char*>(request.data()), request.size());
  if (const std::size_t lf = text.find('\n'); lf != std::string_view::npos) text = text.substr(0, lf);
  if (text.ends_with('\r')) text.remove_suffix(1);
  return text;
}

// The n-th (0-based) white-space separated token of line, empty when there are fewer.
std::string_view token(std::string_view line, std::size_t n) {
  std::size_t pos = 0;
  for (std::size_t index = 0;; ++index) {
    while (pos < line.size()) {
      const std::size_t ws = white_space_length(line, pos);
      if (ws == 0) break;
      pos += ws;
    }
    if (pos == line.size()) return {};
    const std::size_t start = pos;
    while (pos < line.size() && white_space_length(line, pos) == 0) ++pos;
    if (index == n) return line.substr(start, pos - start);
  }
}

}  // namespace

std::string_view request_path(std::span<const std::uint8_t> request) {
  std::string_view target = token(first_line(request), 1);
  if (target.empty()) return "/";
  return target.substr(0, target.find('?'));
}

bool has_first_line(std::span<const std::uint8_t> request) {
  return std::find(request.begin(), request.end(), std::uint8_t{'\n'}) != request.end();
}

}  // namespace kelvane::admin
