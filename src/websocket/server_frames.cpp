#include "websocket/server_frames.hpp"

namespace kelvane::websocket {
namespace {

void send_ignoring_failure(SharedWsStream& stream, Opcode opcode, std::span<const std::uint8_t> payload) {
  const std::vector<std::uint8_t> bytes = encode_server_frame(opcode, payload);
  (void)stream.write_all(bytes);
}

}  // namespace

FrameAction server_action(Opcode opcode) {
  switch (opcode) {
    case Opcode::Text:
    case Opcode::Binary:
      return FrameAction::Message;
    case Opcode::Ping:
      return FrameAction::Pong;
    case Opcode::Close:
      return FrameAction::Close;
    case Opcode::Continuation:
    case Opcode::Pong:
      return FrameAction::Discard;
  }
  return FrameAction::Discard;  // reserved opcodes
}

void send_text_frame(SharedWsStream& stream, std::string_view text) {
  const auto* data = reinterpret_cast<const std::uint8_t*>(text.data());
  send_ignoring_failure(stream, Opcode::Text, std::span(data, text.size()));
}

void send_pong(SharedWsStream& stream, std::span<const std::uint8_t> payload) {
  send_ignoring_failure(stream, Opcode::Pong, payload.first(std::min(payload.size(), kMaxControlPayload)));
}

void send_close(SharedWsStream& stream, std::uint16_t status, std::string_view reason) {
  send_ignoring_failure(stream, Opcode::Close, close_frame(status, reason).payload);
}

}  // namespace kelvane::websocket
