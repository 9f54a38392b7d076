#pragma once

#include <expected>
#include <memory>
#include <system_error>
#include <thread>

#include "bridge/server_state.hpp"
#include "common/unique_fd.hpp"

namespace kelvane::bridge {

// How long the accept thread, once the server stops, waits for open connections to send
// their Close frames and end.
inline constexpr std::chrono::milliseconds kConnectionDrainTimeout{2000};

// Starts the accept thread on a bound, listening socket. It hands every accepted socket
// to a detached connection thread until it sees the shutdown flag after accept returns
// (the shutdown wakes it with a loop-back connection); it then closes the listener,
// waits up to kConnectionDrainTimeout for the open connections to end, and ends. The
// owner joins the returned thread.
[[nodiscard]] std::expected<std::thread, std::system_error> start_accept_thread(UniqueFd listener,
                                                                               std::shared_ptr<ServerState> state);

}  // namespace kelvane::bridge
