#include "websocket/frame.hpp"

#include <gtest/gtest.h>

#include "websocket/hex.hpp"

namespace kelvane::websocket {
namespace {

using testing::bytes_of;
using testing::concat;
using testing::from_hex;

constexpr std::string_view kMaskedHello = "81 85 37 FA 21 3D 7F 9F 4D 51 58";

Frame text_frame(std::size_t size) {
  Frame frame;
  frame.payload.assign(size, 'x');
  return frame;
}

TEST(FrameDecode, RfcMaskedHello) {
  const auto result = decode(from_hex(kMaskedHello));
  ASSERT_TRUE(result.has_value());
  EXPECT_EQ(result->consumed, 11u);
  EXPECT_TRUE(result->frame.fin);
  EXPECT_EQ(result->frame.opcode, Opcode::Text);
  EXPECT_EQ(result->frame.mask, (MaskKey{0x37, 0xFA, 0x21, 0x3D}));
  EXPECT_EQ(result->frame.payload, bytes_of("Hello"));
}

TEST(FrameDecode, UnmaskedHello) {
  const auto result = decode(concat(from_hex("81 05"), bytes_of("Hello")));
  ASSERT_TRUE(result.has_value());
  EXPECT_EQ(result->consumed, 7u);
  EXPECT_FALSE(result->frame.mask.has_value());
  EXPECT_EQ(result->frame.payload, bytes_of("Hello"));
}

TEST(FrameDecode, FragmentedMessageFromRfc) {
  // "Hel" as a Text frame without FIN, then "lo" as a final Continuation frame.
  const auto wire = from_hex("01 03 48 65 6c 80 02 6c 6f");
  const auto first = decode(wire);
  ASSERT_TRUE(first.has_value());
  EXPECT_FALSE(first->frame.fin);
  EXPECT_EQ(first->frame.opcode, Opcode::Text);
  EXPECT_EQ(first->frame.payload, bytes_of("Hel"));
  const auto second = decode(std::span(wire).subspan(first->consumed));
  ASSERT_TRUE(second.has_value());
  EXPECT_TRUE(second->frame.fin);
  EXPECT_EQ(second->frame.opcode, Opcode::Continuation);
  EXPECT_EQ(second->frame.payload, bytes_of("lo"));
  EXPECT_EQ(first->consumed + second->consumed, wire.size());
}

TEST(FrameDecode, PingAndPongFromRfc) {
  const auto ping = decode(from_hex("89 05 48 65 6c 6c 6f"));
  ASSERT_TRUE(ping.has_value());
  EXPECT_EQ(ping->frame.opcode, Opcode::Ping);
  EXPECT_EQ(ping->frame.payload, bytes_of("Hello"));
  const auto pong = decode(from_hex("8a 85 37 fa 21 3d 7f 9f 4d 51 58"));
  ASSERT_TRUE(pong.has_value());
  EXPECT_EQ(pong->frame.opcode, Opcode::Pong);
  EXPECT_EQ(pong->frame.payload, bytes_of("Hello"));
}

TEST(FrameDecode, ExtendedLengthForms) {
  // 256 bytes with a 16-bit length, 65,536 bytes with a 64-bit length (both unmasked binary).
  const std::vector<std::uint8_t> payload256(256, 0xAB);
  const auto r16 = decode(concat(from_hex("82 7E 01 00"), payload256));
  ASSERT_TRUE(r16.has_value());
  EXPECT_EQ(r16->consumed, 4u + 256u);
  EXPECT_EQ(r16->frame.payload, payload256);

  const std::vector<std::uint8_t> payload64k(65536, 0x5A);
  const auto r64 = decode(concat(from_hex("82 7F 00 00 00 00 00 01 00 00"), payload64k));
  ASSERT_TRUE(r64.has_value());
  EXPECT_EQ(r64->consumed, 10u + 65536u);
  EXPECT_EQ(r64->frame.payload, payload64k);
}

TEST(FrameDecode, ReservedBitsAndOpcodesAreCarried) {
  std::vector<std::uint8_t> wire = from_hex("F3 7E 00 C8");  // FIN, RSV1-3, reserved opcode 3
  wire.resize(4 + 200, 0x11);
  const auto result = decode(wire);
  ASSERT_TRUE(result.has_value());
  EXPECT_TRUE(result->frame.rsv1 && result->frame.rsv2 && result->frame.rsv3);
  EXPECT_EQ(static_cast<int>(result->frame.opcode), 3);
  EXPECT_TRUE(is_reserved(result->frame.opcode));
  EXPECT_FALSE(is_control(result->frame.opcode));
  EXPECT_EQ(result->frame.payload.size(), 200u);
}

TEST(FrameDecode, TwoFramesInOneBuffer) {
  const auto wire = concat(from_hex(kMaskedHello), concat(from_hex("82 02"), bytes_of("ab")));
  const auto first = decode(wire);
  ASSERT_TRUE(first.has_value());
  EXPECT_EQ(first->frame.payload, bytes_of("Hello"));
  const auto second = decode(std::span(wire).subspan(first->consumed));
  ASSERT_TRUE(second.has_value());
  EXPECT_EQ(second->frame.opcode, Opcode::Binary);
  EXPECT_EQ(second->frame.payload, bytes_of("ab"));
  EXPECT_EQ(first->consumed + second->consumed, wire.size());
}

TEST(FrameDecode, UnmaskingCoversEveryAlignment) {
  // Lengths around the 8-byte stride exercise both the word loop and the tail.
  const MaskKey key = {0x01, 0x80, 0xFE, 0x7F};
  for (std::size_t size : {0u, 1u, 3u, 7u, 8u, 9u, 15u, 16u, 17u, 125u, 1000u}) {
    Frame frame;
    frame.opcode = Opcode::Binary;
    frame.mask = key;
    for (std::size_t i = 0; i < size; ++i) frame.payload.push_back(static_cast<std::uint8_t>(i * 7));
    const auto wire = encode(frame);
    ASSERT_TRUE(wire.has_value());
    const std::size_t header = wire->size() - size;
    for (std::size_t i = 0; i < size; ++i) {
      ASSERT_EQ((*wire)[header + i], static_cast<std::uint8_t>((i * 7) ^ key[i % 4])) << size << " " << i;
    }
    const auto back = decode(*wire);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->frame, frame) << size;
  }
}

// One valid encoding mutated per case.
struct DecodeErrorCase {
  const char* name;
  std::string_view hex;
  std::size_t zero_fill;  // zero bytes appended after the hex
  CodecError expected;
};

class FrameDecodeError : public ::testing::TestWithParam<DecodeErrorCase> {};

TEST_P(FrameDecodeError, Reports) {
  const auto& c = GetParam();
  auto wire = from_hex(c.hex);
  wire.resize(wire.size() + c.zero_fill, 0);
  const auto result = decode(wire);
  ASSERT_FALSE(result.has_value());
  EXPECT_EQ(result.error(), c.expected) << codec_error_name(result.error());
}

INSTANTIATE_TEST_SUITE_P(
    Table, FrameDecodeError,
    ::testing::Values(
        DecodeErrorCase{"empty", "", 0, CodecError::Incomplete},
        DecodeErrorCase{"one_byte", "81", 0, CodecError::Incomplete},
        DecodeErrorCase{"short_16bit_length", "81 7E 00", 0, CodecError::Incomplete},
        DecodeErrorCase{"short_64bit_length", "82 7F 00 00 00 00 00 00 FF", 0, CodecError::Incomplete},
        DecodeErrorCase{"nonminimal_16", "81 7E 00 7D", 0, CodecError::NonMinimalLength},
        DecodeErrorCase{"nonminimal_64", "82 7F 00 00 00 00 00 00 FF FF", 0, CodecError::NonMinimalLength},
        DecodeErrorCase{"length_top_bit", "82 7F 80 00 00 00 00 00 00 00", 0, CodecError::LengthOverflow},
        DecodeErrorCase{"length_top_bit_beats_minimal", "82 7F 80 00 00 00 00 00 00 01", 0,
                        CodecError::LengthOverflow},
        DecodeErrorCase{"missing_mask_key", "81 85 37 FA", 0, CodecError::IncompleteMaskKey},
        DecodeErrorCase{"missing_payload", "81 05 48 65", 0, CodecError::IncompletePayload},
        DecodeErrorCase{"ping_without_fin", "09 00", 0, CodecError::FragmentedControl},
        DecodeErrorCase{"reserved_control_without_fin", "0B 00", 0, CodecError::FragmentedControl},
        DecodeErrorCase{"fragmented_beats_too_long", "09 7E 00 7E", 0, CodecError::FragmentedControl},
        DecodeErrorCase{"ping_announcing_126", "89 7E 00 7E", 0, CodecError::ControlTooLong},
        DecodeErrorCase{"close_announcing_64bit", "88 7F 00 00 00 00 00 01 00 00", 0, CodecError::ControlTooLong},
        DecodeErrorCase{"reserved_control_too_long", "8F 7E 00 80", 0, CodecError::ControlTooLong},
        DecodeErrorCase{"nonminimal_beats_control_rules", "09 7E 00 05", 0, CodecError::NonMinimalLength},
        DecodeErrorCase{"above_16_mib", "82 7F 00 00 00 00 01 00 00 01", 0, CodecError::PayloadTooLarge},
        DecodeErrorCase{"huge_masked_before_key", "82 FF 7F FF FF FF FF FF FF FF", 0, CodecError::PayloadTooLarge},
        DecodeErrorCase{"text_announcing_1mib_partial", "81 FF 00 00 00 00 00 10 00 00 01 02 03 04", 100,
                        CodecError::IncompletePayload}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(FrameDecode, ExactlyMaxPayloadIsAccepted) {
  auto wire = from_hex("82 7F 00 00 00 00 01 00 00 00");
  wire.resize(wire.size() + kMaxFramePayload, 0x42);
  const auto result = decode(wire);
  ASSERT_TRUE(result.has_value());
  EXPECT_EQ(result->frame.payload.size(), kMaxFramePayload);
}

TEST(FrameDecode, EveryTruncationNeedsMoreBytes) {
  const std::vector<std::vector<std::uint8_t>> valid = {
      from_hex(kMaskedHello),
      concat(from_hex("81 05"), bytes_of("Hello")),
      concat(from_hex("82 FE 01 00 01 02 03 04"), std::vector<std::uint8_t>(256, 9)),
      concat(from_hex("82 7F 00 00 00 00 00 01 00 00"), std::vector<std::uint8_t>(65536, 3)),
      from_hex("89 00"),
      from_hex("88 82 00 00 00 00 03 e8"),
  };
  for (const auto& wire : valid) {
    ASSERT_TRUE(decode(wire).has_value());
    for (std::size_t cut = 0; cut < wire.size(); ++cut) {
      const auto result = decode(std::span(wire).first(cut));
      ASSERT_FALSE(result.has_value()) << "cut " << cut;
      EXPECT_TRUE(needs_more_input(result.error())) << "cut " << cut << ": " << codec_error_name(result.error());
    }
  }
}

TEST(FrameEncode, LengthBoundaries) {
  struct Case {
    std::size_t size;
    std::string_view header;
  };
  for (const Case& c : {Case{0, "81 00"}, Case{125, "81 7D"}, Case{126, "81 7E 00 7E"},
                        Case{65535, "81 7E FF FF"}, Case{65536, "81 7F 00 00 00 00 00 01 00 00"}}) {
    const auto wire = encode(text_frame(c.size));
    ASSERT_TRUE(wire.has_value());
    const auto header = from_hex(c.header);
    ASSERT_EQ(wire->size(), header.size() + c.size) << c.size;
    EXPECT_TRUE(std::equal(header.begin(), header.end(), wire->begin())) << c.size;
    EXPECT_EQ(encode_server_frame(Opcode::Text, text_frame(c.size).payload), *wire) << c.size;
  }
}

TEST(FrameEncode, MaskedHelloMatchesRfc) {
  Frame frame;
  frame.mask = MaskKey{0x37, 0xFA, 0x21, 0x3D};
  frame.payload = bytes_of("Hello");
  EXPECT_EQ(encode(frame), from_hex(kMaskedHello));
}

TEST(FrameEncode, FirstByteCarriesFlagsAndOpcode) {
  Frame frame;
  frame.fin = false;
  frame.rsv1 = true;
  frame.rsv3 = true;
  frame.opcode = static_cast<Opcode>(0x5);
  EXPECT_EQ(encode(frame), from_hex("55 00"));
}

TEST(FrameEncode, ControlFrameRules) {
  Frame close;
  close.opcode = Opcode::Close;
  close.payload.assign(126, 0);
  EXPECT_EQ(encode(close), std::unexpected(CodecError::ControlTooLong));
  close.payload.resize(125);
  EXPECT_TRUE(encode(close).has_value());

  Frame ping;
  ping.opcode = Opcode::Ping;
  ping.fin = false;
  EXPECT_EQ(encode(ping), std::unexpected(CodecError::FragmentedControl));
  ping.payload.assign(200, 0);  // FIN is checked first
  EXPECT_EQ(encode(ping), std::unexpected(CodecError::FragmentedControl));
}

TEST(FrameEncode, PongAndCloseServerFrames) {
  EXPECT_EQ(encode_server_frame(Opcode::Pong, bytes_of("abc")), from_hex("8A 03 61 62 63"));
  EXPECT_EQ(encode(close_frame(kCloseGoingAway, "going away")),
            concat(from_hex("88 0C 03 E9"), bytes_of("going away")));
  EXPECT_EQ(encode(close_frame(kCloseMessageTooBig, "")), from_hex("88 02 03 F1"));
}

TEST(FrameEncode, CloseReasonIsCutAtCharacterBoundary) {
  // 122 ASCII bytes then a 2-byte character: 124 bytes exceed the 123 available.
  std::string reason(122, 'r');
  reason += "\xC3\xA9";
  const Frame frame = close_frame(kCloseProtocolError, reason);
  EXPECT_EQ(frame.payload.size(), 2u + 122u);
  EXPECT_TRUE(encode(frame).has_value());
  EXPECT_EQ(close_frame(kCloseProtocolError, std::string(500, 'x')).payload.size(), kMaxControlPayload);
}

TEST(FrameCodec, RoundTripsEveryDecodedFrame) {
  const std::vector<std::vector<std::uint8_t>> wires = {
      from_hex(kMaskedHello), from_hex("01 03 48 65 6c"), from_hex("8a 00"), from_hex("FC 00"),
      concat(from_hex("82 FE 01 00 01 02 03 04"), std::vector<std::uint8_t>(256, 9))};
  for (const auto& wire : wires) {
    const auto decoded = decode(wire);
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(encode(decoded->frame), wire);
  }
}

TEST(FrameCodec, ErrorClassification) {
  EXPECT_EQ(close_status_for(CodecError::PayloadTooLarge), kCloseMessageTooBig);
  for (CodecError malformed : {CodecError::NonMinimalLength, CodecError::LengthOverflow, CodecError::ControlTooLong,
                               CodecError::FragmentedControl}) {
    EXPECT_FALSE(needs_more_input(malformed));
    EXPECT_EQ(close_status_for(malformed), kCloseProtocolError);
  }
  EXPECT_FALSE(needs_more_input(CodecError::PayloadTooLarge));
}

}  // namespace
}  // namespace kelvane::websocket
