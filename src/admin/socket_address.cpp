#include "admin/socket_address.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <cstdint>
#include <cstring>

namespace kelvane::admin {

namespace {

constexpr std::size_t kMaxPortDigits = 5;

std::optional<std::uint16_t> parse_port(std::string_view text) {
  if (text.empty() || text.size() > kMaxPortDigits) return std::nullopt;
  std::uint32_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<std::uint32_t>(c - '0');
  }
  if (value > 65535) return std::nullopt;
  return static_cast<std::uint16_t>(value);
}

}  // namespace

std::optional<SocketAddress> parse_socket_address(std::string_view text) {
  const std::size_t colon = text.rfind(':');
  if (colon == std::string_view::npos) return std::nullopt;
  const auto port = parse_port(text.substr(colon + 1));
  if (!port) return std::nullopt;
  std::string_view host = text.substr(0, colon);
  SocketAddress address;
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
    const std::string ip(host.substr(1, host.size() - 2));
    sockaddr_in6 v6{};
    v6.sin6_family = AF_INET6;
    v6.sin6_port = htons(*port);
    if (inet_pton(AF_INET6, ip.c_str(), &v6.sin6_addr) != 1) return std::nullopt;
    std::memcpy(&address.storage, &v6, sizeof v6);
    address.length = sizeof v6;
    return address;
  }
  const std::string ip(host);
  sockaddr_in v4{};
  v4.sin_family = AF_INET;
  v4.sin_port = htons(*port);
  if (inet_pton(AF_INET, ip.c_str(), &v4.sin_addr) != 1) return std::nullopt;
  std::memcpy(&address.storage, &v4, sizeof v4);
  address.length = sizeof v4;
  return address;
}

std::string to_string(const SocketAddress& address) {
  char ip[INET6_ADDRSTRLEN] = {};
  std::uint16_t port = 0;
  std::string text;
  if (address.family() == AF_INET6) {
    sockaddr_in6 v6{};
    std::memcpy(&v6, &address.storage, sizeof v6);
    inet_ntop(AF_INET6, &v6.sin6_addr, ip, sizeof ip);
    port = ntohs(v6.sin6_port);
    text.append("[").append(ip).append("]:");
  } else {
    sockaddr_in v4{};
    std::memcpy(&v4, &address.storage, sizeof v4);
    inet_ntop(AF_INET, &v4.sin_addr, ip, sizeof ip);
    port = ntohs(v4.sin_port);
    text.append(ip).append(":");
  }
  return text.append(std::to_string(port));
}

}  // namespace kelvane::admin
