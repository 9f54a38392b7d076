#include "reliability/wrap_to_writer.hpp"

#include <cstdint>
#include <limits>

namespace kelvane::reliability {

namespace {

constexpr std::size_t kHeaderSize = 20;
constexpr std::size_t kInfoDstSize = 4 + 12;

void append_u16_le(std::vector<std::uint8_t>& out, std::size_t value) {
  out.push_back(static_cast<std::uint8_t>(value & 0xFF));
  out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
}

}  // namespace

std::expected<OutboundDatagram, rtps::WireFormatError> wrap_to_writer(
    const GuidPrefix& own_prefix, VendorId vendor_id, const GuidPrefix& writer_prefix, std::uint8_t submessage_id,
    const rtps::SubmessageBody& body, std::shared_ptr<const std::vector<Locator>> targets) {
  if (body.bytes.size() > std::numeric_limits<std::uint16_t>::max()) {
    return std::unexpected(rtps::WireFormatError::ValueOutOfRange{"submessage body exceeds u16::MAX"});
  }
  OutboundDatagram datagram;
  auto& out = datagram.bytes;
  out.reserve(kHeaderSize + kInfoDstSize + 4 + body.bytes.size());
  out.insert(out.end(), {'R', 'T', 'P', 'S', rtps::PROTOCOLVERSION_2_5.major, rtps::PROTOCOLVERSION_2_5.minor});
  out.insert(out.end(), vendor_id.bytes.begin(), vendor_id.bytes.end());
  out.insert(out.end(), own_prefix.bytes.begin(), own_prefix.bytes.end());
  out.insert(out.end(), {rtps::SUBMESSAGE_INFO_DST, rtps::FLAG_E});
  append_u16_le(out, writer_prefix.bytes.size());
  out.insert(out.end(), writer_prefix.bytes.begin(), writer_prefix.bytes.end());
  out.push_back(submessage_id);
  out.push_back(static_cast<std::uint8_t>(body.flags | rtps::FLAG_E));
  append_u16_le(out, body.bytes.size());
  out.insert(out.end(), body.bytes.begin(), body.bytes.end());
  datagram.targets = std::move(targets);
  return datagram;
}

}  // namespace kelvane::reliability
