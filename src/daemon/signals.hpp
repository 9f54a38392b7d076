#pragma once

#include <expected>
#include <string>
#include <thread>

#include "daemon/flags.hpp"

namespace kelvane::daemon {

// Blocks SIGTERM, SIGINT and SIGHUP in the calling thread. Called by the main thread
// before it starts any other thread, so that every thread inherits the mask and the
// signals reach only the watcher.
void block_watched_signals();

// Starts the thread "kelvane-ws-signals", which takes the blocked signals one at a
// time: SIGHUP raises the reload flag and keeps watching; SIGTERM or SIGINT raises the
// shutdown flag and ends the thread. Signals arriving after that stay blocked and have
// no effect. The error is the system's error text; the signals are then unblocked in
// the calling thread, so they keep their default actions.
[[nodiscard]] std::expected<std::thread, std::string> install_signal_watcher(SharedFlag shutdown, SharedFlag reload);

// Ends a watcher that is still waiting (by handing it a SIGTERM of its own) and joins it.
void stop_signal_watcher(std::thread& watcher);

}  // namespace kelvane::daemon
