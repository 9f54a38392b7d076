#pragma once

#include <cstdint>
#include <expected>
#include <span>
#include <variant>

#include "common/shared_bytes.hpp"
#include "rtps/header_extension.hpp"
#include "rtps/small_vector.hpp"
#include "rtps/submessages.hpp"
#include "rtps/wire_format_error.hpp"
#include "rtps/wire_types.hpp"

namespace kelvane::rtps {

// A submessage this codec does not interpret; its body is dropped.
struct UnknownSubmessage {
  std::uint8_t id = 0;
  std::uint8_t flags = 0;
  friend bool operator==(const UnknownSubmessage&, const UnknownSubmessage&) = default;
};

using ParsedSubmessage =
    std::variant<DataSubmessage, DataFragSubmessage, HeartbeatSubmessage, HeartbeatFragSubmessage, AckNackSubmessage,
                 NackFragSubmessage, GapSubmessage, HeaderExtension, InfoSource, InfoReplySubmessage, InfoTimestamp,
                 UnknownSubmessage>;

// Submessages held inline before the list spills to the heap.
inline constexpr std::size_t kInlineSubmessages = 8;

struct DecodedDatagram {
  ProtocolVersion protocol_version;
  VendorId vendor_id;
  GuidPrefix guid_prefix;  // the source of every entry
  SmallVector<ParsedSubmessage, kInlineSubmessages> submessages;
};

// Decodes a whole RTPS message, all or nothing. DATA and DATA_FRAG payloads are slices
// of one shared copy of the datagram, made only when the datagram carries one.
[[nodiscard]] std::expected<DecodedDatagram, WireFormatError> decode_datagram(std::span<const std::uint8_t> bytes);
// As above, slicing payloads straight out of a datagram that is already shared.
[[nodiscard]] std::expected<DecodedDatagram, WireFormatError> decode_datagram(const SharedBytes& datagram);

}  // namespace kelvane::rtps
