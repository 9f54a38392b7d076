#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <expected>
#include <initializer_list>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

#include "cdr/byte_order.hpp"
#include "rtps/body_io.hpp"
#include "rtps/wire_format_error.hpp"
#include "rtps/wire_types.hpp"

namespace kelvane::rtps {

inline constexpr std::uint32_t RTPS_BITMAP_MAX_BITS = 256;
inline constexpr std::size_t RTPS_BITMAP_MAX_WORDS = RTPS_BITMAP_MAX_BITS / 32;

// The bitmap words of a set, held inline: a set never has more than 8 words, so
// decoding one never allocates.
class BitmapWords {
 public:
  BitmapWords() = default;
  BitmapWords(std::initializer_list<std::uint32_t> words) {
    for (const auto w : words) push_back(w);
  }

  // Words beyond the eighth cannot be represented and are ignored.
  void push_back(std::uint32_t word) {
    if (size_ < words_.size()) words_[size_++] = word;
  }
  void resize(std::size_t n) {
    for (std::size_t i = size_; i < n && i < words_.size(); ++i) words_[i] = 0;
    size_ = n < words_.size() ? n : words_.size();
  }
  [[nodiscard]] std::size_t size() const { return size_; }
  [[nodiscard]] bool empty() const { return size_ == 0; }
  [[nodiscard]] std::uint32_t operator[](std::size_t i) const { return words_[i]; }
  [[nodiscard]] std::uint32_t& operator[](std::size_t i) { return words_[i]; }
  [[nodiscard]] const std::uint32_t* begin() const { return words_.data(); }
  [[nodiscard]] const std::uint32_t* end() const { return words_.data() + size_; }

  friend bool operator==(const BitmapWords& a, const BitmapWords& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end());
  }

 private:
  std::array<std::uint32_t, RTPS_BITMAP_MAX_WORDS> words_{};
  std::size_t size_ = 0;
};

// RTPS SequenceNumberSet / FragmentNumberSet: a base and up to 256 bits, bit i standing
// for base + i, most significant bit of each word first.
template <typename Number, std::size_t kBaseSize>
struct NumberSet {
  Number bitmap_base{};
  std::uint32_t num_bits = 0;
  BitmapWords bitmap;

  // Adds a member within base .. base + 255, growing num_bits and the words as needed;
  // returns false (and changes nothing) for a number outside that window.
  bool add(Number n) {
    if (n < bitmap_base) return false;
    const std::uint64_t index = distance(n);
    if (index >= RTPS_BITMAP_MAX_BITS) return false;
    const auto i = static_cast<std::uint32_t>(index);
    if (i + 1 > num_bits) num_bits = i + 1;
    if (bitmap.size() < (num_bits + 31) / 32) bitmap.resize((num_bits + 31) / 32);
    bitmap[i / 32] |= 0x80000000U >> (i % 32);
    return true;
  }

  [[nodiscard]] bool contains(Number n) const {
    if (n < bitmap_base) return false;
    const std::uint64_t index = distance(n);
    if (index >= num_bits || index / 32 >= bitmap.size()) return false;
    const auto i = static_cast<std::uint32_t>(index);
    return (bitmap[i / 32] & (0x80000000U >> (i % 32))) != 0;
  }

  // Calls f(member) for every set bit in ascending order.
  template <typename F>
  void for_each(F&& f) const {
    for (std::uint32_t i = 0; i < num_bits && i / 32 < bitmap.size(); ++i) {
      if ((bitmap[i / 32] & (0x80000000U >> (i % 32))) != 0) f(member(i));
    }
  }

  // Writes base, numBits and exactly the stored words.
  void write_to(std::vector<std::uint8_t>& out, bool little_endian) const {
    if constexpr (kBaseSize == 8) {
      append_sequence_number(out, bitmap_base, little_endian);
    } else {
      body_io::append_u32(out, bitmap_base, little_endian);
    }
    body_io::append_u32(out, num_bits, little_endian);
    for (const auto word : bitmap) body_io::append_u32(out, word, little_endian);
  }

  // Reads the set at offset; returns it with the offset just after it.
  [[nodiscard]] static std::expected<std::pair<NumberSet, std::size_t>, WireFormatError> read_from(
      std::span<const std::uint8_t> body, std::size_t offset, bool little_endian) {
    const std::size_t n = body.size();
    if (offset > n || n - offset < kBaseSize) return std::unexpected(WireFormatError::UnexpectedEof{kBaseSize, offset});
    NumberSet set;
    const std::uint8_t* p = body.data() + offset;
    if constexpr (kBaseSize == 8) {
      set.bitmap_base = load_sequence_number(p, little_endian);
    } else {
      set.bitmap_base = cdr::load_u32(p, little_endian);
    }
    if (n - offset < kBaseSize + 4) return std::unexpected(WireFormatError::UnexpectedEof{4, offset + kBaseSize});
    set.num_bits = cdr::load_u32(p + kBaseSize, little_endian);
    if (set.num_bits > RTPS_BITMAP_MAX_BITS) return std::unexpected(WireFormatError::ValueOutOfRange{too_many_bits_text()});
    const std::size_t words = (set.num_bits + 31) / 32;
    const std::size_t words_at = offset + kBaseSize + 4;
    if (n - words_at < 4 * words) return std::unexpected(WireFormatError::UnexpectedEof{4 * words, words_at});
    for (std::size_t w = 0; w < words; ++w) set.bitmap.push_back(cdr::load_u32(body.data() + words_at + 4 * w, little_endian));
    return std::pair{set, words_at + 4 * words};
  }

  [[nodiscard]] std::size_t wire_size() const { return kBaseSize + 4 + 4 * bitmap.size(); }

  friend bool operator==(const NumberSet&, const NumberSet&) = default;

 private:
  // Unsigned arithmetic: hostile bases near the ends of the range must not overflow.
  [[nodiscard]] std::uint64_t distance(Number n) const {
    return static_cast<std::uint64_t>(n) - static_cast<std::uint64_t>(bitmap_base);
  }
  [[nodiscard]] Number member(std::uint32_t i) const {
    return static_cast<Number>(static_cast<std::uint64_t>(bitmap_base) + i);
  }
  static constexpr std::string_view too_many_bits_text() {
    return kBaseSize == 8 ? "SequenceNumberSet.numBits exceeds RTPS_BITMAP_MAX_BITS (256)"
                          : "FragmentNumberSet.numBits exceeds RTPS_BITMAP_MAX_BITS (256)";
  }
};

using SequenceNumberSet = NumberSet<SequenceNumber, 8>;
using FragmentNumberSet = NumberSet<FragmentNumber, 4>;

}  // namespace kelvane::rtps
