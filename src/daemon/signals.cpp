#include "daemon/signals.hpp"

#include <pthread.h>
#include <signal.h>

#include <exception>
#include <system_error>

#include "common/log.hpp"
#include "common/os_error.hpp"
#include "common/thread_name.hpp"

namespace kelvane::daemon {

namespace {

sigset_t watched_signals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGHUP);
  return set;
}

void watch(const SharedFlag& shutdown, const SharedFlag& reload) {
  const sigset_t set = watched_signals();
  while (true) {
    int signal = 0;
    if (::sigwait(&set, &signal) != 0) continue;
    if (signal == SIGHUP) {
      reload->exchange(true);
      continue;
    }
    raise_flag(shutdown);
    return;
  }
}

}  // namespace

void block_watched_signals() {
  const sigset_t set = watched_signals();
  ::pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

std::expected<std::thread, std::string> install_signal_watcher(SharedFlag shutdown, SharedFlag reload) {
  // The watcher inherits this mask, so its signals wait for sigwait.
  const sigset_t set = watched_signals();
  if (const int rc = ::pthread_sigmask(SIG_BLOCK, &set, nullptr); rc != 0) return std::unexpected(os_error_text(rc));
  try {
    return std::thread([shutdown = std::move(shutdown), reload = std::move(reload)] {
      try {
        set_current_thread_name("kelvane-ws-signals");
        watch(shutdown, reload);
      } catch (const std::exception& e) {
        log_line(std::string("signal watcher failed: ") + e.what());
      } catch (...) {
        log_line("signal watcher failed");
      }
    });
  } catch (const std::system_error& e) {
    // Without a watcher the signals must keep their default actions, or nothing could
    // stop the daemon.
    ::pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    return std::unexpected(os_error_text(e.code().value()));
  }
}

void stop_signal_watcher(std::thread& watcher) {
  if (!watcher.joinable()) return;
  // A watcher that already ended leaves this SIGTERM pending on its dead thread.
  ::pthread_kill(watcher.native_handle(), SIGTERM);
  watcher.join();
}

}  // namespace kelvane::daemon
