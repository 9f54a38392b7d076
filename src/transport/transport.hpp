#pragma once

#include <cstddef>
#include <expected>
#include <span>
#include <string_view>

#include "common/shared_bytes.hpp"
#include "rtps/wire_types.hpp"

namespace kelvane::transport {

// The largest UDP/IPv4 payload.
inline constexpr std::size_t kMaxDatagramSize = 65507;

struct SendError {
  enum class Kind { MessageTooLarge, UnsupportedLocator, Io };

  Kind kind;
  std::size_t size = 0;        // MessageTooLarge: the buffer length
  std::size_t max = 0;         // MessageTooLarge: always kMaxDatagramSize
  std::string_view message{};  // Io: "udp send_to failed"

  friend bool operator==(const SendError&, const SendError&) = default;
};

struct RecvError {
  enum class Kind { Timeout, Io };

  Kind kind;
  std::string_view message{};  // Io: "udp recv_from failed" or "received V6 datagram on V4 socket"

  friend bool operator==(const RecvError&, const RecvError&) = default;
};

struct ReceivedDatagram {
  SharedBytes data;  // exactly the received bytes, shared onwards without copying
  rtps::Locator source;
};

// Moves whole RTPS datagrams. Both calls may run concurrently from several threads.
class Transport {
 public:
  virtual ~Transport() = default;

  [[nodiscard]] virtual std::expected<void, SendError> send(const rtps::Locator& destination,
                                                            std::span<const std::uint8_t> bytes) const = 0;
  // Blocks until a datagram arrives or the receive time-out elapses.
  [[nodiscard]] virtual std::expected<ReceivedDatagram, RecvError> recv() const = 0;

 protected:
  Transport() = default;
  Transport(const Transport&) = default;
  Transport(Transport&&) = default;
  Transport& operator=(const Transport&) = default;
  Transport& operator=(Transport&&) = default;
};

}  // namespace kelvane::transport
