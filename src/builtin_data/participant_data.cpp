#include "builtin_data/participant_data.hpp"

#include <string_view>

#include "builtin_data/pids.hpp"
#include "builtin_data/record_values.hpp"
#include "builtin_data/value_codec.hpp"

namespace kelvane::builtin_data {

namespace {

constexpr std::string_view kGuidMissing = "PARTICIPANT_GUID missing or wrong length";

void push_locator(ParameterList& list, std::uint16_t pid, const std::optional<rtps::Locator>& locator) {
  if (locator) list.push(pid, detail::locator_value(*locator));
}

void push_optional_bytes(ParameterList& list, std::uint16_t pid,
                         const std::optional<std::vector<std::uint8_t>>& bytes) {
  if (bytes) list.push(pid, *bytes);
}

template <std::size_t N>
void push_u32_array(ParameterList& list, std::uint16_t pid,
                    const std::optional<std::array<std::uint32_t, N>>& values) {
  if (values) list.push(pid, detail::u32_array_value(*values));
}

// Two leading bytes of the value, when there are at least two.
std::optional<std::array<std::uint8_t, 2>> leading_pair(std::optional<std::span<const std::uint8_t>> value) {
  if (!value || value->size() < 2) return std::nullopt;
  return std::array<std::uint8_t, 2>{(*value)[0], (*value)[1]};
}

}  // namespace

std::expected<std::vector<std::uint8_t>, rtps::WireFormatError> ParticipantBuiltinTopicData::to_pl_cdr_le()
    const {
  ParameterList list;
  list.push(PID_PROTOCOL_VERSION, {protocol_version.major, protocol_version.minor, 0, 0});
  list.push(PID_VENDORID, {vendor_id.bytes[0], vendor_id.bytes[1], 0, 0});
  list.push(PID_PARTICIPANT_GUID, detail::guid_value(guid));
  push_locator(list, PID_DEFAULT_UNICAST_LOCATOR, default_unicast_locator);
  push_locator(list, PID_DEFAULT_MULTICAST_LOCATOR, default_multicast_locator);
  push_locator(list, PID_METATRAFFIC_UNICAST_LOCATOR, metatraffic_unicast_locator);
  push_locator(list, PID_METATRAFFIC_MULTICAST_LOCATOR, metatraffic_multicast_locator);
  if (domain_id) list.push(PID_DOMAIN_ID, detail::u32_value(*domain_id));
  list.push(PID_BUILTIN_ENDPOINT_SET, detail::u32_value(builtin_endpoint_set));
  list.push(PID_PARTICIPANT_LEASE_DURATION, detail::duration_value(lease_duration));
  if (!user_data.empty()) {
    auto value = encode_octet_seq_le(user_data);
    if (!value) return std::unexpected(value.error());
    list.push(PID_USER_DATA, std::move(*value));
  }
  push_optional_bytes(list, PID_IDENTITY_TOKEN, identity_token);
  push_optional_bytes(list, PID_PERMISSIONS_TOKEN, permissions_token);
  push_optional_bytes(list, PID_IDENTITY_STATUS_TOKEN, identity_status_token);
  push_u32_array(list, PID_PARTICIPANT_SECURITY_DIGITAL_SIGNATURE_ALGO_INFO,
                 digital_signature_algorithm_info);
  push_u32_array(list, PID_PARTICIPANT_SECURITY_KEY_ESTABLISHMENT_ALGO_INFO,
                 key_establishment_algorithm_info);
  push_u32_array(list, PID_PARTICIPANT_SECURITY_SYMMETRIC_CIPHER_ALGO_INFO, symmetric_cipher_algorithm_info);
  if (!properties.properties.empty()) {
    auto value = properties.encode(true);
    if (!value) return std::unexpected(value.error());
    list.push(PID_PROPERTY_LIST, std::move(*value));
  }
  return detail::encode_pl_cdr_le(list);
}

std::expected<ParticipantBuiltinTopicData, rtps::WireFormatError> ParticipantBuiltinTopicData::from_pl_cdr_le(
    std::span<const std::uint8_t> payload) {
  auto decoded = detail::decode_pl_cdr(payload);
  if (!decoded) return std::unexpected(decoded.error());
  const ParameterList& list = decoded->list;
  const bool le = decoded->little_endian;
  auto value = [&](std::uint16_t pid) { return detail::first_value(list, pid); };

  ParticipantBuiltinTopicData data;
  auto guid = value(PID_PARTICIPANT_GUID);
  auto parsed_guid = guid ? detail::read_guid(*guid) : std::nullopt;
  if (!parsed_guid) return std::unexpected(rtps::WireFormatError::ValueOutOfRange{kGuidMissing});
  data.guid = *parsed_guid;

  if (auto v = leading_pair(value(PID_PROTOCOL_VERSION))) data.protocol_version = {(*v)[0], (*v)[1]};
  if (auto v = leading_pair(value(PID_VENDORID))) data.vendor_id = rtps::VendorId{*v};

  // Locators are read in the payload's byte order, so big-endian peers stay reachable.
  auto locator = [&](std::uint16_t pid) -> std::optional<rtps::Locator> {
    auto v = value(pid);
    return v ? detail::read_locator(*v, le) : std::nullopt;
  };
  data.default_unicast_locator = locator(PID_DEFAULT_UNICAST_LOCATOR);
  data.default_multicast_locator = locator(PID_DEFAULT_MULTICAST_LOCATOR);
  data.metatraffic_unicast_locator = locator(PID_METATRAFFIC_UNICAST_LOCATOR);
  data.metatraffic_multicast_locator = locator(PID_METATRAFFIC_MULTICAST_LOCATOR);

  if (auto v = value(PID_DOMAIN_ID); v && v->size() == 4) data.domain_id = detail::read_u32(*v, le);
  if (auto v = value(PID_BUILTIN_ENDPOINT_SET); v && v->size() == 4)
    data.builtin_endpoint_set = *detail::read_u32(*v, le);
  if (auto v = value(PID_PARTICIPANT_LEASE_DURATION); v && v->size() == 8)
    data.lease_duration = *detail::read_duration(*v, le);
  if (auto v = value(PID_USER_DATA))
    data.user_data = decode_octet_seq(*v, le).value_or(std::vector<std::uint8_t>{});

  auto copy = [&](std::uint16_t pid) -> std::optional<std::vector<std::uint8_t>> {
    auto v = value(pid);
    if (!v) return std::nullopt;
    return std::vector<std::uint8_t>(v->begin(), v->end());
  };
  data.identity_token = copy(PID_IDENTITY_TOKEN);
  data.permissions_token = copy(PID_PERMISSIONS_TOKEN);
  data.identity_status_token = copy(PID_IDENTITY_STATUS_TOKEN);
  if (auto v = value(PID_PARTICIPANT_SECURITY_DIGITAL_SIGNATURE_ALGO_INFO)) {
    data.digital_signature_algorithm_info = detail::read_u32_array<4>(*v, le);
  }
  if (auto v = value(PID_PARTICIPANT_SECURITY_KEY_ESTABLISHMENT_ALGO_INFO)) {
    data.key_establishment_algorithm_info = detail::read_u32_array<2>(*v, le);
  }
  if (auto v = value(PID_PARTICIPANT_SECURITY_SYMMETRIC_CIPHER_ALGO_INFO)) {
    data.symmetric_cipher_algorithm_info = detail::read_u32_array<4>(*v, le);
  }
  if (auto v = value(PID_PROPERTY_LIST)) {
    if (auto properties = WirePropertyList::decode(*v, le)) data.properties = std::move(*properties);
  }
  return data;
}

}  // namespace kelvane::builtin_data
