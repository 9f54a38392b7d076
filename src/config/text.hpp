#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace kelvane::config {

// A signed 32-bit decimal: an optional single '+' or '-', then one or more ASCII
// digits, nothing else, within the range of std::int32_t.
[[nodiscard]] std::optional<std::int32_t> parse_decimal_i32(std::string_view text);

}  // namespace kelvane::config
