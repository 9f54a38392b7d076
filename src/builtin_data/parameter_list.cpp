#include "builtin_data/parameter_list.hpp"

#include <algorithm>
#include <array>

#include "cdr/byte_order.hpp"
#include "rtps/encoded_parameter_list.hpp"

namespace kelvane::builtin_data {

namespace {

constexpr std::string_view kLengthNotAligned = "ParameterList length not 4-byte aligned";
constexpr std::string_view kTooManyParameters = "ParameterList exceeds MAX_PARAMETERS cap";
constexpr std::string_view kValueTooLong = "ParameterList value exceeds 65532 bytes";
constexpr std::string_view kUnknownMustUnderstand = "ParameterList contains unknown must-understand PID";

constexpr std::size_t padded4(std::size_t n) { return (n + 3) & ~std::size_t{3}; }

}  // namespace

const Parameter* ParameterList::find(std::uint16_t pid) const {
  auto it = std::ranges::find(parameters, pid, &Parameter::pid);
  return it == parameters.end() ? nullptr : &*it;
}

std::size_t ParameterList::encoded_size() const {
  std::size_t size = 4;
  for (const Parameter& p : parameters) size += 4 + padded4(p.value.size());
  return size;
}

std::expected<void, rtps::WireFormatError> ParameterList::append_to(std::vector<std::uint8_t>& out,
                                                                    bool little_endian) const {
  for (const Parameter& p : parameters) {
    if (p.value.size() > MAX_PARAMETER_VALUE_LEN)
      return std::unexpected(rtps::WireFormatError::ValueOutOfRange{kValueTooLong});
  }
  out.reserve(out.size() + encoded_size());
  for (const Parameter& p : parameters) {
    const std::size_t padded = padded4(p.value.size());
    std::array<std::uint8_t, 4> header{};
    cdr::store_u16(header.data(), p.pid, little_endian);
    cdr::store_u16(header.data() + 2, static_cast<std::uint16_t>(padded), little_endian);
    out.insert(out.end(), header.begin(), header.end());
    out.insert(out.end(), p.value.begin(), p.value.end());
    out.resize(out.size() + (padded - p.value.size()), 0);
  }
  std::array<std::uint8_t, 4> sentinel{};
  cdr::store_u16(sentinel.data(), PID_SENTINEL, little_endian);
  out.insert(out.end(), sentinel.begin(), sentinel.end());
  return {};
}

std::expected<std::vector<std::uint8_t>, rtps::WireFormatError> ParameterList::to_bytes(
    bool little_endian) const {
  std::vector<std::uint8_t> out;
  if (auto r = append_to(out, little_endian); !r) return std::unexpected(r.error());
  return out;
}

std::expected<ParameterList, rtps::WireFormatError> ParameterList::from_bytes(
    std::span<const std::uint8_t> bytes, bool little_endian) {
  ParameterList list;
  std::size_t p = 0;
  while (true) {
    if (bytes.size() - p < 4) return std::unexpected(rtps::WireFormatError::UnexpectedEof{4, p});
    const std::uint16_t pid = cdr::load_u16(bytes.data() + p, little_endian);
    const std::uint16_t length = cdr::load_u16(bytes.data() + p + 2, little_endian);
    if (pid == PID_SENTINEL) return list;
    if (length % 4 != 0) return std::unexpected(rtps::WireFormatError::ValueOutOfRange{kLengthNotAligned});
    const std::size_t value_start = p + 4;
    if (bytes.size() - value_start < length) {
      return std::unexpected(rtps::WireFormatError::UnexpectedEof{length, value_start});
    }
    if (pid != PID_IGNORED) {
      if (list.parameters.size() >= MAX_PARAMETERS) {
        return std::unexpected(rtps::WireFormatError::ValueOutOfRange{kTooManyParameters});
      }
      auto value = bytes.subspan(value_start, length);
      list.parameters.push_back({pid, std::vector<std::uint8_t>(value.begin(), value.end())});
    }
    p = value_start + length;
  }
}

std::expected<void, rtps::WireFormatError> ParameterList::validate_must_understand_in_data_pipeline() const {
  for (const Parameter& p : parameters) {
    if (!rtps::is_understood_parameter_id(p.pid)) {
      return std::unexpected(rtps::WireFormatError::ValueOutOfRange{kUnknownMustUnderstand});
    }
  }
  return {};
}

}  // namespace kelvane::builtin_data
