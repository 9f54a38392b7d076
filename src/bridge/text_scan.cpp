#include "bridge/text_scan.hpp"

#include <cstring>

namespace kelvane::bridge {

namespace {

constexpr bool is_ascii_space(unsigned char c) { return c == ' ' || (c >= 0x09 && c <= 0x0D); }

constexpr bool is_continuation(std::uint8_t b) { return (b & 0xC0) == 0x80; }

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

std::size_t white_space_len_before(std::string_view text, std::size_t end) {
  if (end == 0 || end > text.size()) return 0;
  const auto* base = reinterpret_cast<const unsigned char*>(text.data());
  if (base[end - 1] < 0x80) return is_ascii_space(base[end - 1]) ? 1 : 0;
  for (std::size_t len : {std::size_t{2}, std::size_t{3}}) {
    if (end >= len && multibyte_space_len(base + end - len, len) == len) return len;
  }
  return 0;
}

bool validate_utf8(std::span<const std::uint8_t> bytes, Utf8Error* error) {
  const std::size_t n = bytes.size();
  std::size_t i = 0;
  const auto fail = [&](std::size_t len) {
    if (error != nullptr) *error = Utf8Error{i, len};
    return false;
  };
  while (i < n) {
    // ASCII runs are the common case: test eight bytes at a time.
    while (i + 8 <= n) {
      std::uint64_t word;
      std::memcpy(&word, bytes.data() + i, sizeof word);
      if ((word & 0x8080808080808080ULL) != 0) break;
      i += 8;
    }
    if (i >= n) break;
    const std::uint8_t b0 = bytes[i];
    if (b0 < 0x80) {
      ++i;
      continue;
    }
    std::size_t width = 0;
    if (b0 >= 0xC2 && b0 <= 0xDF) width = 2;
    else if (b0 >= 0xE0 && b0 <= 0xEF) width = 3;
    else if (b0 >= 0xF0 && b0 <= 0xF4) width = 4;
    else return fail(1);
    if (i + 1 >= n) return fail(0);
    const std::uint8_t b1 = bytes[i + 1];
    bool second_ok = false;
    switch (width) {
      case 2: second_ok = is_continuation(b1); break;
      case 3:
        second_ok = (b0 == 0xE0)   ? (b1 >= 0xA0 && b1 <= 0xBF)
                    : (b0 == 0xED) ? (b1 >= 0x80 && b1 <= 0x9F)
                                   : is_continuation(b1);
        break;
      default:
        second_ok = (b0 == 0xF0)   ? (b1 >= 0x90 && b1 <= 0xBF)
                    : (b0 == 0xF4) ? (b1 >= 0x80 && b1 <= 0x8F)
                                   : is_continuation(b1);
    }
    if (!second_ok) return fail(1);
    for (std::size_t k = 2; k < width; ++k) {
      if (i + k >= n) return fail(0);
      if (!is_continuation(bytes[i + k])) return fail(k);
    }
    i += width;
  }
  return true;
}

std::string describe_utf8_error(const Utf8Error& error) {
  if (error.error_len == 0) {
    return "incomplete utf-8 byte sequence from index " + std::to_string(error.valid_up_to);
  }
  return "invalid utf-8 sequence of " + std::to_string(error.error_len) + " bytes from index " +
         std::to_string(error.valid_up_to);
}

}  // namespace kelvane::bridge
