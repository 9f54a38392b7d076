#include "bridge/text_scan.hpp"

namespace kelvane::bridge {

namespace {

constexpr bool is_ascii_space(unsigned char c) { return c == ' ' || (c >= 0x09 && c <= 0x0D); }

// The multi-byte White_Space characters: U+0085, U+00A0, U+1680, U+2000..U+200A,
// U+2028, U+2029, U+202F, U+205F, U+3000.
std::size_t multibyte_space_len(const unsigned char* p, std::size_t avail) {
  if (avail >= 2 && p[0] == 0xC2 && (p[1] == 0x85 || p[1] == 0xA0)) return 2;
  if (avail < 3) return 0;
  if (p[0] == 0xE1 && p[1] == 0x9A && p[2] == 0x80) return 3;
  if (p[0] == 0xE2 && p[1] == 0x80 &&
      ((p[2] >= 0x80 && p[2] <= 0x8A) || p[2] == 0xA8 || p[2] == 0xA9 || p[2] == 0xAF))
    return 3;
  if (p[0] == 0xE2 && p[1] == 0x81 && p[2] == 0x9F) return 3;
  if (p[0] == 0xE3 && p[1] == 0x80 && p[2] == 0x80) return 3;
  return 0;
}

}  // namespace

std::size_t white_space_len_at(std::string_view text, std::size_t pos) {
  if (pos >= text.size()) return 0;
  const auto* p = reinterpret_cast<const unsigned char*>(text.data()) + pos;
  if (p[0] < 0x80) return is_ascii_space(p[0]) ? 1 : 0;
  return multibyte_space_len(p, text.size() - pos);
}

}  // namespace kelvane::bridge
