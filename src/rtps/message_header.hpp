#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "rtps/wire_types.hpp"

namespace kelvane::rtps {

inline constexpr std::size_t RTPS_HEADER_SIZE = 20;
inline constexpr std::size_t SUBMESSAGE_HEADER_SIZE = 4;
inline constexpr std::size_t MAX_SUBMESSAGE_BODY = 0xFFFF;

// The 20-byte RTPS message header: "RTPS", version, vendor, sender prefix.
struct MessageHeader {
  ProtocolVersion protocol_version = PROTOCOLVERSION_2_5;
  VendorId vendor_id = VENDORID_KELVANE;
  GuidPrefix guid_prefix;

  void append_to(std::vector<std::uint8_t>& out) const {
    out.insert(out.end(), {'R', 'T', 'P', 'S', protocol_version.major, protocol_version.minor, vendor_id.bytes[0],
                           vendor_id.bytes[1]});
    out.insert(out.end(), guid_prefix.bytes.begin(), guid_prefix.bytes.end());
  }
  friend bool operator==(const MessageHeader&, const MessageHeader&) = default;
};

// Submessages start on 4-byte boundaries: bodies are framed padded to a multiple of 4.
[[nodiscard]] constexpr std::size_t padded_body_size(std::size_t body) { return (body + 3) & ~std::size_t{3}; }

}  // namespace kelvane::rtps
