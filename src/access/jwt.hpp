#pragma once

#include <cstddef>
#include <cstdint>
#include <expected>
#include <optional>
#include <string_view>

#include "access/auth.hpp"

namespace kelvane::access {

// Longest accepted JWT, in bytes; anything larger is refused before it is decoded.
inline constexpr std::size_t kMaxJwtLength = 16 * 1024;

// The JWT mode's validation: an RS256 token in a bearer Authorization value, its "sub"
// (and, when configured, "iss") claims, and its "exp"/"nbf" validity period.
[[nodiscard]] std::expected<AuthSubject, AuthError> validate_jwt(
    const AuthMode::Jwt& mode, std::optional<std::string_view> authorization, std::int64_t now_unix_seconds);

}  // namespace kelvane::access
