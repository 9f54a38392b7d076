#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "cdr/buffer.hpp"
#include "common/utf8.hpp"

namespace kelvane::cdr {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes taken(BufferWriter& w) { return w.take(); }

TEST(BufferWriter, AlignsFromBufferStartWithZeroPadding) {
  BufferWriter le(true);
  le.write_u8(0xAA);
  le.write_u32(0x01020304);
  le.write_u8(0xBB);
  le.write_u16(0x0506);
  EXPECT_EQ(taken(le), (Bytes{0xAA, 0, 0, 0, 0x04, 0x03, 0x02, 0x01, 0xBB, 0, 0x06, 0x05}));

  BufferWriter be(false);
  be.write_u8(0xAA);
  be.write_u16(0x0506);
  be.write_i32(-2);
  EXPECT_EQ(taken(be), (Bytes{0xAA, 0, 0x05, 0x06, 0xFF, 0xFF, 0xFF, 0xFE}));
}

TEST(BufferWriter, StringsCarryLengthWithNulAndNoTrailingPadding) {
  BufferWriter w(true);
  ASSERT_TRUE(w.write_string(""));
  EXPECT_EQ(w.bytes().size(), 5U);
  ASSERT_TRUE(w.write_string("ab"));
  EXPECT_EQ(taken(w), (Bytes{1, 0, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0, 'a', 'b', 0}));

  BufferWriter be(false);
  ASSERT_TRUE(be.write_string("Text"));
  EXPECT_EQ(taken(be), (Bytes{0, 0, 0, 5, 'T', 'e', 'x', 't', 0}));
}

TEST(BufferReader, RoundTripsEveryPrimitiveInBothOrders) {
  for (const bool little : {true, false}) {
    BufferWriter w(little);
    w.write_u8(7);
    w.write_bool(true);
    w.write_u16(0xBEEF);
    w.write_i16(-3);
    w.write_u32(0xDEADBEEF);
    w.write_i32(-123456);
    ASSERT_TRUE(w.write_string("grüße"));
    w.write_bytes(Bytes{9, 8, 7});
    const Bytes bytes = w.take();

    BufferReader r(bytes, little);
    EXPECT_EQ(r.read_u8(), 7);
    EXPECT_EQ(r.read_bool(), true);
    EXPECT_EQ(r.read_u16(), 0xBEEF);
    EXPECT_EQ(r.read_i16(), -3);
    EXPECT_EQ(r.read_u32(), 0xDEADBEEFU);
    EXPECT_EQ(r.read_i32(), -123456);
    EXPECT_EQ(r.read_string(), "grüße");
    auto run = r.read_bytes(3);
    ASSERT_TRUE(run);
    EXPECT_EQ(Bytes(run->begin(), run->end()), (Bytes{9, 8, 7}));
    EXPECT_EQ(r.remaining(), 0U);
    EXPECT_EQ(r.read_u8().error(), DecodeError(DecodeError::UnexpectedEof{1, bytes.size()}));
  }
}

TEST(BufferReader, ReportsShortInputWithNeededAndOffset) {
  const Bytes five{0, 0, 0, 0, 0};
  {
    BufferReader r(five, true);
    ASSERT_TRUE(r.read_u8());
    EXPECT_EQ(r.read_u32().error(), DecodeError(DecodeError::UnexpectedEof{4, 4}));
    EXPECT_EQ(r.position(), 4U);  // the padding stays skipped
  }
  {
    const Bytes two{0, 0};
    BufferReader r(two, true);
    ASSERT_TRUE(r.read_u8());
    // Three padding bytes are needed but only one remains: nothing moves.
    EXPECT_EQ(r.read_u32().error(), DecodeError(DecodeError::UnexpectedEof{3, 1}));
    EXPECT_EQ(r.position(), 1U);
  }
  {
    BufferReader r(five, true);
    EXPECT_EQ(r.read_bytes(6).error(), DecodeError(DecodeError::UnexpectedEof{6, 0}));
  }
}

TEST(BufferReader, RejectsMalformedStrings) {
  struct Case {
    const char* name;
    Bytes bytes;
    DecodeError expected;
  };
  const Case cases[] = {
      {"zero length", {0, 0, 0, 0}, DecodeError::InvalidString{0, "length must be > 0 (null terminator required)"}},
      {"no terminator", {2, 0, 0, 0, 'a', 'x'}, DecodeError::InvalidString{0, "missing null terminator"}},
      {"truncated", {9, 0, 0, 0, 'a', 0}, DecodeError::UnexpectedEof{9, 4}},
      {"bad utf8", {3, 0, 0, 0, 0xC3, 0x28, 0}, DecodeError::InvalidUtf8{4}},
      {"no length", {1, 0}, DecodeError::UnexpectedEof{4, 0}},
  };
  for (const auto& c : cases) {
    BufferReader r(c.bytes, true);
    auto got = r.read_string();
    ASSERT_FALSE(got) << c.name;
    EXPECT_EQ(got.error(), c.expected) << c.name << ": " << to_string(got.error());
  }
  // Offsets of string errors are those of the aligned read start.
  const Bytes shifted{0xFF, 0, 0, 0, 2, 0, 0, 0, 'a', 'x'};
  BufferReader r(shifted, true);
  ASSERT_TRUE(r.read_u8());
  EXPECT_EQ(r.read_string().error(), DecodeError(DecodeError::InvalidString{4, "missing null terminator"}));
  EXPECT_EQ(r.position(), 10U);
}

TEST(BufferReader, KeepsInnerNulBytes) {
  const Bytes bytes{4, 0, 0, 0, 'a', 0, 'b', 0};
  BufferReader r(bytes, true);
  EXPECT_EQ(r.read_string(), std::string("a\0b", 3));
}

TEST(Utf8, AcceptsWellFormedAndRejectsOverlongSurrogatesAndOutOfRange) {
  const struct {
    Bytes bytes;
    bool valid;
  } cases[] = {
      {{}, true},
      {{'a', 0x7F}, true},
      {{0xC3, 0xBC}, true},
      {{0xE2, 0x82, 0xAC}, true},
      {{0xF0, 0x9F, 0x98, 0x80}, true},
      {{0xC0, 0x80}, false},
      {{0xE0, 0x80, 0x80}, false},
      {{0xED, 0xA0, 0x80}, false},
      {{0xF4, 0x90, 0x80, 0x80}, false},
      {{0xE2, 0x82}, false},
      {{0x80}, false},
  };
  for (const auto& c : cases) EXPECT_EQ(kelvane::is_valid_utf8(c.bytes), c.valid) << ::testing::PrintToString(c.bytes);
}

TEST(Errors, HaveReadableDebuggingForms) {
  EXPECT_EQ(to_string(DecodeError::UnexpectedEof{4, 4}), "UnexpectedEof { needed: 4, offset: 4 }");
  EXPECT_EQ(to_string(limit_exceeded(16, 40)), "LimitExceeded(16, 40)");
  EXPECT_EQ(to_string(EncodeError::ValueTooLarge{kStringTooLongText}),
            "ValueTooLarge(\"CDR string length exceeds u32::MAX\")");
}

}  // namespace
}  // namespace kelvane::cdr
