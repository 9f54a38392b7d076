#pragma once

#include <cstddef>
#include <cstdint>
#include <expected>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "rtps/data_submessages.hpp"
#include "rtps/message_header.hpp"
#include "rtps/wire_format_error.hpp"
#include "rtps/wire_types.hpp"

namespace kelvane::rtps {

using LocatorList = std::vector<Locator>;

// A finished datagram and where it goes; the datagrams of one send share the targets.
struct OutboundDatagram {
  std::vector<std::uint8_t> bytes;
  std::shared_ptr<const LocatorList> targets;
};

// Builds one datagram of at most mtu bytes. Bodies are little-endian (E set) unless a
// record carries big-endian inline QoS; they are padded with zeros to a multiple of 4 so
// that the next submessage starts aligned, and the padding counts in octetsToNextHeader
// and in the fit test.
class MessageBuilder {
 public:
  // An mtu below 20 is a programming error and stops the process.
  MessageBuilder(const GuidPrefix& prefix, VendorId vendor_id, std::size_t mtu,
                 std::shared_ptr<const LocatorList> targets);

  // Appends the submessage if header and padded body fit; otherwise returns false and
  // leaves the datagram unchanged. Bodies whose padded length exceeds 65535 never fit.
  [[nodiscard]] bool append(std::uint8_t id, std::uint8_t flags, std::span<const std::uint8_t> body);

  // Writes a DATA or DATA_FRAG body straight into the datagram (no intermediate copy),
  // little-endian, under the same fit rule.
  template <typename Record>
    requires requires(const Record& r, std::vector<std::uint8_t>& out) {
      r.body_size();
      r.write_body_into(out, true);
    }
  [[nodiscard]] bool append_record(std::uint8_t id, const Record& record) {
    const std::size_t body = record.body_size();
    if (!fits(body)) return false;
    const std::size_t header_at = begin_submessage(id);
    const std::uint8_t flags = record.write_body_into(buffer_, true);
    end_submessage(header_at, flags);
    return true;
  }

  // Whether a body of this length would still fit.
  [[nodiscard]] bool fits(std::size_t body_length) const;
  [[nodiscard]] std::size_t size() const { return buffer_.size(); }
  [[nodiscard]] std::size_t mtu() const { return mtu_; }
  [[nodiscard]] std::size_t submessage_count() const { return submessage_count_; }

  // The datagram if at least one submessage was appended; the builder is spent afterwards.
  [[nodiscard]] std::optional<OutboundDatagram> finish() &&;

 private:
  std::size_t begin_submessage(std::uint8_t id);
  void end_submessage(std::size_t header_at, std::uint8_t flags);

  std::vector<std::uint8_t> buffer_;
  std::shared_ptr<const LocatorList> targets_;
  std::size_t mtu_;
  std::size_t submessage_count_ = 0;
};

inline constexpr std::string_view kDataDoesNotFitText = "DATA submessage does not fit into MTU";
inline constexpr std::string_view kDataFragDoesNotFitText = "DATA_FRAG submessage does not fit into MTU";
inline constexpr std::string_view kGapDoesNotFitText = "GAP submessage does not fit into MTU";
inline constexpr std::string_view kFinishReturnedNothingText = "MessageBuilder finish returned no datagram";

// Packs submessages of one send operation into as many datagrams as the mtu requires.
class DatagramPacker {
 public:
  DatagramPacker(const GuidPrefix& prefix, VendorId vendor_id, std::size_t mtu,
                 std::shared_ptr<const LocatorList> targets);

  // Appends to the current datagram, or finishes it and starts a fresh one. Fails for a
  // body of 65536 bytes or more (text by submessage kind) and for a body that does not
  // fit even into a fresh datagram.
  [[nodiscard]] std::expected<void, WireFormatError> append(std::uint8_t id, std::uint8_t flags,
                                                            std::span<const std::uint8_t> body);
  // Same for a DATA or DATA_FRAG record written in place.
  template <typename Record>
  [[nodiscard]] std::expected<void, WireFormatError> append_record(std::uint8_t id, const Record& record) {
    if (auto ok = check_size(id, record.body_size()); !ok) return ok;
    if (current_.append_record(id, record)) return {};
    start_fresh_datagram();
    if (current_.append_record(id, record)) return {};
    return std::unexpected(WireFormatError::ValueOutOfRange{"submessage does not fit into fresh datagram"});
  }

  // Finishes the current datagram and hands out every datagram of this operation.
  [[nodiscard]] std::vector<OutboundDatagram> finish() &&;

 private:
  [[nodiscard]] std::expected<void, WireFormatError> check_size(std::uint8_t id, std::size_t body) const;
  void start_fresh_datagram();

  GuidPrefix prefix_;
  VendorId vendor_id_;
  std::size_t mtu_;
  std::shared_ptr<const LocatorList> targets_;
  MessageBuilder current_;
  std::vector<OutboundDatagram> done_;
};

// One datagram holding one submessage, for a GAP or DATA_FRAG sent on its own:
// `does_not_fit` is the error text when the body is too large or the mtu too small.
[[nodiscard]] std::expected<OutboundDatagram, WireFormatError> single_submessage_datagram(
    const GuidPrefix& prefix, VendorId vendor_id, std::size_t mtu, std::shared_ptr<const LocatorList> targets,
    std::uint8_t id, std::uint8_t flags, std::span<const std::uint8_t> body, std::string_view does_not_fit);

// A datagram of DATA submessages without size limit (announcements, liveliness,
// type-lookup replies). Bodies are written little-endian.
[[nodiscard]] std::expected<std::vector<std::uint8_t>, WireFormatError> encode_data_datagram(
    const MessageHeader& header, std::span<const DataSubmessage> submessages);

}  // namespace kelvane::rtps
