#include "daemon/listener.hpp"

#include <poll.h>
#include <sys/socket.h>

#include <cerrno>

#include "common/os_error.hpp"
#include "daemon/socket_address.hpp"

namespace kelvane::daemon {

namespace {

std::expected<UniqueFd, std::string> listen_on(const SocketAddress& address) {
  UniqueFd socket(::socket(address.family(), SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!socket.valid()) return std::unexpected(os_error_text(errno));
  const int on = 1;
  if (::setsockopt(socket.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
      ::bind(socket.get(), address.get(), address.length) != 0 || ::listen(socket.get(), kListenBacklog) != 0) {
    return std::unexpected(os_error_text(errno));
  }
  return socket;
}

}  // namespace

std::expected<BoundListener, ServerError> bind_listener(std::string_view listen_text) {
  auto addresses = resolve_socket_address(listen_text, /*numeric_only=*/false);
  if (!addresses) return std::unexpected(ServerError::bind(std::move(addresses.error())));

  std::string last_error;
  for (const SocketAddress& address : *addresses) {
    auto socket = listen_on(address);
    if (!socket) {
      last_error = std::move(socket.error());
      continue;
    }
    sockaddr_storage local{};
    socklen_t length = sizeof local;
    std::string bound;
    if (::getsockname(socket->get(), reinterpret_cast<sockaddr*>(&local), &length) == 0) {
      bound = format_socket_address(reinterpret_cast<const sockaddr*>(&local), length);
    }
    if (bound.empty()) bound = listen_text;
    return BoundListener{std::move(*socket), std::move(bound)};
  }
  return std::unexpected(ServerError::bind(std::move(last_error)));
}

void wake_by_connecting(std::string_view address, std::chrono::milliseconds timeout) {
  const auto resolved = resolve_socket_address(address, /*numeric_only=*/true);
  if (!resolved) return;
  const SocketAddress& target = resolved->front();
  const UniqueFd socket(::socket(target.family(), SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (!socket.valid()) return;
  if (::connect(socket.get(), target.get(), target.length) == 0 || errno != EINPROGRESS) return;
  pollfd pending{socket.get(), POLLOUT, 0};
  while (::poll(&pending, 1, static_cast<int>(timeout.count())) < 0 && errno == EINTR) {
  }
}

}  // namespace kelvane::daemon
