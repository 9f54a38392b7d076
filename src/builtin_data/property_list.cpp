#include "builtin_data/property_list.hpp"

#include <algorithm>
#include <array>
#include <string_view>

#include "builtin_data/value_codec.hpp"
#include "cdr/byte_order.hpp"

namespace kelvane::builtin_data {

namespace {

constexpr std::string_view kTooManyProperties = "PropertyList: exceeds MAX_PROPERTIES";
constexpr std::string_view kStringTooLong = "PropertyList: string exceeds MAX_PROPERTY_STRING_LEN";
constexpr std::string_view kInnerNul = "PropertyList: string contains inner null byte";
constexpr std::string_view kCountTooLarge = "PropertyList: count exceeds MAX_PROPERTIES";
constexpr std::string_view kBinaryCountTooLarge = "PropertyList: binary count exceeds MAX_PROPERTIES";
constexpr std::string_view kBinaryValueTooLong = "PropertyList: binary value exceeds cap";

// A written string must be readable back: with its NUL it must stay within the read cap.
std::expected<void, rtps::WireFormatError> check_string(std::string_view text) {
  if (text.size() >= MAX_PROPERTY_STRING_LEN)
    return std::unexpected(rtps::WireFormatError::ValueOutOfRange{kStringTooLong});
  if (text.find('\0') != std::string_view::npos)
    return std::unexpected(rtps::WireFormatError::ValueOutOfRange{kInnerNul});
  return {};
}

std::expected<std::uint32_t, rtps::WireFormatError> read_count(std::span<const std::uint8_t> bytes,
                                                               std::size_t pos, bool little_endian) {
  if (pos > bytes.size() || bytes.size() - pos < 4)
    return std::unexpected(rtps::WireFormatError::UnexpectedEof{4, pos});
  return cdr::load_u32(bytes.data() + pos, little_endian);
}

}  // namespace

std::expected<std::vector<std::uint8_t>, rtps::WireFormatError> WirePropertyList::encode(
    bool little_endian) const {
  if (properties.size() > MAX_PROPERTIES)
    return std::unexpected(rtps::WireFormatError::ValueOutOfRange{kTooManyProperties});
  std::vector<std::uint8_t> out;
  append_u32(out, static_cast<std::uint32_t>(properties.size()), little_endian);
  for (const WireProperty& p : properties) {
    if (auto r = check_string(p.name); !r) return std::unexpected(r.error());
    if (auto r = check_string(p.value); !r) return std::unexpected(r.error());
    if (auto r = write_cdr_string(out, p.name, little_endian); !r) return std::unexpected(r.error());
    pad_to_4(out);
    if (auto r = write_cdr_string(out, p.value, little_endian); !r) return std::unexpected(r.error());
    pad_to_4(out);
  }
  append_u32(out, 0, little_endian);
  return out;
}

std::expected<WirePropertyList, rtps::WireFormatError> WirePropertyList::decode(
    std::span<const std::uint8_t> bytes, bool little_endian) {
  auto count = read_count(bytes, 0, little_endian);
  if (!count) return std::unexpected(count.error());
  if (*count > MAX_PROPERTIES) return std::unexpected(rtps::WireFormatError::ValueOutOfRange{kCountTooLarge});
  WirePropertyList list;
  list.properties.reserve(std::min<std::size_t>(*count, (bytes.size() - 4) / 16));
  std::size_t pos = 4;
  for (std::uint32_t i = 0; i < *count; ++i) {
    auto name = read_cdr_string(bytes, pos, little_endian);
    if (!name) return std::unexpected(name.error());
    pos = align_4(pos);
    auto value = read_cdr_string(bytes, pos, little_endian);
    if (!value) return std::unexpected(value.error());
    pos = align_4(pos);
    list.properties.push_back({std::move(*name), std::move(*value)});
  }
  if (pos >= bytes.size()) return list;  // no binary-property sequence at all

  auto binary_count = read_count(bytes, pos, little_endian);
  if (!binary_count) return std::unexpected(binary_count.error());
  if (*binary_count > MAX_PROPERTIES)
    return std::unexpected(rtps::WireFormatError::ValueOutOfRange{kBinaryCountTooLarge});
  pos += 4;
  for (std::uint32_t i = 0; i < *binary_count; ++i) {
    if (auto name = read_cdr_string(bytes, pos, little_endian); !name) return std::unexpected(name.error());
    pos = align_4(pos);
    auto length = read_count(bytes, pos, little_endian);
    if (!length) return std::unexpected(length.error());
    if (*length > MAX_BINARY_PROPERTY_VALUE_LEN) {
      return std::unexpected(rtps::WireFormatError::ValueOutOfRange{kBinaryValueTooLong});
    }
    pos += 4;
    if (bytes.size() - pos < *length)
      return std::unexpected(rtps::WireFormatError::UnexpectedEof{*length, pos});
    pos = align_4(pos + *length);
  }
  return list;
}

}  // namespace kelvane::builtin_data
