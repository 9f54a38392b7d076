#include "rtps/message_builder.hpp"

#include <cstdlib>
#include <unistd.h>

#include "cdr/byte_order.hpp"
#include "common/log.hpp"
#include "rtps/submessage_ids.hpp"

namespace kelvane::rtps {
namespace {

constexpr std::size_t kMinMtu = RTPS_HEADER_SIZE;

// Appends the zero padding after a body that ends at out.size(), starting at body_at.
void pad_body(std::vector<std::uint8_t>& out, std::size_t body_at) {
  out.resize(body_at + padded_body_size(out.size() - body_at), 0);
}

// Fills in the flag byte and octetsToNextHeader (in the order the E flag gives) of the
// submessage whose header starts at header_at and whose padded body ends the buffer.
void write_submessage_header_fields(std::vector<std::uint8_t>& out, std::size_t header_at, std::uint8_t flags) {
  out[header_at + 1] = flags;
  const auto length = static_cast<std::uint16_t>(out.size() - header_at - SUBMESSAGE_HEADER_SIZE);
  cdr::store_u16(out.data() + header_at + 2, length, (flags & FLAG_E) != 0);
}

std::string_view too_large_text(std::uint8_t id) {
  switch (id) {
    case SUBMESSAGE_DATA: return "DATA body exceeds u16::MAX";
    case SUBMESSAGE_HEARTBEAT: return "HEARTBEAT body exceeds u16::MAX";
    case SUBMESSAGE_GAP: return "GAP body exceeds u16::MAX";
    default: return "submessage body exceeds u16::MAX";
  }
}

}  // namespace

MessageBuilder::MessageBuilder(const GuidPrefix& prefix, VendorId vendor_id, std::size_t mtu,
                               std::shared_ptr<const LocatorList> targets)
    : targets_(std::move(targets)), mtu_(mtu) {
  if (mtu < kMinMtu) {
    write_raw_line(STDERR_FILENO, "MTU must accommodate at least the 20-byte RTPS header");
    std::abort();
  }
  buffer_.reserve(mtu);
  MessageHeader{PROTOCOLVERSION_2_5, vendor_id, prefix}.append_to(buffer_);
}

bool MessageBuilder::fits(std::size_t body_length) const {
  const std::size_t padded = padded_body_size(body_length);
  return padded <= MAX_SUBMESSAGE_BODY && buffer_.size() + SUBMESSAGE_HEADER_SIZE + padded <= mtu_;
}

std::size_t MessageBuilder::begin_submessage(std::uint8_t id) {
  const std::size_t header_at = buffer_.size();
  buffer_.insert(buffer_.end(), {id, 0, 0, 0});
  return header_at;
}

void MessageBuilder::end_submessage(std::size_t header_at, std::uint8_t flags) {
  const std::size_t body_at = header_at + SUBMESSAGE_HEADER_SIZE;
  pad_body(buffer_, body_at);
  write_submessage_header_fields(buffer_, header_at, flags);
  ++submessage_count_;
}

bool MessageBuilder::append(std::uint8_t id, std::uint8_t flags, std::span<const std::uint8_t> body) {
  if (!fits(body.size())) return false;
  const std::size_t header_at = begin_submessage(id);
  buffer_.insert(buffer_.end(), body.begin(), body.end());
  // Bodies handed in as bytes are little-endian.
  end_submessage(header_at, static_cast<std::uint8_t>(flags | FLAG_E));
  return true;
}

std::optional<OutboundDatagram> MessageBuilder::finish() && {
  if (submessage_count_ == 0) return std::nullopt;
  return OutboundDatagram{std::move(buffer_), std::move(targets_)};
}

DatagramPacker::DatagramPacker(const GuidPrefix& prefix, VendorId vendor_id, std::size_t mtu,
                               std::shared_ptr<const LocatorList> targets)
    : prefix_(prefix),
      vendor_id_(vendor_id),
      mtu_(mtu),
      targets_(std::move(targets)),
      current_(prefix_, vendor_id_, mtu_, targets_) {}

std::expected<void, WireFormatError> DatagramPacker::check_size(std::uint8_t id, std::size_t body) const {
  if (padded_body_size(body) > MAX_SUBMESSAGE_BODY) return std::unexpected(WireFormatError::ValueOutOfRange{too_large_text(id)});
  return {};
}

void DatagramPacker::start_fresh_datagram() {
  if (auto datagram = std::move(current_).finish()) done_.push_back(std::move(*datagram));
  current_ = MessageBuilder(prefix_, vendor_id_, mtu_, targets_);
}

std::expected<void, WireFormatError> DatagramPacker::append(std::uint8_t id, std::uint8_t flags,
                                                            std::span<const std::uint8_t> body) {
  if (auto ok = check_size(id, body.size()); !ok) return ok;
  if (current_.append(id, flags, body)) return {};
  start_fresh_datagram();
  if (current_.append(id, flags, body)) return {};
  return std::unexpected(WireFormatError::ValueOutOfRange{"submessage does not fit into fresh datagram"});
}

std::vector<OutboundDatagram> DatagramPacker::finish() && {
  if (auto datagram = std::move(current_).finish()) done_.push_back(std::move(*datagram));
  return std::move(done_);
}

std::expected<OutboundDatagram, WireFormatError> single_submessage_datagram(
    const GuidPrefix& prefix, VendorId vendor_id, std::size_t mtu, std::shared_ptr<const LocatorList> targets,
    std::uint8_t id, std::uint8_t flags, std::span<const std::uint8_t> body, std::string_view does_not_fit) {
  MessageBuilder builder(prefix, vendor_id, mtu, std::move(targets));
  if (!builder.append(id, flags, body)) return std::unexpected(WireFormatError::ValueOutOfRange{does_not_fit});
  auto datagram = std::move(builder).finish();
  if (!datagram) return std::unexpected(WireFormatError::ValueOutOfRange{kFinishReturnedNothingText});
  return std::move(*datagram);
}

std::expected<std::vector<std::uint8_t>, WireFormatError> encode_data_datagram(
    const MessageHeader& header, std::span<const DataSubmessage> submessages) {
  std::size_t total = RTPS_HEADER_SIZE;
  for (const auto& data : submessages) total += SUBMESSAGE_HEADER_SIZE + padded_body_size(data.body_size());
  std::vector<std::uint8_t> out;
  out.reserve(total);
  header.append_to(out);
  for (const auto& data : submessages) {
    if (padded_body_size(data.body_size()) > MAX_SUBMESSAGE_BODY) {
      return std::unexpected(WireFormatError::ValueOutOfRange{"DATA submessage body exceeds u16::MAX"});
    }
    const std::size_t header_at = out.size();
    out.insert(out.end(), {SUBMESSAGE_DATA, 0, 0, 0});
    const std::uint8_t flags = data.write_body_into(out, true);
    pad_body(out, header_at + SUBMESSAGE_HEADER_SIZE);
    write_submessage_header_fields(out, header_at, flags);
  }
  return out;
}

}  // namespace kelvane::rtps
