#pragma once

#include <atomic>
#include <expected>
#include <string>

#include "websocket/ws_stream.hpp"

namespace kelvane::websocket {

// Reads the client's upgrade request up to and including its blank line, in reads of
// kHandshakeReadSize bytes, and returns it as text (invalid UTF-8 replaced by U+FFFD;
// bytes received after the blank line are dropped). Receive time-outs are retried until
// stop is set. The error is the connection's end reason: "eof during handshake",
// "handshake too large" (more than kMaxHandshakeRequest bytes without a blank line),
// "shutdown during handshake", or the read error's text.
[[nodiscard]] std::expected<std::string, std::string> read_client_request(WsStream& stream,
                                                                          const std::atomic<bool>& stop);

}  // namespace kelvane::websocket
