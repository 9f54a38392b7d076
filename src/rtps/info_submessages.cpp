#include "rtps/info_submessages.hpp"

#include <cstring>

#include "cdr/byte_order.hpp"

namespace kelvane::rtps {
namespace {

constexpr std::size_t kInfoTsBody = 8;
constexpr std::size_t kInfoSrcBody = 20;

}  // namespace

std::expected<InfoTimestamp, WireFormatError> InfoTimestamp::read_body(std::span<const std::uint8_t> body,
                                                                       std::uint8_t flags) {
  if ((flags & INFO_TS_FLAG_INVALIDATE) != 0) return InfoTimestamp{};
  if (body.size() < kInfoTsBody) return std::unexpected(WireFormatError::UnexpectedEof{kInfoTsBody, 0});
  const bool little = (flags & FLAG_E) != 0;
  return InfoTimestamp{RtpsTime{static_cast<std::int32_t>(cdr::load_u32(body.data(), little)),
                                cdr::load_u32(body.data() + 4, little)}};
}

std::expected<InfoSource, WireFormatError> InfoSource::read_body(std::span<const std::uint8_t> body,
                                                                 std::uint8_t flags) {
  if (body.size() < kInfoSrcBody) return std::unexpected(WireFormatError::UnexpectedEof{kInfoSrcBody, 0});
  const bool little = (flags & FLAG_E) != 0;
  InfoSource info;
  info.unused = cdr::load_u32(body.data(), little);
  info.protocol_version = ProtocolVersion{body[4], body[5]};
  info.vendor_id = VendorId{{body[6], body[7]}};
  std::memcpy(info.guid_prefix.bytes.data(), body.data() + 8, 12);
  return info;
}

std::expected<std::vector<Locator>, WireFormatError> InfoReplySubmessage::read_locator_list(
    std::span<const std::uint8_t> body, std::size_t& offset, bool little_endian) {
  if (offset > body.size() || body.size() - offset < 4) {
    return std::unexpected(WireFormatError::UnexpectedEof{4, offset});
  }
  const std::uint64_t count = cdr::load_u32(body.data() + offset, little_endian);
  std::size_t at = offset + 4;
  if (count * LOCATOR_WIRE_SIZE > body.size() - at) {
    return std::unexpected(WireFormatError::ValueOutOfRange{"InfoReply.locatorList length exceeds body"});
  }
  std::vector<Locator> locators;
  locators.reserve(static_cast<std::size_t>(count));
  for (std::uint64_t i = 0; i < count; ++i) {
    auto locator = read_locator(body, at, little_endian);
    if (!locator) return std::unexpected(locator.error());
    locators.push_back(*locator);
    at += LOCATOR_WIRE_SIZE;
  }
  offset = at;
  return locators;
}

std::expected<InfoReplySubmessage, WireFormatError> InfoReplySubmessage::read_body(std::span<const std::uint8_t> body,
                                                                                   std::uint8_t flags) {
  const bool little = (flags & FLAG_E) != 0;
  std::size_t offset = 0;
  InfoReplySubmessage reply;
  auto unicast = read_locator_list(body, offset, little);
  if (!unicast) return std::unexpected(unicast.error());
  reply.unicast_locators = std::move(*unicast);
  if ((flags & INFO_REPLY_FLAG_MULTICAST) != 0) {
    auto multicast = read_locator_list(body, offset, little);
    if (!multicast) return std::unexpected(multicast.error());
    reply.multicast_locators = std::move(*multicast);
  }
  return reply;
}

std::uint8_t InfoDestination::write_body_into(std::vector<std::uint8_t>& out, bool little_endian) const {
  out.insert(out.end(), guid_prefix.bytes.begin(), guid_prefix.bytes.end());
  return little_endian ? FLAG_E : 0;
}

SubmessageBody InfoDestination::write_body(bool little_endian) const {
  SubmessageBody body;
  body.flags = write_body_into(body.bytes, little_endian);
  return body;
}

}  // namespace kelvane::rtps
