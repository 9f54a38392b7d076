#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kelvane::access {

// The value of the Authorization header in a raw HTTP request: the first CR LF
// separated line whose name (before its first ':', trimmed) is "authorization" in any
// ASCII case; the value after that ':' is returned trimmed.
[[nodiscard]] std::optional<std::string> extract_authorization_header(std::string_view request);

}  // namespace kelvane::access
