#include "bridge/accept.hpp"

#include <sys/socket.h>

#include <cerrno>
#include <string>

#include "bridge/connection.hpp"
#include "bridge/small_thread.hpp"
#include "bridge/upgrade_answers.hpp"
#include "common/log.hpp"
#include "common/os_error.hpp"

namespace kelvane::bridge {

namespace {

// A failing accept (descriptors exhausted, for instance) is retried after this pause
// instead of spinning.
constexpr std::chrono::milliseconds kAcceptRetryPause{50};

void refuse_busy(UniqueFd socket) {
  (void)::send(socket.get(), kServiceUnavailableResponse.data(), kServiceUnavailableResponse.size(), MSG_NOSIGNAL);
}

void run_connection_thread(ConnectionId id, int fd, const std::shared_ptr<ServerState>& state) {
  websocket::WsStream stream = websocket::WsStream::plain(fd);
  if (state->security->tls_files) {
    // Never serve in the clear what is configured to be encrypted.
    state->metrics.errors->inc();
    log_line("tls handshake err conn=" + std::to_string(id) + ": TLS termination is not available");
    return;
  }
  // Without TLS the stream is the plain socket and there is no mTLS subject.
  (void)serve_connection(id, std::move(stream), std::nullopt, *state);
}

void start_connection(UniqueFd socket, const std::shared_ptr<ServerState>& state) {
  if (!state->connections.try_acquire(state->limits.max_connections)) {
    log_line("connection limit of " + std::to_string(state->limits.max_connections) + " reached, refusing a client");
    refuse_busy(std::move(socket));
    return;
  }
  const ConnectionId id = state->next_connection_id.fetch_add(1);
  const int fd = socket.get();
  auto started = SmallThread::start_detached([id, fd, state] {
    try {
      run_connection_thread(id, fd, state);
    } catch (...) {
      state->connections.release();
      throw;
    }
    state->connections.release();
  });
  if (!started) {
    state->connections.release();
    log_line("connection thread spawn failed conn=" + std::to_string(id) + ": " + started.error().message());
    return;  // socket closes here
  }
  (void)socket.release();  // the connection thread's stream owns it now
}

void run_accept_loop(const UniqueFd& listener, const std::shared_ptr<ServerState>& state) {
  for (;;) {
    UniqueFd socket(::accept4(listener.get(), nullptr, nullptr, SOCK_CLOEXEC));
    const int accept_errno = errno;
    if (state->shutdown->load()) return;
    if (!socket.valid()) {
      log_line("accept error: " + os_error_text(accept_errno));
      std::this_thread::sleep_for(kAcceptRetryPause);
      continue;
    }
    start_connection(std::move(socket), state);
  }
}

}  // namespace

std::expected<std::thread, std::system_error> start_accept_thread(UniqueFd listener, std::shared_ptr<ServerState> state) {
  try {
    return std::thread([listener = std::move(listener), state = std::move(state)]() mutable {
      try {
        run_accept_loop(listener, state);
        listener.reset();
        (void)state->connections.wait_until_zero(kConnectionDrainTimeout);
      } catch (const std::exception& e) {
        log_line(std::string("accept thread failed: ") + e.what());
      }
    });
  } catch (const std::system_error& e) {
    return std::unexpected(e);
  }
}

}  // namespace kelvane::bridge
