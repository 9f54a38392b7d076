#include "websocket/frame.hpp"

#include <cstring>

namespace kelvane::websocket {
namespace {

constexpr std::uint8_t kFinBit = 0x80;
constexpr std::uint8_t kRsv1Bit = 0x40;
constexpr std::uint8_t kRsv2Bit = 0x20;
constexpr std::uint8_t kRsv3Bit = 0x10;
constexpr std::uint8_t kOpcodeBits = 0x0F;
constexpr std::uint8_t kMaskBit = 0x80;
constexpr std::uint8_t kLengthBits = 0x7F;
constexpr std::uint8_t kLength16 = 126;
constexpr std::uint8_t kLength64 = 127;
constexpr std::uint64_t kMin16 = 126;
constexpr std::uint64_t kMin64 = 65536;
constexpr std::uint64_t kLength64TopBit = std::uint64_t{1} << 63;

std::uint64_t read_be(std::span<const std::uint8_t> bytes) {
  std::uint64_t value = 0;
  for (std::uint8_t byte : bytes) value = (value << 8) | byte;
  return value;
}

// Appends byte 1 and the extended length in their shortest form.
void append_length(std::vector<std::uint8_t>& out, std::uint64_t length, bool masked) {
  const std::uint8_t mask_bit = masked ? kMaskBit : 0;
  int extra_bytes = 0;
  if (length < kMin16) {
    out.push_back(static_cast<std::uint8_t>(length) | mask_bit);
  } else if (length < kMin64) {
    out.push_back(kLength16 | mask_bit);
    extra_bytes = 2;
  } else {
    out.push_back(kLength64 | mask_bit);
    extra_bytes = 8;
  }
  for (int shift = (extra_bytes - 1) * 8; shift >= 0; shift -= 8) {
    out.push_back(static_cast<std::uint8_t>(length >> shift));
  }
}

std::uint8_t first_byte(bool fin, bool rsv1, bool rsv2, bool rsv3, Opcode opcode) {
  return static_cast<std::uint8_t>((fin ? kFinBit : 0) | (rsv1 ? kRsv1Bit : 0) |
                                   (rsv2 ? kRsv2Bit : 0) | (rsv3 ? kRsv3Bit : 0) |
                                   (static_cast<std::uint8_t>(opcode) & kOpcodeBits));
}

}  // namespace

std::string_view codec_error_name(CodecError error) {
  switch (error) {
    case CodecError::Incomplete: return "Incomplete";
    case CodecError::NonMinimalLength: return "NonMinimalLength";
    case CodecError::LengthOverflow: return "LengthOverflow";
    case CodecError::IncompletePayload: return "IncompletePayload";
    case CodecError::IncompleteMaskKey: return "IncompleteMaskKey";
    case CodecError::ControlTooLong: return "ControlTooLong";
    case CodecError::FragmentedControl: return "FragmentedControl";
    case CodecError::PayloadTooLarge: return "PayloadTooLarge";
  }
  return "Unknown";
}

void apply_mask(std::span<std::uint8_t> data, const MaskKey& key) {
  // Eight bytes per step: the key repeated twice lines up with every 8-byte block
  // because 8 is a multiple of 4.
  std::uint8_t doubled[8];
  std::memcpy(doubled, key.data(), 4);
  std::memcpy(doubled + 4, key.data(), 4);
  std::uint64_t word_key = 0;
  std::memcpy(&word_key, doubled, 8);

  std::uint8_t* p = data.data();
  std::size_t remaining = data.size();
  for (; remaining >= 8; remaining -= 8, p += 8) {
    std::uint64_t word = 0;
    std::memcpy(&word, p, 8);
    word ^= word_key;
    std::memcpy(p, &word, 8);
  }
  for (std::size_t i = 0; i < remaining; ++i) p[i] ^= doubled[i];
}

std::expected<DecodedFrame, CodecError> decode(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < 2) return std::unexpected(CodecError::Incomplete);

  DecodedFrame out;
  Frame& frame = out.frame;
  frame.fin = (bytes[0] & kFinBit) != 0;
  frame.rsv1 = (bytes[0] & kRsv1Bit) != 0;
  frame.rsv2 = (bytes[0] & kRsv2Bit) != 0;
  frame.rsv3 = (bytes[0] & kRsv3Bit) != 0;
  frame.opcode = static_cast<Opcode>(bytes[0] & kOpcodeBits);

  std::uint64_t length = bytes[1] & kLengthBits;
  std::size_t header = 2;
  if (length == kLength16) {
    if (bytes.size() < 4) return std::unexpected(CodecError::Incomplete);
    length = read_be(bytes.subspan(2, 2));
    if (length < kMin16) return std::unexpected(CodecError::NonMinimalLength);
    header = 4;
  } else if (length == kLength64) {
    if (bytes.size() < 10) return std::unexpected(CodecError::Incomplete);
    length = read_be(bytes.subspan(2, 8));
    if ((length & kLength64TopBit) != 0) return std::unexpected(CodecError::LengthOverflow);
    if (length < kMin64) return std::unexpected(CodecError::NonMinimalLength);
    header = 10;
  }

  if (is_control(frame.opcode)) {
    if (!frame.fin) return std::unexpected(CodecError::FragmentedControl);
    if (length > kMaxControlPayload) return std::unexpected(CodecError::ControlTooLong);
  }
  if (length > kMaxFramePayload) return std::unexpected(CodecError::PayloadTooLarge);

  if ((bytes[1] & kMaskBit) != 0) {
    if (bytes.size() < header + 4) return std::unexpected(CodecError::IncompleteMaskKey);
    MaskKey key;
    std::memcpy(key.data(), bytes.data() + header, 4);
    frame.mask = key;
    header += 4;
  }

  // length <= kMaxFramePayload here, so the sum cannot overflow.
  const auto payload_length = static_cast<std::size_t>(length);
  if (bytes.size() - header < payload_length) return std::unexpected(CodecError::IncompletePayload);

  const auto payload = bytes.subspan(header, payload_length);
  frame.payload.assign(payload.begin(), payload.end());
  if (frame.mask) apply_mask(frame.payload, *frame.mask);
  out.consumed = header + payload_length;
  return out;
}

std::expected<std::vector<std::uint8_t>, CodecError> encode(const Frame& frame) {
  if (is_control(frame.opcode)) {
    if (!frame.fin) return std::unexpected(CodecError::FragmentedControl);
    if (frame.payload.size() > kMaxControlPayload) return std::unexpected(CodecError::ControlTooLong);
  }
  std::vector<std::uint8_t> out;
  out.reserve(frame.payload.size() + kMaxHeaderSize);
  out.push_back(first_byte(frame.fin, frame.rsv1, frame.rsv2, frame.rsv3, frame.opcode));
  append_length(out, frame.payload.size(), frame.mask.has_value());
  if (frame.mask) out.insert(out.end(), frame.mask->begin(), frame.mask->end());
  const std::size_t payload_start = out.size();
  out.insert(out.end(), frame.payload.begin(), frame.payload.end());
  if (frame.mask) apply_mask(std::span(out).subspan(payload_start), *frame.mask);
  return out;
}

std::vector<std::uint8_t> encode_server_frame(Opcode opcode, std::span<const std::uint8_t> payload) {
  std::vector<std::uint8_t> out;
  out.reserve(payload.size() + kMaxHeaderSize);
  out.push_back(first_byte(true, false, false, false, opcode));
  append_length(out, payload.size(), false);
  out.insert(out.end(), payload.begin(), payload.end());
  return out;
}

Frame close_frame(std::uint16_t status, std::string_view reason) {
  constexpr std::size_t kMaxReason = kMaxControlPayload - 2;
  std::size_t keep = reason.size();
  if (keep > kMaxReason) {
    keep = kMaxReason;
    // Back up over continuation bytes so the cut lands on a sequence boundary.
    while (keep > 0 && (static_cast<std::uint8_t>(reason[keep]) & 0xC0) == 0x80) --keep;
  }
  Frame frame;
  frame.opcode = Opcode::Close;
  frame.payload.reserve(2 + keep);
  frame.payload.push_back(static_cast<std::uint8_t>(status >> 8));
  frame.payload.push_back(static_cast<std::uint8_t>(status));
  frame.payload.insert(frame.payload.end(), reason.begin(), reason.begin() + static_cast<std::ptrdiff_t>(keep));
  return frame;
}

}  // namespace kelvane::websocket
