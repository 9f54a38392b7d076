#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <limits>
#include <vector>

#include "common/encoding.hpp"
#include "reliability/reliable_reader.hpp"
#include "rtps_fixtures.hpp"

namespace kelvane::reliability {
namespace {

using namespace std::chrono_literals;
using testing::data;
using testing::gap;
using testing::heartbeat;
using testing::kReaderId;
using testing::kWriterId;
using testing::members;

const GuidPrefix kOwnPrefix = testing::prefix(0x10);
const GuidPrefix kWriterPrefix = testing::prefix(0x40);
const Guid kWriterGuid{kWriterPrefix, kWriterId};

WriterProxy writer_proxy(Guid guid = kWriterGuid) {
  WriterProxy proxy;
  proxy.remote_writer_guid = guid;
  proxy.locators = {Locator::udpv4({127, 0, 0, 1}, 7411)};
  return proxy;
}

// A reader with one writer proxy known from the start (no first ACKNACK owed).
ReliableReader reader_with_writer(std::chrono::nanoseconds delay = 0ns) {
  ReliableReaderConfig config;
  config.writer_proxies = {writer_proxy()};
  config.heartbeat_response_delay = delay;
  config.reader_guid = Guid{kOwnPrefix, kReaderId};
  return ReliableReader(std::move(config));
}

std::vector<SequenceNumber> sns(const std::vector<DeliveredSample>& samples) {
  std::vector<SequenceNumber> out;
  for (const auto& s : samples) out.push_back(s.sequence_number);
  return out;
}

// The request submessages of one tick, after checking each datagram's framing.
std::vector<testing::SentSubmessage> requests(ReliableReader& reader, std::chrono::nanoseconds now) {
  auto datagrams = reader.tick_outbound(now);
  EXPECT_TRUE(datagrams.has_value());
  std::vector<testing::SentSubmessage> out;
  for (const auto& d : *datagrams) {
    const auto split = testing::split(d.bytes);
    EXPECT_EQ(split.source, kOwnPrefix);
    EXPECT_EQ(split.submessages.size(), 2u);
    EXPECT_EQ(split.submessages[0].id, rtps::SUBMESSAGE_INFO_DST);
    EXPECT_EQ(split.submessages[0].flags, 0x01);
    EXPECT_EQ(split.submessages[0].body, std::vector<std::uint8_t>(kWriterPrefix.bytes.begin(), kWriterPrefix.bytes.end()));
    EXPECT_EQ(*d.targets, std::vector<Locator>{Locator::udpv4({127, 0, 0, 1}, 7411)});
    out.push_back(split.submessages.at(1));
  }
  return out;
}

rtps::AckNackSubmessage only_acknack(ReliableReader& reader, std::chrono::nanoseconds now) {
  const auto sent = requests(reader, now);
  EXPECT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent.at(0).id, rtps::SUBMESSAGE_ACKNACK);
  auto acknack = rtps::AckNackSubmessage::read_body(sent.at(0).body, sent.at(0).flags);
  EXPECT_TRUE(acknack.has_value());
  EXPECT_EQ(acknack->reader_id, kReaderId);
  EXPECT_EQ(acknack->writer_id, kWriterId);
  return *acknack;
}

TEST(ReliableReader, ReordersIntoSequenceOrder) {
  auto reader = reader_with_writer();
  EXPECT_EQ(sns(reader.handle_data(kWriterPrefix, data(1))), (std::vector<SequenceNumber>{1}));
  EXPECT_TRUE(reader.handle_data(kWriterPrefix, data(3)).empty());
  EXPECT_EQ(sns(reader.handle_data(kWriterPrefix, data(2))), (std::vector<SequenceNumber>{2, 3}));
  EXPECT_TRUE(reader.handle_data(kWriterPrefix, data(2)).empty());  // duplicate
  EXPECT_TRUE(reader.handle_data(kWriterPrefix, data(0)).empty());
}

TEST(ReliableReader, DeliverySharesTheReceivedPayload) {
  auto reader = reader_with_writer();
  const auto d = data(1, {0, 1, 0, 0, 42});
  const auto delivered = reader.handle_data(kWriterPrefix, d);
  ASSERT_EQ(delivered.size(), 1u);
  EXPECT_EQ(delivered[0].payload.data(), d.serialized_payload.data());
  EXPECT_EQ(delivered[0].length, 5u);
  EXPECT_EQ(delivered[0].writer_guid, kWriterGuid);
  EXPECT_EQ(delivered[0].kind, ChangeKind::Alive);
}

TEST(ReliableReader, GapReleasesOnlyWithinLastAvailable) {
  auto announced = reader_with_writer();
  (void)announced.handle_heartbeat(kWriterPrefix, heartbeat(1, 3), 0ns);
  (void)announced.handle_data(kWriterPrefix, data(1));
  EXPECT_TRUE(announced.handle_data(kWriterPrefix, data(3)).empty());
  EXPECT_EQ(sns(announced.handle_gap(kWriterPrefix, gap(2, 3))), (std::vector<SequenceNumber>{3}));

  auto silent = reader_with_writer();
  (void)silent.handle_data(kWriterPrefix, data(1));
  (void)silent.handle_data(kWriterPrefix, data(3));
  EXPECT_TRUE(silent.handle_gap(kWriterPrefix, gap(2, 3)).empty());
  EXPECT_EQ(sns(silent.handle_heartbeat(kWriterPrefix, heartbeat(1, 2), 0ns)), (std::vector<SequenceNumber>{3}));
}

TEST(ReliableReader, GapBitmapMembersAreIrrelevant) {
  auto reader = reader_with_writer();
  (void)reader.handle_heartbeat(kWriterPrefix, heartbeat(1, 6), 0ns);
  (void)reader.handle_data(kWriterPrefix, data(3));
  (void)reader.handle_data(kWriterPrefix, data(6));
  EXPECT_EQ(sns(reader.handle_gap(kWriterPrefix, gap(1, 2, {2, 4, 5}))), (std::vector<SequenceNumber>{3, 6}));
}

TEST(ReliableReader, HeartbeatSkipsUnavailableAndRequestsTheRest) {
  auto reader = reader_with_writer();
  EXPECT_TRUE(reader.handle_heartbeat(kWriterPrefix, heartbeat(5, 9), 0ns).empty());
  EXPECT_EQ(reader.writer_proxies()[0].last_delivered, 4);
  const auto acknack = only_acknack(reader, 1ms);
  EXPECT_EQ(acknack.reader_sn_state.bitmap_base, 5);
  EXPECT_EQ(acknack.reader_sn_state.num_bits, 5u);
  EXPECT_EQ(members(acknack.reader_sn_state), (std::vector<SequenceNumber>{5, 6, 7, 8, 9}));
  EXPECT_FALSE(acknack.final_flag);
  EXPECT_EQ(acknack.count, 1u);
  EXPECT_TRUE(requests(reader, 2ms).empty());  // nothing owed until the next HEARTBEAT
}

TEST(ReliableReader, AcknackDatagramBytes) {
  auto reader = reader_with_writer();
  (void)reader.handle_heartbeat(kWriterPrefix, heartbeat(1, 1), 0ns);
  const auto datagrams = reader.tick_outbound(0ns);
  ASSERT_TRUE(datagrams.has_value());
  ASSERT_EQ(datagrams->size(), 1u);
  EXPECT_EQ(to_hex(datagrams->at(0).bytes),
            "5254505302050" "1f0" "101112131415161718191a1b"  // header, vendor 01 f0, own prefix
            "0e010c00" "404142434445464748494a4b"              // INFO_DST with the writer's prefix
            "0601" "1c00" "00000707" "00000203"                // ACKNACK, reader and writer ids
            "00000000" "01000000" "01000000" "00000080"        // base 1, numBits 1, bit for 1
            "01000000");                                       // count 1
}

TEST(ReliableReader, FinalHeartbeatWithNothingMissingOwesNoAcknack) {
  auto reader = reader_with_writer();
  (void)reader.handle_data(kWriterPrefix, data(1));
  (void)reader.handle_data(kWriterPrefix, data(2));
  (void)reader.handle_heartbeat(kWriterPrefix, heartbeat(1, 2, true), 0ns);
  EXPECT_TRUE(requests(reader, 1ms).empty());
  (void)reader.handle_heartbeat(kWriterPrefix, heartbeat(1, 2, false), 0ns);
  const auto acknack = only_acknack(reader, 1ms);
  EXPECT_TRUE(acknack.final_flag);
  EXPECT_EQ(acknack.reader_sn_state.bitmap_base, 3);
  EXPECT_EQ(acknack.reader_sn_state.num_bits, 0u);
}

TEST(ReliableReader, ResponseDelayAndBackwardsClock) {
  auto reader = reader_with_writer(10ms);
  (void)reader.handle_heartbeat(kWriterPrefix, heartbeat(1, 1), 50ms);
  EXPECT_TRUE(requests(reader, 40ms).empty());  // clock went backwards: zero elapsed
  EXPECT_TRUE(requests(reader, 59ms).empty());
  EXPECT_EQ(requests(reader, 60ms).size(), 1u);
}

TEST(ReliableReader, AcknackNamesAtMost256MissingFromItsBase) {
  auto reader = reader_with_writer();
  (void)reader.handle_heartbeat(kWriterPrefix, heartbeat(1, 300), 0ns);
  auto acknack = only_acknack(reader, 0ns);
  EXPECT_EQ(acknack.reader_sn_state.num_bits, 256u);
  EXPECT_EQ(members(acknack.reader_sn_state).back(), 256);
  for (SequenceNumber sn = 1; sn <= 256; ++sn) (void)reader.handle_data(kWriterPrefix, data(sn));
  (void)reader.handle_heartbeat(kWriterPrefix, heartbeat(1, 300), 0ns);
  acknack = only_acknack(reader, 0ns);
  EXPECT_EQ(acknack.reader_sn_state.bitmap_base, 257);
  EXPECT_EQ(members(acknack.reader_sn_state).size(), 44u);
  EXPECT_EQ(acknack.count, 2u);
}

TEST(ReliableReader, UnknownWritersAreCountedByFullGuid) {
  auto reader = reader_with_writer();
  auto other_entity = data(1);
  other_entity.writer_id = rtps::make_entity_id(0, 0, 9, rtps::EntityKind::UserWriterNoKey);
  EXPECT_TRUE(reader.handle_data(kWriterPrefix, other_entity).empty());
  // Same entity id from another participant: a different writer.
  EXPECT_TRUE(reader.handle_data(testing::prefix(0x70), data(1)).empty());
  EXPECT_TRUE(reader.handle_heartbeat(testing::prefix(0x70), heartbeat(1, 1), 0ns).empty());
  EXPECT_EQ(reader.unknown_writer(), 3u);
  EXPECT_EQ(sns(reader.handle_data(kWriterPrefix, data(1))), (std::vector<SequenceNumber>{1}));
}

TEST(ReliableReader, TwoWritersWithTheSameEntityIdAreBothHeard) {
  auto reader = reader_with_writer();
  const Guid second{testing::prefix(0x70), kWriterId};
  reader.add_writer_proxy(writer_proxy(second));
  EXPECT_EQ(sns(reader.handle_data(kWriterPrefix, data(1))), (std::vector<SequenceNumber>{1}));
  const auto from_second = reader.handle_data(second.prefix, data(1));
  ASSERT_EQ(from_second.size(), 1u);
  EXPECT_EQ(from_second[0].writer_guid, second);
}

TEST(ReliableReader, NewProxyGetsAnAcknackAtOnceAndRematchingKeepsState) {
  ReliableReaderConfig config;
  config.reader_guid = Guid{kOwnPrefix, kReaderId};
  ReliableReader reader(config);
  EXPECT_TRUE(requests(reader, 0ns).empty());
  reader.add_writer_proxy(writer_proxy());
  const auto acknack = only_acknack(reader, 0ns);
  EXPECT_EQ(acknack.reader_sn_state.bitmap_base, 1);
  EXPECT_FALSE(acknack.final_flag);
  EXPECT_EQ(sns(reader.handle_data(kWriterPrefix, data(1))), (std::vector<SequenceNumber>{1}));
  auto moved = writer_proxy();
  moved.locators = {Locator::udpv4({10, 0, 0, 2}, 7411)};
  reader.add_writer_proxy(moved);  // matched again: no fresh state, no redelivery
  ASSERT_EQ(reader.writer_proxies().size(), 1u);
  EXPECT_EQ(reader.writer_proxies()[0].proxy.locators, moved.locators);
  EXPECT_TRUE(reader.handle_data(kWriterPrefix, data(1)).empty());
  EXPECT_TRUE(reader.remove_writer_proxy(kWriterGuid));
  EXPECT_TRUE(reader.writer_proxies().empty());
}

std::vector<std::uint8_t> status_info_qos(std::uint8_t flags, bool with_key_hash) {
  std::vector<std::uint8_t> qos = {0x71, 0x00, 0x04, 0x00, 0x00, 0x00, 0x00, flags};
  if (with_key_hash) {
    qos.insert(qos.end(), {0x70, 0x00, 0x10, 0x00});
    for (std::uint8_t i = 0; i < 16; ++i) qos.push_back(i);
  }
  qos.insert(qos.end(), {0x01, 0x00, 0x00, 0x00});
  return qos;
}

TEST(ReliableReader, ChangeKindFromStatusInfoAndDataFlag) {
  struct Case {
    const char* name;
    bool has_data;
    bool has_key;
    std::optional<std::uint8_t> status;
    std::optional<ChangeKind> delivered;  // nothing: ordered but not handed up
  };
  const std::vector<Case> cases = {
      {"plain data", true, false, std::nullopt, ChangeKind::Alive},
      {"data with empty status", true, false, 0x00, ChangeKind::Alive},
      {"key-only dispose", false, true, 0x01, ChangeKind::NotAliveDisposed},
      {"qos-only dispose", false, false, 0x01, ChangeKind::NotAliveDisposed},
      {"qos-only unregister", false, false, 0x02, ChangeKind::NotAliveUnregistered},
      {"dispose and unregister", false, false, 0x03, ChangeKind::NotAliveDisposedUnregistered},
      {"no data, no status", false, false, std::nullopt, std::nullopt},
      {"no data, empty status", false, true, 0x00, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto reader = reader_with_writer();
    auto d = data(1);
    d.has_data = c.has_data;
    d.has_key = c.has_key;
    if (c.status) d.inline_qos = rtps::EncodedParameterList{SharedBytes::copy_of(status_info_qos(*c.status, true)), true};
    const auto delivered = reader.handle_data(kWriterPrefix, d);
    if (!c.delivered) {
      EXPECT_TRUE(delivered.empty());
    } else {
      ASSERT_EQ(delivered.size(), 1u);
      EXPECT_EQ(delivered[0].kind, *c.delivered);
      EXPECT_EQ(delivered[0].key_hash.has_value(), c.status.has_value());
      if (delivered[0].key_hash) {
        EXPECT_EQ((*delivered[0].key_hash)[15], 15);
      }
    }
    // Either way sequence number 1 is settled and 2 follows at once.
    EXPECT_EQ(sns(reader.handle_data(kWriterPrefix, data(2))), (std::vector<SequenceNumber>{2}));
  }
}

rtps::DataFragSubmessage fragment(SequenceNumber sn, const std::vector<std::uint8_t>& sample, std::uint16_t size,
                                  FragmentNumber number) {
  rtps::DataFragSubmessage f;
  f.reader_id = kReaderId;
  f.writer_id = kWriterId;
  f.writer_sn = sn;
  f.fragment_starting_num = number;
  f.fragment_size = size;
  f.sample_size = static_cast<std::uint32_t>(sample.size());
  const std::size_t begin = std::size_t{number - 1} * size;
  const std::size_t end = std::min(sample.size(), begin + size);
  f.fragment_data = SharedBytes::copy_of(std::span(sample).subspan(begin, end - begin));
  return f;
}

TEST(ReliableReader, FragmentsAreAssembledAndMissingOnesRequested) {
  auto reader = reader_with_writer();
  std::vector<std::uint8_t> sample(1000);
  for (std::size_t i = 0; i < sample.size(); ++i) sample[i] = static_cast<std::uint8_t>(i);
  sample[3] = 0;  // encapsulation options: no padding announced
  EXPECT_TRUE(reader.handle_data_frag(kWriterPrefix, fragment(1, sample, 100, 2), 5ms).empty());
  EXPECT_TRUE(reader.handle_data_frag(kWriterPrefix, fragment(1, sample, 100, 5), 6ms).empty());
  const auto sent = requests(reader, 5ms);
  ASSERT_EQ(sent.size(), 2u);
  ASSERT_EQ(sent[0].id, rtps::SUBMESSAGE_NACK_FRAG);
  const auto nack = rtps::NackFragSubmessage::read_body(sent[0].body, sent[0].flags);
  ASSERT_TRUE(nack.has_value());
  EXPECT_EQ(nack->writer_sn, 1);
  EXPECT_EQ(nack->count, 1u);
  EXPECT_EQ(members(nack->fragment_number_state), (std::vector<FragmentNumber>{1, 3, 4, 6, 7, 8, 9, 10}));
  EXPECT_EQ(sent[1].id, rtps::SUBMESSAGE_ACKNACK);

  std::vector<DeliveredSample> delivered;
  for (FragmentNumber f : {1u, 3u, 4u, 6u, 7u, 8u, 9u, 10u}) {
    delivered = reader.handle_data_frag(kWriterPrefix, fragment(1, sample, 100, f), 7ms);
  }
  ASSERT_EQ(delivered.size(), 1u);
  EXPECT_TRUE(std::ranges::equal(delivered[0].payload.span(), sample));
  EXPECT_EQ(reader.dropped_fragments(), 0u);
  EXPECT_TRUE(reader.handle_data_frag(kWriterPrefix, fragment(1, sample, 100, 3), 8ms).empty());
  EXPECT_EQ(reader.dropped_fragments(), 1u);
}

TEST(ReliableReader, GapDiscardsAPartlyAssembledSample) {
  auto reader = reader_with_writer();
  const std::vector<std::uint8_t> sample(300, 7);
  (void)reader.handle_data_frag(kWriterPrefix, fragment(2, sample, 100, 1), 0ns);
  (void)reader.handle_gap(kWriterPrefix, gap(2, 3));
  EXPECT_TRUE(reader.writer_proxies()[0].assembler.pending().empty());
  (void)reader.handle_heartbeat(kWriterPrefix, heartbeat(1, 3), 0ns);
  const auto acknack = only_acknack(reader, 0ns);
  EXPECT_EQ(members(acknack.reader_sn_state), (std::vector<SequenceNumber>{1, 3}));
}

TEST(ReliableReader, HostileSequenceNumbersCostNoTime) {
  constexpr SequenceNumber kMax = std::numeric_limits<SequenceNumber>::max();
  auto reader = reader_with_writer();
  (void)reader.handle_heartbeat(kWriterPrefix, heartbeat(std::numeric_limits<SequenceNumber>::min(), kMax), 0ns);
  EXPECT_TRUE(reader.handle_gap(kWriterPrefix, gap(1, kMax, {kMax})).empty());
  EXPECT_EQ(reader.writer_proxies()[0].last_delivered, kMax - 1);
  EXPECT_EQ(only_acknack(reader, 0ns).reader_sn_state.bitmap_base, kMax);
  EXPECT_EQ(sns(reader.handle_data(kWriterPrefix, data(kMax))), (std::vector<SequenceNumber>{kMax}));
  EXPECT_TRUE(reader.handle_data(kWriterPrefix, data(kMax)).empty());
}

}  // namespace
}  // namespace kelvane::reliability
