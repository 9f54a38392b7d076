#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <expected>
#include <mutex>
#include <span>
#include <system_error>
#include <utility>

namespace kelvane::websocket {

// The byte stream of one accepted client connection. It owns the socket and closes it
// when destroyed. Callers see only read/write; the transport behind them (plain TCP
// today) is chosen when the stream is made.
class WsStream {
 public:
  // Takes ownership of a connected TCP socket.
  [[nodiscard]] static WsStream plain(int fd);

  WsStream(WsStream&& other) noexcept;
  WsStream& operator=(WsStream&& other) noexcept;
  WsStream(const WsStream&) = delete;
  WsStream& operator=(const WsStream&) = delete;
  ~WsStream();

  // Fills at most buffer.size() bytes; 0 means end of stream. A receive time-out shows
  // as an error for which is_timeout() holds. Interrupted calls are retried.
  [[nodiscard]] std::expected<std::size_t, std::error_code> read(std::span<std::uint8_t> buffer);

  // Returns how many bytes were accepted. A peer that has gone away gives an error, never
  // SIGPIPE. Interrupted calls are retried.
  [[nodiscard]] std::expected<std::size_t, std::error_code> write(std::span<const std::uint8_t> bytes);

  // SO_RCVTIMEO on the socket; reads that wait longer fail with a time-out.
  [[nodiscard]] std::expected<void, std::error_code> set_receive_timeout(std::chrono::milliseconds timeout);

  [[nodiscard]] int native_handle() const { return fd_; }

 private:
  explicit WsStream(int fd) : fd_(fd) {}

  int fd_ = -1;
};

// True for the error a read returns when the receive time-out expired.
[[nodiscard]] bool is_timeout(const std::error_code& error);

// Writes every byte, retrying partial writes; a write of 0 bytes is a failure.
[[nodiscard]] std::expected<void, std::error_code> write_all(WsStream& stream, std::span<const std::uint8_t> bytes);

// A connection's stream once upgraded, shared by its read loop and its sender thread.
// One read, or one whole frame write, happens under the lock at a time, so frames from
// different threads never interleave on the wire.
class SharedWsStream {
 public:
  explicit SharedWsStream(WsStream stream) : stream_(std::move(stream)) {}

  [[nodiscard]] std::expected<std::size_t, std::error_code> read(std::span<std::uint8_t> buffer);
  [[nodiscard]] std::expected<void, std::error_code> write_all(std::span<const std::uint8_t> bytes);

 private:
  std::mutex mutex_;
  WsStream stream_;  // guarded by mutex_
};

}  // namespace kelvane::websocket
