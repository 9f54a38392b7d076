#pragma once

#include <cstdint>
#include <expected>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "builtin_data/content_filter.hpp"
#include "builtin_data/qos.hpp"
#include "rtps/wire_format_error.hpp"
#include "rtps/wire_types.hpp"
#include "xtypes/type_identifier.hpp"

namespace kelvane::builtin_data {

// DDS-Security endpoint attributes, carried as they are.
struct EndpointSecurityInfo {
  std::uint32_t endpoint_security_attributes = 0;
  std::uint32_t plugin_endpoint_security_attributes = 0;

  friend bool operator==(const EndpointSecurityInfo&, const EndpointSecurityInfo&) = default;
};

// Fields shared by the publication and subscription announcements (SEDP).
struct EndpointBuiltinTopicData {
  rtps::Guid participant_guid;
  rtps::Guid endpoint_guid;
  std::string topic_name;
  std::string type_name;
  DurabilityKind durability = DurabilityKind::Volatile;
  ReliabilityQos reliability;
  OwnershipKind ownership = OwnershipKind::Shared;
  LivelinessQos liveliness;
  Duration deadline = DURATION_INFINITE;
  std::vector<std::string> partition;
  std::vector<std::uint8_t> user_data;
  std::vector<std::uint8_t> topic_data;
  std::vector<std::uint8_t> group_data;
  // An XTypes TypeInformation, carried unchanged.
  std::optional<std::vector<std::uint8_t>> type_information;
  std::optional<EndpointSecurityInfo> endpoint_security_info;
  std::optional<std::string> service_instance_name;
  std::optional<rtps::Guid> related_entity_guid;
  std::optional<std::vector<std::string>> topic_aliases;
  std::optional<xtypes::TypeIdentifier> type_identifier;
  std::vector<std::int16_t> data_representation;

  friend bool operator==(const EndpointBuiltinTopicData&, const EndpointBuiltinTopicData&) = default;
};

struct PublicationBuiltinTopicData : EndpointBuiltinTopicData {
  std::int32_t ownership_strength = 0;
  Duration lifespan = DURATION_INFINITE;

  // PL_CDR_LE payload: encapsulation header and parameter list.
  [[nodiscard]] std::expected<std::vector<std::uint8_t>, rtps::WireFormatError> to_pl_cdr_le() const;
  // Accepts PL_CDR_LE and PL_CDR_BE. Fails only on the encapsulation, the parameter list,
  // or a missing endpoint GUID, topic name or type name. An absent reliability reads as
  // RELIABLE, the standard default of a writer.
  [[nodiscard]] static std::expected<PublicationBuiltinTopicData, rtps::WireFormatError> from_pl_cdr_le(
      std::span<const std::uint8_t> payload);

  friend bool operator==(const PublicationBuiltinTopicData&, const PublicationBuiltinTopicData&) = default;
};

struct SubscriptionBuiltinTopicData : EndpointBuiltinTopicData {
  std::optional<ContentFilterProperty> content_filter;

  [[nodiscard]] std::expected<std::vector<std::uint8_t>, rtps::WireFormatError> to_pl_cdr_le() const;
  // As for publications; an absent reliability reads as BEST_EFFORT.
  [[nodiscard]] static std::expected<SubscriptionBuiltinTopicData, rtps::WireFormatError> from_pl_cdr_le(
      std::span<const std::uint8_t> payload);

  friend bool operator==(const SubscriptionBuiltinTopicData&, const SubscriptionBuiltinTopicData&) = default;
};

}  // namespace kelvane::builtin_data
