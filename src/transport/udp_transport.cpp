#include "transport/udp_transport.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <thread>
#include <utility>

#include "common/os_error.hpp"

namespace kelvane::transport {

namespace {

constexpr std::string_view kSendFailed = "udp send_to failed";
constexpr std::string_view kRecvFailed = "udp recv_from failed";
constexpr std::string_view kV6Source = "received V6 datagram on V4 socket";
constexpr std::string_view kV6Bind = "got V6 address on V4 bind";
constexpr std::string_view kV6MulticastBind = "got V6 address on V4 multicast bind";
constexpr std::string_view kZeroTimeout = "cannot set a 0 duration timeout";

OpenError os_error() { return OpenError{std::error_code(errno, std::system_category())}; }

sockaddr_in to_sockaddr(Ipv4 address, std::uint16_t port) {
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(port);
  std::memcpy(&sa.sin_addr, address.data(), address.size());
  return sa;
}

in_addr to_in_addr(Ipv4 address) {
  in_addr a{};
  std::memcpy(&a, address.data(), address.size());
  return a;
}

// The locator of a sockaddr; nullopt when it is not IPv4.
std::optional<rtps::Locator> locator_of(const sockaddr_storage& storage) {
  if (storage.ss_family != AF_INET) return std::nullopt;
  sockaddr_in sa{};
  std::memcpy(&sa, &storage, sizeof sa);
  Ipv4 ip{};
  std::memcpy(ip.data(), &sa.sin_addr, ip.size());
  return rtps::Locator::udpv4(ip, ntohs(sa.sin_port));
}

std::expected<UniqueFd, OpenError> udp_socket() {
  UniqueFd fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP));
  if (!fd.valid()) return std::unexpected(os_error());
  return fd;
}

std::expected<sockaddr_storage, OpenError> local_address(const UniqueFd& fd) {
  sockaddr_storage storage{};
  socklen_t length = sizeof storage;
  if (::getsockname(fd.get(), reinterpret_cast<sockaddr*>(&storage), &length) != 0) {
    return std::unexpected(os_error());
  }
  return storage;
}

// One attempt of the multicast bind sequence; the socket closes on any failure.
std::expected<std::pair<UniqueFd, std::uint16_t>, OpenError> try_bind_multicast(Ipv4 group, std::uint16_t port,
                                                                                Ipv4 interface) {
  auto fd = udp_socket();
  if (!fd) return std::unexpected(fd.error());
  const int one = 1;
  if (::setsockopt(fd->get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one) != 0 ||
      ::setsockopt(fd->get(), SOL_SOCKET, SO_REUSEPORT, &one, sizeof one) != 0) {
    return std::unexpected(os_error());
  }
  const sockaddr_in any = to_sockaddr({0, 0, 0, 0}, port);
  if (::bind(fd->get(), reinterpret_cast<const sockaddr*>(&any), sizeof any) != 0) return std::unexpected(os_error());
  ip_mreq membership{};
  membership.imr_multiaddr = to_in_addr(group);
  membership.imr_interface = to_in_addr(interface);
  if (::setsockopt(fd->get(), IPPROTO_IP, IP_ADD_MEMBERSHIP, &membership, sizeof membership) != 0) {
    return std::unexpected(os_error());
  }
  const auto bound = local_address(*fd);
  if (!bound) return std::unexpected(bound.error());
  const auto locator = locator_of(*bound);
  if (!locator) return std::unexpected(OpenError{std::make_error_code(std::errc::address_family_not_supported), kV6MulticastBind});
  return std::pair{std::move(*fd), static_cast<std::uint16_t>(locator->port)};
}

bool worth_retrying(const OpenError& error) {
  return error.detail.empty() && error.code.category() == std::system_category() &&
         (error.code.value() == EADDRINUSE || error.code.value() == EADDRNOTAVAIL);
}

}  // namespace

std::string OpenError::message() const { return detail.empty() ? os_error_text(code.value()) : std::string(detail); }

UdpTransport::UdpTransport(UniqueFd socket, rtps::Locator local)
    : socket_(std::move(socket)), local_(local), counters_(&observability::udp_counters()) {}

std::expected<UdpTransport, OpenError> UdpTransport::bind_v4(Ipv4 address, std::uint16_t port) {
  auto fd = udp_socket();
  if (!fd) return std::unexpected(fd.error());
  const sockaddr_in sa = to_sockaddr(address, port);
  if (::bind(fd->get(), reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0) return std::unexpected(os_error());
  const auto bound = local_address(*fd);
  if (!bound) return std::unexpected(bound.error());
  const auto locator = locator_of(*bound);
  if (!locator) return std::unexpected(OpenError{std::make_error_code(std::errc::address_family_not_supported), kV6Bind});
  return UdpTransport(std::move(*fd), *locator);
}

std::expected<UdpTransport, OpenError> UdpTransport::bind_multicast_v4(Ipv4 group, std::uint16_t port,
                                                                       Ipv4 interface) {
  auto attempt = try_bind_multicast(group, port, interface);
  for (const auto delay : kMulticastRetryDelays) {
    if (attempt || !worth_retrying(attempt.error())) break;
    std::this_thread::sleep_for(delay);  // resumes by itself after interruptions
    attempt = try_bind_multicast(group, port, interface);
  }
  if (!attempt) return std::unexpected(attempt.error());
  return UdpTransport(std::move(attempt->first), rtps::Locator::udpv4(group, attempt->second));
}

std::expected<UdpTransport, OpenError> UdpTransport::with_timeout(UdpTransport transport,
                                                                  std::optional<std::chrono::nanoseconds> timeout) {
  timeval tv{};  // all zero: block for ever
  if (timeout) {
    if (timeout->count() == 0) return std::unexpected(OpenError{std::make_error_code(std::errc::invalid_argument), kZeroTimeout});
    const auto micros = std::max(std::chrono::ceil<std::chrono::microseconds>(*timeout), std::chrono::microseconds(1));
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(micros);
    tv.tv_sec = static_cast<time_t>(seconds.count());
    tv.tv_usec = static_cast<suseconds_t>((micros - seconds).count());
  }
  if (::setsockopt(transport.socket_.get(), SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv) != 0) {
    return std::unexpected(os_error());
  }
  return transport;
}

std::expected<void, SendError> UdpTransport::send(const rtps::Locator& destination,
                                                  std::span<const std::uint8_t> bytes) const {
  if (destination.kind != rtps::LOCATOR_KIND_UDPv4 || destination.port > 65535) {
    return std::unexpected(SendError{SendError::Kind::UnsupportedLocator});
  }
  if (bytes.size() > kMaxDatagramSize) {
    return std::unexpected(SendError{SendError::Kind::MessageTooLarge, bytes.size(), kMaxDatagramSize});
  }
  const sockaddr_in to = to_sockaddr(destination.ipv4(), static_cast<std::uint16_t>(destination.port));
  ssize_t sent = 0;
  do {
    sent = ::sendto(socket_.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&to),
                    sizeof to);
  } while (sent < 0 && errno == EINTR);
  if (sent < 0) {
    counters_->send_errors->inc();
    return std::unexpected(SendError{SendError::Kind::Io, 0, 0, kSendFailed});
  }
  counters_->packets_sent->inc();
  counters_->bytes_sent->add(bytes.size());
  return {};
}

std::expected<ReceivedDatagram, RecvError> UdpTransport::recv() const {
  // One buffer per receiving thread: never shared by concurrent calls, never on the heap
  // per datagram.
  thread_local std::array<std::uint8_t, kMaxDatagramSize> buffer;
  sockaddr_storage from{};
  socklen_t from_length = sizeof from;
  ssize_t received = 0;
  do {
    from_length = sizeof from;
    received = ::recvfrom(socket_.get(), buffer.data(), buffer.size(), 0, reinterpret_cast<sockaddr*>(&from),
                          &from_length);
  } while (received < 0 && errno == EINTR);
  if (received < 0) {
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == ETIMEDOUT) return std::unexpected(RecvError{RecvError::Kind::Timeout});
    return std::unexpected(RecvError{RecvError::Kind::Io, kRecvFailed});
  }
  const auto length = static_cast<std::size_t>(received);
  counters_->packets_received->inc();
  counters_->bytes_received->add(length);
  const auto source = locator_of(from);
  if (!source) return std::unexpected(RecvError{RecvError::Kind::Io, kV6Source});
  return ReceivedDatagram{SharedBytes::copy_of({buffer.data(), length}), *source};
}

}  // namespace kelvane::transport
