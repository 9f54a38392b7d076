#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kelvane {

// Lower-case hexadecimal, two digits per byte, no separators.
[[nodiscard]] std::string to_hex(std::span<const std::uint8_t> bytes);

// Standard Base64 alphabet with '=' padding.
[[nodiscard]] std::string base64_encode(std::span<const std::uint8_t> bytes);

// URL-safe Base64 alphabet without padding; nullopt on any character outside the
// alphabet (padding included) or an impossible length.
[[nodiscard]] std::optional<std::vector<std::uint8_t>> base64url_decode(std::string_view text);

}  // namespace kelvane
