#pragma once

#include <cstdint>
#include <vector>

namespace kelvane::rtps {

inline constexpr std::uint8_t SUBMESSAGE_PAD = 0x01;
inline constexpr std::uint8_t SUBMESSAGE_ACKNACK = 0x06;
inline constexpr std::uint8_t SUBMESSAGE_HEARTBEAT = 0x07;
inline constexpr std::uint8_t SUBMESSAGE_GAP = 0x08;
inline constexpr std::uint8_t SUBMESSAGE_INFO_TS = 0x09;
inline constexpr std::uint8_t SUBMESSAGE_INFO_SRC = 0x0C;
inline constexpr std::uint8_t SUBMESSAGE_INFO_DST = 0x0E;
inline constexpr std::uint8_t SUBMESSAGE_INFO_REPLY = 0x0F;
inline constexpr std::uint8_t SUBMESSAGE_NACK_FRAG = 0x12;
inline constexpr std::uint8_t SUBMESSAGE_HEARTBEAT_FRAG = 0x13;
inline constexpr std::uint8_t SUBMESSAGE_DATA = 0x15;
inline constexpr std::uint8_t SUBMESSAGE_DATA_FRAG = 0x16;
inline constexpr std::uint8_t SUBMESSAGE_HEADER_EXTENSION = 0x80;

// Flag bit 0 of every submessage: set = body little-endian.
inline constexpr std::uint8_t FLAG_E = 0x01;
// Bit 7 of an id this system does not interpret: the receiver must understand it.
inline constexpr std::uint8_t FLAG_MUST_UNDERSTAND = 0x80;

// A body as produced by write_body: the bytes and the flag byte for the submessage header.
struct SubmessageBody {
  std::vector<std::uint8_t> bytes;
  std::uint8_t flags = 0;
};

}  // namespace kelvane::rtps
