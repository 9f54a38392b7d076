#pragma once

// The client side of a WebSocket connection, as far as an idle client needs it: the
// opening handshake and the closing one.

#include <sys/socket.h>

#include <chrono>
#include <expected>
#include <string>
#include <string_view>

#include "common/unique_fd.hpp"

namespace kelvane::load {

// A server address resolved once, connected to many times.
struct ServerAddress {
  sockaddr_storage storage{};
  socklen_t length = 0;
};

// Resolves a numeric "host:port" or "[v6]:port" address.
[[nodiscard]] std::expected<ServerAddress, std::string> resolve(std::string_view address);

// The Sec-WebSocket-Accept value a server must answer to key.
[[nodiscard]] std::string expected_accept(std::string_view key);

// Connects, sends an upgrade request with a fresh random key and reads the answer; the
// socket is returned once the answer was a 101 with the right Sec-WebSocket-Accept.
// The error says what went wrong ("connect: ...", "answer: HTTP/1.1 503 ...", ...).
[[nodiscard]] std::expected<UniqueFd, std::string> open_websocket(const ServerAddress& server,
                                                                  std::chrono::milliseconds timeout);

// Sends a masked Close frame with status 1000 (normal closure).
[[nodiscard]] bool send_close(int socket);

}  // namespace kelvane::load
