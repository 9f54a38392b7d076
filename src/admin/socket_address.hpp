#pragma once

#include <sys/socket.h>

#include <optional>
#include <string>
#include <string_view>

namespace kelvane::admin {

// A numeric IPv4 or IPv6 socket address.
struct SocketAddress {
  sockaddr_storage storage{};
  socklen_t length = 0;

  [[nodiscard]] const sockaddr* get() const { return reinterpret_cast<const sockaddr*>(&storage); }
  [[nodiscard]] int family() const { return storage.ss_family; }
};

// Parses "a.b.c.d:port" or "[ipv6]:port"; host names are not resolved.
[[nodiscard]] std::optional<SocketAddress> parse_socket_address(std::string_view text);

// "127.0.0.1:9090" or "[::1]:9090".
[[nodiscard]] std::string to_string(const SocketAddress& address);

}  // namespace kelvane::admin
