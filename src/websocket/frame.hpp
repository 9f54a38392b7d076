#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <expected>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace kelvane::websocket {

// The 4-bit frame type. Values outside the named ones are reserved opcodes; they keep
// their wire value so a frame round-trips unchanged.
enum class Opcode : std::uint8_t {
  Continuation = 0x0,
  Text = 0x1,
  Binary = 0x2,
  Close = 0x8,
  Ping = 0x9,
  Pong = 0xA,
};

// Control frames are those with bit 0x8 set, reserved ones (0xB to 0xF) included.
[[nodiscard]] constexpr bool is_control(Opcode opcode) {
  return (static_cast<std::uint8_t>(opcode) & 0x8) != 0;
}

[[nodiscard]] constexpr bool is_reserved(Opcode opcode) {
  switch (opcode) {
    case Opcode::Continuation:
    case Opcode::Text:
    case Opcode::Binary:
    case Opcode::Close:
    case Opcode::Ping:
    case Opcode::Pong:
      return false;
  }
  return true;
}

using MaskKey = std::array<std::uint8_t, 4>;

struct Frame {
  bool fin = true;
  bool rsv1 = false;
  bool rsv2 = false;
  bool rsv3 = false;
  Opcode opcode = Opcode::Text;
  std::optional<MaskKey> mask;        // absent for an unmasked frame
  std::vector<std::uint8_t> payload;  // always held unmasked

  friend bool operator==(const Frame&, const Frame&) = default;
};

// Largest payload a client frame may announce. The decoder refuses a larger one as soon
// as its length field is read, before any of it is buffered.
inline constexpr std::uint64_t kMaxFramePayload = 16u * 1024 * 1024;
// Control frames carry at most 125 payload bytes.
inline constexpr std::size_t kMaxControlPayload = 125;
// 2 header bytes, 8 extended length bytes, 4 masking-key bytes.
inline constexpr std::size_t kMaxHeaderSize = 14;

enum class CodecError {
  Incomplete,
  NonMinimalLength,
  LengthOverflow,
  IncompletePayload,
  IncompleteMaskKey,
  ControlTooLong,
  FragmentedControl,
  PayloadTooLarge,  // announced payload above kMaxFramePayload
};

[[nodiscard]] std::string_view codec_error_name(CodecError error);

// True for the results that only mean "read more bytes and decode again".
[[nodiscard]] constexpr bool needs_more_input(CodecError error) {
  return error == CodecError::Incomplete || error == CodecError::IncompletePayload ||
         error == CodecError::IncompleteMaskKey;
}

// Close status codes the server sends.
inline constexpr std::uint16_t kCloseGoingAway = 1001;
inline constexpr std::uint16_t kCloseProtocolError = 1002;
inline constexpr std::uint16_t kCloseMessageTooBig = 1009;

// The Close status that answers a decode failure which is not "need more bytes":
// 1009 for an oversized frame, 1002 for a malformed one.
[[nodiscard]] constexpr std::uint16_t close_status_for(CodecError error) {
  return error == CodecError::PayloadTooLarge ? kCloseMessageTooBig : kCloseProtocolError;
}

struct DecodedFrame {
  Frame frame;
  std::size_t consumed = 0;  // header plus payload bytes taken from the input
};

// Decodes the first frame at the start of bytes; the input is never changed.
[[nodiscard]] std::expected<DecodedFrame, CodecError> decode(std::span<const std::uint8_t> bytes);

// The frame's wire bytes; fails only with ControlTooLong or FragmentedControl.
[[nodiscard]] std::expected<std::vector<std::uint8_t>, CodecError> encode(const Frame& frame);

// Wire bytes of a final, unmasked frame without RSV bits, built straight from the payload.
// For control opcodes the caller keeps the payload within kMaxControlPayload.
[[nodiscard]] std::vector<std::uint8_t> encode_server_frame(Opcode opcode,
                                                            std::span<const std::uint8_t> payload);

// A final, unmasked Close frame: status big-endian, then the reason truncated to fit the
// control-frame limit (the cut never splits a UTF-8 sequence).
[[nodiscard]] Frame close_frame(std::uint16_t status, std::string_view reason);

// XORs data in place with the key, byte i with key[i mod 4].
void apply_mask(std::span<std::uint8_t> data, const MaskKey& key);

}  // namespace kelvane::websocket
