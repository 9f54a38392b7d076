#include "rtps/datagram.hpp"

#include <cstring>
#include <optional>

#include "cdr/byte_order.hpp"
#include "rtps/message_header.hpp"

namespace kelvane::rtps {
namespace {

// HeaderExtension is recognised from version 2.5 on.
bool has_header_extension(ProtocolVersion v) { return v.major > 2 || (v.major == 2 && v.minor >= 5); }

// The datagram's bytes, shared on first demand: only payload-bearing submessages need
// a shared copy.
class LazyShared {
 public:
  LazyShared(std::span<const std::uint8_t> bytes, const SharedBytes* shared) : bytes_(bytes), shared_(shared) {}

  SharedBytes slice(std::size_t offset, std::size_t length) {
    if (shared_ != nullptr) return shared_->slice(offset, length);
    if (!copy_) copy_ = SharedBytes::copy_of(bytes_);
    return copy_->slice(offset, length);
  }

 private:
  std::span<const std::uint8_t> bytes_;
  const SharedBytes* shared_;
  std::optional<SharedBytes> copy_;
};

template <typename Record>
std::expected<void, WireFormatError> push(DecodedDatagram& out, std::expected<Record, WireFormatError> decoded) {
  if (!decoded) return std::unexpected(decoded.error());
  out.submessages.push_back(std::move(*decoded));
  return {};
}

std::expected<void, WireFormatError> check_must_understand(const std::optional<EncodedParameterList>& list) {
  if (!list) return {};
  return list->validate_must_understand();
}

std::expected<void, WireFormatError> decode_one(DecodedDatagram& out, LazyShared& shared,
                                                std::span<const std::uint8_t> bytes, std::size_t body_at,
                                                std::size_t body_len, std::uint8_t id, std::uint8_t flags) {
  const auto body = bytes.subspan(body_at, body_len);
  switch (id) {
    case SUBMESSAGE_DATA: {
      auto data = DataSubmessage::read_body(shared.slice(body_at, body_len), flags);
      if (data) {
        if (auto ok = check_must_understand(data->inline_qos); !ok) return ok;
      }
      return push(out, std::move(data));
    }
    case SUBMESSAGE_DATA_FRAG: {
      auto frag = DataFragSubmessage::read_body(shared.slice(body_at, body_len), flags);
      if (frag) {
        if (auto ok = check_must_understand(frag->inline_qos); !ok) return ok;
      }
      return push(out, std::move(frag));
    }
    case SUBMESSAGE_HEARTBEAT: return push(out, HeartbeatSubmessage::read_body(body, flags));
    case SUBMESSAGE_HEARTBEAT_FRAG: return push(out, HeartbeatFragSubmessage::read_body(body, flags));
    case SUBMESSAGE_ACKNACK: return push(out, AckNackSubmessage::read_body(body, flags));
    case SUBMESSAGE_NACK_FRAG: return push(out, NackFragSubmessage::read_body(body, flags));
    case SUBMESSAGE_GAP: return push(out, GapSubmessage::read_body(body, flags));
    case SUBMESSAGE_INFO_SRC: return push(out, InfoSource::read_body(body, flags));
    case SUBMESSAGE_INFO_REPLY: return push(out, InfoReplySubmessage::read_body(body, flags));
    case SUBMESSAGE_INFO_TS: return push(out, InfoTimestamp::read_body(body, flags));
    default: break;
  }
  if (id == SUBMESSAGE_HEADER_EXTENSION && has_header_extension(out.protocol_version)) {
    if (!out.submessages.empty()) {
      return std::unexpected(WireFormatError::ValueOutOfRange{"HeaderExtension must appear directly after the RTPS header"});
    }
    // Parameters are rare here; the body is only shared when it carries them.
    auto he = (flags & HE_FLAG_P) != 0 ? HeaderExtension::decode_body(shared.slice(body_at, body_len), flags)
                                       : HeaderExtension::decode_body(body, flags);
    if (he) {
      if (auto ok = check_must_understand(he->parameters); !ok) return ok;
    }
    return push(out, std::move(he));
  }
  if ((flags & FLAG_MUST_UNDERSTAND) != 0) {
    return std::unexpected(WireFormatError::ValueOutOfRange{"Unknown submessage id with must-understand flag"});
  }
  out.submessages.push_back(UnknownSubmessage{id, flags});
  return {};
}

std::expected<DecodedDatagram, WireFormatError> decode(std::span<const std::uint8_t> bytes, const SharedBytes* shared) {
  const std::size_t n = bytes.size();
  if (n < RTPS_HEADER_SIZE) return std::unexpected(WireFormatError::UnexpectedEof{RTPS_HEADER_SIZE, 0});
  if (std::memcmp(bytes.data(), "RTPS", 4) != 0) {
    return std::unexpected(WireFormatError::BadMagic{{bytes[0], bytes[1], bytes[2], bytes[3]}});
  }
  DecodedDatagram out;
  out.protocol_version = ProtocolVersion{bytes[4], bytes[5]};
  out.vendor_id = VendorId{{bytes[6], bytes[7]}};
  std::memcpy(out.guid_prefix.bytes.data(), bytes.data() + 8, 12);

  LazyShared lazy(bytes, shared);
  std::size_t at = RTPS_HEADER_SIZE;
  while (at < n) {
    if (n - at < SUBMESSAGE_HEADER_SIZE) return std::unexpected(WireFormatError::UnexpectedEof{SUBMESSAGE_HEADER_SIZE, at});
    const std::uint8_t id = bytes[at];
    const std::uint8_t flags = bytes[at + 1];
    const std::uint16_t octets = cdr::load_u16(bytes.data() + at + 2, (flags & FLAG_E) != 0);
    const std::size_t body_at = at + SUBMESSAGE_HEADER_SIZE;
    // 0 means "to the end of the message", except for PAD and INFO_TS, which are often
    // sent without a body in the middle of a message.
    const bool empty_allowed = id == SUBMESSAGE_PAD || id == SUBMESSAGE_INFO_TS;
    const std::size_t body_len = octets == 0 && !empty_allowed ? n - body_at : octets;
    if (body_len > n - body_at) {
      return std::unexpected(WireFormatError::UnexpectedEof{body_at + body_len - n, body_at});
    }
    if (auto ok = decode_one(out, lazy, bytes, body_at, body_len, id, flags); !ok) return std::unexpected(ok.error());
    at = body_at + body_len;
  }
  return out;
}

}  // namespace

std::expected<DecodedDatagram, WireFormatError> decode_datagram(std::span<const std::uint8_t> bytes) {
  return decode(bytes, nullptr);
}

std::expected<DecodedDatagram, WireFormatError> decode_datagram(const SharedBytes& datagram) {
  return decode(datagram.span(), &datagram);
}

}  // namespace kelvane::rtps
