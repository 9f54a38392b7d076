#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string_view>

#include "common/utf8.hpp"
#include "config/text.hpp"

namespace kelvane::config {
namespace {

TEST(Utf8, AcceptsWellFormedRejectsEverythingElse) {
  for (const std::string_view good : {"", "ascii", "gr\xc3\xbc\xc3\x9f", "\xe2\x80\x94\xe2\x86\x94", "\xf0\x9f\x98\x80",
                                      "\xf4\x8f\xbf\xbf"}) {
    EXPECT_TRUE(kelvane::is_valid_utf8(good)) << good;
  }
  for (const std::string_view bad : {"\xff", "\x80", "\xc3", "\xc0\xaf", "\xe0\x80\xaf", "\xed\xa0\x80",
                                     "\xf4\x90\x80\x80", "\xf8\x88\x80\x80\x80", "ok\xe2\x80"}) {
    EXPECT_FALSE(kelvane::is_valid_utf8(bad)) << bad;
  }
}

TEST(ParseDecimalI32, SignDigitsRange) {
  const struct {
    std::string_view text;
    std::optional<std::int32_t> value;
  } cases[] = {
      {"0", 0},
      {"-5", -5},
      {"+7", 7},
      {"007", 7},
      {"2147483647", 2147483647},
      {"-2147483648", INT32_MIN},
      {"2147483648", std::nullopt},
      {"-2147483649", std::nullopt},
      {"99999999999999999999", std::nullopt},
      {"", std::nullopt},
      {"-", std::nullopt},
      {"+", std::nullopt},
      {"+-1", std::nullopt},
      {"--1", std::nullopt},
      {"x1", std::nullopt},
      {"7x", std::nullopt},
      {" 7", std::nullopt},
      {"7 ", std::nullopt},
      {"1e3", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(parse_decimal_i32(c.text), c.value) << c.text;
}

}  // namespace
}  // namespace kelvane::config
