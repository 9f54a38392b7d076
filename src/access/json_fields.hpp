#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Field readers for the small, signed JSON documents of a JWT. They are text scanners,
// not JSON parsers: the first occurrence of the quoted name anywhere in the text counts,
// nesting is not tracked and no escapes are processed. Every scan is linear in the text
// and reads nothing outside it.
namespace kelvane::access {

// The value of field `name`: a string value without its quotes, or the bare text up to
// the first white space, ',' or '}'. The view points into `json`.
[[nodiscard]] std::optional<std::string_view> json_field(std::string_view json, std::string_view name);

// Whether field `name` is present with exactly the value `expected`.
[[nodiscard]] bool json_field_eq(std::string_view json, std::string_view name, std::string_view expected);

// The elements of the array value of field `name`, trimmed of white space and of their
// surrounding quotes; empty elements are dropped. Absent unless the value starts with '['
// and a ']' follows.
[[nodiscard]] std::optional<std::vector<std::string>> json_array(std::string_view json,
                                                                 std::string_view name);

}  // namespace kelvane::access
