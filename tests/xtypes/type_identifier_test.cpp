#include "xtypes/type_identifier.hpp"

#include <gtest/gtest.h>

#include <string>

#include "xtypes/test_hex.hpp"

namespace kelvane::xtypes {
namespace {

using test::hex;

EquivalenceHash hash_of(std::uint8_t first) {
  EquivalenceHash h;
  for (std::size_t i = 0; i < h.bytes.size(); ++i) h.bytes[i] = static_cast<std::uint8_t>(first + i);
  return h;
}

TypeIdentifier int32() { return TypeIdentifier{Primitive{PrimitiveKind::Int32}}; }

std::vector<std::uint8_t> encode(const TypeIdentifier& id, bool little_endian = true) {
  cdr::BufferWriter writer(little_endian);
  auto r = id.encode_into(writer);
  EXPECT_TRUE(r.has_value());
  return writer.take();
}

std::expected<TypeIdentifier, cdr::DecodeError> decode(std::span<const std::uint8_t> bytes,
                                                       bool little_endian = true) {
  cdr::BufferReader reader(bytes, little_endian);
  return TypeIdentifier::decode_with_depth(reader, 0);
}

// Sequences nested `levels` deep around an int32.
TypeIdentifier nested_sequences(int levels) {
  TypeIdentifier id = int32();
  for (int i = 0; i < levels; ++i)
    id = TypeIdentifier{PlainSequenceSmall{{EK_MINIMAL, 0}, 5, ChildIdentifier(id)}};
  return id;
}

struct ByteCase {
  std::string name;
  TypeIdentifier id;
  std::string bytes;  // little-endian encoding at offset 0
};

TEST(TypeIdentifierTest, EncodesKnownLayoutsAndDecodesThemBack) {
  const std::vector<ByteCase> cases = {
      {"none", TypeIdentifier{TkNone{}}, "00"},
      {"int32", int32(), "04"},
      {"char16", TypeIdentifier{Primitive{PrimitiveKind::Char16}}, "11"},
      {"string8 small", TypeIdentifier{String8Small{10}}, "70 0A"},
      {"string8 large", TypeIdentifier{String8Large{1000}}, "71 00 00 00 E8 03 00 00"},
      {"string16 small", TypeIdentifier{String16Small{7}}, "72 07"},
      {"string16 large", TypeIdentifier{String16Large{0x01020304}}, "73 00 00 00 04 03 02 01"},
      {"sequence small", TypeIdentifier{PlainSequenceSmall{{0xF1, 0}, 5, ChildIdentifier(int32())}},
       "80 F1 00 00 05 04"},
      {"sequence large", TypeIdentifier{PlainSequenceLarge{{0xF2, 0x1234}, 100000, ChildIdentifier(int32())}},
       "81 F2 34 12 A0 86 01 00 04"},
      {"array small", TypeIdentifier{PlainArraySmall{{0xF1, 1}, {2, 3}, ChildIdentifier(int32())}},
       "90 F1 01 00 02 00 00 00 02 03 04"},
      {"array large", TypeIdentifier{PlainArrayLarge{{0xF1, 0}, {70000}, ChildIdentifier(int32())}},
       "91 F1 00 00 01 00 00 00 70 11 01 00 04"},
      {"map small",
       TypeIdentifier{PlainMapSmall{
           {0xF1, 0}, 9, ChildIdentifier(int32()), 0x0002, ChildIdentifier(TypeIdentifier{String8Small{4}})}},
       "A0 F1 00 00 09 04 02 00 70 04"},
      {"map large",
       TypeIdentifier{PlainMapLarge{{0xF1, 0},
                                    300,
                                    ChildIdentifier(int32()),
                                    0x0001,
                                    ChildIdentifier(TypeIdentifier{Primitive{PrimitiveKind::Uint8}})}},
       "A1 F1 00 00 2C 01 00 00 04 00 01 00 0D"},
      {"scc", TypeIdentifier{StronglyConnectedComponent{hash_of(1), 3, 2}},
       "B0 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 00 03 00 00 00 02 00 00 00"},
      {"minimal", TypeIdentifier{EquivalenceMinimal{hash_of(0x10)}},
       "F1 10 11 12 13 14 15 16 17 18 19 1A 1B 1C 1D"},
      {"complete", TypeIdentifier{EquivalenceComplete{hash_of(0x20)}},
       "F2 20 21 22 23 24 25 26 27 28 29 2A 2B 2C 2D"},
      {"opaque", TypeIdentifier{OpaqueIdentifier{0x0E}}, "0E"},
  };
  for (const ByteCase& c : cases) {
    SCOPED_TRACE(c.name);
    const auto expected = hex(c.bytes);
    EXPECT_EQ(encode(c.id), expected);
    auto decoded = decode(expected);
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(*decoded, c.id);
    EXPECT_EQ(decoded->discriminator(), expected[0]);
    // Big-endian round trip of the same value.
    auto be = decode(encode(c.id, false), false);
    ASSERT_TRUE(be.has_value());
    EXPECT_EQ(*be, c.id);
  }
}

TEST(TypeIdentifierTest, MinimalHashIsFifteenBytes) {
  EXPECT_EQ(encode(TypeIdentifier{EquivalenceMinimal{hash_of(0)}}).size(), 15u);
}

TEST(TypeIdentifierTest, AlignmentCountsFromWriterStart) {
  cdr::BufferWriter writer(true);
  writer.write_u8(0xAA);
  ASSERT_TRUE(TypeIdentifier{String8Large{1}}.encode_into(writer).has_value());
  EXPECT_EQ(std::vector<std::uint8_t>(writer.bytes().begin(), writer.bytes().end()),
            hex("AA 71 00 00 01 00 00 00"));
}

TEST(TypeIdentifierTest, UnnamedDiscriminatorsAreOpaque) {
  for (std::uint8_t d : {0x0E, 0x0F, 0x12, 0x6F, 0x74, 0x82, 0xB1, 0xF0, 0xF3, 0xFF}) {
    SCOPED_TRACE(static_cast<int>(d));
    const std::vector<std::uint8_t> bytes{d, 0x99};
    cdr::BufferReader reader(bytes, true);
    auto id = TypeIdentifier::decode_with_depth(reader, 0);
    ASSERT_TRUE(id.has_value());
    EXPECT_EQ(*id, TypeIdentifier{OpaqueIdentifier{d}});
    EXPECT_EQ(reader.position(), 1u);  // nothing further is read
    EXPECT_EQ(encode(*id), std::vector<std::uint8_t>{d});
  }
}

TEST(TypeIdentifierTest, StronglyConnectedComponentBoundsAreCheckedOnEncode) {
  struct Case {
    std::int32_t length;
    std::int32_t index;
    bool ok;
  };
  for (const Case& c : {Case{0, 0, false}, Case{-1, 0, false}, Case{3, 3, false}, Case{3, -1, false},
                        Case{3, 2, true}, Case{1, 0, true}}) {
    SCOPED_TRACE(std::to_string(c.length) + "/" + std::to_string(c.index));
    cdr::BufferWriter writer(true);
    auto r = TypeIdentifier{StronglyConnectedComponent{hash_of(0), c.length, c.index}}.encode_into(writer);
    EXPECT_EQ(r.has_value(), c.ok);
    if (!c.ok) {
      EXPECT_EQ(r.error(),
                cdr::EncodeError(cdr::EncodeError::ValueTooLarge{"SCC scc_length/scc_index invalid"}));
    }
  }
}

TEST(TypeIdentifierTest, ChildFailureIsReturnedUnchanged) {
  TypeIdentifier bad{StronglyConnectedComponent{hash_of(0), 0, 0}};
  TypeIdentifier map{PlainMapSmall{{0xF1, 0}, 1, ChildIdentifier(int32()), 0, ChildIdentifier(bad)}};
  cdr::BufferWriter writer(true);
  auto r = map.encode_into(writer);
  ASSERT_FALSE(r.has_value());
  EXPECT_EQ(r.error().value.text, "SCC scc_length/scc_index invalid");
}

TEST(TypeIdentifierTest, SixteenLevelsDecodeSeventeenFail) {
  auto ok = decode(encode(nested_sequences(15)));
  ASSERT_TRUE(ok.has_value());
  EXPECT_EQ(*ok, nested_sequences(15));

  const auto too_deep = encode(nested_sequences(16));
  auto err = decode(too_deep);
  ASSERT_FALSE(err.has_value());
  const auto* limit = err.error().get_if<cdr::DecodeError::LimitExceeded>();
  ASSERT_NE(limit, nullptr);
  EXPECT_EQ(limit->values[0], MAX_TYPE_IDENTIFIER_DEPTH);
  EXPECT_EQ(limit->values[1], too_deep.size() - 1);  // position of the innermost int32
}

TEST(TypeIdentifierTest, TruncatedAndOversizedInputFails) {
  struct Case {
    std::string name;
    std::string bytes;
    cdr::DecodeError error;
  };
  const std::vector<Case> cases = {
      {"empty", "", cdr::DecodeError::UnexpectedEof{1, 0}},
      {"string8 small without bound", "70", cdr::DecodeError::UnexpectedEof{1, 1}},
      {"map small without bound", "A0 F1 00 00", cdr::DecodeError::UnexpectedEof{1, 4}},
      {"short hash", "F1 01 02 03", cdr::DecodeError::UnexpectedEof{14, 1}},
      {"sequence without element", "80 F1 00 00 05", cdr::DecodeError::UnexpectedEof{1, 5}},
      {"small array count beyond data", "90 F1 00 00 FF FF 00 00 01",
       cdr::DecodeError::UnexpectedEof{65535, 8}},
      {"large array with a million dimensions", "91 F1 00 00 40 42 0F 00 01 00 00 00 02 00 00 00 03 00 00 00",
       cdr::DecodeError::UnexpectedEof{4, 20}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto bytes = hex(c.bytes);
    auto r = decode(bytes);
    ASSERT_FALSE(r.has_value());
    EXPECT_EQ(r.error(), c.error);
  }
}

TEST(TypeIdentifierTest, EqualityIsDeepAndCopiesAreIndependent) {
  TypeIdentifier a{PlainArrayLarge{{0xF1, 0}, {1, 2}, ChildIdentifier(nested_sequences(3))}};
  TypeIdentifier b = a;
  EXPECT_EQ(a, b);
  std::get<PlainArrayLarge>(b.value).element.get() = int32();
  EXPECT_NE(a, b);
  EXPECT_EQ(std::get<PlainArrayLarge>(a.value).element.get(), nested_sequences(3));

  TypeIdentifier shorter{PlainArrayLarge{{0xF1, 0}, {1}, ChildIdentifier(nested_sequences(3))}};
  EXPECT_NE(a, shorter);
  EXPECT_NE(TypeIdentifier{String8Small{3}}, TypeIdentifier{String16Small{3}});
  EXPECT_NE(TypeIdentifier{OpaqueIdentifier{0x0E}}, TypeIdentifier{OpaqueIdentifier{0x0F}});
}

TEST(TypeIdentifierTest, HashesOrderBytewise) {
  EquivalenceHash low = hash_of(1);
  EquivalenceHash high = low;
  high.bytes[13] = 0xFF;
  EXPECT_LT(low, high);
  high.bytes[0] = 0;
  EXPECT_GT(low, high);
}

TEST(TypeIdentifierTest, WithSizeRoundTrips) {
  TypeIdentifierWithSize value{TypeIdentifier{EquivalenceMinimal{hash_of(3)}}, 0x01020304};
  cdr::BufferWriter writer(true);
  ASSERT_TRUE(value.encode_into(writer).has_value());
  auto bytes = writer.take();
  EXPECT_EQ(bytes.size(), 15u + 1 + 4);  // padded to 16, then the size
  cdr::BufferReader reader(bytes, true);
  auto decoded = TypeIdentifierWithSize::decode(reader);
  ASSERT_TRUE(decoded.has_value());
  EXPECT_EQ(*decoded, value);
}

}  // namespace
}  // namespace kelvane::xtypes
