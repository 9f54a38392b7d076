#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "config/daemon_config.hpp"

namespace kelvane::bridge {

// The answer to a failed authentication.
inline constexpr std::string_view kUnauthorizedResponse =
    "HTTP/1.1 401 Unauthorized\r\nContent-Length: 12\r\nContent-Type: text/plain\r\n"
    "WWW-Authenticate: Bearer realm=\"kelvane-ws\"\r\nConnection: close\r\n\r\nunauthorized";

// The answer to a socket beyond the connection limit.
inline constexpr std::string_view kServiceUnavailableResponse =
    "HTTP/1.1 503 Service Unavailable\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";

// The answer to a request for the path of a topic the subject may not read.
[[nodiscard]] std::string forbidden_response(std::string_view topic);

// The first configured topic whose path (configured or derived from its name) is
// exactly the request target; a query string therefore prevents a match.
[[nodiscard]] std::optional<std::string> select_path_topic(std::span<const config::TopicConfig> topics,
                                                           std::string_view request_path);

}  // namespace kelvane::bridge
