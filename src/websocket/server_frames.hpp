#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "websocket/frame.hpp"
#include "websocket/ws_stream.hpp"

namespace kelvane::websocket {

// What the server does with a decoded client frame.
enum class FrameAction {
  Message,  // Text or Binary: one complete client message, whatever FIN says
  Pong,     // Ping: answer at once with a Pong carrying the same payload
  Close,    // Close: end the connection without sending a Close back
  Discard,  // Continuation, Pong and reserved opcodes
};

[[nodiscard]] FrameAction server_action(Opcode opcode);

// Sends text as one final, unmasked Text frame under the stream lock. A write failure is
// ignored: the read loop notices a dead peer on its next read.
void send_text_frame(SharedWsStream& stream, std::string_view text);

// Answers a Ping; payload is the Ping's (at most 125 bytes, as the decoder guarantees).
// A write failure is ignored.
void send_pong(SharedWsStream& stream, std::span<const std::uint8_t> payload);

// Sends a Close frame with status and reason (cut to fit a control frame). A write
// failure is ignored: the connection is ending anyway.
void send_close(SharedWsStream& stream, std::uint16_t status, std::string_view reason);

}  // namespace kelvane::websocket
