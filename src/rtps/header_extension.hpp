#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <expected>
#include <optional>
#include <span>
#include <variant>

#include "common/shared_bytes.hpp"
#include "rtps/encoded_parameter_list.hpp"
#include "rtps/info_submessages.hpp"
#include "rtps/wire_format_error.hpp"

namespace kelvane::rtps {

inline constexpr std::size_t MAX_HE_LENGTH = 16384;
inline constexpr std::uint8_t HE_FLAG_L = 0x02;  // message length
inline constexpr std::uint8_t HE_FLAG_W = 0x04;  // send timestamp
inline constexpr std::uint8_t HE_FLAG_U = 0x08;  // uExtension4
inline constexpr std::uint8_t HE_FLAG_V = 0x10;  // wExtension8
inline constexpr std::uint8_t HE_CHECKSUM_MASK = 0x60;
inline constexpr std::uint8_t HE_FLAG_P = 0x80;  // parameters

// RTPS 2.5 HeaderExtension (0x80). Values are carried only: no checksum is verified
// and no length is compared with the datagram.
struct HeaderExtension {
  using Crc32 = std::uint32_t;
  using Crc64 = std::uint64_t;
  using Md5 = std::array<std::uint8_t, 16>;
  using Checksum = std::variant<std::monostate, Crc32, Crc64, Md5>;

  bool little_endian = true;
  std::optional<std::uint32_t> message_length;
  std::optional<RtpsTime> timestamp;
  std::optional<std::array<std::uint8_t, 4>> u_extension4;
  std::optional<std::array<std::uint8_t, 8>> w_extension8;
  Checksum checksum;  // monostate: none
  std::optional<EncodedParameterList> parameters;

  [[nodiscard]] static std::expected<HeaderExtension, WireFormatError> decode_body(const SharedBytes& body,
                                                                                   std::uint8_t flags);
  [[nodiscard]] static std::expected<HeaderExtension, WireFormatError> decode_body(std::span<const std::uint8_t> body,
                                                                                   std::uint8_t flags);
  friend bool operator==(const HeaderExtension&, const HeaderExtension&) = default;
};

}  // namespace kelvane::rtps
