#pragma once

#include <cstddef>
#include <cstdint>
#include <expected>
#include <span>
#include <vector>

#include "rtps/wire_format_error.hpp"
#include "rtps/wire_types.hpp"

namespace kelvane::builtin_data {

// Largest data carried by one writer-liveliness message.
inline constexpr std::size_t MAX_DATA_LEN = 4096;

// Payload of the writer-liveliness protocol.
struct ParticipantMessageData {
  rtps::Guid participant_guid;
  std::uint32_t kind = 0;
  std::vector<std::uint8_t> data;

  // Encapsulation CDR_LE or CDR_BE, GUID, kind, data length, data (no padding).
  [[nodiscard]] std::expected<std::vector<std::uint8_t>, rtps::WireFormatError> to_cdr(
      bool little_endian) const;
  // Also reads the standard short layout (12-byte prefix instead of the GUID) when the
  // body is shorter than 24 bytes.
  [[nodiscard]] static std::expected<ParticipantMessageData, rtps::WireFormatError> from_cdr(
      std::span<const std::uint8_t> bytes);

  friend bool operator==(const ParticipantMessageData&, const ParticipantMessageData&) = default;
};

}  // namespace kelvane::builtin_data
