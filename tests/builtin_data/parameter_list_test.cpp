#include "builtin_data/parameter_list.hpp"

#include <gtest/gtest.h>

#include <string>

#include "xtypes/test_hex.hpp"

namespace kelvane::builtin_data {
namespace {

using rtps::WireFormatError;
using test::hex;

std::vector<std::uint8_t> repeated(std::size_t count, std::string_view parameter_hex) {
  const auto one = hex(parameter_hex);
  std::vector<std::uint8_t> out;
  for (std::size_t i = 0; i < count; ++i) out.insert(out.end(), one.begin(), one.end());
  const auto sentinel = hex("01 00 00 00");
  out.insert(out.end(), sentinel.begin(), sentinel.end());
  return out;
}

TEST(ParameterListTest, DecodesWireExamples) {
  struct Case {
    std::string name;
    std::string bytes;
    bool little_endian;
    std::vector<Parameter> parameters;
  };
  const std::vector<Case> cases = {
      {"sentinel alone", "01 00 00 00", true, {}},
      {"sentinel length not looked at", "01 00 08 00", true, {}},
      {"big-endian", "00 05 00 04 AA BB CC DD 00 01 00 00", false, {{0x0005, {0xAA, 0xBB, 0xCC, 0xDD}}}},
      {"duplicates kept in order",
       "50 00 04 00 01 02 03 04 50 00 00 00 01 00 00 00",
       true,
       {{0x0050, {1, 2, 3, 4}}, {0x0050, {}}}},
      {"flag bits kept", "01 C0 04 00 09 09 09 09 01 00 00 00", true, {{0xC001, {9, 9, 9, 9}}}},
      {"ignored id skipped",
       "03 3F 04 00 01 02 03 04 15 00 04 00 02 05 00 00 01 00 00 00",
       true,
       {{0x0015, {2, 5, 0, 0}}}},
      {"bytes after sentinel unexamined", "01 00 00 00 FF FF", true, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto list = ParameterList::from_bytes(hex(c.bytes), c.little_endian);
    ASSERT_TRUE(list.has_value()) << rtps::to_string(list.error());
    EXPECT_EQ(list->parameters, c.parameters);
  }
}

TEST(ParameterListTest, RejectsMalformedLists) {
  struct Case {
    std::string name;
    std::vector<std::uint8_t> bytes;
    WireFormatError error;
  };
  const std::vector<Case> cases = {
      {"empty input", {}, WireFormatError::UnexpectedEof{4, 0}},
      {"pad without sentinel", hex("00 00 00 00"), WireFormatError::UnexpectedEof{4, 4}},
      {"length not aligned", hex("05 00 06 00 01 02 03 04 05 06 00 00 01 00 00 00"),
       WireFormatError::ValueOutOfRange{"ParameterList length not 4-byte aligned"}},
      {"value beyond end", hex("05 00 08 00 01 02 03 04"), WireFormatError::UnexpectedEof{8, 4}},
      {"truncated header", hex("05 00 04 00 01 02 03 04 01 00"), WireFormatError::UnexpectedEof{4, 8}},
      {"4097 parameters", repeated(4097, "05 00 00 00"),
       WireFormatError::ValueOutOfRange{"ParameterList exceeds MAX_PARAMETERS cap"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto list = ParameterList::from_bytes(c.bytes, true);
    ASSERT_FALSE(list.has_value());
    EXPECT_EQ(list.error(), c.error);
  }
}

TEST(ParameterListTest, CapCountsStoredParametersOnly) {
  auto full = ParameterList::from_bytes(repeated(MAX_PARAMETERS, "05 00 00 00"), true);
  ASSERT_TRUE(full.has_value());
  EXPECT_EQ(full->parameters.size(), MAX_PARAMETERS);

  auto ignored = ParameterList::from_bytes(repeated(5000, "03 3F 00 00"), true);
  ASSERT_TRUE(ignored.has_value());
  EXPECT_TRUE(ignored->parameters.empty());
}

TEST(ParameterListTest, EncodesWithPaddingAndSentinel) {
  ParameterList list;
  list.push(0x0005, {1, 2, 3, 4, 5});
  auto le = list.to_bytes(true);
  ASSERT_TRUE(le.has_value());
  EXPECT_EQ(*le, hex("05 00 08 00 01 02 03 04 05 00 00 00 01 00 00 00"));
  EXPECT_EQ(list.encoded_size(), le->size());
  auto be = list.to_bytes(false);
  ASSERT_TRUE(be.has_value());
  EXPECT_EQ(*be, hex("00 05 00 08 01 02 03 04 05 00 00 00 00 01 00 00"));

  auto empty = ParameterList{}.to_bytes(true);
  ASSERT_TRUE(empty.has_value());
  EXPECT_EQ(*empty, hex("01 00 00 00"));
}

TEST(ParameterListTest, RoundTripsKeepPaddedValues) {
  ParameterList list;
  list.push(0x0050, std::vector<std::uint8_t>(16, 0x42));
  list.push(0x8002, {});
  list.push(0x0050, {9, 8, 7, 6});
  list.push(0x4059, std::vector<std::uint8_t>(MAX_PARAMETER_VALUE_LEN, 1));
  for (bool little_endian : {true, false}) {
    auto bytes = list.to_bytes(little_endian);
    ASSERT_TRUE(bytes.has_value());
    auto decoded = ParameterList::from_bytes(*bytes, little_endian);
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(*decoded, list);
    ASSERT_NE(decoded->find(0x0050), nullptr);
    EXPECT_EQ(decoded->find(0x0050)->value.size(), 16u);  // first occurrence
    EXPECT_EQ(decoded->find(0x0002), nullptr);
  }
}

TEST(ParameterListTest, RefusesValuesTheLengthFieldCannotHold) {
  ParameterList list;
  list.push(0x0005, {1});
  list.push(0x0059, std::vector<std::uint8_t>(MAX_PARAMETER_VALUE_LEN + 1, 0));
  std::vector<std::uint8_t> out{0xEE};
  auto r = list.append_to(out, true);
  ASSERT_FALSE(r.has_value());
  EXPECT_EQ(r.error(),
            WireFormatError(WireFormatError::ValueOutOfRange{"ParameterList value exceeds 65532 bytes"}));
  EXPECT_EQ(out, std::vector<std::uint8_t>{0xEE});  // nothing appended
}

TEST(ParameterListTest, MustUnderstandCheck) {
  struct Case {
    std::uint16_t pid;
    bool ok;
  };
  const std::vector<Case> cases = {
      {0x4070, true},   // known id with must-understand
      {0x7F03, true},   // ignored id with must-understand
      {0x5013, true},   // 0x1013
      {0x4077, false},  // unknown id
      {0x4000, false},  // PID_PAD is not in the known set
      {0xC077, true},   // vendor-specific: never checked
      {0x0077, true},   // no must-understand bit
      {0x8077, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pid);
    ParameterList list;
    list.push(0x0070, {});
    list.push(c.pid, {});
    auto r = list.validate_must_understand_in_data_pipeline();
    EXPECT_EQ(r.has_value(), c.ok);
    if (!c.ok) {
      EXPECT_EQ(r.error(), WireFormatError(WireFormatError::ValueOutOfRange{
                               "ParameterList contains unknown must-understand PID"}));
    }
  }
}

}  // namespace
}  // namespace kelvane::builtin_data
