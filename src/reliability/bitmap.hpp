#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace kelvane::reliability {

// Most RTPS bitmap members named in one set.
inline constexpr std::uint32_t kBitmapMaxBits = 256;

// The words and bit count of an RTPS bitmap naming the given members relative to base:
// bit i stands for base + i, most significant bit of each word first. Members must be
// ascending, >= base and < base + 256.
struct Bitmap {
  std::uint32_t num_bits = 0;
  std::vector<std::uint32_t> words;
};

template <typename Number>
[[nodiscard]] Bitmap make_bitmap(Number base, std::span<const Number> members) {
  Bitmap bitmap;
  if (members.empty()) return bitmap;
  bitmap.num_bits = static_cast<std::uint32_t>(members.back() - base) + 1;
  bitmap.words.assign((bitmap.num_bits + 31) / 32, 0);
  for (const Number member : members) {
    const auto bit = static_cast<std::uint32_t>(member - base);
    bitmap.words[bit / 32] |= 0x80000000u >> (bit % 32);
  }
  return bitmap;
}

// Calls f(i) for every set bit i < num_bits, ascending. Words missing for the claimed
// bit count read as zero.
template <typename F>
void for_each_set_bit(std::uint32_t num_bits, std::span<const std::uint32_t> words, F&& f) {
  for (std::uint32_t i = 0; i < num_bits && i / 32 < words.size(); ++i) {
    if ((words[i / 32] & (0x80000000u >> (i % 32))) != 0) f(i);
  }
}

}  // namespace kelvane::reliability
