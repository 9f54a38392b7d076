#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "hex.hpp"
#include "rtps/datagram.hpp"
#include "rtps/message_builder.hpp"

namespace kelvane::rtps {
namespace {

using testing::concat;
using testing::hex;
using Bytes = std::vector<std::uint8_t>;

const GuidPrefix kPrefix{{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}};
constexpr EntityId kReader = make_entity_id(0x00, 0x00, 0x12, EntityKind::UserReaderWithKey);
constexpr EntityId kWriter = make_entity_id(0x00, 0x00, 0x13, EntityKind::UserWriterWithKey);

Bytes header(std::uint8_t major = 2, std::uint8_t minor = 5) {
  return concat({hex("52545053"), Bytes{major, minor, 0x01, 0xF0}, hex("0102030405060708090a0b0c")});
}

WireFormatError range(std::string_view text) { return WireFormatError::ValueOutOfRange{text}; }

template <typename T>
const T& entry(const DecodedDatagram& d, std::size_t i) {
  return std::get<T>(d.submessages[i]);
}

TEST(DecodeDatagram, HeaderAloneAndShortOrForeignInput) {
  auto empty = decode_datagram(header());
  ASSERT_TRUE(empty);
  EXPECT_TRUE(empty->submessages.empty());
  EXPECT_EQ(empty->guid_prefix, kPrefix);
  EXPECT_EQ(empty->vendor_id, VENDORID_KELVANE);
  EXPECT_EQ(empty->protocol_version, PROTOCOLVERSION_2_5);

  const Bytes h = header();
  EXPECT_EQ(decode_datagram(std::span(h).first(19)).error(), WireFormatError(WireFormatError::UnexpectedEof{20, 0}));
  Bytes bad = h;
  bad[0] = 'X';
  EXPECT_EQ(decode_datagram(bad).error(), WireFormatError(WireFormatError::BadMagic{{'X', 'T', 'P', 'S'}}));
  // A trailing partial submessage header.
  EXPECT_EQ(decode_datagram(concat({h, hex("0100")})).error(), WireFormatError(WireFormatError::UnexpectedEof{4, 20}));
  // A body running past the end.
  EXPECT_EQ(decode_datagram(concat({h, hex("01010800 00000000")})).error(),
            WireFormatError(WireFormatError::UnexpectedEof{4, 24}));
}

TEST(DecodeDatagram, WalksSubmessagesInOrderAndKeepsUnknownOnes) {
  const Bytes d = concat({header(),
                          hex("09010800 01000000 00000080"),                          // INFO_TS
                          hex("01010400 00000000"),                                   // PAD
                          hex("0e010c00 0102030405060708090a0b0c"),                   // INFO_DST
                          hex("15050000 0000 1000 00001207 00001302 00000000 03000000 aabbccdd")});  // DATA, to the end
  auto decoded = decode_datagram(d);
  ASSERT_TRUE(decoded) << to_string(decoded.error());
  ASSERT_EQ(decoded->submessages.size(), 4U);
  EXPECT_EQ(entry<InfoTimestamp>(*decoded, 0).time, (RtpsTime{1, 0x80000000U}));
  EXPECT_EQ(entry<UnknownSubmessage>(*decoded, 1), (UnknownSubmessage{SUBMESSAGE_PAD, 0x01}));
  EXPECT_EQ(entry<UnknownSubmessage>(*decoded, 2), (UnknownSubmessage{SUBMESSAGE_INFO_DST, 0x01}));
  const auto& data = entry<DataSubmessage>(*decoded, 3);
  EXPECT_EQ(data.writer_sn, 3);
  EXPECT_EQ(data.reader_id, kReader);
  EXPECT_EQ(data.serialized_payload, SharedBytes::copy_of(hex("aabbccdd")));
}

TEST(DecodeDatagram, RefusesWholeDatagramOnOneBadSubmessage) {
  const Bytes good_hb = hex("07011c00 00001207 00001302 00000000 01000000 00000000 01000000 01000000");
  const struct {
    const char* name;
    Bytes tail;
    WireFormatError expected;
  } cases[] = {
      {"unknown with must-understand", hex("33810000"), range("Unknown submessage id with must-understand flag")},
      {"short heartbeat", hex("07010400 00000000"), WireFormatError::UnexpectedEof{28, 0}},
      {"unknown must-understand inline PID",
       hex("15070000 0000 1000 00001207 00001302 00000000 03000000 9940 0000 0100 0000"),
       range("ParameterList contains unknown must-understand PID")},
      {"unknown must-understand PID in DATA_FRAG inline QoS",
       hex("16030000 0000 1c00 00001207 00001302 00000000 09000000 01000000 0100 0400 04000000 9940 0000 0100 0000 01020304"),
       range("ParameterList contains unknown must-understand PID")},
      {"header extension not first", hex("80030400 10000000"),
       range("HeaderExtension must appear directly after the RTPS header")},
  };
  for (const auto& c : cases) {
    auto decoded = decode_datagram(concat({header(), good_hb, c.tail}));
    ASSERT_FALSE(decoded) << c.name;
    EXPECT_EQ(decoded.error(), c.expected) << c.name << ": " << to_string(decoded.error());
  }
}

TEST(DecodeDatagram, HeaderExtensionDependsOnVersionAndPosition) {
  const Bytes he = hex("80030400 10000000");
  auto first = decode_datagram(concat({header(), he}));
  ASSERT_TRUE(first) << to_string(first.error());
  EXPECT_EQ(entry<HeaderExtension>(*first, 0).message_length, 16U);

  // RTPS 2.4: the same bytes are an unknown submessage, and fail with bit 7 set.
  auto old = decode_datagram(concat({header(2, 4), hex("09020000"), he}));
  ASSERT_TRUE(old);
  EXPECT_EQ(entry<UnknownSubmessage>(*old, 1), (UnknownSubmessage{0x80, 0x03}));
  EXPECT_EQ(decode_datagram(concat({header(2, 4), hex("80830400 10000000")})).error(),
            range("Unknown submessage id with must-understand flag"));
  // RTPS 3.0 counts as newer than 2.5.
  EXPECT_TRUE(decode_datagram(concat({header(3, 0), he})));
}

TEST(HeaderExtension, DecodesFieldsInTableOrder) {
  EXPECT_EQ(HeaderExtension::decode_body(hex("10000000"), 0x01).error(), range("HE trailing bytes without P-flag"));
  auto len = HeaderExtension::decode_body(hex("10000000"), 0x03);
  ASSERT_TRUE(len);
  EXPECT_EQ(len->message_length, 16U);

  const Bytes all = hex("20000000  05000000 00000080  a1a2a3a4  b1b2b3b4b5b6b7b8  c1c2c3c4c5c6c7c8c9cacbcccdcecfd0"
                        "7100 0400 01000000 0100 0000");
  auto he = HeaderExtension::decode_body(all, 0xFF);
  ASSERT_TRUE(he) << to_string(he.error());
  EXPECT_EQ(he->message_length, 32U);
  EXPECT_EQ(he->timestamp, (RtpsTime{5, 0x80000000U}));
  EXPECT_EQ(he->u_extension4, (std::array<std::uint8_t, 4>{0xa1, 0xa2, 0xa3, 0xa4}));
  EXPECT_EQ((*he->w_extension8)[7], 0xb8);
  ASSERT_TRUE(std::holds_alternative<HeaderExtension::Md5>(he->checksum));
  EXPECT_EQ(std::get<HeaderExtension::Md5>(he->checksum)[15], 0xd0);
  ASSERT_TRUE(he->parameters);
  EXPECT_TRUE(he->parameters->find(PID_STATUS_INFO));

  auto crc32 = HeaderExtension::decode_body(hex("78563412"), 0x21);
  ASSERT_TRUE(crc32);
  EXPECT_EQ(std::get<HeaderExtension::Crc32>(crc32->checksum), 0x12345678U);
  auto crc64 = HeaderExtension::decode_body(hex("0102030405060708"), 0x40);
  ASSERT_TRUE(crc64);
  EXPECT_EQ(std::get<HeaderExtension::Crc64>(crc64->checksum), 0x0102030405060708U);

  const struct {
    std::uint8_t flags;
    Bytes body;
    WireFormatError expected;
  } errors[] = {
      {0x03, hex("1000"), WireFormatError::UnexpectedEof{4, 0}},
      {0x07, hex("10000000 0500"), WireFormatError::UnexpectedEof{8, 4}},
      {0x09, {}, WireFormatError::UnexpectedEof{4, 0}},
      {0x11, hex("0102"), WireFormatError::UnexpectedEof{8, 0}},
      {0x63, hex("10000000 01"), WireFormatError::UnexpectedEof{16, 4}},
      {0x81, hex("7100"), WireFormatError::UnexpectedEof{4, 0}},
      {0x01, Bytes(MAX_HE_LENGTH + 1, 0), range("HE body exceeds MAX_HE_LENGTH")},
  };
  for (const auto& e : errors) {
    auto got = HeaderExtension::decode_body(e.body, e.flags);
    ASSERT_FALSE(got) << int{e.flags};
    EXPECT_EQ(got.error(), e.expected) << int{e.flags} << ": " << to_string(got.error());
  }
  // Exactly MAX_HE_LENGTH is accepted: PID_PAD entries, then the sentinel.
  Bytes longest(MAX_HE_LENGTH, 0);
  longest[MAX_HE_LENGTH - 4] = 0x01;
  auto at_limit = HeaderExtension::decode_body(longest, 0x81);
  ASSERT_TRUE(at_limit) << to_string(at_limit.error());
  EXPECT_EQ(at_limit->parameters->bytes.size(), MAX_HE_LENGTH);
}

TEST(DecodeDatagram, PayloadsShareOneCopyOfTheDatagram) {
  const Bytes d = concat({header(), hex("15050000 0000 1000 00001207 00001302 00000000 03000000 aabbccdd")});
  const SharedBytes shared = SharedBytes::copy_of(d);
  auto decoded = decode_datagram(shared);
  ASSERT_TRUE(decoded);
  const auto& payload = entry<DataSubmessage>(*decoded, 0).serialized_payload;
  EXPECT_EQ(payload.data(), shared.data() + 44);  // a slice, not a copy
  EXPECT_EQ(payload.size(), 4U);
}

TEST(DecodeDatagram, ZeroLengthPadAndInfoTsAreEmptyOthersRunToTheEnd) {
  // An invalidating INFO_TS and a PAD with octetsToNextHeader 0 have no body; the
  // submessages after them still count.
  const Bytes data = hex("15050000 0000 1000 00001207 00001302 00000000 03000000 aabbccdd");
  auto decoded = decode_datagram(concat({header(), hex("09030000"), hex("01000000"), data}));
  ASSERT_TRUE(decoded) << to_string(decoded.error());
  ASSERT_EQ(decoded->submessages.size(), 3U);
  EXPECT_FALSE(entry<InfoTimestamp>(*decoded, 0).time);
  EXPECT_EQ(entry<DataSubmessage>(*decoded, 2).serialized_payload, SharedBytes::copy_of(hex("aabbccdd")));
  // Any other kind with 0 takes the rest of the datagram.
  auto swallowed = decode_datagram(concat({header(), hex("33000000"), data}));
  ASSERT_TRUE(swallowed);
  EXPECT_EQ(swallowed->submessages.size(), 1U);
}

TEST(DecodeDatagram, SpillsBeyondInlineCapacity) {
  Bytes d = header();
  for (int i = 0; i < 20; ++i) {
    const Bytes pad = hex("01000000");
    d.insert(d.end(), pad.begin(), pad.end());
  }
  auto decoded = decode_datagram(d);
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->submessages.size(), 20U);
  for (const auto& s : decoded->submessages) EXPECT_EQ(std::get<UnknownSubmessage>(s).id, SUBMESSAGE_PAD);
}

DataSubmessage data_with_payload(std::size_t n, SequenceNumber sn = 1) {
  return DataSubmessage{0, kReader, kWriter, sn, std::nullopt, SharedBytes::copy_of(Bytes(n, 0x5A)), true, false, false};
}

TEST(EncodeDataDatagram, WritesHeaderAndPaddedDataSubmessages) {
  const MessageHeader h{PROTOCOLVERSION_2_5, VENDORID_KELVANE, kPrefix};
  EXPECT_EQ(encode_data_datagram(h, {}), header());

  const DataSubmessage datas[] = {data_with_payload(4, 1), data_with_payload(3, 2)};
  auto bytes = encode_data_datagram(h, datas);
  ASSERT_TRUE(bytes);
  EXPECT_EQ(*bytes, concat({header(), hex("15051800 0000 1000 00001207 00001302 00000000 01000000 5a5a5a5a"),
                            hex("15051800 0000 1000 00001207 00001302 00000000 02000000 5a5a5a00")}));
  auto decoded = decode_datagram(*bytes);
  ASSERT_TRUE(decoded);
  EXPECT_EQ(entry<DataSubmessage>(*decoded, 0), datas[0]);
  // The padding byte of the second DATA is read back as payload: padding is the sender's.
  EXPECT_EQ(entry<DataSubmessage>(*decoded, 1).serialized_payload.size(), 4U);

  const DataSubmessage huge[] = {data_with_payload(65536 - 20)};
  EXPECT_EQ(encode_data_datagram(h, huge).error(), range("DATA submessage body exceeds u16::MAX"));
}

TEST(EncodeDataDatagram, KeepsBigEndianInlineQosConsistentWithItsBody) {
  // Inline QoS received big-endian is forwarded as it is: the whole DATA follows its order.
  DataSubmessage data = data_with_payload(4, 9);
  data.inline_qos = EncodedParameterList{SharedBytes::copy_of(hex("0071 0004 00000001 0001 0000")), false};
  const DataSubmessage datas[] = {data};
  auto bytes = encode_data_datagram(MessageHeader{}, datas);
  ASSERT_TRUE(bytes);
  EXPECT_EQ((*bytes)[21], DATA_FLAG_Q | DATA_FLAG_D);  // E clear
  auto decoded = decode_datagram(*bytes);
  ASSERT_TRUE(decoded) << to_string(decoded.error());
  EXPECT_EQ(entry<DataSubmessage>(*decoded, 0), data);

  DatagramPacker packer(kPrefix, VENDORID_KELVANE, 1400, nullptr);
  ASSERT_TRUE(packer.append_record(SUBMESSAGE_DATA, data));
  const auto packed = std::move(packer).finish();
  ASSERT_EQ(packed.size(), 1U);
  auto unpacked = decode_datagram(packed[0].bytes);
  ASSERT_TRUE(unpacked);
  EXPECT_EQ(entry<DataSubmessage>(*unpacked, 0), data);
}

TEST(MessageBuilder, AppendsWhileThePaddedBodyFits) {
  auto targets = std::make_shared<const LocatorList>(LocatorList{Locator::udpv4({127, 0, 0, 1}, 7411)});
  MessageBuilder builder(kPrefix, VENDORID_KELVANE, 100, targets);
  EXPECT_EQ(builder.size(), 20U);
  EXPECT_TRUE(builder.append(SUBMESSAGE_HEARTBEAT, FLAG_E, Bytes(59, 1)));  // padded to 60: 84
  EXPECT_FALSE(builder.append(SUBMESSAGE_HEARTBEAT, FLAG_E, Bytes(13, 1)));  // 84 + 4 + 16 > 100
  EXPECT_TRUE(builder.append(SUBMESSAGE_HEARTBEAT, 0, Bytes(12, 2)));        // exactly 100
  EXPECT_EQ(builder.submessage_count(), 2U);
  auto datagram = std::move(builder).finish();
  ASSERT_TRUE(datagram);
  EXPECT_EQ(datagram->bytes.size(), 100U);
  EXPECT_EQ(datagram->targets, targets);
  EXPECT_EQ(Bytes(datagram->bytes.begin() + 20, datagram->bytes.begin() + 24), hex("07013c00"));
  EXPECT_EQ(datagram->bytes[83], 0);  // padding
  EXPECT_EQ(Bytes(datagram->bytes.begin() + 84, datagram->bytes.begin() + 88), hex("07010c00"));

  MessageBuilder empty(kPrefix, VENDORID_KELVANE, 20, targets);
  EXPECT_FALSE(empty.append(SUBMESSAGE_GAP, FLAG_E, {}));
  EXPECT_FALSE(std::move(empty).finish());
}

TEST(MessageBuilderDeathTest, RefusesMtuBelowHeader) {
  EXPECT_DEATH(MessageBuilder(kPrefix, VENDORID_KELVANE, 19, nullptr),
               "MTU must accommodate at least the 20-byte RTPS header");
}

TEST(DatagramPacker, StartsFreshDatagramsAndRefusesWhatCannotFit) {
  auto targets = std::make_shared<const LocatorList>();
  DatagramPacker packer(kPrefix, VENDORID_KELVANE, 100, targets);
  const Bytes sixty(60, 7);
  ASSERT_TRUE(packer.append(SUBMESSAGE_DATA, FLAG_E, sixty));  // 20 + 4 + 60 = 84
  ASSERT_TRUE(packer.append(SUBMESSAGE_DATA, FLAG_E, sixty));  // does not fit behind: new datagram
  EXPECT_EQ(packer.append(SUBMESSAGE_DATA, FLAG_E, Bytes(77, 0)).error(),
            range("submessage does not fit into fresh datagram"));
  ASSERT_TRUE(packer.append_record(SUBMESSAGE_DATA, data_with_payload(4)));  // into the fresh datagram: 20 + 4 + 24
  auto datagrams = std::move(packer).finish();
  ASSERT_EQ(datagrams.size(), 3U);
  EXPECT_EQ(datagrams[0].bytes.size(), 84U);
  EXPECT_EQ(datagrams[1].bytes.size(), 84U);
  EXPECT_EQ(datagrams[2].bytes.size(), 48U);
  for (const auto& d : datagrams) {
    EXPECT_EQ(d.targets, targets);
    EXPECT_TRUE(decode_datagram(d.bytes));
  }

  DatagramPacker big(kPrefix, VENDORID_KELVANE, 200000, targets);
  const struct {
    std::uint8_t id;
    std::string_view text;
  } labels[] = {
      {SUBMESSAGE_DATA, "DATA body exceeds u16::MAX"},
      {SUBMESSAGE_HEARTBEAT, "HEARTBEAT body exceeds u16::MAX"},
      {SUBMESSAGE_GAP, "GAP body exceeds u16::MAX"},
      {SUBMESSAGE_DATA_FRAG, "submessage body exceeds u16::MAX"},
  };
  for (const auto& l : labels) EXPECT_EQ(big.append(l.id, FLAG_E, Bytes(65536, 0)).error(), range(l.text));
  EXPECT_TRUE(std::move(big).finish().empty());
}

TEST(SingleSubmessageDatagram, ReportsItsOwnText) {
  auto ok = single_submessage_datagram(kPrefix, VENDORID_KELVANE, 64, nullptr, SUBMESSAGE_GAP, FLAG_E, Bytes(40, 0),
                                       kGapDoesNotFitText);
  ASSERT_TRUE(ok);
  EXPECT_EQ(ok->bytes.size(), 64U);
  EXPECT_EQ(single_submessage_datagram(kPrefix, VENDORID_KELVANE, 64, nullptr, SUBMESSAGE_GAP, FLAG_E, Bytes(41, 0),
                                       kGapDoesNotFitText)
                .error(),
            range("GAP submessage does not fit into MTU"));
}

}  // namespace
}  // namespace kelvane::rtps
