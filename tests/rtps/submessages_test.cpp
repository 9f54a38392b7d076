#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "hex.hpp"
#include "rtps/submessages.hpp"

namespace kelvane::rtps {
namespace {

using testing::concat;
using testing::hex;
using Bytes = std::vector<std::uint8_t>;

constexpr EntityId kReader = make_entity_id(0x00, 0x00, 0x12, EntityKind::UserReaderWithKey);
constexpr EntityId kWriter = make_entity_id(0x00, 0x00, 0x13, EntityKind::UserWriterWithKey);

WireFormatError eof(std::size_t needed, std::size_t offset) { return WireFormatError::UnexpectedEof{needed, offset}; }
WireFormatError range(std::string_view text) { return WireFormatError::ValueOutOfRange{text}; }

TEST(SequenceNumberSet, ReadsWordsForNumBitsAndRejectsTooManyBits) {
  // numBits 0: no words, ends 12 bytes after the start.
  const Bytes empty = hex("00000000 05000000 00000000");
  auto set0 = SequenceNumberSet::read_from(empty, 0, true);
  ASSERT_TRUE(set0);
  EXPECT_EQ(set0->first.bitmap_base, 5);
  EXPECT_EQ(set0->second, 12U);
  EXPECT_TRUE(set0->first.bitmap.empty());

  // numBits 33: two words.
  const Bytes two = hex("ffff 00000000 07000000 21000000 00000080 01000000");
  auto set33 = SequenceNumberSet::read_from(two, 2, true);
  ASSERT_TRUE(set33);
  EXPECT_EQ(set33->second, 22U);
  EXPECT_TRUE(set33->first.contains(7));
  EXPECT_FALSE(set33->first.contains(8));
  EXPECT_FALSE(set33->first.contains(39));
  EXPECT_FALSE(set33->first.contains(70));  // beyond numBits even though the word has the bit
  EXPECT_EQ(set33->first.bitmap[1], 1U);
  EXPECT_EQ(SequenceNumberSet::read_from(Bytes(two.begin(), two.end() - 1), 2, true).error(), eof(8, 14));

  const Bytes big = hex("00000000 01000000 01010000");
  EXPECT_EQ(SequenceNumberSet::read_from(big, 0, true).error(),
            range("SequenceNumberSet.numBits exceeds RTPS_BITMAP_MAX_BITS (256)"));
  const Bytes fbig = hex("01000000 01010000");
  EXPECT_EQ(FragmentNumberSet::read_from(fbig, 0, true).error(),
            range("FragmentNumberSet.numBits exceeds RTPS_BITMAP_MAX_BITS (256)"));

  EXPECT_EQ(SequenceNumberSet::read_from(hex("00000000 010000"), 0, true).error(), eof(8, 0));
  EXPECT_EQ(SequenceNumberSet::read_from(hex("00000000 01000000 01"), 0, true).error(), eof(4, 8));
  EXPECT_EQ(FragmentNumberSet::read_from(hex("01000000 01"), 0, true).error(), eof(4, 4));
}

TEST(SequenceNumberSet, AddAndForEachUseMostSignificantBitFirst) {
  SequenceNumberSet set{10, 0, {}};
  EXPECT_TRUE(set.add(10));
  EXPECT_TRUE(set.add(42));
  EXPECT_TRUE(set.add(265));
  EXPECT_FALSE(set.add(266));
  EXPECT_FALSE(set.add(9));
  EXPECT_EQ(set.num_bits, 256U);
  EXPECT_EQ(set.bitmap.size(), 8U);
  EXPECT_EQ(set.bitmap[0], 0x80000000U);
  EXPECT_EQ(set.bitmap[1], 0x80000000U);
  EXPECT_EQ(set.bitmap[7], 1U);
  std::vector<SequenceNumber> members;
  set.for_each([&](SequenceNumber sn) { members.push_back(sn); });
  EXPECT_EQ(members, (std::vector<SequenceNumber>{10, 42, 265}));

  // Hostile bases must not overflow.
  SequenceNumberSet edge{INT64_MAX - 1, 256, {}};
  edge.bitmap.resize(8);
  EXPECT_TRUE(edge.add(INT64_MAX));
  EXPECT_FALSE(edge.contains(INT64_MIN));
}

TEST(AckNack, ExactBodyDecodesAndMissingCountFails) {
  const Bytes full = hex("00001207 00001302 00000000 01000000 00000000 03000000");
  ASSERT_EQ(full.size(), 24U);
  auto ack = AckNackSubmessage::read_body(full, FLAG_E | ACKNACK_FLAG_F);
  ASSERT_TRUE(ack) << to_string(ack.error());
  EXPECT_EQ(ack->reader_id, kReader);
  EXPECT_EQ(ack->writer_id, kWriter);
  EXPECT_EQ(ack->reader_sn_state.bitmap_base, 1);
  EXPECT_EQ(ack->count, 3U);
  EXPECT_TRUE(ack->final_flag);
  EXPECT_EQ(AckNackSubmessage::read_body(std::span(full).first(23), FLAG_E).error(), eof(4, 20));
  EXPECT_EQ(AckNackSubmessage::read_body(std::span(full).first(7), FLAG_E).error(), eof(8, 0));
}

TEST(Data, DecodesMinimalBodiesAndIgnoresOctetsToInlineQos) {
  // 20 bytes, no Q: empty payload.
  const Bytes minimal = hex("0000 1000 00001207 00001302 00000000 05000000");
  auto data = DataSubmessage::read_body(std::span<const std::uint8_t>(minimal), FLAG_E | DATA_FLAG_D);
  ASSERT_TRUE(data);
  EXPECT_EQ(data->writer_sn, 5);
  EXPECT_TRUE(data->serialized_payload.empty());
  EXPECT_TRUE(data->has_data);
  EXPECT_FALSE(data->inline_qos);

  // octetsToInlineQos 24 with Q clear: the payload still starts at 20.
  const Bytes odd = concat({hex("0000 1800 00001207 00001302 00000000 05000000"), hex("00010000 aabbccdd")});
  data = DataSubmessage::read_body(std::span<const std::uint8_t>(odd), FLAG_E);
  ASSERT_TRUE(data);
  EXPECT_EQ(Bytes(data->serialized_payload.span().begin(), data->serialized_payload.span().end()),
            hex("00010000 aabbccdd"));
  EXPECT_FALSE(data->has_data);  // D clear is kept

  EXPECT_EQ(DataSubmessage::read_body(std::span(minimal).first(19), FLAG_E).error(), eof(20, 0));
}

TEST(Data, SplitsInlineQosFromPayloadAndFindsParameters) {
  // Inline QoS: PID_IGNORE (skipped), PID_STATUS_INFO, sentinel; then the payload.
  const Bytes body = concat({hex("0000 1000 00001207 00001302 00000000 07000000"),
                             hex("033f 0400 11223344  7100 0400 00000003  0100 0000"), hex("00010000 68690000")});
  auto data = DataSubmessage::read_body(std::span<const std::uint8_t>(body), FLAG_E | DATA_FLAG_Q | DATA_FLAG_K);
  ASSERT_TRUE(data) << to_string(data.error());
  ASSERT_TRUE(data->inline_qos);
  EXPECT_EQ(data->inline_qos->bytes.size(), 20U);
  const auto status = data->inline_qos->find(PID_STATUS_INFO);
  ASSERT_TRUE(status);
  EXPECT_EQ(Bytes(status->begin(), status->end()), hex("00000003"));
  EXPECT_FALSE(data->inline_qos->find(PID_IGNORE));
  EXPECT_FALSE(data->inline_qos->find(PID_KEY_HASH));
  EXPECT_TRUE(data->has_key);
  EXPECT_EQ(Bytes(data->serialized_payload.span().begin(), data->serialized_payload.span().end()),
            hex("00010000 68690000"));

  // Re-encoding keeps the bytes.
  const auto again = data->write_body(true);
  EXPECT_EQ(again.bytes, body);
  EXPECT_EQ(again.flags, FLAG_E | DATA_FLAG_Q | DATA_FLAG_K);  // D stays clear
}

TEST(Data, InlineQosErrorsCarryBodyOffsets) {
  const Bytes head = hex("0000 1000 00001207 00001302 00000000 07000000");
  const struct {
    const char* name;
    Bytes qos;
    WireFormatError expected;
  } cases[] = {
      {"no sentinel", hex("0000 0000"), eof(4, 24)},
      {"unaligned", hex("7100 0600 000000000000 0100 0000"), range("ParameterList length not 4-byte aligned")},
      {"value too long", hex("7100 0800 00000000"), eof(8, 24)},
      {"empty", {}, eof(4, 20)},
  };
  for (const auto& c : cases) {
    const Bytes body = concat({head, c.qos});
    auto data = DataSubmessage::read_body(std::span<const std::uint8_t>(body), FLAG_E | DATA_FLAG_Q);
    ASSERT_FALSE(data) << c.name;
    EXPECT_EQ(data.error(), c.expected) << c.name << ": " << to_string(data.error());
  }
}

TEST(EncodedParameterList, CapsStoredParametersButNotIgnoredOnes) {
  auto list_of = [](std::uint16_t pid, std::size_t n) {
    Bytes out;
    for (std::size_t i = 0; i < n; ++i) {
      out.push_back(static_cast<std::uint8_t>(pid));
      out.push_back(static_cast<std::uint8_t>(pid >> 8));
      out.push_back(0);
      out.push_back(0);
    }
    const Bytes sentinel = hex("0100 0800");  // its length field is not looked at
    out.insert(out.end(), sentinel.begin(), sentinel.end());
    return SharedBytes::copy_of(out);
  };
  EXPECT_TRUE(EncodedParameterList::parse(list_of(0x0070, MAX_PARAMETERS), 0, true));
  EXPECT_EQ(EncodedParameterList::parse(list_of(0x0070, MAX_PARAMETERS + 1), 0, true).error(),
            range("ParameterList exceeds MAX_PARAMETERS cap"));
  auto ignored = EncodedParameterList::parse(list_of(PID_IGNORE, 5000), 0, true);
  ASSERT_TRUE(ignored);
  EXPECT_TRUE(ignored->validate_must_understand());
}

TEST(EncodedParameterList, MustUnderstandCheckSkipsVendorAndOrdinaryIds) {
  const struct {
    std::uint16_t pid;
    bool passes;
  } cases[] = {
      {0x4071, true},   // known id with the must-understand bit
      {0x4099, false},  // unknown must-understand id
      {0xC099, true},   // vendor-specific
      {0x0099, true},   // not must-understand
      {0x7F03, true},   // ignored id is never checked
  };
  for (const auto& c : cases) {
    EXPECT_EQ(is_understood_parameter_id(c.pid), c.passes || c.pid == 0x7F03) << std::hex << c.pid;
    const Bytes wire = {static_cast<std::uint8_t>(c.pid >> 8), static_cast<std::uint8_t>(c.pid), 0, 4, 0, 0, 0, 0,
                        0, 1, 0, 0};
    auto list = EncodedParameterList::parse(SharedBytes::copy_of(wire), 0, false);
    ASSERT_TRUE(list);
    const auto checked = list->validate_must_understand();
    EXPECT_EQ(checked.has_value(), c.passes) << std::hex << c.pid;
    if (!checked) {
      EXPECT_EQ(checked.error(), range("ParameterList contains unknown must-understand PID"));
    }
  }
}

TEST(DataFrag, ChecksOctetsToInlineQosAndReadsInlineQosWhenPresent) {
  const Bytes head28 = hex("0000 1c00 00001207 00001302 00000000 09000000 02000000 0200 0400 10000000");
  const Bytes frags = hex("0102030405060708");
  const Bytes body = concat({head28, frags});
  auto frag = DataFragSubmessage::read_body(std::span<const std::uint8_t>(body), FLAG_E);
  ASSERT_TRUE(frag) << to_string(frag.error());
  EXPECT_EQ(frag->writer_sn, 9);
  EXPECT_EQ(frag->fragment_starting_num, 2U);
  EXPECT_EQ(frag->fragments_in_submessage, 2);
  EXPECT_EQ(frag->fragment_size, 4);
  EXPECT_EQ(frag->sample_size, 16U);
  EXPECT_EQ(frag->fragment_data, SharedBytes::copy_of(frags));

  Bytes wrong = body;
  wrong[2] = 0x20;  // octetsToInlineQos 32
  EXPECT_EQ(DataFragSubmessage::read_body(std::span<const std::uint8_t>(wrong), FLAG_E).error(),
            range("DATA_FRAG.octetsToInlineQos must equal 28 when Q=false"));
  EXPECT_EQ(DataFragSubmessage::read_body(std::span(body).first(31), FLAG_E).error(), eof(32, 0));

  // With Q the inline QoS starts at 32 and the fragment bytes follow it.
  const Bytes with_qos = concat({head28, hex("7100 0400 00000001 0100 0000"), frags});
  frag = DataFragSubmessage::read_body(std::span<const std::uint8_t>(with_qos), FLAG_E | DATA_FLAG_Q | 0x10);
  ASSERT_TRUE(frag) << to_string(frag.error());
  ASSERT_TRUE(frag->inline_qos);
  EXPECT_TRUE(frag->inline_qos->find(PID_STATUS_INFO));
  EXPECT_TRUE(frag->flag_0x10);
  EXPECT_EQ(frag->fragment_data, SharedBytes::copy_of(frags));
  const auto again = frag->write_body(true);
  EXPECT_EQ(again.bytes, with_qos);
  EXPECT_EQ(again.flags, FLAG_E | DATA_FLAG_Q | 0x10);
}

TEST(Heartbeat, GroupInformationIsBoundedByTheBody) {
  const Bytes base = hex("00001207 00001302 00000000 01000000 00000000 04000000 02000000");
  const Bytes group = hex("00000000 0a000000 00000000 01000000 00000000 0b000000 01000000");
  const Bytes entry = hex("0102030405060708090a0b0c");
  const Bytes full = concat({base, group, entry});
  ASSERT_EQ(full.size(), 68U);
  auto hb = HeartbeatSubmessage::read_body(full, FLAG_E | HEARTBEAT_FLAG_G | HEARTBEAT_FLAG_L);
  ASSERT_TRUE(hb) << to_string(hb.error());
  EXPECT_EQ(hb->first_sn, 1);
  EXPECT_EQ(hb->last_sn, 4);
  EXPECT_EQ(hb->count, 2U);
  EXPECT_TRUE(hb->liveliness_flag);
  EXPECT_FALSE(hb->final_flag);
  ASSERT_TRUE(hb->group_info);
  EXPECT_EQ(hb->group_info->current_gsn, 10);
  EXPECT_EQ(hb->group_info->writer_set.size(), 1U);
  EXPECT_EQ(hb->write_body(true).bytes, full);

  EXPECT_EQ(HeartbeatSubmessage::read_body(std::span(full).first(67), FLAG_E | HEARTBEAT_FLAG_G).error(),
            range("HEARTBEAT.groupInfo.writerSet length exceeds body"));
  EXPECT_EQ(HeartbeatSubmessage::read_body(std::span(full).first(55), FLAG_E | HEARTBEAT_FLAG_G).error(), eof(28, 28));
  EXPECT_EQ(HeartbeatSubmessage::read_body(std::span(full).first(27), FLAG_E).error(), eof(28, 0));
  // Without G the trailing bytes are ignored.
  EXPECT_TRUE(HeartbeatSubmessage::read_body(full, FLAG_E));
}

TEST(Gap, OptionalTailsFollowTheirFlags) {
  GapSubmessage gap{kReader, kWriter, 3, SequenceNumberSet{7, 0, {}}, GapGroupInfo{100, 120}, 9};
  gap.gap_list.add(8);
  const auto body = gap.write_body(true);
  EXPECT_EQ(body.flags, FLAG_E | GAP_FLAG_GROUP_INFO | GAP_FLAG_FILTERED_COUNT);
  auto back = GapSubmessage::read_body(body.bytes, body.flags);
  ASSERT_TRUE(back);
  EXPECT_EQ(*back, gap);
  const std::size_t after_set = 16 + 12 + 4;
  EXPECT_EQ(GapSubmessage::read_body(std::span(body.bytes).first(after_set + 15), body.flags).error(),
            eof(16, after_set));
  EXPECT_EQ(GapSubmessage::read_body(std::span(body.bytes).first(after_set + 19), body.flags).error(),
            eof(4, after_set + 16));
  EXPECT_EQ(GapSubmessage::read_body(std::span(body.bytes).first(15), FLAG_E).error(), eof(16, 0));
}

TEST(NackFragAndHeartbeatFrag, DecodeFixedLayouts) {
  const Bytes nack = hex("00001207 00001302 00000000 04000000 03000000 02000000 000000c0 05000000");
  auto nf = NackFragSubmessage::read_body(nack, FLAG_E);
  ASSERT_TRUE(nf);
  EXPECT_EQ(nf->writer_sn, 4);
  EXPECT_TRUE(nf->fragment_number_state.contains(3));
  EXPECT_TRUE(nf->fragment_number_state.contains(4));
  EXPECT_FALSE(nf->fragment_number_state.contains(5));
  EXPECT_EQ(nf->count, 5U);
  EXPECT_EQ(NackFragSubmessage::read_body(std::span(nack).first(27), FLAG_E).error(), eof(28, 0));
  EXPECT_EQ(NackFragSubmessage::read_body(std::span(nack).first(31), FLAG_E).error(), eof(4, 28));

  const Bytes hbf = hex("00001207 00001302 00000000 04000000 0a000000 01000000");
  auto frag = HeartbeatFragSubmessage::read_body(hbf, FLAG_E);
  ASSERT_TRUE(frag);
  EXPECT_EQ(frag->last_fragment_num, 10U);
  EXPECT_EQ(HeartbeatFragSubmessage::read_body(std::span(hbf).first(23), FLAG_E).error(), eof(24, 0));
}

TEST(InfoSubmessages, DecodeTimestampSourceAndReply) {
  auto invalid = InfoTimestamp::read_body({}, FLAG_E | INFO_TS_FLAG_INVALIDATE);
  ASSERT_TRUE(invalid);
  EXPECT_FALSE(invalid->time);
  auto ts = InfoTimestamp::read_body(hex("00000001 80000000"), 0);
  ASSERT_TRUE(ts);
  EXPECT_EQ(ts->time, (RtpsTime{1, 0x80000000U}));
  EXPECT_EQ(InfoTimestamp::read_body(hex("00000001"), 0).error(), eof(8, 0));

  auto src = InfoSource::read_body(hex("00000000 0205 010f 0102030405060708090a0b0c"), FLAG_E);
  ASSERT_TRUE(src);
  EXPECT_EQ(src->protocol_version, PROTOCOLVERSION_2_5);
  EXPECT_EQ(src->vendor_id, (VendorId{{0x01, 0x0F}}));
  EXPECT_EQ(src->guid_prefix.bytes[11], 0x0C);
  EXPECT_EQ(InfoSource::read_body(hex("00000000 0205 010f"), FLAG_E).error(), eof(20, 0));

  const Bytes one = hex("01000000 01000000 e81c0000 00000000 00000000 00000000 7f000001");
  auto reply = InfoReplySubmessage::read_body(concat({one, hex("00000000")}), FLAG_E | INFO_REPLY_FLAG_MULTICAST);
  ASSERT_TRUE(reply) << to_string(reply.error());
  ASSERT_EQ(reply->unicast_locators.size(), 1U);
  EXPECT_EQ(reply->unicast_locators[0], Locator::udpv4({127, 0, 0, 1}, 7400));
  ASSERT_TRUE(reply->multicast_locators);
  EXPECT_TRUE(reply->multicast_locators->empty());
  EXPECT_EQ(InfoReplySubmessage::read_body(one, FLAG_E | INFO_REPLY_FLAG_MULTICAST).error(), eof(4, 28));
  EXPECT_EQ(InfoReplySubmessage::read_body(hex("02000000"), FLAG_E).error(),
            range("InfoReply.locatorList length exceeds body"));
  Bytes kind3 = one;
  kind3[4] = 3;
  EXPECT_EQ(InfoReplySubmessage::read_body(kind3, FLAG_E).error(),
            WireFormatError(WireFormatError::UnknownLocatorKind{3}));

  const auto dst = InfoDestination{GuidPrefix{{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}}}.write_body(true);
  EXPECT_EQ(dst.flags, FLAG_E);
  EXPECT_EQ(dst.bytes, hex("0102030405060708090a0b0c"));
}

// decode(encode(x)) == x for every writable record, in both byte orders.
TEST(Submessages, RoundTripRepresentativeValues) {
  SequenceNumberSet missing{1000, 0, {}};
  missing.add(1000);
  missing.add(1100);
  FragmentNumberSet frags{1, 0, {}};
  frags.add(2);
  frags.add(40);
  const Bytes payload = hex("00010000 05000000 68656c6c6f000000");

  const DataSubmessage datas[] = {
      {0, kReader, kWriter, 1, std::nullopt, SharedBytes::copy_of(payload), true, false, false},
      {0x1234, ENTITYID_UNKNOWN, ENTITYID_SPDP_BUILTIN_PARTICIPANT_ANNOUNCER, (std::int64_t{1} << 40) + 3,
       std::nullopt, {}, true, true, true},
  };
  const HeartbeatSubmessage heartbeats[] = {
      {kReader, kWriter, 1, 0, 1, false, false, std::nullopt},
      {kReader, kWriter, 5, 900, 0xFFFFFFFF, true, true, HeartbeatGroupInfo{1, 2, 3, {{}, {}}}},
  };
  const AckNackSubmessage acks[] = {
      {kReader, kWriter, SequenceNumberSet{1, 0, {}}, 1, true},
      {kReader, kWriter, missing, 77, false},
  };
  const GapSubmessage gaps[] = {
      {kReader, kWriter, 2, SequenceNumberSet{5, 0, {}}, std::nullopt, std::nullopt},
      {kReader, kWriter, 2, missing, GapGroupInfo{-1, 1}, 0},
  };
  const NackFragSubmessage nacks[] = {{kReader, kWriter, 12, frags, 4}};
  DataFragSubmessage frag;
  frag.reader_id = kReader;
  frag.writer_id = kWriter;
  frag.writer_sn = 8;
  frag.fragment_starting_num = 3;
  frag.fragments_in_submessage = 2;
  frag.fragment_size = 8;
  frag.sample_size = 100;
  frag.fragment_data = SharedBytes::copy_of(Bytes(16, 0xAB));

  for (const bool little : {true, false}) {
    for (const auto& d : datas) {
      const auto body = d.write_body(little);
      EXPECT_EQ(body.bytes.size(), d.body_size());
      EXPECT_EQ(DataSubmessage::read_body(std::span<const std::uint8_t>(body.bytes), body.flags), d);
    }
    for (const auto& h : heartbeats) {
      const auto body = h.write_body(little);
      EXPECT_EQ(HeartbeatSubmessage::read_body(body.bytes, body.flags), h);
    }
    for (const auto& a : acks) {
      const auto body = a.write_body(little);
      EXPECT_EQ(AckNackSubmessage::read_body(body.bytes, body.flags), a);
    }
    for (const auto& g : gaps) {
      const auto body = g.write_body(little);
      EXPECT_EQ(GapSubmessage::read_body(body.bytes, body.flags), g);
    }
    for (const auto& n : nacks) {
      const auto body = n.write_body(little);
      EXPECT_EQ(NackFragSubmessage::read_body(body.bytes, body.flags), n);
    }
    const auto body = frag.write_body(little);
    EXPECT_EQ(body.bytes.size(), frag.body_size());
    EXPECT_EQ(DataFragSubmessage::read_body(std::span<const std::uint8_t>(body.bytes), body.flags), frag);
  }
}

TEST(Data, WritesTheFixedLayout) {
  const DataSubmessage data{0, kReader, kWriter, 0x0000000100000002, std::nullopt, SharedBytes::copy_of(hex("aabb")),
                            true, false, false};
  const auto body = data.write_body(true);
  EXPECT_EQ(body.flags, FLAG_E | DATA_FLAG_D);
  EXPECT_EQ(body.bytes, hex("0000 1000 00001207 00001302 01000000 02000000 aabb"));
  const auto be = data.write_body(false);
  EXPECT_EQ(be.flags, DATA_FLAG_D);
  EXPECT_EQ(be.bytes, hex("0000 0010 00001207 00001302 00000001 00000002 aabb"));
}


TEST(Data, AnnouncesBodyPaddingInTheEncapsulationOptionsAndReadersStripIt) {
  const struct {
    const char* payload;
    const char* written;  // the payload bytes of the body; framing pads them to a multiple of 4
    const char* delivered;
  } cases[] = {
      {"00010000 03000000 616200", "00010001 03000000 616200", "00010001 03000000 616200"},  // pad 1
      {"00010000 01", "00010003 01", "00010003 01"},                                         // pad 3
      {"00010000 01020304", "00010000 01020304", "00010000 01020304"},                       // aligned
      {"0001", "0001", "00010000"},  // too short for a header: nothing can announce the padding
  };
  for (const auto& c : cases) {
    const DataSubmessage data{0, kReader, kWriter, 1, std::nullopt, SharedBytes::copy_of(hex(c.payload)),
                              true, false, false};
    const auto body = data.write_body(true);
    Bytes on_wire(body.bytes.begin() + DATA_MIN_BODY, body.bytes.end());
    EXPECT_EQ(on_wire, hex(c.written)) << c.payload;
    on_wire.resize((on_wire.size() + 3) / 4 * 4, 0);
    const auto delivered = without_payload_padding(SharedBytes::copy_of(on_wire));
    EXPECT_EQ(Bytes(delivered.span().begin(), delivered.span().end()), hex(c.delivered)) << c.payload;
  }
  // A peer's payload that already announces its padding keeps it announced and loses it.
  const auto cyclone = without_payload_padding(SharedBytes::copy_of(hex("00010001 07000000 68697374 2d3000 00")));
  EXPECT_EQ(Bytes(cyclone.span().begin(), cyclone.span().end()), hex("00010001 07000000 68697374 2d3000"));
}

}  // namespace
}  // namespace kelvane::rtps
