#include <gtest/gtest.h>

#include <string>

#include "builtin_data/data_representation.hpp"
#include "builtin_data/parameter_list.hpp"
#include "builtin_data/participant_message_data.hpp"
#include "builtin_data/pids.hpp"
#include "builtin_data/record_samples.hpp"
#include "builtin_data/shm_locator.hpp"
#include "xtypes/test_hex.hpp"

namespace kelvane::builtin_data {
namespace {

using kelvane::test::hex;
using rtps::WireFormatError;

WireFormatError out_of_range(std::string_view text) { return WireFormatError::ValueOutOfRange{text}; }

// A PL_CDR payload from (pid, hex value) pairs in the given byte order.
std::vector<std::uint8_t> payload(bool little_endian,
                                  const std::vector<std::pair<std::uint16_t, std::string>>& params) {
  ParameterList list;
  for (const auto& [pid, value] : params) list.push(pid, hex(value));
  std::vector<std::uint8_t> out{0x00, static_cast<std::uint8_t>(little_endian ? 0x03 : 0x02), 0x00, 0x00};
  EXPECT_TRUE(list.append_to(out, little_endian).has_value());
  return out;
}

std::vector<std::uint16_t> pids_of(const std::vector<std::uint8_t>& bytes) {
  auto list = ParameterList::from_bytes(std::span(bytes).subspan(4), true);
  EXPECT_TRUE(list.has_value());
  std::vector<std::uint16_t> pids;
  for (const Parameter& p : list->parameters) pids.push_back(p.pid);
  return pids;
}

constexpr std::string_view kGuidHex = "01 02 03 04 05 06 07 08 09 0A 0B 0C 00 00 01 C1";
constexpr std::string_view kEndpointGuidHex = "01 02 03 04 05 06 07 08 09 0A 0B 0C 00 00 07 03";
constexpr std::string_view kTopicHex = "02 00 00 00 74 00 00 00";             // "t"
constexpr std::string_view kTypeHex = "05 00 00 00 54 65 78 74 00 00 00 00";  // "Text"

std::vector<std::pair<std::uint16_t, std::string>> required_endpoint_params() {
  return {{PID_ENDPOINT_GUID, std::string(kEndpointGuidHex)},
          {PID_TOPIC_NAME, std::string(kTopicHex)},
          {PID_TYPE_NAME, std::string(kTypeHex)}};
}

TEST(ParticipantDataTest, RoundTripsRepresentativeRecords) {
  ParticipantBuiltinTopicData minimal;
  minimal.guid = samples::sample_guid(0x40, rtps::ENTITYID_PARTICIPANT);
  for (const ParticipantBuiltinTopicData& p : {samples::full_participant(), minimal}) {
    auto bytes = p.to_pl_cdr_le();
    ASSERT_TRUE(bytes.has_value());
    auto decoded = ParticipantBuiltinTopicData::from_pl_cdr_le(*bytes);
    ASSERT_TRUE(decoded.has_value()) << rtps::to_string(decoded.error());
    EXPECT_EQ(*decoded, p);
  }
}

TEST(ParticipantDataTest, WritesParametersInOrder) {
  auto bytes = samples::full_participant().to_pl_cdr_le();
  ASSERT_TRUE(bytes.has_value());
  EXPECT_EQ(std::vector<std::uint8_t>(bytes->begin(), bytes->begin() + 12),
            hex("00 03 00 00 15 00 04 00 02 04 00 00"));
  EXPECT_EQ(pids_of(*bytes), (std::vector<std::uint16_t>{0x0015, 0x0016, 0x0050, 0x0031, 0x0048, 0x0032,
                                                         0x0033, 0x000F, 0x0058, 0x0002, 0x002C, 0x1001,
                                                         0x1002, 0x1006, 0x1010, 0x1011, 0x1012, 0x0059}));

  ParticipantBuiltinTopicData minimal;
  minimal.guid = rtps::Guid::from_bytes(std::span<const std::uint8_t, 16>(hex(kGuidHex).data(), 16));
  auto small = minimal.to_pl_cdr_le();
  ASSERT_TRUE(small.has_value());
  EXPECT_EQ(*small, hex("00 03 00 00 15 00 04 00 02 05 00 00 16 00 04 00 00 00 00 00"
                        "50 00 10 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 00 00 01 C1"
                        "58 00 04 00 00 00 00 00 02 00 08 00 64 00 00 00 00 00 00 00 01 00 00 00"));
}

TEST(ParticipantDataTest, RequiresTheParticipantGuid) {
  struct Case {
    std::string name;
    std::vector<std::uint8_t> bytes;
    WireFormatError error;
  };
  const std::vector<Case> cases = {
      {"short", hex("00 03 00"), WireFormatError::UnexpectedEof{4, 0}},
      {"CDR_LE encapsulation", hex("00 01 00 00 01 00 00 00"),
       WireFormatError::UnsupportedEncapsulation{{0x00, 0x01}}},
      {"list without sentinel", hex("00 03 00 00 50 00 10 00"), WireFormatError::UnexpectedEof{16, 4}},
      {"no guid", payload(true, {{PID_DOMAIN_ID, "00 00 00 00"}}),
       out_of_range("PARTICIPANT_GUID missing or wrong length")},
      {"guid of 12 bytes", payload(true, {{PID_PARTICIPANT_GUID, "01 02 03 04 05 06 07 08 09 0A 0B 0C"}}),
       out_of_range("PARTICIPANT_GUID missing or wrong length")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto r = ParticipantBuiltinTopicData::from_pl_cdr_le(c.bytes);
    ASSERT_FALSE(r.has_value());
    EXPECT_EQ(r.error(), c.error);
  }
}

TEST(ParticipantDataTest, ReadsBigEndianPayloads) {
  auto bytes =
      payload(false, {{PID_PARTICIPANT_GUID, std::string(kGuidHex)},
                      {PID_DEFAULT_UNICAST_LOCATOR,
                       "00 00 00 01 00 00 1C F3 00 00 00 00 00 00 00 00 00 00 00 00 0A 00 00 05"},
                      {PID_DOMAIN_ID, "00 00 00 07"},
                      {PID_PARTICIPANT_LEASE_DURATION, "00 00 00 0A 00 00 00 00"},
                      {PID_PROPERTY_LIST, "00 00 00 01 00 00 00 02 61 00 00 00 00 00 00 02 62 00 00 00"}});
  auto p = ParticipantBuiltinTopicData::from_pl_cdr_le(bytes);
  ASSERT_TRUE(p.has_value());
  EXPECT_EQ(p->domain_id, 7u);
  EXPECT_EQ(p->lease_duration, (Duration{10, 0}));
  // Big-endian locators are read too, so such a peer is reachable.
  EXPECT_EQ(p->default_unicast_locator, rtps::Locator::udpv4({10, 0, 0, 5}, 7411));
  EXPECT_EQ(p->properties.properties, (std::vector<WireProperty>{{"a", "b"}}));
}

TEST(ParticipantDataTest, ToleratesUnusableOptionalParameters) {
  auto bytes =
      payload(true, {{PID_PARTICIPANT_GUID, std::string(kGuidHex)},
                     {PID_PROTOCOL_VERSION, ""},
                     {PID_DOMAIN_ID, "01 00 00 00 00 00 00 00"},
                     {PID_DOMAIN_ID, "02 00 00 00"},  // later duplicate ignored
                     {PID_BUILTIN_ENDPOINT_SET, "FF FF FF FF FF FF FF FF"},
                     {PID_PARTICIPANT_LEASE_DURATION, "05 00 00 00"},
                     {PID_USER_DATA, "09 00 00 00 01 02 03 04"},
                     {PID_DEFAULT_UNICAST_LOCATOR,
                      "03 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 7F 00 00 01"},
                     {PID_METATRAFFIC_UNICAST_LOCATOR, "01 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"},
                     {PID_PARTICIPANT_SECURITY_KEY_ESTABLISHMENT_ALGO_INFO, "01 00 00 00"},
                     {PID_PROPERTY_LIST, "05 00 00 00"},
                     {0x7777, "01 02 03 04"}});
  auto p = ParticipantBuiltinTopicData::from_pl_cdr_le(bytes);
  ASSERT_TRUE(p.has_value());
  ParticipantBuiltinTopicData expected;
  expected.guid = p->guid;
  EXPECT_EQ(*p, expected);
}

TEST(EndpointDataTest, RoundTripsRepresentativeRecords) {
  PublicationBuiltinTopicData reliable_minimal = samples::minimal_publication();
  reliable_minimal.reliability.kind = ReliabilityKind::Reliable;
  for (const PublicationBuiltinTopicData& p :
       {samples::full_publication(), samples::minimal_publication(), reliable_minimal}) {
    auto bytes = p.to_pl_cdr_le();
    ASSERT_TRUE(bytes.has_value());
    auto decoded = PublicationBuiltinTopicData::from_pl_cdr_le(*bytes);
    ASSERT_TRUE(decoded.has_value()) << rtps::to_string(decoded.error());
    EXPECT_EQ(*decoded, p);
  }
  SubscriptionBuiltinTopicData minimal_sub;
  static_cast<EndpointBuiltinTopicData&>(minimal_sub) = samples::minimal_publication();
  for (const SubscriptionBuiltinTopicData& s : {samples::full_subscription(), minimal_sub}) {
    auto bytes = s.to_pl_cdr_le();
    ASSERT_TRUE(bytes.has_value());
    auto decoded = SubscriptionBuiltinTopicData::from_pl_cdr_le(*bytes);
    ASSERT_TRUE(decoded.has_value()) << rtps::to_string(decoded.error());
    EXPECT_EQ(*decoded, s);
  }
}

TEST(EndpointDataTest, WritesParametersInOrder) {
  auto pub = samples::full_publication().to_pl_cdr_le();
  ASSERT_TRUE(pub.has_value());
  EXPECT_EQ(pids_of(*pub),
            (std::vector<std::uint16_t>{0x0050, 0x005A, 0x0005, 0x0007, 0x001D, 0x001A, 0x001F, 0x0006,
                                        0x001B, 0x0023, 0x002B, 0x0029, 0x002C, 0x002E, 0x002D, 0x0075,
                                        0x1004, 0x0080, 0x0081, 0x0082, 0x8002, 0x0073}));
  auto sub = samples::full_subscription().to_pl_cdr_le();
  ASSERT_TRUE(sub.has_value());
  EXPECT_EQ(pids_of(*sub),
            (std::vector<std::uint16_t>{0x0050, 0x005A, 0x0005, 0x0007, 0x001D, 0x001A, 0x001F,
                                        0x001B, 0x0023, 0x0029, 0x002C, 0x002E, 0x002D, 0x0075,
                                        0x0035, 0x1004, 0x0080, 0x0081, 0x0082, 0x8002, 0x0073}));
  // Value layouts: reliability kind and max blocking time; data representation padded.
  auto list = ParameterList::from_bytes(std::span(*pub).subspan(4), true);
  ASSERT_TRUE(list.has_value());
  EXPECT_EQ(list->find(PID_RELIABILITY)->value, hex("02 00 00 00 01 00 00 00 00 00 00 00"));
  EXPECT_EQ(list->find(PID_DATA_REPRESENTATION)->value, hex("02 00 00 00 02 00 00 00"));
  EXPECT_EQ(list->find(PID_TYPE_IDENTIFIER)->value, hex("70 40 00 00"));
}

TEST(EndpointDataTest, RequiredParametersAndTheirErrors) {
  struct Case {
    std::string name;
    std::vector<std::pair<std::uint16_t, std::string>> params;
    WireFormatError error;
  };
  const std::vector<Case> cases = {
      {"no endpoint guid",
       {{PID_TOPIC_NAME, std::string(kTopicHex)}, {PID_TYPE_NAME, std::string(kTypeHex)}},
       out_of_range("ENDPOINT_GUID missing or wrong length")},
      {"endpoint guid of 20 bytes",
       {{PID_ENDPOINT_GUID, std::string(kEndpointGuidHex) + "00 00 00 00"},
        {PID_TOPIC_NAME, std::string(kTopicHex)},
        {PID_TYPE_NAME, std::string(kTypeHex)}},
       out_of_range("ENDPOINT_GUID missing or wrong length")},
      {"no topic",
       {{PID_ENDPOINT_GUID, std::string(kEndpointGuidHex)}, {PID_TYPE_NAME, std::string(kTypeHex)}},
       out_of_range("TOPIC_NAME missing")},
      {"no type",
       {{PID_ENDPOINT_GUID, std::string(kEndpointGuidHex)}, {PID_TOPIC_NAME, std::string(kTopicHex)}},
       out_of_range("TYPE_NAME missing")},
      {"topic without terminator",
       {{PID_ENDPOINT_GUID, std::string(kEndpointGuidHex)},
        {PID_TOPIC_NAME, "04 00 00 00 61 62 63 64"},
        {PID_TYPE_NAME, std::string(kTypeHex)}},
       out_of_range("CDR string missing null terminator")},
      {"type truncated",
       {{PID_ENDPOINT_GUID, std::string(kEndpointGuidHex)},
        {PID_TOPIC_NAME, std::string(kTopicHex)},
        {PID_TYPE_NAME, "09 00 00 00 61 62 63 64"}},
       WireFormatError::UnexpectedEof{13, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto pub = PublicationBuiltinTopicData::from_pl_cdr_le(payload(true, c.params));
    ASSERT_FALSE(pub.has_value());
    EXPECT_EQ(pub.error(), c.error);
    auto sub = SubscriptionBuiltinTopicData::from_pl_cdr_le(payload(true, c.params));
    ASSERT_FALSE(sub.has_value());
    EXPECT_EQ(sub.error(), c.error);
  }
}

TEST(EndpointDataTest, DefaultsForAbsentParameters) {
  auto pub = PublicationBuiltinTopicData::from_pl_cdr_le(payload(true, required_endpoint_params()));
  ASSERT_TRUE(pub.has_value());
  EXPECT_EQ(pub->participant_guid.prefix, pub->endpoint_guid.prefix);
  EXPECT_EQ(pub->participant_guid.entity_id, rtps::ENTITYID_PARTICIPANT);
  EXPECT_EQ(pub->topic_name, "t");
  EXPECT_EQ(pub->type_name, "Text");
  EXPECT_EQ(pub->durability, DurabilityKind::Volatile);
  // A writer that leaves reliability out is reliable; a reader is best-effort.
  EXPECT_EQ(pub->reliability, (ReliabilityQos{ReliabilityKind::Reliable, DEFAULT_MAX_BLOCKING_TIME}));
  EXPECT_EQ(pub->liveliness, (LivelinessQos{LivelinessKind::Automatic, DURATION_INFINITE}));
  EXPECT_EQ(pub->deadline, DURATION_INFINITE);
  EXPECT_EQ(pub->lifespan, DURATION_INFINITE);
  EXPECT_EQ(pub->ownership_strength, 0);
  EXPECT_TRUE(pub->data_representation.empty());
  EXPECT_FALSE(pub->type_identifier.has_value());

  auto sub = SubscriptionBuiltinTopicData::from_pl_cdr_le(payload(true, required_endpoint_params()));
  ASSERT_TRUE(sub.has_value());
  EXPECT_EQ(sub->reliability, (ReliabilityQos{ReliabilityKind::BestEffort, DEFAULT_MAX_BLOCKING_TIME}));
  EXPECT_FALSE(sub->content_filter.has_value());
}

TEST(EndpointDataTest, ToleratesOddValues) {
  auto params = required_endpoint_params();
  params.insert(params.end(), {
                                  {PID_RELIABILITY, "07 00 00 00 01 00 00 00 00 00 00 00"},
                                  {PID_DURABILITY, "09 00 00 00"},
                                  {PID_OWNERSHIP, "05 00 00 00"},
                                  {PID_LIVELINESS, "05 00 00 00 03 00 00 00 00 00 00 00"},
                                  {PID_DATA_REPRESENTATION, "03 00 00 00 02 00 01 00"},
                                  {PID_PARTITION, "02 00 00 00 02 00 00 00 61 00 00 00"},
                                  {PID_TYPE_IDENTIFIER, "F1 00 00 00"},
                                  {PID_SERVICE_INSTANCE_NAME, "00 00 00 00"},
                                  {PID_RELATED_ENTITY_GUID, "01 02 03 04"},
                                  {PID_TOPIC_ALIASES, "01 00 00 00"},
                                  {PID_ENDPOINT_SECURITY_INFO, "01 00 00 00"},
                                  {PID_CONTENT_FILTER_PROPERTY, "02 00 00 00 61 00 00 00"},
                                  {PID_DEADLINE, "01 00 00 00"},
                              });
  auto pub = PublicationBuiltinTopicData::from_pl_cdr_le(payload(true, params));
  ASSERT_TRUE(pub.has_value());
  EXPECT_EQ(pub->reliability, (ReliabilityQos{ReliabilityKind::BestEffort, {1, 0}}));
  EXPECT_EQ(pub->durability, DurabilityKind::Volatile);
  EXPECT_EQ(pub->ownership, OwnershipKind::Shared);
  EXPECT_EQ(pub->liveliness, (LivelinessQos{LivelinessKind::Automatic, {3, 0}}));
  EXPECT_EQ(pub->data_representation, (std::vector<std::int16_t>{2, 1}));
  EXPECT_TRUE(pub->partition.empty());
  EXPECT_FALSE(pub->type_identifier.has_value());
  EXPECT_FALSE(pub->service_instance_name.has_value());
  EXPECT_FALSE(pub->related_entity_guid.has_value());
  EXPECT_FALSE(pub->topic_aliases.has_value());
  EXPECT_FALSE(pub->endpoint_security_info.has_value());
  EXPECT_EQ(pub->deadline, DURATION_INFINITE);
  auto sub = SubscriptionBuiltinTopicData::from_pl_cdr_le(payload(true, params));
  ASSERT_TRUE(sub.has_value());
  EXPECT_FALSE(sub->content_filter.has_value());
}

TEST(EndpointDataTest, ReadsBigEndianPayloads) {
  auto bytes = payload(false, {{PID_ENDPOINT_GUID, std::string(kEndpointGuidHex)},
                               {PID_TOPIC_NAME, "00 00 00 02 74 00 00 00"},
                               {PID_TYPE_NAME, "00 00 00 02 54 00 00 00"},
                               {PID_RELIABILITY, "00 00 00 02 00 00 00 00 00 00 00 05"},
                               {PID_DURABILITY, "00 00 00 01"},
                               {PID_DATA_REPRESENTATION, "00 00 00 01 00 02 00 00"},
                               {PID_TYPE_IDENTIFIER, "71 00 00 00 E8 03 00 00"}});
  auto sub = SubscriptionBuiltinTopicData::from_pl_cdr_le(bytes);
  ASSERT_TRUE(sub.has_value());
  EXPECT_EQ(sub->topic_name, "t");
  EXPECT_EQ(sub->reliability, (ReliabilityQos{ReliabilityKind::Reliable, {0, 5}}));
  EXPECT_EQ(sub->durability, DurabilityKind::TransientLocal);
  EXPECT_EQ(sub->data_representation, std::vector<std::int16_t>{2});
  // The type identifier is little-endian whatever the payload's order.
  EXPECT_EQ(sub->type_identifier, xtypes::TypeIdentifier{xtypes::String8Large{1000}});
}

TEST(EndpointDataTest, EncodingFailuresAreReported) {
  PublicationBuiltinTopicData p = samples::minimal_publication();
  p.type_identifier = xtypes::TypeIdentifier{xtypes::StronglyConnectedComponent{{}, 0, 0}};
  auto r = p.to_pl_cdr_le();
  ASSERT_FALSE(r.has_value());
  EXPECT_EQ(r.error(), out_of_range("type_identifier encoding failed"));
}

TEST(ContentFilterTest, RoundTripsAndRejectsMalformations) {
  const ContentFilterProperty filter{"cft", "topic", "DDSSQL", "x = %0 AND y = %1", {"1", "two"}};
  auto bytes = encode_content_filter_property_le(filter);
  ASSERT_TRUE(bytes.has_value());
  EXPECT_EQ(decode_content_filter_property(*bytes, true), filter);
  for (std::size_t cut : {std::size_t{0}, std::size_t{5}, bytes->size() - 4, bytes->size() - 1}) {
    SCOPED_TRACE(cut);
    EXPECT_FALSE(decode_content_filter_property(std::span(*bytes).first(cut), true).has_value());
  }
}

TEST(DataRepresentationTest, Negotiates) {
  using data_representation::negotiate;
  struct Case {
    std::vector<std::int16_t> writer;
    std::vector<std::int16_t> reader;
    bool first_match;
    std::optional<std::int16_t> agreed;
  };
  const std::vector<Case> cases = {
      {{2, 0}, {0}, true, 0},  {{2, 0}, {0}, false, std::nullopt}, {{}, {}, false, 0},
      {{}, {0, 2}, false, 0},  {{2}, {}, true, std::nullopt},      {{1, 2, 0}, {0, 2}, true, 2},
      {{2, 0}, {2}, false, 2}, {{1}, {0, 2}, true, std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(negotiate(c.writer, c.reader, c.first_match), c.agreed);
  }
}

TEST(ShmLocatorTest, AppendsBeforeTheSentinel) {
  auto pub = samples::minimal_publication().to_pl_cdr_le();
  ASSERT_TRUE(pub.has_value());
  std::vector<std::uint8_t> extended = *pub;
  ASSERT_TRUE(inject_pid_shm_locator(extended, hex("AA BB CC DD EE")).has_value());
  ASSERT_EQ(extended.size(), pub->size() + 12);
  EXPECT_TRUE(std::equal(pub->begin(), pub->end() - 4, extended.begin()));
  EXPECT_EQ(std::vector<std::uint8_t>(extended.end() - 16, extended.end()),
            hex("01 80 08 00 AA BB CC DD EE 00 00 00 01 00 00 00"));
  auto decoded = PublicationBuiltinTopicData::from_pl_cdr_le(extended);
  ASSERT_TRUE(decoded.has_value());
  EXPECT_EQ(*decoded, samples::minimal_publication());

  struct Case {
    std::string name;
    std::vector<std::uint8_t> bytes;
    std::size_t locator_size;
    std::string_view text;
  };
  const std::vector<Case> cases = {
      {"short", hex("01 00 00"), 4, "inject_pid_shm_locator: bytes too short"},
      {"no sentinel", hex("00 03 00 00 02 00 00 00"), 4,
       "inject_pid_shm_locator: missing PID_SENTINEL trailer"},
      {"locator too long", hex("01 00 00 00"), 65533, "inject_pid_shm_locator: locator > u16::MAX"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::uint8_t> bytes = c.bytes;
    auto r = inject_pid_shm_locator(bytes, std::vector<std::uint8_t>(c.locator_size, 1));
    ASSERT_FALSE(r.has_value());
    EXPECT_EQ(r.error(), out_of_range(c.text));
    EXPECT_EQ(bytes, c.bytes);
  }
  std::vector<std::uint8_t> largest = hex("01 00 00 00");
  EXPECT_TRUE(inject_pid_shm_locator(largest, std::vector<std::uint8_t>(65532, 1)).has_value());
}

TEST(ParticipantMessageDataTest, RoundTripsBothByteOrders) {
  const ParticipantMessageData message{
      samples::sample_guid(5, rtps::ENTITYID_PARTICIPANT), 0x00000002, {1, 2, 3}};
  const ParticipantMessageData empty{samples::sample_guid(6, rtps::ENTITYID_PARTICIPANT), 0, {}};
  const ParticipantMessageData largest{samples::sample_guid(7, rtps::ENTITYID_PARTICIPANT), 1,
                                       std::vector<std::uint8_t>(MAX_DATA_LEN, 9)};
  for (const auto& m : {message, empty, largest}) {
    for (bool little_endian : {true, false}) {
      auto bytes = m.to_cdr(little_endian);
      ASSERT_TRUE(bytes.has_value());
      EXPECT_EQ((*bytes)[1], little_endian ? 0x01 : 0x00);
      EXPECT_EQ(bytes->size(), 28 + m.data.size());
      EXPECT_EQ(ParticipantMessageData::from_cdr(*bytes), m);
    }
  }
  auto le = message.to_cdr(true);
  EXPECT_EQ(std::vector<std::uint8_t>(le->begin() + 20, le->end()), hex("02 00 00 00 03 00 00 00 01 02 03"));
}

TEST(ParticipantMessageDataTest, ReadsTheShortLayout) {
  auto m = ParticipantMessageData::from_cdr(
      hex("00 01 00 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 01 00 00 00 00 00 00 00"));
  ASSERT_TRUE(m.has_value());
  EXPECT_EQ(m->participant_guid,
            rtps::Guid::from_bytes(std::span<const std::uint8_t, 16>(hex(kGuidHex).data(), 16)));
  EXPECT_EQ(m->kind, 1u);
  EXPECT_TRUE(m->data.empty());
  auto with_data = ParticipantMessageData::from_cdr(
      hex("00 06 00 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 00 00 00 01 00 00 00 02 AA BB"));
  ASSERT_TRUE(with_data.has_value());
  EXPECT_EQ(with_data->kind, 1u);
  EXPECT_EQ(with_data->data, (std::vector<std::uint8_t>{0xAA, 0xBB}));
}

TEST(ParticipantMessageDataTest, RejectsMalformedMessages) {
  struct Case {
    std::string name;
    std::vector<std::uint8_t> bytes;
    WireFormatError error;
  };
  std::vector<std::uint8_t> too_long = hex("00 01 00 00");
  too_long.resize(4 + 16 + 4, 0);
  const auto length = hex("01 10 00 00");
  too_long.insert(too_long.end(), length.begin(), length.end());
  const std::vector<Case> cases = {
      {"short", hex("00 01 00"), WireFormatError::UnexpectedEof{4, 0}},
      {"PL_CDR_LE", hex("00 03 00 00"), WireFormatError::UnsupportedEncapsulation{{0x00, 0x03}}},
      {"first byte set", hex("01 01 00 00"), WireFormatError::UnsupportedEncapsulation{{0x01, 0x01}}},
      {"body of 19", std::vector<std::uint8_t>(23, 0), WireFormatError::UnexpectedEof{24, 4}},
      {"data above cap", too_long, out_of_range("ParticipantMessageData.data exceeds MAX_DATA_LEN")},
      {"data missing",
       hex("00 01 00 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 00 00 01 C1 00 00 00 00 05 00 00 00 01"),
       WireFormatError::UnexpectedEof{5, 28}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto r = ParticipantMessageData::from_cdr(c.bytes);
    ASSERT_FALSE(r.has_value());
    EXPECT_EQ(r.error(), c.error);
  }
  ParticipantMessageData big{{}, 0, std::vector<std::uint8_t>(MAX_DATA_LEN + 1, 0)};
  auto r = big.to_cdr(true);
  ASSERT_FALSE(r.has_value());
  EXPECT_EQ(r.error(), out_of_range("ParticipantMessageData.data exceeds MAX_DATA_LEN"));
}

}  // namespace
}  // namespace kelvane::builtin_data
