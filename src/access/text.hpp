#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace kelvane::access {

// Decoded credential bytes read as text, without copying.
[[nodiscard]] inline std::string_view as_text(std::span<const std::uint8_t> bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

}  // namespace kelvane::access
