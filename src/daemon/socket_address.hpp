#pragma once

#include <sys/socket.h>

#include <expected>
#include <string>
#include <string_view>
#include <vector>

namespace kelvane::daemon {

// One resolved IPv4 or IPv6 TCP address.
struct SocketAddress {
  sockaddr_storage storage{};
  socklen_t length = 0;

  [[nodiscard]] const sockaddr* get() const { return reinterpret_cast<const sockaddr*>(&storage); }
  [[nodiscard]] int family() const { return storage.ss_family; }
};

// Resolves "host:port": the host is an IPv4 address, a bracketed IPv6 address
// ("[::1]:8080", a zone allowed) or a host name; the port is decimal. With
// numeric_only, host names are refused instead of looked up. The error is the text
// reported to the user ("could not resolve to any addresses" when the lookup yields
// nothing).
[[nodiscard]] std::expected<std::vector<SocketAddress>, std::string> resolve_socket_address(std::string_view text,
                                                                                          bool numeric_only);

// "127.0.0.1:8080" or "[::1]:8080" (with "%zone" inside the brackets when scoped).
[[nodiscard]] std::string format_socket_address(const sockaddr* address, socklen_t length);

}  // namespace kelvane::daemon
