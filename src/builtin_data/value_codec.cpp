#include "builtin_data/value_codec.hpp"

#include <algorithm>
#include <array>
#include <limits>

#include "cdr/byte_order.hpp"
#include "common/utf8.hpp"

namespace kelvane::builtin_data {

namespace {

constexpr std::string_view kStringTooLong = "CDR string length exceeds u32::MAX";
constexpr std::string_view kOctetSeqTooLong = "octet sequence length exceeds u32::MAX";
constexpr std::string_view kPartitionTooLong = "partition count exceeds u32::MAX";
constexpr std::string_view kLengthZero = "CDR string length 0 (missing null terminator)";
constexpr std::string_view kExceedsPropertyCap = "CDR string exceeds MAX_PROPERTY_STRING_LEN";
constexpr std::string_view kMissingNul = "CDR string missing null terminator";
constexpr std::string_view kNotUtf8 = "CDR string is not valid UTF-8";

// Largest text whose length + 1 fits the u32 length field.
constexpr std::size_t kMaxStringBytes = std::numeric_limits<std::uint32_t>::max() - 1;

void append_raw_string(std::vector<std::uint8_t>& out, std::string_view text, bool little_endian) {
  append_u32(out, static_cast<std::uint32_t>(text.size() + 1), little_endian);
  out.insert(out.end(), text.begin(), text.end());
  out.push_back(0);
}

// Shared body of the string readers; max_length 0 means no cap.
std::expected<std::string, rtps::WireFormatError> read_string(std::span<const std::uint8_t> bytes,
                                                              std::size_t& pos, bool little_endian,
                                                              std::size_t max_length,
                                                              bool eof_counts_header) {
  if (pos > bytes.size() || bytes.size() - pos < 4)
    return std::unexpected(rtps::WireFormatError::UnexpectedEof{4, pos});
  const std::uint32_t length = cdr::load_u32(bytes.data() + pos, little_endian);
  if (length == 0) return std::unexpected(rtps::WireFormatError::ValueOutOfRange{kLengthZero});
  if (max_length != 0 && length > max_length) {
    return std::unexpected(rtps::WireFormatError::ValueOutOfRange{kExceedsPropertyCap});
  }
  if (bytes.size() - pos - 4 < length) {
    if (eof_counts_header)
      return std::unexpected(rtps::WireFormatError::UnexpectedEof{std::size_t{length} + 4, pos});
    return std::unexpected(rtps::WireFormatError::UnexpectedEof{length, pos + 4});
  }
  auto body = bytes.subspan(pos + 4, length);
  if (body.back() != 0) return std::unexpected(rtps::WireFormatError::ValueOutOfRange{kMissingNul});
  auto text = body.first(length - 1);
  if (!is_valid_utf8(text)) return std::unexpected(rtps::WireFormatError::ValueOutOfRange{kNotUtf8});
  pos += 4 + length;
  return std::string(text.begin(), text.end());
}

}  // namespace

void append_u32(std::vector<std::uint8_t>& out, std::uint32_t value, bool little_endian) {
  std::array<std::uint8_t, 4> b{};
  cdr::store_u32(b.data(), value, little_endian);
  out.insert(out.end(), b.begin(), b.end());
}

std::expected<void, rtps::WireFormatError> write_cdr_string(std::vector<std::uint8_t>& out,
                                                            std::string_view text, bool little_endian) {
  if (text.size() > kMaxStringBytes)
    return std::unexpected(rtps::WireFormatError::ValueOutOfRange{kStringTooLong});
  append_raw_string(out, text, little_endian);
  return {};
}

std::expected<std::string, rtps::WireFormatError> read_cdr_string(std::span<const std::uint8_t> bytes,
                                                                  std::size_t& pos, bool little_endian) {
  return read_string(bytes, pos, little_endian, MAX_PROPERTY_STRING_LEN, false);
}

std::expected<std::string, rtps::WireFormatError> read_value_string(std::span<const std::uint8_t> bytes,
                                                                    std::size_t& pos, bool little_endian) {
  return read_string(bytes, pos, little_endian, 0, true);
}

std::expected<void, rtps::WireFormatError> append_cdr_string_le(std::vector<std::uint8_t>& out,
                                                                std::string_view text) {
  if (auto r = write_cdr_string(out, text, true); !r) return r;
  pad_to_4(out);
  return {};
}

std::expected<std::vector<std::uint8_t>, rtps::WireFormatError> encode_cdr_string_le(std::string_view text) {
  std::vector<std::uint8_t> out;
  if (auto r = append_cdr_string_le(out, text); !r) return std::unexpected(r.error());
  return out;
}

std::expected<std::string, rtps::WireFormatError> decode_cdr_string(std::span<const std::uint8_t> bytes,
                                                                    bool little_endian) {
  std::size_t pos = 0;
  return read_value_string(bytes, pos, little_endian);
}

std::expected<std::vector<std::uint8_t>, rtps::WireFormatError> encode_octet_seq_le(
    std::span<const std::uint8_t> bytes) {
  if (bytes.size() > std::numeric_limits<std::uint32_t>::max()) {
    return std::unexpected(rtps::WireFormatError::ValueOutOfRange{kOctetSeqTooLong});
  }
  std::vector<std::uint8_t> out;
  out.reserve(align_4(4 + bytes.size()));
  append_u32(out, static_cast<std::uint32_t>(bytes.size()), true);
  out.insert(out.end(), bytes.begin(), bytes.end());
  pad_to_4(out);
  return out;
}

std::optional<std::vector<std::uint8_t>> decode_octet_seq(std::span<const std::uint8_t> bytes,
                                                          bool little_endian) {
  if (bytes.size() < 4) return std::nullopt;
  const std::uint32_t length = cdr::load_u32(bytes.data(), little_endian);
  if (bytes.size() - 4 < length) return std::nullopt;
  auto data = bytes.subspan(4, length);
  return std::vector<std::uint8_t>(data.begin(), data.end());
}

std::expected<void, rtps::WireFormatError> append_string_list_le(std::vector<std::uint8_t>& out,
                                                                 std::span<const std::string> names) {
  if (names.size() > std::numeric_limits<std::uint32_t>::max()) {
    return std::unexpected(rtps::WireFormatError::ValueOutOfRange{kPartitionTooLong});
  }
  append_u32(out, static_cast<std::uint32_t>(names.size()), true);
  for (const std::string& name : names) {
    if (auto r = append_cdr_string_le(out, name); !r) return r;
  }
  return {};
}

std::expected<std::vector<std::uint8_t>, rtps::WireFormatError> encode_partition_le(
    std::span<const std::string> names) {
  std::vector<std::uint8_t> out;
  if (auto r = append_string_list_le(out, names); !r) return std::unexpected(r.error());
  return out;
}

std::optional<std::vector<std::string>> read_string_list(std::span<const std::uint8_t> bytes,
                                                         std::size_t& pos, bool little_endian) {
  if (pos > bytes.size() || bytes.size() - pos < 4) return std::nullopt;
  const std::uint32_t count = cdr::load_u32(bytes.data() + pos, little_endian);
  // Every string takes at least 5 bytes, so the data bounds the reservation.
  const std::size_t available = bytes.size() - pos - 4;
  std::vector<std::string> names;
  names.reserve(std::min<std::size_t>(count, available / 5));
  pos += 4;
  for (std::uint32_t i = 0; i < count; ++i) {
    std::size_t at = align_4(pos);
    auto name = read_value_string(bytes, at, little_endian);
    if (!name) return std::nullopt;
    names.push_back(std::move(*name));
    pos = at;
  }
  return names;
}

std::optional<std::vector<std::string>> decode_partition(std::span<const std::uint8_t> bytes,
                                                         bool little_endian) {
  std::size_t pos = 0;
  return read_string_list(bytes, pos, little_endian);
}

}  // namespace kelvane::builtin_data
