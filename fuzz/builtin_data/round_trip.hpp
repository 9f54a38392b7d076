#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace kelvane::fuzz {

// Decodes the input; whatever decodes and re-encodes must decode to the same record.
template <typename Record>
void check_pl_cdr_round_trip(const std::uint8_t* data, std::size_t size) {
  auto record = Record::from_pl_cdr_le(std::span<const std::uint8_t>(data, size));
  if (!record) return;
  auto bytes = record->to_pl_cdr_le();
  if (!bytes) return;  // e.g. a received type identifier this system refuses to write
  auto again = Record::from_pl_cdr_le(*bytes);
  if (!again || !(*again == *record)) __builtin_trap();
}

}  // namespace kelvane::fuzz
