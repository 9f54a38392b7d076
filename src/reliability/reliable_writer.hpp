#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <expected>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "common/shared_bytes.hpp"
#include "observability/component_metrics.hpp"
#include "reliability/history_cache.hpp"
#include "reliability/reader_proxy.hpp"
#include "reliability/types.hpp"
#include "rtps/message_builder.hpp"
#include "rtps/submessages.hpp"
#include "rtps/wire_format_error.hpp"

namespace kelvane::reliability {

struct ReliableWriterConfig {
  HistoryKind history_kind = KeepLast{32};
  std::vector<ReaderProxy> reader_proxies;
  std::chrono::nanoseconds heartbeat_period = std::chrono::milliseconds(100);
  Guid writer_guid;
  std::size_t max_samples = 1024;
  std::size_t mtu = 1472;
  std::uint32_t fragment_size = 1344;
  VendorId vendor_id = rtps::VENDORID_KELVANE;
};

using Datagrams = std::expected<std::vector<OutboundDatagram>, rtps::WireFormatError>;

// Stateful reliable writer: keeps the written samples and one proxy per matched reader
// and turns writes, ticks, ACKNACKs and NACK_FRAGs into datagrams, each addressed to
// one reader. It does no I/O and reads no clock; `now` is the runtime time.
class ReliableWriter {
 public:
  // A fragment size of 0 or an mtu below 20 stops the process.
  explicit ReliableWriter(ReliableWriterConfig config);

  // Appends a proxy for a newly matched reader. A reader already matched keeps its
  // acknowledgement state and pending requests; its locators and data representation
  // are updated. Either way the next tick heartbeats at once.
  void add_reader_proxy(ReaderProxy proxy);
  // Forgets a reader that went away; true when it was matched.
  bool remove_reader_proxy(const Guid& reader_guid);

  // Stores the sample and sends it to every proxy that is up to date.
  [[nodiscard]] Datagrams write(std::span<const std::uint8_t> payload);
  // write(), then one HEARTBEAT datagram per proxy.
  [[nodiscard]] Datagrams write_with_heartbeat(std::span<const std::uint8_t> payload, std::chrono::nanoseconds now);
  // Repairs, GAPs and the periodic heartbeats.
  [[nodiscard]] Datagrams tick(std::chrono::nanoseconds now);

  // base and requested: the ACKNACK's SequenceNumberSet, every set bit as base + i.
  void handle_acknack(const Guid& reader_guid, SequenceNumber base, std::span<const SequenceNumber> requested);
  void handle_nackfrag(const Guid& reader_guid, const rtps::NackFragSubmessage& nackfrag);

  [[nodiscard]] const std::shared_ptr<const LocatorList>& targets_for(std::size_t proxy_index) const {
    return targets_.at(proxy_index);
  }
  [[nodiscard]] const std::vector<ReaderProxy>& reader_proxies() const { return proxies_; }
  [[nodiscard]] HistoryCache& history() { return history_; }
  [[nodiscard]] const HistoryCache& history() const { return history_; }
  [[nodiscard]] const Guid& writer_guid() const { return writer_guid_; }
  [[nodiscard]] SequenceNumber last_sequence_number() const { return last_sn_; }
  [[nodiscard]] std::uint32_t heartbeat_count() const { return heartbeat_count_; }
  [[nodiscard]] std::uint64_t nackfrag_count() const { return nackfrag_count_; }
  [[nodiscard]] std::uint64_t unknown_reader_count() const { return unknown_reader_count_; }

 private:
  [[nodiscard]] ReaderProxy* find_or_count(const Guid& reader_guid);
  // The payload as this proxy must see it: XCDR1 readers get the CDR_LE identifier.
  [[nodiscard]] SharedBytes payload_for(const ReaderProxy& proxy, const SharedBytes& payload) const;
  [[nodiscard]] std::expected<void, rtps::WireFormatError> append_sample_datagrams(
      SequenceNumber sn, const SharedBytes& payload, const EntityId& reader_id,
      const std::shared_ptr<const LocatorList>& targets, std::vector<OutboundDatagram>& out) const;
  [[nodiscard]] std::expected<OutboundDatagram, rtps::WireFormatError> fragment_datagram(
      SequenceNumber sn, const SharedBytes& payload, FragmentNumber number, const EntityId& reader_id,
      const std::shared_ptr<const LocatorList>& targets) const;
  [[nodiscard]] std::expected<OutboundDatagram, rtps::WireFormatError> gap_datagram(
      SequenceNumber sn, const EntityId& reader_id, const std::shared_ptr<const LocatorList>& targets) const;
  [[nodiscard]] std::expected<void, rtps::WireFormatError> append_heartbeat(rtps::DatagramPacker& packer,
                                                                          const ReaderProxy& proxy,
                                                                          SequenceNumber first);
  [[nodiscard]] std::expected<void, rtps::WireFormatError> repair_fragments(
      ReaderProxy& proxy, const std::shared_ptr<const LocatorList>& targets, std::vector<OutboundDatagram>& out);
  [[nodiscard]] std::expected<void, rtps::WireFormatError> repair_changes(
      ReaderProxy& proxy, const std::shared_ptr<const LocatorList>& targets, rtps::DatagramPacker& packer,
      std::vector<OutboundDatagram>& out);
  [[nodiscard]] SequenceNumber heartbeat_first_for(const ReaderProxy& proxy) const;
  void refresh_targets(std::size_t index);

  HistoryCache history_;
  std::vector<ReaderProxy> proxies_;
  std::vector<std::shared_ptr<const LocatorList>> targets_;  // per proxy, same order
  std::chrono::nanoseconds heartbeat_period_;
  std::optional<std::chrono::nanoseconds> last_heartbeat_;
  Guid writer_guid_;
  VendorId vendor_id_;
  std::size_t mtu_;
  std::uint32_t fragment_size_;
  SequenceNumber last_sn_ = 0;
  std::uint32_t heartbeat_count_ = 0;
  std::uint64_t nackfrag_count_ = 0;
  std::uint64_t unknown_reader_count_ = 0;
  const observability::RtpsCounters* counters_;
};

}  // namespace kelvane::reliability
