#include "builtin_data/value_codec.hpp"

#include <gtest/gtest.h>

#include <string>

#include "builtin_data/property_list.hpp"
#include "xtypes/test_hex.hpp"

namespace kelvane::builtin_data {
namespace {

using rtps::WireFormatError;
using test::hex;

WireFormatError out_of_range(std::string_view text) { return WireFormatError::ValueOutOfRange{text}; }

TEST(ValueCodecTest, StringEncodingsRoundTrip) {
  for (const std::string& text :
       std::vector<std::string>{"", "a", "abc", "Text", "topic/ü", std::string(70000, 'x')}) {
    SCOPED_TRACE(text.size());
    auto bytes = encode_cdr_string_le(text);
    ASSERT_TRUE(bytes.has_value());
    EXPECT_EQ(bytes->size() % 4, 0u);
    auto decoded = decode_cdr_string(*bytes, true);
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(*decoded, text);
  }
  EXPECT_EQ(*encode_cdr_string_le("Text"), hex("05 00 00 00 54 65 78 74 00 00 00 00"));
  EXPECT_EQ(*decode_cdr_string(hex("00 00 00 02 61 00"), false), "a");
}

TEST(ValueCodecTest, DecodeCdrStringErrors) {
  struct Case {
    std::string name;
    std::string bytes;
    WireFormatError error;
  };
  const std::vector<Case> cases = {
      {"short", "01 00 00", WireFormatError::UnexpectedEof{4, 0}},
      {"length zero", "00 00 00 00", out_of_range("CDR string length 0 (missing null terminator)")},
      {"bytes missing", "08 00 00 00 61 62 00", WireFormatError::UnexpectedEof{12, 0}},
      {"no terminator", "02 00 00 00 61 62", out_of_range("CDR string missing null terminator")},
      {"bad utf-8", "03 00 00 00 C3 28 00", out_of_range("CDR string is not valid UTF-8")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto r = decode_cdr_string(hex(c.bytes), true);
    ASSERT_FALSE(r.has_value());
    EXPECT_EQ(r.error(), c.error);
  }
}

TEST(ValueCodecTest, PropertyStringCodec) {
  std::vector<std::uint8_t> out;
  ASSERT_TRUE(write_cdr_string(out, "ab", false).has_value());
  EXPECT_EQ(out, hex("00 00 00 03 61 62 00"));  // no padding after
  std::size_t pos = 0;
  auto back = read_cdr_string(out, pos, false);
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(*back, "ab");
  EXPECT_EQ(pos, 7u);

  struct Case {
    std::string name;
    std::vector<std::uint8_t> bytes;
    WireFormatError error;
  };
  auto too_long = hex("01 00 01 00");  // 65537
  too_long.resize(4 + 65537, 0);
  const std::vector<Case> cases = {
      {"short", hex("02 00"), WireFormatError::UnexpectedEof{4, 0}},
      {"length zero", hex("00 00 00 00"), out_of_range("CDR string length 0 (missing null terminator)")},
      {"above cap", too_long, out_of_range("CDR string exceeds MAX_PROPERTY_STRING_LEN")},
      {"bytes missing", hex("05 00 00 00 61"), WireFormatError::UnexpectedEof{5, 4}},
      {"no terminator", hex("01 00 00 00 61"), out_of_range("CDR string missing null terminator")},
      {"bad utf-8", hex("02 00 00 00 FF 00"), out_of_range("CDR string is not valid UTF-8")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::size_t p = 0;
    auto r = read_cdr_string(c.bytes, p, true);
    ASSERT_FALSE(r.has_value());
    EXPECT_EQ(r.error(), c.error);
  }
}

TEST(ValueCodecTest, OctetSequences) {
  const std::vector<std::uint8_t> data{1, 2, 3, 4, 5};
  auto bytes = encode_octet_seq_le(data);
  ASSERT_TRUE(bytes.has_value());
  EXPECT_EQ(*bytes, hex("05 00 00 00 01 02 03 04 05 00 00 00"));
  EXPECT_EQ(decode_octet_seq(*bytes, true), data);
  EXPECT_EQ(decode_octet_seq(hex("00 00 00 02 AA BB"), false), (std::vector<std::uint8_t>{0xAA, 0xBB}));
  EXPECT_EQ(decode_octet_seq(hex("00 00 00 00"), true), std::vector<std::uint8_t>{});
  EXPECT_FALSE(decode_octet_seq(hex("03 00 00"), true).has_value());
  EXPECT_FALSE(decode_octet_seq(hex("05 00 00 00 01 02"), true).has_value());
  EXPECT_FALSE(decode_octet_seq(hex("FF FF FF FF 01 02"), true).has_value());
}

TEST(ValueCodecTest, PartitionLists) {
  const std::vector<std::string> names{"a", "", "sensors/*"};
  auto bytes = encode_partition_le(names);
  ASSERT_TRUE(bytes.has_value());
  EXPECT_EQ(*bytes, hex("03 00 00 00 02 00 00 00 61 00 00 00 01 00 00 00 00 00 00 00"
                        "0A 00 00 00 73 65 6E 73 6F 72 73 2F 2A 00 00 00"));
  EXPECT_EQ(decode_partition(*bytes, true), names);
  EXPECT_EQ(decode_partition(hex("00 00 00 00"), true), std::vector<std::string>{});
  // Strings start at the next multiple of 4 even when the sender left the padding out.
  EXPECT_EQ(decode_partition(hex("00 00 00 02 00 00 00 02 61 00 00 00 00 00 00 02 62 00"), false),
            (std::vector<std::string>{"a", "b"}));

  EXPECT_FALSE(decode_partition(hex("01 00 00"), true).has_value());
  EXPECT_FALSE(decode_partition(hex("02 00 00 00 02 00 00 00 61 00 00 00"), true).has_value());
  EXPECT_FALSE(decode_partition(hex("01 00 00 00 02 00 00 00 61 62"), true).has_value());
  // A huge count in a short value neither allocates for it nor succeeds.
  EXPECT_FALSE(decode_partition(hex("FF FF FF FF 02 00 00 00 61 00 00 00"), true).has_value());
}

TEST(PropertyListTest, EncodesWireExample) {
  WirePropertyList list{{{"a", "b"}}};
  auto bytes = list.encode(true);
  ASSERT_TRUE(bytes.has_value());
  EXPECT_EQ(*bytes, hex("01 00 00 00 02 00 00 00 61 00 00 00 02 00 00 00 62 00 00 00 00 00 00 00"));
}

TEST(PropertyListTest, RoundTripsBothByteOrders) {
  WirePropertyList list{
      {{"dds.sec.auth.plugin_class", "DDS:Auth:PKI-DH:1.0"}, {"", ""}, {"key", std::string(300, 'v')}}};
  for (bool little_endian : {true, false}) {
    auto bytes = list.encode(little_endian);
    ASSERT_TRUE(bytes.has_value());
    auto decoded = WirePropertyList::decode(*bytes, little_endian);
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(*decoded, list);
  }
}

TEST(PropertyListTest, ReadsListsWithOrWithoutBinaryProperties) {
  struct Case {
    std::string name;
    std::string bytes;
  };
  const std::vector<Case> cases = {
      {"no binary count", "01 00 00 00 02 00 00 00 61 00 00 00 02 00 00 00 62 00 00 00"},
      {"no binary count, last string unpadded", "01 00 00 00 02 00 00 00 61 00 00 00 02 00 00 00 62 00"},
      {"binary entries skipped",
       "01 00 00 00 02 00 00 00 61 00 00 00 02 00 00 00 62 00 00 00"
       "02 00 00 00 02 00 00 00 78 00 00 00 03 00 00 00 01 02 03 00 02 00 00 00 79 00 00 00 00 00 00 00"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto decoded = WirePropertyList::decode(hex(c.bytes), true);
    ASSERT_TRUE(decoded.has_value()) << rtps::to_string(decoded.error());
    EXPECT_EQ(decoded->properties, (std::vector<WireProperty>{{"a", "b"}}));
  }
}

TEST(PropertyListTest, RejectsMalformedLists) {
  struct Case {
    std::string name;
    std::string bytes;
    WireFormatError error;
  };
  const std::vector<Case> cases = {
      {"empty", "", WireFormatError::UnexpectedEof{4, 0}},
      {"count above cap", "01 04 00 00", out_of_range("PropertyList: count exceeds MAX_PROPERTIES")},
      {"property missing", "01 00 00 00", WireFormatError::UnexpectedEof{4, 4}},
      {"value missing", "01 00 00 00 02 00 00 00 61 00 00 00", WireFormatError::UnexpectedEof{4, 12}},
      {"partial binary count", "00 00 00 00 00 00", WireFormatError::UnexpectedEof{4, 4}},
      {"binary count above cap", "00 00 00 00 01 04 00 00",
       out_of_range("PropertyList: binary count exceeds MAX_PROPERTIES")},
      {"binary value above cap", "00 00 00 00 01 00 00 00 02 00 00 00 78 00 00 00 01 00 01 00",
       out_of_range("PropertyList: binary value exceeds cap")},
      {"binary value missing", "00 00 00 00 01 00 00 00 02 00 00 00 78 00 00 00 08 00 00 00 01 02",
       WireFormatError::UnexpectedEof{8, 20}},
      {"binary entry missing", "00 00 00 00 01 00 00 00", WireFormatError::UnexpectedEof{4, 8}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto r = WirePropertyList::decode(hex(c.bytes), true);
    ASSERT_FALSE(r.has_value());
    EXPECT_EQ(r.error(), c.error);
  }
}

TEST(PropertyListTest, EncodeRefusesWhatCannotBeReadBack) {
  struct Case {
    std::string name;
    WirePropertyList list;
    std::string_view text;
  };
  WirePropertyList too_many;
  too_many.properties.resize(MAX_PROPERTIES + 1);
  const std::vector<Case> cases = {
      {"too many", too_many, "PropertyList: exceeds MAX_PROPERTIES"},
      {"inner NUL in value", WirePropertyList{{{"a", std::string("b\0c", 3)}}},
       "PropertyList: string contains inner null byte"},
      {"name too long", WirePropertyList{{{std::string(MAX_PROPERTY_STRING_LEN, 'n'), "v"}}},
       "PropertyList: string exceeds MAX_PROPERTY_STRING_LEN"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto r = c.list.encode(true);
    ASSERT_FALSE(r.has_value());
    EXPECT_EQ(r.error(), out_of_range(c.text));
  }
  // The longest string that is written is also read back.
  WirePropertyList longest{{{std::string(MAX_PROPERTY_STRING_LEN - 1, 'n'), ""}}};
  auto bytes = longest.encode(true);
  ASSERT_TRUE(bytes.has_value());
  EXPECT_EQ(WirePropertyList::decode(*bytes, true), longest);
}

}  // namespace
}  // namespace kelvane::builtin_data
