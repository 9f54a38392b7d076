#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <expected>
#include <optional>
#include <span>
#include <vector>

#include "builtin_data/parameter_list.hpp"
#include "builtin_data/qos.hpp"
#include "rtps/wire_types.hpp"

namespace kelvane::builtin_data::detail {

// Fixed value layouts of the discovery records: built little-endian, read in the byte
// order of the payload. Readers return nothing when the value is too short.

[[nodiscard]] std::vector<std::uint8_t> u32_value(std::uint32_t value);
[[nodiscard]] std::vector<std::uint8_t> guid_value(const rtps::Guid& guid);
[[nodiscard]] std::vector<std::uint8_t> duration_value(Duration duration);
[[nodiscard]] std::vector<std::uint8_t> kind_and_duration_value(std::uint32_t kind, Duration duration);
[[nodiscard]] std::vector<std::uint8_t> locator_value(const rtps::Locator& locator);
[[nodiscard]] std::vector<std::uint8_t> u32_array_value(std::span<const std::uint32_t> values);

[[nodiscard]] std::optional<std::uint32_t> read_u32(std::span<const std::uint8_t> value, bool little_endian,
                                                    std::size_t offset = 0);
[[nodiscard]] std::optional<Duration> read_duration(std::span<const std::uint8_t> value, bool little_endian,
                                                    std::size_t offset = 0);
// Exactly 16 bytes.
[[nodiscard]] std::optional<rtps::Guid> read_guid(std::span<const std::uint8_t> value);
// Exactly 24 bytes with an accepted kind.
[[nodiscard]] std::optional<rtps::Locator> read_locator(std::span<const std::uint8_t> value,
                                                        bool little_endian);

// Reads N u32 values when at least 4 * N bytes are there.
template <std::size_t N>
[[nodiscard]] std::optional<std::array<std::uint32_t, N>> read_u32_array(std::span<const std::uint8_t> value,
                                                                         bool little_endian) {
  if (value.size() < 4 * N) return std::nullopt;
  std::array<std::uint32_t, N> out{};
  for (std::size_t i = 0; i < N; ++i) out[i] = *read_u32(value, little_endian, 4 * i);
  return out;
}

// The value of the first parameter with this id, if there is one.
[[nodiscard]] std::optional<std::span<const std::uint8_t>> first_value(const ParameterList& list,
                                                                       std::uint16_t pid);

// The PL_CDR payload of a discovery record: encapsulation header then parameter list.
struct DecodedPayload {
  ParameterList list;
  bool little_endian = true;
};
[[nodiscard]] std::expected<DecodedPayload, rtps::WireFormatError> decode_pl_cdr(
    std::span<const std::uint8_t> payload);
// Writes 00 03 00 00 and the list little-endian.
[[nodiscard]] std::expected<std::vector<std::uint8_t>, rtps::WireFormatError> encode_pl_cdr_le(
    const ParameterList& list);

}  // namespace kelvane::builtin_data::detail
