#pragma once

#include <cstdint>

namespace kelvane::cdr {

// Fixed-order loads and stores of unaligned multi-byte values; the flag alone decides the
// order on the wire, independent of the host.

[[nodiscard]] inline std::uint16_t load_u16(const std::uint8_t* p, bool little_endian) {
  return little_endian ? static_cast<std::uint16_t>(p[0] | (p[1] << 8))
                       : static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

[[nodiscard]] inline std::uint32_t load_u32(const std::uint8_t* p, bool little_endian) {
  if (little_endian) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
  }
  return (static_cast<std::uint32_t>(p[0]) << 24) | (static_cast<std::uint32_t>(p[1]) << 16) |
         (static_cast<std::uint32_t>(p[2]) << 8) | static_cast<std::uint32_t>(p[3]);
}

[[nodiscard]] inline std::uint64_t load_u64(const std::uint8_t* p, bool little_endian) {
  const std::uint64_t first = load_u32(p, little_endian);
  const std::uint64_t second = load_u32(p + 4, little_endian);
  return little_endian ? (second << 32) | first : (first << 32) | second;
}

inline void store_u16(std::uint8_t* p, std::uint16_t v, bool little_endian) {
  const auto lo = static_cast<std::uint8_t>(v);
  const auto hi = static_cast<std::uint8_t>(v >> 8);
  p[0] = little_endian ? lo : hi;
  p[1] = little_endian ? hi : lo;
}

inline void store_u32(std::uint8_t* p, std::uint32_t v, bool little_endian) {
  for (int i = 0; i < 4; ++i) {
    const int shift = little_endian ? 8 * i : 8 * (3 - i);
    p[i] = static_cast<std::uint8_t>(v >> shift);
  }
}

inline void store_u64(std::uint8_t* p, std::uint64_t v, bool little_endian) {
  const auto lo = static_cast<std::uint32_t>(v);
  const auto hi = static_cast<std::uint32_t>(v >> 32);
  store_u32(p, little_endian ? lo : hi, little_endian);
  store_u32(p + 4, little_endian ? hi : lo, little_endian);
}

}  // namespace kelvane::cdr
