#pragma once

#include <array>
#include <cstdint>
#include <expected>
#include <optional>
#include <span>
#include <vector>

#include "builtin_data/property_list.hpp"
#include "builtin_data/qos.hpp"
#include "rtps/wire_format_error.hpp"
#include "rtps/wire_types.hpp"

namespace kelvane::builtin_data {

// The participant announcement of participant discovery (SPDP).
struct ParticipantBuiltinTopicData {
  rtps::ProtocolVersion protocol_version = rtps::PROTOCOLVERSION_2_5;
  rtps::VendorId vendor_id = rtps::VENDORID_UNKNOWN;
  rtps::Guid guid;
  std::optional<rtps::Locator> default_unicast_locator;
  std::optional<rtps::Locator> default_multicast_locator;
  std::optional<rtps::Locator> metatraffic_unicast_locator;
  std::optional<rtps::Locator> metatraffic_multicast_locator;
  std::optional<std::uint32_t> domain_id;
  std::uint32_t builtin_endpoint_set = 0;
  Duration lease_duration = DEFAULT_PARTICIPANT_LEASE_DURATION;
  std::vector<std::uint8_t> user_data;
  // DDS-Security tokens and algorithm information, carried as they are.
  std::optional<std::vector<std::uint8_t>> identity_token;
  std::optional<std::vector<std::uint8_t>> permissions_token;
  std::optional<std::vector<std::uint8_t>> identity_status_token;
  std::optional<std::array<std::uint32_t, 4>> digital_signature_algorithm_info;
  std::optional<std::array<std::uint32_t, 2>> key_establishment_algorithm_info;
  std::optional<std::array<std::uint32_t, 4>> symmetric_cipher_algorithm_info;
  WirePropertyList properties;

  // PL_CDR_LE payload: encapsulation header and parameter list.
  [[nodiscard]] std::expected<std::vector<std::uint8_t>, rtps::WireFormatError> to_pl_cdr_le() const;
  // Accepts PL_CDR_LE and PL_CDR_BE; only a missing or malformed participant GUID fails.
  [[nodiscard]] static std::expected<ParticipantBuiltinTopicData, rtps::WireFormatError> from_pl_cdr_le(
      std::span<const std::uint8_t> payload);

  friend bool operator==(const ParticipantBuiltinTopicData&, const ParticipantBuiltinTopicData&) = default;
};

}  // namespace kelvane::builtin_data
