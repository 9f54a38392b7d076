#include "builtin_data/endpoint_data.hpp"

#include <algorithm>
#include <limits>
#include <string_view>

#include "builtin_data/pids.hpp"
#include "builtin_data/record_values.hpp"
#include "builtin_data/value_codec.hpp"
#include "cdr/buffer.hpp"
#include "cdr/byte_order.hpp"

namespace kelvane::builtin_data {

namespace {

constexpr std::string_view kEndpointGuidMissing = "ENDPOINT_GUID missing or wrong length";
constexpr std::string_view kTopicNameMissing = "TOPIC_NAME missing";
constexpr std::string_view kTypeNameMissing = "TYPE_NAME missing";
constexpr std::string_view kDataRepresentationTooLong = "data_representation length exceeds u32::MAX";
constexpr std::string_view kTypeIdentifierFailed = "type_identifier encoding failed";

using EncodeStep = std::expected<void, rtps::WireFormatError>;

EncodeStep push_encoded(ParameterList& list, std::uint16_t pid,
                        std::expected<std::vector<std::uint8_t>, rtps::WireFormatError> value) {
  if (!value) return std::unexpected(value.error());
  list.push(pid, std::move(*value));
  return {};
}

EncodeStep push_octets_if_any(ParameterList& list, std::uint16_t pid,
                              const std::vector<std::uint8_t>& bytes) {
  if (bytes.empty()) return {};
  return push_encoded(list, pid, encode_octet_seq_le(bytes));
}

std::expected<std::vector<std::uint8_t>, rtps::WireFormatError> encode_data_representation(
    std::span<const std::int16_t> ids) {
  if (ids.size() > std::numeric_limits<std::uint32_t>::max()) {
    return std::unexpected(rtps::WireFormatError::ValueOutOfRange{kDataRepresentationTooLong});
  }
  std::vector<std::uint8_t> out = detail::u32_value(static_cast<std::uint32_t>(ids.size()));
  for (std::int16_t id : ids) {
    out.push_back(static_cast<std::uint8_t>(id));
    out.push_back(static_cast<std::uint8_t>(static_cast<std::uint16_t>(id) >> 8));
  }
  return out;
}

std::expected<std::vector<std::uint8_t>, rtps::WireFormatError> encode_type_identifier(
    const xtypes::TypeIdentifier& id) {
  cdr::BufferWriter writer(true);
  if (!id.encode_into(writer))
    return std::unexpected(rtps::WireFormatError::ValueOutOfRange{kTypeIdentifierFailed});
  return writer.take();
}

// Fields written in the same place by both records; the callers add their own between.
EncodeStep push_head(ParameterList& list, const EndpointBuiltinTopicData& e) {
  list.push(PID_PARTICIPANT_GUID, detail::guid_value(e.participant_guid));
  list.push(PID_ENDPOINT_GUID, detail::guid_value(e.endpoint_guid));
  if (auto r = push_encoded(list, PID_TOPIC_NAME, encode_cdr_string_le(e.topic_name)); !r) return r;
  if (auto r = push_encoded(list, PID_TYPE_NAME, encode_cdr_string_le(e.type_name)); !r) return r;
  list.push(PID_DURABILITY, detail::u32_value(static_cast<std::uint32_t>(e.durability)));
  list.push(PID_RELIABILITY, detail::kind_and_duration_value(static_cast<std::uint32_t>(e.reliability.kind),
                                                             e.reliability.max_blocking_time));
  list.push(PID_OWNERSHIP, detail::u32_value(static_cast<std::uint32_t>(e.ownership)));
  return {};
}

void push_liveliness_and_deadline(ParameterList& list, const EndpointBuiltinTopicData& e) {
  list.push(PID_LIVELINESS, detail::kind_and_duration_value(static_cast<std::uint32_t>(e.liveliness.kind),
                                                            e.liveliness.lease_duration));
  list.push(PID_DEADLINE, detail::duration_value(e.deadline));
}

EncodeStep push_data_fields(ParameterList& list, const EndpointBuiltinTopicData& e) {
  if (!e.partition.empty()) {
    if (auto r = push_encoded(list, PID_PARTITION, encode_partition_le(e.partition)); !r) return r;
  }
  if (auto r = push_octets_if_any(list, PID_USER_DATA, e.user_data); !r) return r;
  if (auto r = push_octets_if_any(list, PID_TOPIC_DATA, e.topic_data); !r) return r;
  if (auto r = push_octets_if_any(list, PID_GROUP_DATA, e.group_data); !r) return r;
  if (e.type_information) list.push(PID_TYPE_INFORMATION, *e.type_information);
  return {};
}

EncodeStep push_tail(ParameterList& list, const EndpointBuiltinTopicData& e) {
  if (e.endpoint_security_info) {
    const std::array<std::uint32_t, 2> values{e.endpoint_security_info->endpoint_security_attributes,
                                              e.endpoint_security_info->plugin_endpoint_security_attributes};
    list.push(PID_ENDPOINT_SECURITY_INFO, detail::u32_array_value(values));
  }
  if (e.service_instance_name) {
    if (auto r =
            push_encoded(list, PID_SERVICE_INSTANCE_NAME, encode_cdr_string_le(*e.service_instance_name));
        !r) {
      return r;
    }
  }
  if (e.related_entity_guid) list.push(PID_RELATED_ENTITY_GUID, detail::guid_value(*e.related_entity_guid));
  if (e.topic_aliases) {
    if (auto r = push_encoded(list, PID_TOPIC_ALIASES, encode_partition_le(*e.topic_aliases)); !r) return r;
  }
  if (e.type_identifier) {
    if (auto r = push_encoded(list, PID_TYPE_IDENTIFIER, encode_type_identifier(*e.type_identifier)); !r)
      return r;
  }
  if (!e.data_representation.empty()) {
    if (auto r =
            push_encoded(list, PID_DATA_REPRESENTATION, encode_data_representation(e.data_representation));
        !r) {
      return r;
    }
  }
  return {};
}

// As many entries as the value holds, up to its count.
std::vector<std::int16_t> read_data_representation(std::span<const std::uint8_t> value, bool le) {
  auto count = detail::read_u32(value, le);
  if (!count) return {};
  const std::size_t n = std::min<std::size_t>(*count, (value.size() - 4) / 2);
  std::vector<std::int16_t> ids;
  ids.reserve(n);
  for (std::size_t i = 0; i < n; ++i)
    ids.push_back(static_cast<std::int16_t>(cdr::load_u16(value.data() + 4 + 2 * i, le)));
  return ids;
}

std::optional<xtypes::TypeIdentifier> read_type_identifier(std::span<const std::uint8_t> value) {
  cdr::BufferReader reader(value, true);
  auto id = xtypes::TypeIdentifier::decode_with_depth(reader, 0);
  if (!id) return std::nullopt;
  return std::move(*id);
}

std::expected<EndpointBuiltinTopicData, rtps::WireFormatError> decode_common(
    const ParameterList& list, bool le, ReliabilityKind absent_reliability) {
  auto value = [&](std::uint16_t pid) { return detail::first_value(list, pid); };
  EndpointBuiltinTopicData e;

  auto endpoint_guid = value(PID_ENDPOINT_GUID);
  auto guid = endpoint_guid ? detail::read_guid(*endpoint_guid) : std::nullopt;
  if (!guid) return std::unexpected(rtps::WireFormatError::ValueOutOfRange{kEndpointGuidMissing});
  e.endpoint_guid = *guid;

  auto topic = value(PID_TOPIC_NAME);
  if (!topic) return std::unexpected(rtps::WireFormatError::ValueOutOfRange{kTopicNameMissing});
  auto topic_name = decode_cdr_string(*topic, le);
  if (!topic_name) return std::unexpected(topic_name.error());
  e.topic_name = std::move(*topic_name);

  auto type = value(PID_TYPE_NAME);
  if (!type) return std::unexpected(rtps::WireFormatError::ValueOutOfRange{kTypeNameMissing});
  auto type_name = decode_cdr_string(*type, le);
  if (!type_name) return std::unexpected(type_name.error());
  e.type_name = std::move(*type_name);

  auto participant = value(PID_PARTICIPANT_GUID);
  auto participant_guid = participant ? detail::read_guid(*participant) : std::nullopt;
  e.participant_guid = participant_guid.value_or(e.endpoint_guid.participant());

  if (auto v = value(PID_DURABILITY)) {
    if (auto kind = detail::read_u32(*v, le); kind && *kind >= 1 && *kind <= 3)
      e.durability = DurabilityKind{*kind};
  }
  e.reliability.kind = absent_reliability;
  if (auto v = value(PID_RELIABILITY); v && v->size() >= 12) {
    e.reliability.kind =
        *detail::read_u32(*v, le) == 2 ? ReliabilityKind::Reliable : ReliabilityKind::BestEffort;
    e.reliability.max_blocking_time = *detail::read_duration(*v, le, 4);
  }
  if (auto v = value(PID_OWNERSHIP)) {
    if (auto kind = detail::read_u32(*v, le))
      e.ownership = *kind == 1 ? OwnershipKind::Exclusive : OwnershipKind::Shared;
  }
  if (auto v = value(PID_LIVELINESS); v && v->size() >= 12) {
    const std::uint32_t kind = *detail::read_u32(*v, le);
    e.liveliness.kind = (kind == 1 || kind == 2) ? LivelinessKind{kind} : LivelinessKind::Automatic;
    e.liveliness.lease_duration = *detail::read_duration(*v, le, 4);
  }
  if (auto v = value(PID_DEADLINE)) e.deadline = detail::read_duration(*v, le).value_or(DURATION_INFINITE);
  if (auto v = value(PID_PARTITION))
    e.partition = decode_partition(*v, le).value_or(std::vector<std::string>{});
  if (auto v = value(PID_USER_DATA))
    e.user_data = decode_octet_seq(*v, le).value_or(std::vector<std::uint8_t>{});
  if (auto v = value(PID_TOPIC_DATA))
    e.topic_data = decode_octet_seq(*v, le).value_or(std::vector<std::uint8_t>{});
  if (auto v = value(PID_GROUP_DATA))
    e.group_data = decode_octet_seq(*v, le).value_or(std::vector<std::uint8_t>{});
  if (auto v = value(PID_TYPE_INFORMATION))
    e.type_information = std::vector<std::uint8_t>(v->begin(), v->end());
  if (auto v = value(PID_ENDPOINT_SECURITY_INFO)) {
    if (auto values = detail::read_u32_array<2>(*v, le))
      e.endpoint_security_info = EndpointSecurityInfo{(*values)[0], (*values)[1]};
  }
  if (auto v = value(PID_SERVICE_INSTANCE_NAME)) {
    if (auto name = decode_cdr_string(*v, le)) e.service_instance_name = std::move(*name);
  }
  if (auto v = value(PID_RELATED_ENTITY_GUID)) e.related_entity_guid = detail::read_guid(*v);
  if (auto v = value(PID_TOPIC_ALIASES)) e.topic_aliases = decode_partition(*v, le);
  if (auto v = value(PID_TYPE_IDENTIFIER)) e.type_identifier = read_type_identifier(*v);
  if (auto v = value(PID_DATA_REPRESENTATION)) e.data_representation = read_data_representation(*v, le);
  return e;
}

}  // namespace

std::expected<std::vector<std::uint8_t>, rtps::WireFormatError> PublicationBuiltinTopicData::to_pl_cdr_le()
    const {
  ParameterList list;
  if (auto r = push_head(list, *this); !r) return std::unexpected(r.error());
  list.push(PID_OWNERSHIP_STRENGTH, detail::u32_value(static_cast<std::uint32_t>(ownership_strength)));
  push_liveliness_and_deadline(list, *this);
  list.push(PID_LIFESPAN, detail::duration_value(lifespan));
  if (auto r = push_data_fields(list, *this); !r) return std::unexpected(r.error());
  if (auto r = push_tail(list, *this); !r) return std::unexpected(r.error());
  return detail::encode_pl_cdr_le(list);
}

std::expected<PublicationBuiltinTopicData, rtps::WireFormatError> PublicationBuiltinTopicData::from_pl_cdr_le(
    std::span<const std::uint8_t> payload) {
  auto decoded = detail::decode_pl_cdr(payload);
  if (!decoded) return std::unexpected(decoded.error());
  auto common = decode_common(decoded->list, decoded->little_endian, ReliabilityKind::Reliable);
  if (!common) return std::unexpected(common.error());
  PublicationBuiltinTopicData data{std::move(*common), 0, DURATION_INFINITE};
  const bool le = decoded->little_endian;
  if (auto v = detail::first_value(decoded->list, PID_OWNERSHIP_STRENGTH)) {
    if (auto strength = detail::read_u32(*v, le))
      data.ownership_strength = static_cast<std::int32_t>(*strength);
  }
  if (auto v = detail::first_value(decoded->list, PID_LIFESPAN)) {
    data.lifespan = detail::read_duration(*v, le).value_or(DURATION_INFINITE);
  }
  return data;
}

std::expected<std::vector<std::uint8_t>, rtps::WireFormatError> SubscriptionBuiltinTopicData::to_pl_cdr_le()
    const {
  ParameterList list;
  if (auto r = push_head(list, *this); !r) return std::unexpected(r.error());
  push_liveliness_and_deadline(list, *this);
  if (auto r = push_data_fields(list, *this); !r) return std::unexpected(r.error());
  if (content_filter) {
    if (auto r = push_encoded(list, PID_CONTENT_FILTER_PROPERTY,
                              encode_content_filter_property_le(*content_filter));
        !r) {
      return std::unexpected(r.error());
    }
  }
  if (auto r = push_tail(list, *this); !r) return std::unexpected(r.error());
  return detail::encode_pl_cdr_le(list);
}

std::expected<SubscriptionBuiltinTopicData, rtps::WireFormatError>
SubscriptionBuiltinTopicData::from_pl_cdr_le(std::span<const std::uint8_t> payload) {
  auto decoded = detail::decode_pl_cdr(payload);
  if (!decoded) return std::unexpected(decoded.error());
  auto common = decode_common(decoded->list, decoded->little_endian, ReliabilityKind::BestEffort);
  if (!common) return std::unexpected(common.error());
  SubscriptionBuiltinTopicData data{std::move(*common), std::nullopt};
  if (auto v = detail::first_value(decoded->list, PID_CONTENT_FILTER_PROPERTY)) {
    data.content_filter = decode_content_filter_property(*v, decoded->little_endian);
  }
  return data;
}

}  // namespace kelvane::builtin_data
