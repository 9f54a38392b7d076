#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <expected>
#include <memory>
#include <string>
#include <system_error>
#include <thread>

#include "admin/routes.hpp"
#include "admin/socket_address.hpp"

namespace kelvane::admin {

inline constexpr std::string_view kAdminThreadName = "kelvane-ws-admin";
// Only the first line of a request is looked at; bytes past this are never read into it.
inline constexpr std::size_t kMaxRequestBytes = 1024;
// After the response, unread request bytes are discarded up to this many so that closing
// does not reset the connection before the client has read the answer.
inline constexpr std::size_t kMaxDrainBytes = 64 * 1024;

// Time limits and capacity of the admin endpoint. One thread serves every connection,
// multiplexed, so a client that is slow or silent only holds its own slot.
struct AdminLimits {
  // How long the loop sleeps at most before it looks at the stop conditions again.
  std::chrono::milliseconds poll_interval{50};
  // Pause after an accept failure other than "no connection pending".
  std::chrono::milliseconds accept_retry{100};
  // A connection that makes no progress reading its request or taking its response
  // for this long is dropped.
  std::chrono::milliseconds io_timeout{2000};
  // Upper bound of a connection's whole life, against clients that trickle.
  std::chrono::milliseconds max_lifetime{10000};
  // How long unread request bytes are drained after the response was sent.
  std::chrono::milliseconds linger{500};
  // Connections served at once; when full the oldest one is dropped for the newcomer.
  std::size_t max_connections = 64;
};

// What the endpoint shares with the daemon: the routes' inputs and the shutdown flag.
struct AdminShared {
  RouteContext routes;
  std::shared_ptr<std::atomic<bool>> shutdown;
};

// A running endpoint. The thread ends when the shutdown flag is set (a connection to
// `address` wakes it at once) or when a stop is requested on it; destroying the
// endpoint requests the stop and joins.
struct AdminEndpoint {
  SocketAddress address;
  std::jthread thread;
};

// Binds address (address reuse, backlog 128), reads the bound address back, switches to
// non-blocking mode and starts the thread "kelvane-ws-admin". On error nothing is left
// running and the OS error of the failed step is returned.
[[nodiscard]] std::expected<AdminEndpoint, std::error_code> serve_admin_endpoints(const SocketAddress& address,
                                                                                 AdminShared shared,
                                                                                 AdminLimits limits = {});

}  // namespace kelvane::admin
