// Discovery records of real Cyclone DDS and Fast DDS traffic.
#include "rtps/captures.hpp"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "builtin_data/endpoint_data.hpp"
#include "builtin_data/parameter_list.hpp"
#include "builtin_data/participant_data.hpp"
#include "builtin_data/participant_message_data.hpp"
#include "cdr/byte_order.hpp"

namespace kelvane::builtin_data {
namespace {

constexpr std::uint8_t kData = 0x15;
constexpr std::uint8_t kFlagInlineQos = 0x02;
constexpr std::uint8_t kFlagData = 0x04;

// The serialized payload of one DATA submessage that carries sample data.
struct DiscoveryPayload {
  rtps::GuidPrefix source;  // from the RTPS header
  rtps::VendorId vendor;    // from the RTPS header
  rtps::EntityId writer;
  std::vector<std::uint8_t> payload;
};

// A minimal walk over the submessages of each datagram: just enough to reach DATA payloads.
std::vector<DiscoveryPayload> data_payloads(const std::vector<std::vector<std::uint8_t>>& datagrams) {
  std::vector<DiscoveryPayload> out;
  for (const auto& dg : datagrams) {
    if (dg.size() < 20) continue;
    rtps::GuidPrefix source;
    std::copy_n(dg.begin() + 8, 12, source.bytes.begin());
    const rtps::VendorId vendor{{dg[6], dg[7]}};
    std::size_t p = 20;
    while (dg.size() - p >= 4) {
      const std::uint8_t id = dg[p];
      const std::uint8_t flags = dg[p + 1];
      const bool le = (flags & 0x01) != 0;
      const std::size_t length = cdr::load_u16(dg.data() + p + 2, le);
      const std::size_t body_size = length == 0 ? dg.size() - p - 4 : length;
      if (dg.size() - p - 4 < body_size) break;
      const std::span<const std::uint8_t> body(dg.data() + p + 4, body_size);
      if (id == kData && (flags & kFlagData) != 0 && body.size() >= 20) {
        std::size_t offset = 20;
        if ((flags & kFlagInlineQos) != 0) {
          auto qos = ParameterList::from_bytes(body.subspan(20), le);
          EXPECT_TRUE(qos.has_value());
          if (!qos) break;
          offset += qos->encoded_size();
        }
        auto payload = body.subspan(offset);
        out.push_back(
            {source, vendor, rtps::load_entity_id(body.data() + 8), {payload.begin(), payload.end()}});
      }
      if (length == 0) break;
      p += 4 + body_size;
    }
  }
  return out;
}

constexpr rtps::VendorId kCyclone{{0x01, 0x10}};
constexpr rtps::VendorId kFastDds{{0x01, 0x0F}};

class CapturesTest : public ::testing::TestWithParam<std::string> {};

TEST_P(CapturesTest, ParticipantAnnouncementsDecode) {
  const auto payloads = data_payloads(rtps::testing::read_capture_fixture(GetParam()));
  std::set<rtps::GuidPrefix> participants;
  for (const DiscoveryPayload& d : payloads) {
    if (d.writer != rtps::ENTITYID_SPDP_BUILTIN_PARTICIPANT_ANNOUNCER) continue;
    auto p = ParticipantBuiltinTopicData::from_pl_cdr_le(d.payload);
    ASSERT_TRUE(p.has_value()) << rtps::to_string(p.error());
    participants.insert(p->guid.prefix);
    EXPECT_EQ(p->guid.prefix, d.source);
    EXPECT_EQ(p->guid.entity_id, rtps::ENTITYID_PARTICIPANT);
    EXPECT_EQ(p->vendor_id, d.vendor);
    EXPECT_EQ(p->protocol_version.major, 2);
    // Participant and SEDP announcers and detectors.
    EXPECT_EQ(p->builtin_endpoint_set & 0x3F, 0x3Fu);
    ASSERT_TRUE(p->metatraffic_unicast_locator.has_value());
    EXPECT_EQ(p->metatraffic_unicast_locator->kind, rtps::LOCATOR_KIND_UDPv4);
    EXPECT_EQ(p->metatraffic_unicast_locator->ipv4(), (std::array<std::uint8_t, 4>{127, 0, 0, 1}));
    ASSERT_TRUE(p->default_unicast_locator.has_value());
    EXPECT_NE(p->default_unicast_locator->port, 0u);
    if (d.vendor == kCyclone) {
      EXPECT_EQ(p->lease_duration, (Duration{10, 0}));
      EXPECT_EQ(p->builtin_endpoint_set, 0x0000FC3Fu);
      EXPECT_TRUE(p->domain_id.has_value());
    } else {
      ASSERT_EQ(d.vendor, kFastDds);
      EXPECT_EQ(p->lease_duration, (Duration{20, 0}));
      EXPECT_EQ(p->builtin_endpoint_set, 0x0C3F0C3Fu);
    }
    // Fast DDS leaves out the binary-property count; its properties are still read.
    ASSERT_FALSE(p->properties.properties.empty());
    for (const WireProperty& property : p->properties.properties) EXPECT_FALSE(property.name.empty());
  }
  EXPECT_GE(participants.size(), 2u);
}

struct SeenEndpoints {
  std::map<std::string, int> writers;  // topic -> count
  std::map<std::string, int> readers;
};

template <typename Record>
void check_endpoint(const Record& e, const DiscoveryPayload& d, rtps::EntityKind kind,
                    std::map<std::string, int>& seen) {
  EXPECT_EQ(e.endpoint_guid.prefix, d.source);
  EXPECT_EQ(e.endpoint_guid.entity_id.entity_kind, kind);
  EXPECT_EQ(e.participant_guid, e.endpoint_guid.participant());
  EXPECT_EQ(e.type_name, "Text");
  EXPECT_EQ(e.reliability.kind, ReliabilityKind::Reliable);
  EXPECT_EQ(e.durability, e.topic_name == "hist" ? DurabilityKind::TransientLocal : DurabilityKind::Volatile);
  EXPECT_EQ(e.ownership, OwnershipKind::Shared);
  EXPECT_EQ(e.liveliness.kind, LivelinessKind::Automatic);
  ++seen[e.topic_name];
}

TEST_P(CapturesTest, EndpointAnnouncementsDecode) {
  const auto payloads = data_payloads(rtps::testing::read_capture_fixture(GetParam()));
  SeenEndpoints seen;
  for (const DiscoveryPayload& d : payloads) {
    if (d.writer == rtps::ENTITYID_SEDP_BUILTIN_PUBLICATIONS_ANNOUNCER) {
      auto pub = PublicationBuiltinTopicData::from_pl_cdr_le(d.payload);
      ASSERT_TRUE(pub.has_value()) << rtps::to_string(pub.error());
      check_endpoint(*pub, d, rtps::EntityKind::UserWriterNoKey, seen.writers);
    } else if (d.writer == rtps::ENTITYID_SEDP_BUILTIN_SUBSCRIPTIONS_ANNOUNCER) {
      auto sub = SubscriptionBuiltinTopicData::from_pl_cdr_le(d.payload);
      ASSERT_TRUE(sub.has_value()) << rtps::to_string(sub.error());
      check_endpoint(*sub, d, rtps::EntityKind::UserReaderNoKey, seen.readers);
    }
  }
  for (const char* topic : {"small", "big", "hist"}) {
    EXPECT_GE(seen.writers[topic], 1) << topic;
    EXPECT_GE(seen.readers[topic], 1) << topic;
  }
  EXPECT_EQ(seen.writers.size(), 3u);
  EXPECT_EQ(seen.readers.size(), 3u);
}

TEST_P(CapturesTest, LivelinessMessagesDecode) {
  const auto payloads = data_payloads(rtps::testing::read_capture_fixture(GetParam()));
  std::size_t decoded = 0;
  for (const DiscoveryPayload& d : payloads) {
    if (d.writer != rtps::ENTITYID_P2P_BUILTIN_PARTICIPANT_MESSAGE_WRITER) continue;
    auto m = ParticipantMessageData::from_cdr(d.payload);
    ASSERT_TRUE(m.has_value()) << rtps::to_string(m.error());
    EXPECT_EQ(m->participant_guid.prefix, d.source);
    ++decoded;
  }
  // Cyclone asserts its participants' liveliness; the Fast DDS pair sends no such message.
  if (GetParam() != "ff") {
    EXPECT_GT(decoded, 0u);
  }
}

INSTANTIATE_TEST_SUITE_P(AllCaptures, CapturesTest, ::testing::Values("cc", "ff", "cf", "fc"));

}  // namespace
}  // namespace kelvane::builtin_data
