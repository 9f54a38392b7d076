#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <expected>
#include <vector>

#include "reliability/fragment_assembler.hpp"
#include "reliability/types.hpp"
#include "reliability/writer_proxy.hpp"
#include "rtps/submessages.hpp"
#include "rtps/wire_format_error.hpp"

namespace kelvane::reliability {

struct ReliableReaderConfig {
  std::vector<WriterProxy> writer_proxies;
  std::chrono::nanoseconds heartbeat_response_delay{0};
  Guid reader_guid;
  std::size_t max_samples_per_writer = 256;
  AssemblerCaps assembler_caps;
  VendorId vendor_id = rtps::VENDORID_KELVANE;
};

// Stateful reliable reader: delivers each matched writer's samples exactly once and in
// sequence-number order, and asks for what is missing with ACKNACK and NACK_FRAG. It
// does no I/O and reads no clock; `now` is the runtime time. Submessages are matched to
// a writer by the full writer GUID: the prefix of the datagram they came in (handed in
// by the caller) and their writerId, since remote processes reuse entity ids.
class ReliableReader {
 public:
  explicit ReliableReader(ReliableReaderConfig config);

  // Appends a proxy for a newly matched writer, owing it a first ACKNACK at once. A
  // writer already matched keeps its delivery state; only its locators are updated, so
  // repeated matching never delivers a sample twice.
  void add_writer_proxy(WriterProxy proxy);
  // Drops the state of a writer that went away; true when it was matched.
  bool remove_writer_proxy(const Guid& writer_guid);

  [[nodiscard]] std::vector<DeliveredSample> handle_data(const GuidPrefix& source, const rtps::DataSubmessage& data);
  [[nodiscard]] std::vector<DeliveredSample> handle_data_frag(const GuidPrefix& source,
                                                              const rtps::DataFragSubmessage& frag,
                                                              std::chrono::nanoseconds now);
  [[nodiscard]] std::vector<DeliveredSample> handle_gap(const GuidPrefix& source, const rtps::GapSubmessage& gap);
  [[nodiscard]] std::vector<DeliveredSample> handle_heartbeat(const GuidPrefix& source,
                                                              const rtps::HeartbeatSubmessage& heartbeat,
                                                              std::chrono::nanoseconds now);

  // ACKNACK and NACK_FRAG datagrams owed to the writers whose response delay has passed.
  [[nodiscard]] std::expected<std::vector<OutboundDatagram>, rtps::WireFormatError> tick_outbound(
      std::chrono::nanoseconds now);

  [[nodiscard]] const std::vector<WriterProxyState>& writer_proxies() const { return proxies_; }
  [[nodiscard]] const Guid& reader_guid() const { return reader_guid_; }
  [[nodiscard]] std::uint64_t dropped_fragments() const { return dropped_fragments_; }
  [[nodiscard]] std::uint64_t unknown_writer() const { return unknown_writer_; }
  [[nodiscard]] std::uint32_t acknack_count() const { return acknack_count_; }
  [[nodiscard]] std::uint32_t nackfrag_count() const { return nackfrag_count_; }

 private:
  [[nodiscard]] WriterProxyState* find_or_count(const GuidPrefix& source, const EntityId& writer_id);
  [[nodiscard]] std::expected<void, rtps::WireFormatError> append_requests(WriterProxyState& w,
                                                                         std::vector<OutboundDatagram>& out);

  std::vector<WriterProxyState> proxies_;
  std::chrono::nanoseconds heartbeat_response_delay_;
  Guid reader_guid_;
  std::size_t max_samples_per_writer_;
  AssemblerCaps assembler_caps_;
  VendorId vendor_id_;
  std::uint64_t dropped_fragments_ = 0;
  std::uint64_t unknown_writer_ = 0;
  std::uint32_t acknack_count_ = 0;
  std::uint32_t nackfrag_count_ = 0;
};

}  // namespace kelvane::reliability
