#pragma once

#include <cstdint>
#include <span>

namespace kelvane::cdr {

// Strict UTF-8 check: no overlong forms, no surrogates, nothing above U+10FFFF.
[[nodiscard]] bool is_valid_utf8(std::span<const std::uint8_t> bytes);

}  // namespace kelvane::cdr
