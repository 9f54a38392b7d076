#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "cdr/byte_order.hpp"

// Appending fixed-layout fields to submessage bodies. Bodies start 4-byte aligned and
// their fields sit at their natural offsets, so no padding is ever inserted here.
namespace kelvane::rtps::body_io {

inline void append_u16(std::vector<std::uint8_t>& out, std::uint16_t v, bool little_endian) {
  const std::size_t at = out.size();
  out.resize(at + 2);
  cdr::store_u16(out.data() + at, v, little_endian);
}

inline void append_u32(std::vector<std::uint8_t>& out, std::uint32_t v, bool little_endian) {
  const std::size_t at = out.size();
  out.resize(at + 4);
  cdr::store_u32(out.data() + at, v, little_endian);
}

}  // namespace kelvane::rtps::body_io
