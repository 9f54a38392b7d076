#include "cdr/buffer.hpp"

#include "cdr/byte_order.hpp"
#include "common/utf8.hpp"

namespace kelvane::cdr {

void BufferWriter::pad_to(std::size_t alignment) {
  const std::size_t padding = (alignment - buffer_.size() % alignment) % alignment;
  buffer_.insert(buffer_.end(), padding, 0);
}

void BufferWriter::write_u16(std::uint16_t value) {
  pad_to(2);
  const std::size_t at = buffer_.size();
  buffer_.resize(at + 2);
  store_u16(buffer_.data() + at, value, little_endian_);
}

void BufferWriter::write_u32(std::uint32_t value) {
  pad_to(4);
  const std::size_t at = buffer_.size();
  buffer_.resize(at + 4);
  store_u32(buffer_.data() + at, value, little_endian_);
}

std::expected<void, EncodeError> BufferWriter::write_string(std::string_view text) {
  if (text.size() > kMaxCdrStringBytes) return std::unexpected(EncodeError::ValueTooLarge{kStringTooLongText});
  write_u32(static_cast<std::uint32_t>(text.size() + 1));
  buffer_.insert(buffer_.end(), text.begin(), text.end());
  buffer_.push_back(0);
  return {};
}

std::expected<void, DecodeError> BufferReader::align_and_require(std::size_t size) {
  const std::size_t padding = (size - position_ % size) % size;
  if (remaining() < padding) return std::unexpected(DecodeError::UnexpectedEof{padding, position_});
  position_ += padding;
  if (remaining() < size) return std::unexpected(DecodeError::UnexpectedEof{size, position_});
  return {};
}

std::expected<std::span<const std::uint8_t>, DecodeError> BufferReader::read_bytes(std::size_t count) {
  if (remaining() < count) return std::unexpected(DecodeError::UnexpectedEof{count, position_});
  const auto run = bytes_.subspan(position_, count);
  position_ += count;
  return run;
}

std::expected<std::uint8_t, DecodeError> BufferReader::read_u8() {
  if (remaining() < 1) return std::unexpected(DecodeError::UnexpectedEof{1, position_});
  return bytes_[position_++];
}

std::expected<bool, DecodeError> BufferReader::read_bool() {
  auto byte = read_u8();
  if (!byte) return std::unexpected(byte.error());
  return *byte != 0;
}

std::expected<std::uint16_t, DecodeError> BufferReader::read_u16() {
  if (auto ok = align_and_require(2); !ok) return std::unexpected(ok.error());
  const std::uint16_t value = load_u16(bytes_.data() + position_, little_endian_);
  position_ += 2;
  return value;
}

std::expected<std::int16_t, DecodeError> BufferReader::read_i16() {
  auto value = read_u16();
  if (!value) return std::unexpected(value.error());
  return static_cast<std::int16_t>(*value);
}

std::expected<std::uint32_t, DecodeError> BufferReader::read_u32() {
  if (auto ok = align_and_require(4); !ok) return std::unexpected(ok.error());
  const std::uint32_t value = load_u32(bytes_.data() + position_, little_endian_);
  position_ += 4;
  return value;
}

std::expected<std::int32_t, DecodeError> BufferReader::read_i32() {
  auto value = read_u32();
  if (!value) return std::unexpected(value.error());
  return static_cast<std::int32_t>(*value);
}

std::expected<std::string, DecodeError> BufferReader::read_string() {
  if (auto ok = align_and_require(4); !ok) return std::unexpected(ok.error());
  const std::size_t start = position_;
  const std::uint32_t length = load_u32(bytes_.data() + position_, little_endian_);
  position_ += 4;
  if (length == 0) {
    return std::unexpected(DecodeError::InvalidString{start, "length must be > 0 (null terminator required)"});
  }
  if (remaining() < length) return std::unexpected(DecodeError::UnexpectedEof{length, position_});
  const auto text = bytes_.subspan(position_, length);
  position_ += length;
  if (text.back() != 0) return std::unexpected(DecodeError::InvalidString{start, "missing null terminator"});
  const auto body = text.first(length - 1);
  if (!kelvane::is_valid_utf8(body)) return std::unexpected(DecodeError::InvalidUtf8{start + 4});
  return std::string(body.begin(), body.end());
}

}  // namespace kelvane::cdr
