#include "builtin_data/record_values.hpp"

#include "builtin_data/value_codec.hpp"
#include "cdr/byte_order.hpp"

namespace kelvane::builtin_data::detail {

namespace {

constexpr std::uint8_t PL_CDR_BE_ID = 0x02;
constexpr std::uint8_t PL_CDR_LE_ID = 0x03;

}  // namespace

std::vector<std::uint8_t> u32_value(std::uint32_t value) {
  std::vector<std::uint8_t> out;
  append_u32(out, value, true);
  return out;
}

std::vector<std::uint8_t> guid_value(const rtps::Guid& guid) {
  auto bytes = guid.to_bytes();
  return {bytes.begin(), bytes.end()};
}

std::vector<std::uint8_t> duration_value(Duration duration) {
  std::vector<std::uint8_t> out;
  append_u32(out, static_cast<std::uint32_t>(duration.seconds), true);
  append_u32(out, duration.fraction, true);
  return out;
}

std::vector<std::uint8_t> kind_and_duration_value(std::uint32_t kind, Duration duration) {
  std::vector<std::uint8_t> out = u32_value(kind);
  auto d = duration_value(duration);
  out.insert(out.end(), d.begin(), d.end());
  return out;
}

std::vector<std::uint8_t> locator_value(const rtps::Locator& locator) {
  std::vector<std::uint8_t> out;
  rtps::append_locator(out, locator, true);
  return out;
}

std::vector<std::uint8_t> u32_array_value(std::span<const std::uint32_t> values) {
  std::vector<std::uint8_t> out;
  for (std::uint32_t v : values) append_u32(out, v, true);
  return out;
}

std::optional<std::uint32_t> read_u32(std::span<const std::uint8_t> value, bool little_endian,
                                      std::size_t offset) {
  if (value.size() < offset + 4) return std::nullopt;
  return cdr::load_u32(value.data() + offset, little_endian);
}

std::optional<Duration> read_duration(std::span<const std::uint8_t> value, bool little_endian,
                                      std::size_t offset) {
  if (value.size() < offset + 8) return std::nullopt;
  return Duration{static_cast<std::int32_t>(cdr::load_u32(value.data() + offset, little_endian)),
                  cdr::load_u32(value.data() + offset + 4, little_endian)};
}

std::optional<rtps::Guid> read_guid(std::span<const std::uint8_t> value) {
  if (value.size() != 16) return std::nullopt;
  return rtps::Guid::from_bytes(value.first<16>());
}

std::optional<rtps::Locator> read_locator(std::span<const std::uint8_t> value, bool little_endian) {
  if (value.size() != rtps::LOCATOR_WIRE_SIZE) return std::nullopt;
  auto locator = rtps::read_locator(value, 0, little_endian);
  if (!locator) return std::nullopt;
  return *locator;
}

std::optional<std::span<const std::uint8_t>> first_value(const ParameterList& list, std::uint16_t pid) {
  const Parameter* p = list.find(pid);
  if (p == nullptr) return std::nullopt;
  return std::span<const std::uint8_t>(p->value);
}

std::expected<DecodedPayload, rtps::WireFormatError> decode_pl_cdr(std::span<const std::uint8_t> payload) {
  if (payload.size() < 4) return std::unexpected(rtps::WireFormatError::UnexpectedEof{4, 0});
  if (payload[0] != 0 || (payload[1] != PL_CDR_LE_ID && payload[1] != PL_CDR_BE_ID)) {
    return std::unexpected(rtps::WireFormatError::UnsupportedEncapsulation{{payload[0], payload[1]}});
  }
  const bool little_endian = payload[1] == PL_CDR_LE_ID;
  auto list = ParameterList::from_bytes(payload.subspan(4), little_endian);
  if (!list) return std::unexpected(list.error());
  return DecodedPayload{std::move(*list), little_endian};
}

std::expected<std::vector<std::uint8_t>, rtps::WireFormatError> encode_pl_cdr_le(const ParameterList& list) {
  std::vector<std::uint8_t> out{0x00, PL_CDR_LE_ID, 0x00, 0x00};
  if (auto r = list.append_to(out, true); !r) return std::unexpected(r.error());
  return out;
}

}  // namespace kelvane::builtin_data::detail
