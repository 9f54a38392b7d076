#pragma once

#include <cstdint>
#include <span>
#include <string_view>

// Small text helpers shared by the credential readers of this module.
namespace kelvane::access {

[[nodiscard]] constexpr bool is_ascii_space(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

[[nodiscard]] std::string_view trim_ascii_space(std::string_view text);

// Equality ignoring ASCII case only; other bytes must match exactly.
[[nodiscard]] bool equals_ignore_ascii_case(std::string_view a, std::string_view b);

[[nodiscard]] inline std::string_view as_text(std::span<const std::uint8_t> bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

}  // namespace kelvane::access
