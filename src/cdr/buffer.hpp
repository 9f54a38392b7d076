#pragma once

#include <cstddef>
#include <cstdint>
#include <expected>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cdr/errors.hpp"

namespace kelvane::cdr {

// Longest text write_string accepts: length + 1 must fit in the 32-bit length field.
inline constexpr std::size_t kMaxCdrStringBytes = 4'294'967'294U;

// CDR serialiser. Alignment is counted from offset 0 of the buffer: 2-byte values start
// at even offsets, 4-byte values at multiples of 4, padding bytes are 0.
class BufferWriter {
 public:
  explicit BufferWriter(bool little_endian) : little_endian_(little_endian) {}

  void write_bytes(std::span<const std::uint8_t> bytes) { buffer_.insert(buffer_.end(), bytes.begin(), bytes.end()); }
  void write_u8(std::uint8_t value) { buffer_.push_back(value); }
  void write_bool(bool value) { buffer_.push_back(value ? 1 : 0); }
  void write_u16(std::uint16_t value);
  void write_i16(std::int16_t value) { write_u16(static_cast<std::uint16_t>(value)); }
  void write_u32(std::uint32_t value);
  void write_i32(std::int32_t value) { write_u32(static_cast<std::uint32_t>(value)); }
  // Fails, writing nothing, for a text longer than kMaxCdrStringBytes.
  [[nodiscard]] std::expected<void, EncodeError> write_string(std::string_view text);

  void reserve(std::size_t capacity) { buffer_.reserve(capacity); }
  [[nodiscard]] std::size_t position() const { return buffer_.size(); }
  [[nodiscard]] bool little_endian() const { return little_endian_; }
  [[nodiscard]] std::span<const std::uint8_t> bytes() const { return buffer_; }
  // Takes the finished bytes out; the writer is empty afterwards.
  [[nodiscard]] std::vector<std::uint8_t> take() { return std::move(buffer_); }

 private:
  void pad_to(std::size_t alignment);

  std::vector<std::uint8_t> buffer_;
  bool little_endian_;
};

// CDR deserialiser over a borrowed byte range. Alignment is counted from offset 0 of the
// range; padding bytes are skipped unchecked. After an error the reader is abandoned.
class BufferReader {
 public:
  BufferReader(std::span<const std::uint8_t> bytes, bool little_endian)
      : bytes_(bytes), little_endian_(little_endian) {}

  [[nodiscard]] std::expected<std::span<const std::uint8_t>, DecodeError> read_bytes(std::size_t count);
  [[nodiscard]] std::expected<std::uint8_t, DecodeError> read_u8();
  [[nodiscard]] std::expected<bool, DecodeError> read_bool();
  [[nodiscard]] std::expected<std::uint16_t, DecodeError> read_u16();
  [[nodiscard]] std::expected<std::int16_t, DecodeError> read_i16();
  [[nodiscard]] std::expected<std::uint32_t, DecodeError> read_u32();
  [[nodiscard]] std::expected<std::int32_t, DecodeError> read_i32();
  // A CDR string: u32 length counting the NUL, the UTF-8 bytes, the NUL.
  [[nodiscard]] std::expected<std::string, DecodeError> read_string();

  [[nodiscard]] std::size_t position() const { return position_; }
  [[nodiscard]] std::size_t remaining() const { return bytes_.size() - position_; }
  [[nodiscard]] bool little_endian() const { return little_endian_; }

 private:
  [[nodiscard]] std::expected<void, DecodeError> align_and_require(std::size_t size);

  std::span<const std::uint8_t> bytes_;
  std::size_t position_ = 0;
  bool little_endian_;
};

}  // namespace kelvane::cdr
