#include <gtest/gtest.h>

#include <cstdint>
#include <unordered_set>
#include <vector>

#include "rtps/wire_types.hpp"

namespace kelvane::rtps {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(EntityKind, MapsOnlyKnownBytesAndFoldsTheRestToUnknown) {
  const std::uint8_t known[] = {0x00, 0x02, 0x03, 0x04, 0x07, 0xC1, 0xC2, 0xC3, 0xC4, 0xC7};
  for (int b = 0; b < 256; ++b) {
    const auto byte = static_cast<std::uint8_t>(b);
    const bool is_known = std::find(std::begin(known), std::end(known), byte) != std::end(known);
    const auto kind = entity_kind_from_byte(byte);
    EXPECT_EQ(static_cast<std::uint8_t>(kind), is_known ? byte : 0) << b;
  }
}

TEST(Guid, SplitsPrefixAndEntityIdAndWritesUnknownKindsAsZero) {
  Bytes wire{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 0xAA, 0xBB, 0xCC, 0x01};
  const Guid guid = Guid::from_bytes(std::span<const std::uint8_t, 16>(wire.data(), 16));
  EXPECT_EQ(guid.prefix.bytes[0], 1);
  EXPECT_EQ(guid.prefix.bytes[11], 12);
  EXPECT_EQ(guid.entity_id.entity_key, (std::array<std::uint8_t, 3>{0xAA, 0xBB, 0xCC}));
  EXPECT_EQ(guid.entity_id.entity_kind, EntityKind::Unknown);
  wire[15] = 0x00;
  const auto back = guid.to_bytes();
  EXPECT_EQ(Bytes(back.begin(), back.end()), wire);

  wire[15] = 0xC2;
  const Guid builtin = Guid::from_bytes(std::span<const std::uint8_t, 16>(wire.data(), 16));
  EXPECT_EQ(builtin.entity_id.entity_kind, EntityKind::BuiltinWriterWithKey);
  EXPECT_EQ(builtin.participant().entity_id, ENTITYID_PARTICIPANT);
  EXPECT_EQ(builtin.participant().prefix, builtin.prefix);
  EXPECT_EQ(to_string(builtin), "0102030405060708090a0b0c|aabbccc2");
}

TEST(EntityId, DebuggingFormNamesFieldsAndKind) {
  EXPECT_EQ(to_debug_string(ENTITYID_PARTICIPANT), "EntityId { entity_key: [0, 0, 1], entity_kind: Participant }");
  EXPECT_EQ(ENTITYID_SPDP_BUILTIN_PARTICIPANT_ANNOUNCER.to_bytes(), (std::array<std::uint8_t, 4>{0, 1, 0, 0xC2}));
  EXPECT_EQ(ENTITYID_TL_SVC_REPLY_READER.to_bytes(), (std::array<std::uint8_t, 4>{0, 3, 1, 0xC4}));
}

TEST(SequenceNumber, UsesHighSignedThenLowUnsignedHalves) {
  const struct {
    SequenceNumber sn;
    Bytes le;
    Bytes be;
  } cases[] = {
      {0x0000000100000002, {1, 0, 0, 0, 2, 0, 0, 0}, {0, 0, 0, 1, 0, 0, 0, 2}},
      {0, {0, 0, 0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0, 0, 0}},
      {0xFFFFFFFF, {0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}, {0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}},
      {SEQUENCENUMBER_UNKNOWN, {0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0}, {0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0}},
  };
  for (const auto& c : cases) {
    for (const bool little : {true, false}) {
      Bytes out;
      append_sequence_number(out, c.sn, little);
      EXPECT_EQ(out, little ? c.le : c.be) << c.sn;
      EXPECT_EQ(load_sequence_number(out.data(), little), c.sn);
    }
  }
}

TEST(Locator, RoundTripsAcceptedKindsAndRejectsOthers) {
  const Locator udp = Locator::udpv4({127, 0, 0, 1}, 7400);
  EXPECT_EQ(udp.ipv4(), (std::array<std::uint8_t, 4>{127, 0, 0, 1}));
  for (const bool little : {true, false}) {
    Bytes out;
    append_locator(out, udp, little);
    ASSERT_EQ(out.size(), LOCATOR_WIRE_SIZE);
    EXPECT_EQ(read_locator(out, 0, little), udp);
  }
  for (const std::int32_t kind : {LOCATOR_KIND_INVALID, LOCATOR_KIND_RESERVED, LOCATOR_KIND_UDPv6, LOCATOR_KIND_TCPv4,
                                  LOCATOR_KIND_TCPv6, LOCATOR_KIND_VENDOR_0, LOCATOR_KIND_VENDOR_1}) {
    Bytes out;
    append_locator(out, Locator{kind, 1, {}}, true);
    EXPECT_TRUE(read_locator(out, 0, true)) << kind;
  }
  Bytes three;
  append_locator(three, Locator{3, 1, {}}, true);
  EXPECT_EQ(read_locator(three, 0, true).error(), WireFormatError(WireFormatError::UnknownLocatorKind{3}));
  EXPECT_EQ(read_locator(three, 1, true).error(), WireFormatError(WireFormatError::UnexpectedEof{24, 1}));
}

TEST(Guid, HashesDistinguishPrefixAndEntity) {
  Guid a;
  Guid b = a;
  b.prefix.bytes[3] = 1;
  Guid c = a;
  c.entity_id = ENTITYID_PARTICIPANT;
  const std::unordered_set<Guid> set{a, b, c, a};
  EXPECT_EQ(set.size(), 3U);
}

}  // namespace
}  // namespace kelvane::rtps
