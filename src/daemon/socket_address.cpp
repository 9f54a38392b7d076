#include "daemon/socket_address.hpp"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "common/os_error.hpp"

namespace kelvane::daemon {

namespace {

constexpr std::string_view kInvalidAddress = "invalid socket address";
constexpr std::string_view kMissingPort = "invalid socket address: missing port";
constexpr std::string_view kInvalidPort = "invalid port value";
constexpr std::string_view kNoAddresses = "could not resolve to any addresses";

struct HostPort {
  std::string host;
  std::uint16_t port;
};

std::expected<std::uint16_t, std::string> parse_port(std::string_view text) {
  if (text.empty() || text.size() > 5) return std::unexpected(std::string(kInvalidPort));
  unsigned value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::unexpected(std::string(kInvalidPort));
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (value > 65535) return std::unexpected(std::string(kInvalidPort));
  return static_cast<std::uint16_t>(value);
}

std::expected<HostPort, std::string> split_host_port(std::string_view text) {
  std::string_view host;
  std::string_view port;
  if (text.starts_with('[')) {
    const std::size_t close = text.find(']');
    if (close == std::string_view::npos) return std::unexpected(std::string(kInvalidAddress));
    if (close + 1 == text.size()) return std::unexpected(std::string(kMissingPort));
    if (text[close + 1] != ':') return std::unexpected(std::string(kInvalidAddress));
    host = text.substr(1, close - 1);
    port = text.substr(close + 2);
  } else {
    const std::size_t colon = text.rfind(':');
    if (colon == std::string_view::npos) return std::unexpected(std::string(kMissingPort));
    host = text.substr(0, colon);
    port = text.substr(colon + 1);
    // An IPv6 address needs brackets to be told apart from its port.
    if (host.find(':') != std::string_view::npos) return std::unexpected(std::string(kInvalidAddress));
  }
  auto number = parse_port(port);
  if (!number) return std::unexpected(std::move(number.error()));
  return HostPort{std::string(host), *number};
}

struct AddrInfoDeleter {
  void operator()(addrinfo* list) const { ::freeaddrinfo(list); }
};

}  // namespace

std::expected<std::vector<SocketAddress>, std::string> resolve_socket_address(std::string_view text,
                                                                            bool numeric_only) {
  auto host_port = split_host_port(text);
  if (!host_port) return std::unexpected(std::move(host_port.error()));

  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = numeric_only ? AI_NUMERICHOST : 0;
  addrinfo* raw = nullptr;
  const int rc = ::getaddrinfo(host_port->host.c_str(), nullptr, &hints, &raw);
  const std::unique_ptr<addrinfo, AddrInfoDeleter> list(raw);
  if (rc != 0) {
    if (numeric_only && rc == EAI_NONAME) return std::unexpected(std::string(kInvalidAddress));
    if (rc == EAI_SYSTEM) return std::unexpected(os_error_text(errno));
    return std::unexpected(std::string("failed to lookup address information: ") + ::gai_strerror(rc));
  }

  std::vector<SocketAddress> addresses;
  for (const addrinfo* entry = list.get(); entry != nullptr; entry = entry->ai_next) {
    if (entry->ai_family != AF_INET && entry->ai_family != AF_INET6) continue;
    if (entry->ai_addrlen > sizeof(sockaddr_storage)) continue;
    SocketAddress address;
    std::memcpy(&address.storage, entry->ai_addr, entry->ai_addrlen);
    address.length = entry->ai_addrlen;
    const std::uint16_t port = htons(host_port->port);
    if (entry->ai_family == AF_INET) {
      reinterpret_cast<sockaddr_in*>(&address.storage)->sin_port = port;
    } else {
      reinterpret_cast<sockaddr_in6*>(&address.storage)->sin6_port = port;
    }
    addresses.push_back(address);
  }
  if (addresses.empty()) return std::unexpected(std::string(kNoAddresses));
  return addresses;
}

std::string format_socket_address(const sockaddr* address, socklen_t length) {
  char text[INET6_ADDRSTRLEN] = {};
  if (address->sa_family == AF_INET && length >= sizeof(sockaddr_in)) {
    sockaddr_in v4;
    std::memcpy(&v4, address, sizeof v4);
    ::inet_ntop(AF_INET, &v4.sin_addr, text, sizeof text);
    return std::string(text) + ":" + std::to_string(ntohs(v4.sin_port));
  }
  if (address->sa_family == AF_INET6 && length >= sizeof(sockaddr_in6)) {
    sockaddr_in6 v6;
    std::memcpy(&v6, address, sizeof v6);
    ::inet_ntop(AF_INET6, &v6.sin6_addr, text, sizeof text);
    std::string out = "[" + std::string(text);
    if (v6.sin6_scope_id != 0) out += "%" + std::to_string(v6.sin6_scope_id);
    return out + "]:" + std::to_string(ntohs(v6.sin6_port));
  }
  return {};
}

}  // namespace kelvane::daemon
