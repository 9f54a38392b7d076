#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <limits>
#include <numeric>
#include <variant>
#include <vector>

#include "observability/component_metrics.hpp"
#include "reliability/reliable_writer.hpp"
#include "rtps/datagram.hpp"
#include "rtps_fixtures.hpp"

namespace kelvane::reliability {
namespace {

using namespace std::chrono_literals;
using testing::kReaderId;
using testing::kWriterId;

const GuidPrefix kOwnPrefix = testing::prefix(0x40);
const Guid kReaderGuid{testing::prefix(0x10), kReaderId};
const Locator kReaderLocator = Locator::udpv4({127, 0, 0, 1}, 7412);

ReaderProxy reader_proxy(Guid guid = kReaderGuid) {
  ReaderProxy proxy;
  proxy.remote_reader_guid = guid;
  proxy.locators = {kReaderLocator};
  return proxy;
}

ReliableWriterConfig config(HistoryKind kind = KeepAll{}) {
  ReliableWriterConfig c;
  c.history_kind = kind;
  c.writer_guid = Guid{kOwnPrefix, kWriterId};
  c.reader_proxies = {reader_proxy()};
  return c;
}

std::vector<std::uint8_t> sample(std::size_t n, std::uint8_t seed = 0) {
  std::vector<std::uint8_t> bytes(n);
  for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<std::uint8_t>(seed + i * 13);
  if (n >= 4) {
    bytes[0] = 0x00;
    bytes[1] = 0x07;  // XCDR2 little-endian identifier
  }
  return bytes;
}

// Every submessage of the datagrams, in order, after checking header and targets.
std::vector<rtps::ParsedSubmessage> decode_all(const std::vector<OutboundDatagram>& datagrams, std::size_t mtu = 1472) {
  std::vector<rtps::ParsedSubmessage> out;
  for (const auto& d : datagrams) {
    EXPECT_LE(d.bytes.size(), mtu);
    EXPECT_NE(d.targets, nullptr);
    auto decoded = rtps::decode_datagram(d.bytes);
    EXPECT_TRUE(decoded.has_value());
    if (!decoded) continue;
    EXPECT_EQ(decoded->guid_prefix, kOwnPrefix);
    EXPECT_EQ(decoded->vendor_id, rtps::VENDORID_KELVANE);
    for (const auto& s : decoded->submessages) out.push_back(s);
  }
  return out;
}

template <typename T>
std::vector<T> only(const std::vector<rtps::ParsedSubmessage>& submessages) {
  std::vector<T> out;
  for (const auto& s : submessages) {
    EXPECT_TRUE(std::holds_alternative<T>(s));
    if (const auto* t = std::get_if<T>(&s)) out.push_back(*t);
  }
  return out;
}

std::vector<OutboundDatagram> ok(Datagrams result) {
  EXPECT_TRUE(result.has_value()) << (result ? "" : rtps::to_string(result.error()));
  return result ? std::move(*result) : std::vector<OutboundDatagram>{};
}

std::string error_text(const Datagrams& result) {
  EXPECT_FALSE(result.has_value());
  if (result) return {};
  const auto* range = result.error().get_if<rtps::WireFormatError::ValueOutOfRange>();
  return range ? std::string(range->text) : rtps::to_string(result.error());
}

TEST(ReliableWriter, SmallSampleIsOneDataLargeOneIsFragmented) {
  ReliableWriter writer(config());
  const auto fits = sample(1344);
  const auto datagrams = ok(writer.write(fits));
  ASSERT_EQ(datagrams.size(), 1u);
  EXPECT_EQ(*datagrams[0].targets, LocatorList{kReaderLocator});
  const auto data = only<rtps::DataSubmessage>(decode_all(datagrams));
  ASSERT_EQ(data.size(), 1u);
  EXPECT_EQ(data[0].writer_sn, 1);
  EXPECT_EQ(data[0].reader_id, kReaderId);
  EXPECT_EQ(data[0].writer_id, kWriterId);
  EXPECT_TRUE(data[0].has_data);
  EXPECT_FALSE(data[0].inline_qos.has_value());
  EXPECT_TRUE(std::ranges::equal(data[0].serialized_payload.span(), fits));

  const auto large = sample(1345);
  const auto frags = only<rtps::DataFragSubmessage>(decode_all(ok(writer.write(large))));
  ASSERT_EQ(frags.size(), 2u);
  for (std::size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(frags[i].writer_sn, 2);
    EXPECT_EQ(frags[i].fragment_starting_num, i + 1);
    EXPECT_EQ(frags[i].fragments_in_submessage, 1);
    EXPECT_EQ(frags[i].fragment_size, 1344);
    EXPECT_EQ(frags[i].sample_size, 1345u);
  }
  EXPECT_TRUE(std::ranges::equal(frags[0].fragment_data.span(), std::span(large).first(1344)));
  // The last fragment holds one byte; the framing pads the body to 4.
  ASSERT_GE(frags[1].fragment_data.size(), 1u);
  EXPECT_LE(frags[1].fragment_data.size(), 4u);
  EXPECT_EQ(frags[1].fragment_data.span()[0], large.back());
}

TEST(ReliableWriter, ProxyBehindIsNotSentNewSamples) {
  auto c = config();
  c.reader_proxies.clear();
  ReliableWriter writer(c);
  for (int i = 0; i < 4; ++i) (void)writer.write(sample(8));
  auto behind = reader_proxy();
  behind.highest_sent = 3;
  writer.add_reader_proxy(behind);
  EXPECT_TRUE(ok(writer.write(sample(8))).empty());
  EXPECT_EQ(writer.reader_proxies()[0].highest_sent, 4);
  EXPECT_TRUE(ok(writer.write(sample(8))).empty());  // still one behind: only repair reaches it
  EXPECT_EQ(writer.reader_proxies()[0].highest_sent, 5);
  const std::vector<SequenceNumber> wanted{4, 5, 6};
  writer.handle_acknack(kReaderGuid, 4, wanted);
  const auto subs = decode_all(ok(writer.tick(0s)));
  ASSERT_EQ(subs.size(), 4u);  // three DATA and the heartbeat
  EXPECT_EQ(std::get<rtps::DataSubmessage>(subs[2]).writer_sn, 6);
}

TEST(ReliableWriter, AcknackAcknowledgesBelowBaseAndQueuesRepairs) {
  ReliableWriter writer(config());
  for (int i = 0; i < 12; ++i) (void)writer.write(sample(8));
  const std::vector<SequenceNumber> first{3, 5, 11};
  writer.handle_acknack(kReaderGuid, 3, first);
  EXPECT_EQ(writer.reader_proxies()[0].requested_changes, (std::set<SequenceNumber>{3, 5, 11}));
  writer.handle_acknack(kReaderGuid, 10, {});
  EXPECT_EQ(writer.reader_proxies()[0].highest_acknowledged, 9);
  EXPECT_EQ(writer.reader_proxies()[0].requested_changes, (std::set<SequenceNumber>{11}));
  writer.handle_acknack(kReaderGuid, 4, {});  // never goes back
  EXPECT_EQ(writer.reader_proxies()[0].highest_acknowledged, 9);
}

TEST(ReliableWriter, RequestsBeyondTheLastWriteAreIgnored) {
  ReliableWriter writer(config());
  (void)writer.write(sample(8));
  const std::vector<SequenceNumber> future{2, 3};
  writer.handle_acknack(kReaderGuid, 1, future);
  EXPECT_TRUE(writer.reader_proxies()[0].requested_changes.empty());
  writer.handle_acknack(kReaderGuid, 1000, {});
  EXPECT_EQ(writer.reader_proxies()[0].highest_acknowledged, 1);
  writer.handle_acknack(kReaderGuid, std::numeric_limits<SequenceNumber>::min(), future);
  EXPECT_EQ(writer.reader_proxies()[0].highest_acknowledged, 1);
}

TEST(ReliableWriter, TickRepairsPacksAndGapsThenHeartbeats) {
  ReliableWriter writer(config(KeepLast{3}));
  for (int i = 0; i < 5; ++i) (void)writer.write(sample(8, static_cast<std::uint8_t>(i)));
  const std::vector<SequenceNumber> wanted{1, 4, 5};
  writer.handle_acknack(kReaderGuid, 1, wanted);
  const auto datagrams = ok(writer.tick(1s));
  ASSERT_EQ(datagrams.size(), 1u);  // GAP, two DATA and the HEARTBEAT packed together
  const auto subs = decode_all(datagrams);
  ASSERT_EQ(subs.size(), 4u);
  const auto& gap = std::get<rtps::GapSubmessage>(subs[0]);
  EXPECT_EQ(gap.gap_start, 1);
  EXPECT_EQ(gap.gap_list.bitmap_base, 2);
  EXPECT_EQ(gap.gap_list.num_bits, 0u);
  EXPECT_EQ(std::get<rtps::DataSubmessage>(subs[1]).writer_sn, 4);
  EXPECT_EQ(std::get<rtps::DataSubmessage>(subs[2]).writer_sn, 5);
  const auto& hb = std::get<rtps::HeartbeatSubmessage>(subs[3]);
  EXPECT_EQ(hb.first_sn, 3);
  EXPECT_EQ(hb.last_sn, 5);
  EXPECT_EQ(hb.count, 1u);
  EXPECT_EQ(hb.reader_id, kReaderId);
  EXPECT_FALSE(hb.final_flag);
  EXPECT_TRUE(writer.reader_proxies()[0].requested_changes.empty());
  EXPECT_TRUE(ok(writer.tick(1s + 50ms)).empty());  // period not over
  writer.handle_acknack(kReaderGuid, 5, {});
  const auto next = only<rtps::HeartbeatSubmessage>(decode_all(ok(writer.tick(1s + 100ms))));
  ASSERT_EQ(next.size(), 1u);
  EXPECT_EQ(next[0].first_sn, 5);  // max(oldest held, highest acknowledged + 1)
  EXPECT_EQ(next[0].count, 2u);
}

TEST(ReliableWriter, RepairOfALargeSampleGoesOutAsFragments) {
  ReliableWriter writer(config());
  (void)writer.write(sample(8));
  (void)writer.write(sample(3000));
  (void)writer.write(sample(8));
  const std::vector<SequenceNumber> wanted{1, 2, 3};
  writer.handle_acknack(kReaderGuid, 1, wanted);
  const auto datagrams = ok(writer.tick(0s));
  ASSERT_EQ(datagrams.size(), 5u);  // DATA 1 | three fragments of 2 | DATA 3 + HEARTBEAT
  const auto subs = decode_all(datagrams);
  ASSERT_EQ(subs.size(), 6u);
  EXPECT_EQ(std::get<rtps::DataSubmessage>(subs[0]).writer_sn, 1);
  for (std::size_t i = 1; i <= 3; ++i) EXPECT_EQ(std::get<rtps::DataFragSubmessage>(subs[i]).fragment_starting_num, i);
  EXPECT_EQ(std::get<rtps::DataSubmessage>(subs[4]).writer_sn, 3);
  EXPECT_TRUE(std::holds_alternative<rtps::HeartbeatSubmessage>(subs[5]));
}

rtps::NackFragSubmessage nackfrag(SequenceNumber sn, std::vector<FragmentNumber> fragments,
                                  EntityId writer_id = kWriterId) {
  rtps::NackFragSubmessage m;
  m.reader_id = kReaderId;
  m.writer_id = writer_id;
  m.writer_sn = sn;
  m.fragment_number_state.bitmap_base = fragments.empty() ? 1 : fragments.front();
  for (const auto f : fragments) m.fragment_number_state.add(f);
  return m;
}

TEST(ReliableWriter, NackFragRepairsSingleFragments) {
  const auto& counters = observability::rtps_counters();
  ReliableWriter writer(config());
  const auto big = sample(5000);
  (void)writer.write(big);
  (void)writer.tick(0s);  // first heartbeat out of the way
  const auto retransmits = counters.retransmits->get();
  const auto fragmented = counters.fragmented_samples->get();
  writer.handle_nackfrag(kReaderGuid, nackfrag(1, {2, 4, 0, 9}));  // 0 and 9 do not exist
  EXPECT_EQ(writer.nackfrag_count(), 1u);
  const auto frags = only<rtps::DataFragSubmessage>(decode_all(ok(writer.tick(1ms))));
  ASSERT_EQ(frags.size(), 2u);
  EXPECT_EQ(frags[0].fragment_starting_num, 2u);
  EXPECT_EQ(frags[1].fragment_starting_num, 4u);
  EXPECT_TRUE(std::ranges::equal(frags[1].fragment_data.span(), std::span(big).subspan(3 * 1344)));
  EXPECT_EQ(counters.retransmits->get() - retransmits, 2u);
  EXPECT_EQ(counters.fragmented_samples->get() - fragmented, 2u);
}

TEST(ReliableWriter, NackFragIgnoredWhenAcknowledgedOrForAnotherWriter) {
  ReliableWriter writer(config());
  (void)writer.write(sample(5000));
  (void)writer.write(sample(5000));
  writer.handle_nackfrag(kReaderGuid, nackfrag(1, {1}, rtps::make_entity_id(0, 0, 9, rtps::EntityKind::UserWriterNoKey)));
  EXPECT_EQ(writer.nackfrag_count(), 0u);
  writer.handle_acknack(kReaderGuid, 2, {});
  writer.handle_nackfrag(kReaderGuid, nackfrag(1, {1}));
  EXPECT_EQ(writer.nackfrag_count(), 1u);
  EXPECT_TRUE(writer.reader_proxies()[0].requested_fragments.empty());
  writer.handle_nackfrag(Guid{testing::prefix(0x99), kReaderId}, nackfrag(2, {1}));
  writer.handle_acknack(Guid{testing::prefix(0x99), kReaderId}, 1, {});
  EXPECT_EQ(writer.unknown_reader_count(), 2u);
}

TEST(ReliableWriter, NackFragForARemovedSampleGetsOneGap) {
  ReliableWriter writer(config());
  (void)writer.write(sample(5000));
  (void)writer.write(sample(8));
  (void)writer.tick(0s);
  writer.handle_nackfrag(kReaderGuid, nackfrag(1, {1, 2, 3}));
  writer.history().remove_up_to(1);
  const auto gaps = only<rtps::GapSubmessage>(decode_all(ok(writer.tick(1ms))));
  ASSERT_EQ(gaps.size(), 1u);
  EXPECT_EQ(gaps[0].gap_start, 1);
}

TEST(ReliableWriter, HeartbeatScheduling) {
  ReliableWriter writer(config());
  EXPECT_TRUE(ok(writer.tick(10s)).empty());  // empty history: no heartbeat
  (void)writer.write(sample(8));
  EXPECT_EQ(only<rtps::HeartbeatSubmessage>(decode_all(ok(writer.tick(10s)))).size(), 1u);
  EXPECT_TRUE(ok(writer.tick(10s + 99ms)).empty());
  EXPECT_TRUE(ok(writer.tick(9s)).empty());  // clock went backwards
  writer.add_reader_proxy(reader_proxy(Guid{testing::prefix(0x20), kReaderId}));
  const auto after_match = ok(writer.tick(10s + 1ms));
  EXPECT_EQ(after_match.size(), 2u);  // one heartbeat per proxy, regardless of the period
  EXPECT_EQ(only<rtps::HeartbeatSubmessage>(decode_all(ok(writer.tick(10s + 101ms)))).size(), 2u);
}

TEST(ReliableWriter, WriteWithHeartbeatAddsOneHeartbeatPerProxy) {
  auto c = config();
  c.reader_proxies.push_back(reader_proxy(Guid{testing::prefix(0x20), kReaderId}));
  ReliableWriter writer(c);
  const auto subs = decode_all(ok(writer.write_with_heartbeat(sample(8), 5s)));
  ASSERT_EQ(subs.size(), 4u);
  EXPECT_TRUE(std::holds_alternative<rtps::DataSubmessage>(subs[0]));
  EXPECT_TRUE(std::holds_alternative<rtps::DataSubmessage>(subs[1]));
  EXPECT_EQ(std::get<rtps::HeartbeatSubmessage>(subs[2]).first_sn, 1);
  EXPECT_EQ(std::get<rtps::HeartbeatSubmessage>(subs[3]).last_sn, 1);
  EXPECT_TRUE(ok(writer.tick(5s + 50ms)).empty());  // the write's heartbeat counts as the periodic one
}

TEST(ReliableWriter, Xcdr1ReadersGetTheCdrLeIdentifierOnEveryPath) {
  auto c = config();
  c.reader_proxies[0].data_representation = DATA_REPRESENTATION_XCDR1;
  c.reader_proxies.push_back(reader_proxy(Guid{testing::prefix(0x20), kReaderId}));
  ReliableWriter writer(c);
  const auto payload = sample(16);
  const auto data = only<rtps::DataSubmessage>(decode_all(ok(writer.write(payload))));
  ASSERT_EQ(data.size(), 2u);
  EXPECT_EQ(data[0].serialized_payload.span()[1], 0x01);
  EXPECT_TRUE(std::ranges::equal(data[0].serialized_payload.span().subspan(2), std::span(payload).subspan(2)));
  EXPECT_EQ(data[1].serialized_payload.span()[1], 0x07);
  EXPECT_EQ(writer.history().find(1)->payload.span()[1], 0x07);

  (void)writer.write(sample(3000));
  writer.handle_nackfrag(kReaderGuid, nackfrag(2, {1}));
  const std::vector<SequenceNumber> wanted{1};
  writer.handle_acknack(kReaderGuid, 1, wanted);
  const auto subs = decode_all(ok(writer.tick(0s)));
  ASSERT_GE(subs.size(), 2u);
  EXPECT_EQ(std::get<rtps::DataFragSubmessage>(subs[0]).fragment_data.span()[1], 0x01);
  EXPECT_EQ(std::get<rtps::DataSubmessage>(subs[1]).serialized_payload.span()[1], 0x01);
}

TEST(ReliableWriter, RematchingKeepsAcknowledgementsAndRequests) {
  ReliableWriter writer(config());
  for (int i = 0; i < 3; ++i) (void)writer.write(sample(8));
  const std::vector<SequenceNumber> wanted{3};
  writer.handle_acknack(kReaderGuid, 2, wanted);
  auto again = reader_proxy();
  again.highest_acknowledged = again.highest_sent = 3;  // as a volatile match would build it
  again.locators = {Locator::udpv4({10, 0, 0, 9}, 7412)};
  writer.add_reader_proxy(again);
  ASSERT_EQ(writer.reader_proxies().size(), 1u);
  EXPECT_EQ(writer.reader_proxies()[0].highest_acknowledged, 1);
  EXPECT_EQ(writer.reader_proxies()[0].requested_changes, (std::set<SequenceNumber>{3}));
  EXPECT_EQ(*writer.targets_for(0), again.locators);
  EXPECT_TRUE(writer.remove_reader_proxy(kReaderGuid));
  EXPECT_TRUE(writer.reader_proxies().empty());
}

TEST(ReliableWriter, PreferredLocatorsWin) {
  auto c = config();
  c.reader_proxies[0].preferred_locators = {Locator::udpv4({10, 1, 1, 1}, 9)};
  ReliableWriter writer(c);
  EXPECT_EQ(*writer.targets_for(0), c.reader_proxies[0].preferred_locators);
}

TEST(ReliableWriter, ErrorTexts) {
  ReliableWriter full(config());
  auto small = config(KeepAll{});
  small.max_samples = 1;
  ReliableWriter one(small);
  (void)one.write(sample(8));
  EXPECT_EQ(error_text(one.write(sample(8))), "history cache full or duplicate");
  EXPECT_EQ(one.last_sequence_number(), 2);  // the number is used up anyway

  auto tiny = config();
  tiny.mtu = 60;
  tiny.fragment_size = 100;
  ReliableWriter cramped(tiny);
  EXPECT_EQ(error_text(cramped.write(sample(40))), "DATA submessage does not fit into MTU");
  EXPECT_EQ(error_text(cramped.write(sample(150))), "DATA_FRAG submessage does not fit into MTU");
  EXPECT_EQ(cramped.history().size(), 2u);  // stored even though sending failed

  auto wide = config();
  wide.fragment_size = 70000;
  wide.mtu = 200000;
  ReliableWriter too_wide(wide);
  EXPECT_EQ(error_text(too_wide.write(sample(80000))), "fragment_size exceeds u16::MAX");
}

TEST(ReliableWriterDeathTest, ImpossibleSettingsStopTheProcess) {
  auto zero = config();
  zero.fragment_size = 0;
  EXPECT_DEATH(ReliableWriter{zero}, "fragment_size must be > 0");
  auto tiny = config();
  tiny.mtu = 19;
  EXPECT_DEATH(ReliableWriter{tiny}, "mtu must accommodate RTPS header");
}

}  // namespace
}  // namespace kelvane::reliability
