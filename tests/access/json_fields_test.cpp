#include "access/json_fields.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kelvane::access {
namespace {

TEST(JsonField, ValueTable) {
  struct Case {
    const char* json;
    const char* name;
    std::optional<std::string> expected;
  };
  const std::vector<Case> cases = {
      {R"({"sub":"alice"})", "sub", "alice"},
      {R"({"sub" :   "a b"})", "sub", "a b"},
      {R"({"exp":1700000000,"sub":"x"})", "exp", "1700000000"},
      {R"({"exp": 17 })", "exp", "17"},
      {R"({"exp":17})", "exp", "17"},
      {R"({"ok":true})", "ok", "true"},
      {R"({"n":-1.5e3,"m":2})", "n", "-1.5e3"},
      {R"({"a":{"sub":"deep"}})", "sub", "deep"},
      {R"({"sub":"say \"hi\""})", "sub", "say \\"},  // no escape processing
      {R"({"sub":""})", "sub", ""},
      {R"({"sub":,)", "sub", ""},
      {R"({"sub":)", "sub", ""},
      {R"({"sub":"unterminated)", "sub", std::nullopt},
      {R"({"sub" "x"})", "sub", std::nullopt},
      {R"({"subject":"x"})", "sub", std::nullopt},
      {R"({sub:"x"})", "sub", std::nullopt},
      {"", "sub", std::nullopt},
      {R"({"x":"sub","sub":"y"})", "sub", "y"},
  };
  for (const Case& c : cases) {
    const auto value = json_field(c.json, c.name);
    EXPECT_EQ(value ? std::optional<std::string>(*value) : std::nullopt, c.expected) << c.json;
  }
}

TEST(JsonField, FirstQuotedOccurrenceWins) {
  // The reader is not structural: a string value equal to the name is found first and the
  // next ':' belongs to the following field.
  EXPECT_EQ(json_field(R"({"note":"sub","k":"v"})", "sub"), std::optional<std::string_view>("v"));
}

TEST(JsonFieldEq, PresentAndEqual) {
  EXPECT_TRUE(json_field_eq(R"({"alg":"RS256"})", "alg", "RS256"));
  EXPECT_FALSE(json_field_eq(R"({"alg":"RS2560"})", "alg", "RS256"));
  EXPECT_FALSE(json_field_eq(R"({"alg":"rs256"})", "alg", "RS256"));
  EXPECT_FALSE(json_field_eq(R"({"typ":"JWT"})", "alg", "RS256"));
  EXPECT_TRUE(json_field_eq(R"({"alg":RS256})", "alg", "RS256"));
}

TEST(JsonArray, ElementTable) {
  using Strings = std::vector<std::string>;
  struct Case {
    const char* json;
    std::optional<Strings> expected;
  };
  const std::vector<Case> cases = {
      {R"({"groups":["ops","dev"]})", Strings{"ops", "dev"}},
      {R"({"groups": [ "ops" , "dev" ] })", Strings{"ops", "dev"}},
      {R"({"groups":[ops, 3]})", Strings{"ops", "3"}},
      {R"({"groups":["a",,"b"]})", Strings{"a", "b"}},
      {R"({"groups":[]})", Strings{}},
      {R"({"groups":[ ]})", Strings{}},
      {R"({"groups":["a,b"]})", Strings{"a", "b"}},  // split at every ','
      {R"({"groups":["a]"]})", Strings{"a"}},        // ends at the first ']'
      {R"({"groups":"ops"})", std::nullopt},
      {R"({"groups":["ops")", std::nullopt},
      {R"({"groups":)", std::nullopt},
      {R"({"other":["x"]})", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(json_array(c.json, "groups"), c.expected) << c.json;
}

}  // namespace
}  // namespace kelvane::access
