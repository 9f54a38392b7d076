#pragma once

#include <cstddef>
#include <cstdint>
#include <expected>
#include <optional>
#include <span>
#include <vector>

#include "rtps/submessage_ids.hpp"
#include "rtps/wire_format_error.hpp"
#include "rtps/wire_types.hpp"

namespace kelvane::rtps {

inline constexpr std::uint8_t INFO_TS_FLAG_INVALIDATE = 0x02;
inline constexpr std::uint8_t INFO_REPLY_FLAG_MULTICAST = 0x02;

// RTPS time: seconds and 2^-32 fractions, as on the wire.
struct RtpsTime {
  std::int32_t seconds = 0;
  std::uint32_t fraction = 0;
  friend bool operator==(const RtpsTime&, const RtpsTime&) = default;
};

// INFO_TS (0x09); no time when the invalidate flag is set.
struct InfoTimestamp {
  std::optional<RtpsTime> time;

  [[nodiscard]] static std::expected<InfoTimestamp, WireFormatError> read_body(std::span<const std::uint8_t> body,
                                                                               std::uint8_t flags);
  friend bool operator==(const InfoTimestamp&, const InfoTimestamp&) = default;
};

// INFO_SRC (0x0C).
struct InfoSource {
  std::uint32_t unused = 0;
  ProtocolVersion protocol_version;
  VendorId vendor_id;
  GuidPrefix guid_prefix;

  [[nodiscard]] static std::expected<InfoSource, WireFormatError> read_body(std::span<const std::uint8_t> body,
                                                                            std::uint8_t flags);
  friend bool operator==(const InfoSource&, const InfoSource&) = default;
};

// INFO_REPLY (0x0F).
struct InfoReplySubmessage {
  std::vector<Locator> unicast_locators;
  std::optional<std::vector<Locator>> multicast_locators;  // flag 0x02

  [[nodiscard]] static std::expected<InfoReplySubmessage, WireFormatError> read_body(
      std::span<const std::uint8_t> body, std::uint8_t flags);
  // A u32 count and count locators at `offset`, which is advanced past them.
  [[nodiscard]] static std::expected<std::vector<Locator>, WireFormatError> read_locator_list(
      std::span<const std::uint8_t> body, std::size_t& offset, bool little_endian);
  friend bool operator==(const InfoReplySubmessage&, const InfoReplySubmessage&) = default;
};

// INFO_DST (0x0E), written ahead of submessages addressed to one participant.
struct InfoDestination {
  GuidPrefix guid_prefix;

  std::uint8_t write_body_into(std::vector<std::uint8_t>& out, bool little_endian) const;
  [[nodiscard]] SubmessageBody write_body(bool little_endian) const;
  friend bool operator==(const InfoDestination&, const InfoDestination&) = default;
};

}  // namespace kelvane::rtps
