#pragma once

#include <expected>
#include <memory>
#include <vector>

#include "reliability/types.hpp"
#include "rtps/submessage_ids.hpp"
#include "rtps/wire_format_error.hpp"

namespace kelvane::reliability {

// One reader-to-writer datagram: the RTPS header with the sender's prefix, INFO_DST
// naming the writer's participant, then the submessage, all little-endian.
[[nodiscard]] std::expected<OutboundDatagram, rtps::WireFormatError> wrap_to_writer(
    const GuidPrefix& own_prefix, VendorId vendor_id, const GuidPrefix& writer_prefix, std::uint8_t submessage_id,
    const rtps::SubmessageBody& body, std::shared_ptr<const std::vector<Locator>> targets);

}  // namespace kelvane::reliability
