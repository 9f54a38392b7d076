#pragma once

#include "builtin_data/endpoint_data.hpp"
#include "builtin_data/participant_data.hpp"

namespace kelvane::builtin_data::samples {

// Representative records with every optional field set, shared by the round-trip tests.

inline rtps::Guid sample_guid(std::uint8_t seed, rtps::EntityId id) {
  rtps::Guid guid;
  for (std::size_t i = 0; i < guid.prefix.bytes.size(); ++i)
    guid.prefix.bytes[i] = static_cast<std::uint8_t>(seed + i);
  guid.entity_id = id;
  return guid;
}

inline ParticipantBuiltinTopicData full_participant() {
  ParticipantBuiltinTopicData p;
  p.protocol_version = {2, 4};
  p.vendor_id = rtps::VENDORID_KELVANE;
  p.guid = sample_guid(1, rtps::ENTITYID_PARTICIPANT);
  p.default_unicast_locator = rtps::Locator::udpv4({127, 0, 0, 1}, 7411);
  p.default_multicast_locator = rtps::Locator::udpv4({239, 255, 0, 1}, 7401);
  p.metatraffic_unicast_locator = rtps::Locator::udpv4({10, 0, 0, 2}, 7410);
  p.metatraffic_multicast_locator = rtps::Locator::udpv4({239, 255, 0, 1}, 7400);
  p.domain_id = 3;
  p.builtin_endpoint_set = 0x00000C3F;
  p.lease_duration = {20, 0x80000000};
  p.user_data = {1, 2, 3, 4, 5};
  p.identity_token = std::vector<std::uint8_t>{0xAA, 0xBB, 0xCC, 0xDD};
  p.permissions_token = std::vector<std::uint8_t>{};
  p.identity_status_token = std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6, 7, 8};
  p.digital_signature_algorithm_info = std::array<std::uint32_t, 4>{1, 2, 3, 4};
  p.key_establishment_algorithm_info = std::array<std::uint32_t, 2>{5, 6};
  p.symmetric_cipher_algorithm_info = std::array<std::uint32_t, 4>{7, 8, 9, 10};
  p.properties.properties = {{"dds.sys_info.hostname", "node-1"}, {"k", ""}};
  return p;
}

inline void fill_endpoint(EndpointBuiltinTopicData& e, rtps::EntityId id) {
  e.endpoint_guid = sample_guid(7, id);
  e.participant_guid = e.endpoint_guid.participant();
  e.topic_name = "sensors/temperature";
  e.type_name = "Text";
  e.durability = DurabilityKind::TransientLocal;
  e.reliability = {ReliabilityKind::Reliable, {1, 0}};
  e.ownership = OwnershipKind::Exclusive;
  e.liveliness = {LivelinessKind::ManualByTopic, {5, 0}};
  e.deadline = {2, 0x40000000};
  e.partition = {"a", "b*"};
  e.user_data = {1};
  e.topic_data = {2, 3};
  e.group_data = {4, 5, 6};
  e.type_information = std::vector<std::uint8_t>{0x60, 0x00, 0x00, 0x00};
  e.endpoint_security_info = EndpointSecurityInfo{0x80000001, 0x80000002};
  e.service_instance_name = "svc";
  e.related_entity_guid = sample_guid(9, rtps::make_entity_id(0, 0, 9, rtps::EntityKind::UserWriterNoKey));
  e.topic_aliases = std::vector<std::string>{"alias"};
  e.type_identifier = xtypes::TypeIdentifier{xtypes::String8Small{64}};
  e.data_representation = {2, 0};
}

inline PublicationBuiltinTopicData full_publication() {
  PublicationBuiltinTopicData p;
  fill_endpoint(p, rtps::make_entity_id(0, 0, 1, rtps::EntityKind::UserWriterNoKey));
  p.ownership_strength = -5;
  p.lifespan = {60, 0};
  return p;
}

inline SubscriptionBuiltinTopicData full_subscription() {
  SubscriptionBuiltinTopicData s;
  fill_endpoint(s, rtps::make_entity_id(0, 0, 2, rtps::EntityKind::UserReaderNoKey));
  s.content_filter = ContentFilterProperty{"filtered", "sensors/temperature", "DDSSQL", "value > %0", {"5"}};
  return s;
}

// Only the required fields and the defaults.
inline PublicationBuiltinTopicData minimal_publication() {
  PublicationBuiltinTopicData p;
  p.endpoint_guid = sample_guid(3, rtps::make_entity_id(0, 0, 4, rtps::EntityKind::UserWriterWithKey));
  p.participant_guid = p.endpoint_guid.participant();
  p.topic_name = "t";
  p.type_name = "T";
  return p;
}

}  // namespace kelvane::builtin_data::samples
