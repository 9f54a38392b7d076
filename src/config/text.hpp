#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace kelvane::config {

// Removes leading and trailing Unicode white space (the White_Space property: tab, line
// feed, vertical tab, form feed, carriage return, space, U+0085, U+00A0, U+1680,
// U+2000..U+200A, U+2028, U+2029, U+202F, U+205F, U+3000). Bytes that are not valid
// UTF-8 are never white space.
[[nodiscard]] std::string_view trim_white_space(std::string_view text);
[[nodiscard]] std::string_view trim_white_space_end(std::string_view text);

// A signed 32-bit decimal: an optional single '+' or '-', then one or more ASCII
// digits, nothing else, within the range of std::int32_t.
[[nodiscard]] std::optional<std::int32_t> parse_decimal_i32(std::string_view text);

}  // namespace kelvane::config
