#include "cdr/utf8.hpp"

#include <cstddef>

namespace kelvane::cdr {

bool is_valid_utf8(std::span<const std::uint8_t> bytes) {
  std::size_t i = 0;
  const std::size_t n = bytes.size();
  while (i < n) {
    const std::uint8_t b = bytes[i];
    if (b < 0x80) {
      ++i;
      continue;
    }
    std::size_t len = 0;
    std::uint8_t lo = 0x80;
    std::uint8_t hi = 0xBF;
    if (b >= 0xC2 && b <= 0xDF) {
      len = 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
      len = 3;
      if (b == 0xE0) lo = 0xA0;  // overlong
      if (b == 0xED) hi = 0x9F;  // surrogates
    } else if (b >= 0xF0 && b <= 0xF4) {
      len = 4;
      if (b == 0xF0) lo = 0x90;  // overlong
      if (b == 0xF4) hi = 0x8F;  // above U+10FFFF
    } else {
      return false;
    }
    if (n - i < len) return false;
    if (bytes[i + 1] < lo || bytes[i + 1] > hi) return false;
    for (std::size_t k = 2; k < len; ++k) {
      if (bytes[i + k] < 0x80 || bytes[i + k] > 0xBF) return false;
    }
    i += len;
  }
  return true;
}

}  // namespace kelvane::cdr
