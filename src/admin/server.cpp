#include "admin/server.hpp"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <exception>
#include <span>
#include <thread>
#include <utility>
#include <vector>

#include "admin/request.hpp"
#include "common/log.hpp"
#include "common/thread_name.hpp"
#include "common/unique_fd.hpp"

namespace kelvane::admin {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kListenBacklog = 128;
constexpr std::size_t kDrainChunk = 4096;

std::error_code last_os_error() { return {errno, std::system_category()}; }

bool would_block(int err) { return err == EAGAIN || err == EWOULDBLOCK; }

struct Connection {
  enum class Phase { Reading, Writing, Draining };

  UniqueFd fd;
  Phase phase = Phase::Reading;
  std::array<std::uint8_t, kMaxRequestBytes> request{};
  std::size_t received = 0;
  std::string response;
  std::size_t sent = 0;
  std::size_t drained = 0;
  Clock::time_point accepted;
  Clock::time_point deadline;  // the current phase must make progress before this
  bool done = false;

  [[nodiscard]] std::span<const std::uint8_t> request_bytes() const { return {request.data(), received}; }
};

// The accept-and-serve loop of the admin thread. Every socket is non-blocking and one
// poll(2) waits for all of them, so a silent or slow client never delays another one.
class AdminLoop {
 public:
  AdminLoop(UniqueFd listener, AdminShared shared, AdminLimits limits)
      : listener_(std::move(listener)), shared_(std::move(shared)), limits_(limits) {}

  void run(const std::stop_token& stop) {
    std::vector<pollfd> fds;
    while (!stopping(stop)) {
      const Clock::time_point now = Clock::now();
      const bool accepting = now >= accept_paused_until_;
      fds.clear();
      fds.push_back({accepting ? listener_.get() : -1, POLLIN, 0});
      for (const auto& c : connections_) {
        fds.push_back({c->fd.get(), static_cast<short>(c->phase == Connection::Phase::Writing ? POLLOUT : POLLIN), 0});
      }
      const int ready = ::poll(fds.data(), fds.size(), poll_timeout_ms(now, accepting));
      if (stopping(stop)) break;
      if (ready < 0) {
        // Out of kernel memory or the like: back off instead of spinning.
        if (errno != EINTR) std::this_thread::sleep_for(limits_.accept_retry);
        continue;
      }
      const Clock::time_point after = Clock::now();
      for (std::size_t i = 0; i < connections_.size(); ++i) {
        Connection& c = *connections_[i];
        if (fds[i + 1].revents != 0) guarded_step(c, after, &AdminLoop::step);
        if (!c.done && after >= expiry(c)) guarded_step(c, after, &AdminLoop::expire);
      }
      std::erase_if(connections_, [](const auto& c) { return c->done; });
      if ((fds[0].revents & POLLIN) != 0) accept_pending(after);
    }
  }

 private:
  using Step = bool (AdminLoop::*)(Connection&, Clock::time_point);

  [[nodiscard]] bool stopping(const std::stop_token& stop) const {
    return shared_.shutdown->load() || stop.stop_requested();
  }

  [[nodiscard]] Clock::time_point expiry(const Connection& c) const {
    return std::min(c.deadline, c.accepted + limits_.max_lifetime);
  }

  [[nodiscard]] int poll_timeout_ms(Clock::time_point now, bool accepting) const {
    Clock::time_point wake = now + limits_.poll_interval;
    if (!accepting) wake = std::min(wake, accept_paused_until_);
    for (const auto& c : connections_) wake = std::min(wake, expiry(*c));
    if (wake <= now) return 0;
    // Round up so a deadline is never polled for in a busy loop just before it passes.
    return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(wake - now).count());
  }

  void pause_accepting(Clock::time_point now) { accept_paused_until_ = now + limits_.accept_retry; }

  // Runs one step on a connection; a failure of it (memory exhaustion while rendering)
  // costs only that connection.
  void guarded_step(Connection& c, Clock::time_point now, Step action) {
    try {
      if (!(this->*action)(c, now)) c.done = true;
    } catch (const std::exception& e) {
      log_line(std::string("admin endpoint: ") + e.what());
      c.done = true;
    } catch (...) {
      log_line("admin endpoint: unknown failure");
      c.done = true;
    }
  }

  void accept_pending(Clock::time_point now) {
    for (;;) {
      const int fd = ::accept4(listener_.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
      if (fd < 0) {
        if (errno == EINTR || errno == ECONNABORTED) continue;
        if (!would_block(errno)) pause_accepting(now);
        return;
      }
      if (connections_.size() >= limits_.max_connections) connections_.erase(connections_.begin());
      auto c = std::make_unique<Connection>();
      c->fd.reset(fd);
      c->accepted = now;
      c->deadline = now + limits_.io_timeout;
      connections_.push_back(std::move(c));
    }
  }

  // Returns false when the connection is finished and is to be closed.
  bool step(Connection& c, Clock::time_point now) {
    switch (c.phase) {
      case Connection::Phase::Reading: return read_request(c, now);
      case Connection::Phase::Writing: return write_response(c, now);
      case Connection::Phase::Draining: return drain(c);
    }
    return false;
  }

  // A deadline passed. A request that has begun is answered from what arrived (as a
  // single read would have done); anything else is dropped without a response.
  bool expire(Connection& c, Clock::time_point now) {
    const bool lifetime_over = now >= c.accepted + limits_.max_lifetime;
    if (lifetime_over || c.phase != Connection::Phase::Reading || c.received == 0) return false;
    return start_response(c, now);
  }

  bool read_request(Connection& c, Clock::time_point now) {
    while (c.received < c.request.size()) {
      const ssize_t n = ::recv(c.fd.get(), c.request.data() + c.received, c.request.size() - c.received, 0);
      if (n == 0) break;  // the peer half-closed: its request is complete
      if (n < 0) {
        if (errno == EINTR) continue;
        return would_block(errno);
      }
      c.received += static_cast<std::size_t>(n);
      c.deadline = now + limits_.io_timeout;
      if (has_first_line(c.request_bytes())) break;
    }
    return start_response(c, now);
  }

  bool start_response(Connection& c, Clock::time_point now) {
    c.response = respond(request_path(c.request_bytes()), shared_.routes);
    c.phase = Connection::Phase::Writing;
    c.deadline = now + limits_.io_timeout;
    return write_response(c, now);
  }

  bool write_response(Connection& c, Clock::time_point now) {
    while (c.sent < c.response.size()) {
      const ssize_t n = ::send(c.fd.get(), c.response.data() + c.sent, c.response.size() - c.sent, MSG_NOSIGNAL);
      if (n < 0) {
        if (errno == EINTR) continue;
        return would_block(errno);
      }
      c.sent += static_cast<std::size_t>(n);
      c.deadline = now + limits_.io_timeout;
    }
    c.response = std::string();
    ::shutdown(c.fd.get(), SHUT_WR);
    c.phase = Connection::Phase::Draining;
    c.deadline = now + limits_.linger;
    return drain(c);
  }

  // Reads and discards what the client still sends until it closes its side.
  bool drain(Connection& c) {
    for (;;) {
      const ssize_t n = ::recv(c.fd.get(), drain_buffer_.data(), drain_buffer_.size(), 0);
      if (n == 0) return false;
      if (n < 0) {
        if (errno == EINTR) continue;
        return would_block(errno);
      }
      c.drained += static_cast<std::size_t>(n);
      if (c.drained > kMaxDrainBytes) return false;
    }
  }

  UniqueFd listener_;
  AdminShared shared_;
  AdminLimits limits_;
  std::vector<std::unique_ptr<Connection>> connections_;  // oldest first; admin thread only
  Clock::time_point accept_paused_until_{};
  std::array<std::uint8_t, kDrainChunk> drain_buffer_{};
};

}  // namespace

std::expected<AdminEndpoint, std::error_code> serve_admin_endpoints(const SocketAddress& address, AdminShared shared,
                                                                   AdminLimits limits) {
  UniqueFd listener(::socket(address.family(), SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!listener.valid()) return std::unexpected(last_os_error());
  const int one = 1;
  if (::setsockopt(listener.get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one) != 0 ||
      ::bind(listener.get(), address.get(), address.length) != 0 || ::listen(listener.get(), kListenBacklog) != 0) {
    return std::unexpected(last_os_error());
  }
  AdminEndpoint endpoint;
  endpoint.address.length = sizeof endpoint.address.storage;
  if (::getsockname(listener.get(), reinterpret_cast<sockaddr*>(&endpoint.address.storage),
                    &endpoint.address.length) != 0) {
    return std::unexpected(last_os_error());
  }
  const int flags = ::fcntl(listener.get(), F_GETFL);
  if (flags < 0 || ::fcntl(listener.get(), F_SETFL, flags | O_NONBLOCK) != 0) return std::unexpected(last_os_error());
  try {
    endpoint.thread = std::jthread([loop = AdminLoop(std::move(listener), std::move(shared), limits)](
                                       const std::stop_token& stop) mutable {
      set_current_thread_name(kAdminThreadName);
      try {
        loop.run(stop);
      } catch (const std::exception& e) {
        log_line(std::string("admin endpoint stopped: ") + e.what());
      } catch (...) {
        log_line("admin endpoint stopped: unknown failure");
      }
    });
  } catch (const std::system_error& e) {
    return std::unexpected(e.code());
  }
  return endpoint;
}

}  // namespace kelvane::admin
