#pragma once

#include <expected>
#include <memory>
#include <optional>
#include <string>

#include "access/auth.hpp"
#include "bridge/router.hpp"
#include "bridge/sender.hpp"
#include "bridge/server_state.hpp"
#include "websocket/ws_stream.hpp"

namespace kelvane::bridge {

// Serves one accepted connection to its end: upgrade, admission, router registration,
// sender thread, receive loop, clean-up. The error is the end reason ("eof during
// handshake", "handshake too large", "handshake parse: ...", "auth reject: ...",
// "acl reject: TOPIC" or a system error text); callers do not print it.
[[nodiscard]] std::expected<void, std::string> serve_connection(ConnectionId id, websocket::WsStream stream,
                                                                std::optional<access::AuthSubject> mtls_subject,
                                                                ServerState& state);

// What the receive loop of one upgraded connection works with.
struct OpenConnection {
  ConnectionId id = 0;
  ServerState& state;
  access::AuthSubject subject;
  std::optional<std::string> path_topic;
  std::shared_ptr<websocket::SharedWsStream> stream;
  std::shared_ptr<ConnectionControl> control;
  // The stream's socket, only waited on for readability: the stream lock is taken for a
  // read once bytes are there, so the sender thread never waits behind an idle read.
  int socket_fd = -1;
};

// Reads and handles frames until the client closes, a read fails, the frame stream is
// broken, the sender thread closed the connection or the server stops.
void run_receive_loop(OpenConnection& conn);

}  // namespace kelvane::bridge
