#pragma once

#include <chrono>
#include <expected>
#include <string>
#include <string_view>

#include "common/unique_fd.hpp"
#include "daemon/server_error.hpp"

namespace kelvane::daemon {

inline constexpr int kListenBacklog = 128;

// The WebSocket listening socket (blocking) and the address it is bound to.
struct BoundListener {
  UniqueFd socket;
  std::string address;  // the actual local address; the listen text if it cannot be read
};

// Resolves the listen text and binds a TCP listener to the first address that works,
// with address reuse and a backlog of kListenBacklog. Every failure is a Bind error
// carrying the resolver's or the system's error text (of the last address tried).
[[nodiscard]] std::expected<BoundListener, ServerError> bind_listener(std::string_view listen_text);

// Opens a TCP connection to a numeric address and closes it at once, giving up after
// timeout: this wakes a thread blocked in accept on that address. Failures are ignored.
void wake_by_connecting(std::string_view address, std::chrono::milliseconds timeout);

}  // namespace kelvane::daemon
