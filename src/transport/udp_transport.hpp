#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <expected>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include "common/unique_fd.hpp"
#include "observability/component_metrics.hpp"
#include "transport/transport.hpp"

namespace kelvane::transport {

// An IPv4 address in network byte order, as in the last four bytes of a Locator.
using Ipv4 = std::array<std::uint8_t, 4>;

// Why a socket could not be opened or configured: the OS error of the failed step, or a
// fixed text for conditions the OS does not report as an error.
struct OpenError {
  std::error_code code;
  std::string_view detail{};  // set for "got V6 address on V4 bind" and the like

  // The fixed text, or "<description> (os error <n>)".
  [[nodiscard]] std::string message() const;
};

// One UDP/IPv4 socket. The socket closes when the transport is destroyed.
class UdpTransport final : public Transport {
 public:
  // Multicast binds that fail with "address in use" or "address not available" are
  // retried after these pauses.
  static constexpr std::array<std::chrono::milliseconds, 3> kMulticastRetryDelays = {
      std::chrono::milliseconds(100), std::chrono::milliseconds(300), std::chrono::milliseconds(700)};

  // A close-on-exec socket bound to address:port (port 0: chosen by the OS); no option set.
  [[nodiscard]] static std::expected<UdpTransport, OpenError> bind_v4(Ipv4 address, std::uint16_t port);

  // A receive socket for a multicast group: address and port reuse, bound to
  // 0.0.0.0:port, joined to group on interface (0.0.0.0: the OS chooses).
  [[nodiscard]] static std::expected<UdpTransport, OpenError> bind_multicast_v4(Ipv4 group, std::uint16_t port,
                                                                               Ipv4 interface);

  // Sets the receive time-out; nullopt makes recv block for ever. A zero duration is
  // refused; anything shorter than a microsecond becomes one. On failure the socket closes.
  [[nodiscard]] static std::expected<UdpTransport, OpenError> with_timeout(
      UdpTransport transport, std::optional<std::chrono::nanoseconds> timeout);

  // Kind UDPv4, the bound port, and the bound address (unicast) or the group (multicast).
  [[nodiscard]] const rtps::Locator& local() const { return local_; }

  [[nodiscard]] std::expected<void, SendError> send(const rtps::Locator& destination,
                                                    std::span<const std::uint8_t> bytes) const override;
  [[nodiscard]] std::expected<ReceivedDatagram, RecvError> recv() const override;

 private:
  UdpTransport(UniqueFd socket, rtps::Locator local);

  UniqueFd socket_;
  rtps::Locator local_;
  const observability::UdpCounters* counters_;
};

}  // namespace kelvane::transport
