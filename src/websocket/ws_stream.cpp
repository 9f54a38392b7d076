#include "websocket/ws_stream.hpp"

#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace kelvane::websocket {
namespace {

std::error_code last_error() { return {errno, std::system_category()}; }

}  // namespace

WsStream WsStream::plain(int fd) { return WsStream(fd); }

WsStream::WsStream(WsStream&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

WsStream& WsStream::operator=(WsStream&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

WsStream::~WsStream() {
  if (fd_ >= 0) ::close(fd_);
}

std::expected<std::size_t, std::error_code> WsStream::read(std::span<std::uint8_t> buffer) {
  while (true) {
    const ssize_t n = ::recv(fd_, buffer.data(), buffer.size(), 0);
    if (n >= 0) return static_cast<std::size_t>(n);
    if (errno != EINTR) return std::unexpected(last_error());
  }
}

std::expected<std::size_t, std::error_code> WsStream::write(std::span<const std::uint8_t> bytes) {
  while (true) {
    const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n >= 0) return static_cast<std::size_t>(n);
    if (errno != EINTR) return std::unexpected(last_error());
  }
}

std::expected<void, std::error_code> WsStream::set_receive_timeout(std::chrono::milliseconds timeout) {
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(timeout);
  const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(timeout - seconds);
  timeval tv{};
  tv.tv_sec = static_cast<time_t>(seconds.count());
  tv.tv_usec = static_cast<suseconds_t>(micros.count());
  if (::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv) != 0) return std::unexpected(last_error());
  return {};
}

bool is_timeout(const std::error_code& error) {
  return error == std::errc::resource_unavailable_try_again || error == std::errc::operation_would_block ||
         error == std::errc::timed_out;
}

std::expected<void, std::error_code> write_all(WsStream& stream, std::span<const std::uint8_t> bytes) {
  while (!bytes.empty()) {
    const auto written = stream.write(bytes);
    if (!written) return std::unexpected(written.error());
    if (*written == 0) return std::unexpected(std::make_error_code(std::errc::broken_pipe));
    bytes = bytes.subspan(*written);
  }
  return {};
}

std::expected<std::size_t, std::error_code> SharedWsStream::read(std::span<std::uint8_t> buffer) {
  const std::lock_guard lock(mutex_);
  return stream_.read(buffer);
}

std::expected<void, std::error_code> SharedWsStream::write_all(std::span<const std::uint8_t> bytes) {
  const std::lock_guard lock(mutex_);
  return websocket::write_all(stream_, bytes);
}

}  // namespace kelvane::websocket
