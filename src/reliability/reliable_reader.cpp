#include "reliability/reliable_reader.hpp"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <memory>

#include "common/log.hpp"
#include "reliability/wrap_to_writer.hpp"

namespace kelvane::reliability {

namespace {

constexpr SequenceNumber kMaxSn = std::numeric_limits<SequenceNumber>::max();
constexpr std::size_t kStatusInfoLength = 4;
constexpr std::size_t kKeyHashLength = 16;
constexpr std::uint8_t kStatusDisposed = 0x01;
constexpr std::uint8_t kStatusUnregistered = 0x02;

void bump_saturating(std::uint64_t& counter) {
  if (counter != std::numeric_limits<std::uint64_t>::max()) ++counter;
}

// The kind a DATA announces: PID_STATUS_INFO decides whenever present (some vendors
// send disposals without the K flag); without the D flag and without a disposal there
// is no sample to hand up, only a sequence number to keep the order.
ChangeKind change_kind_of(const rtps::DataSubmessage& data) {
  ChangeKind kind = data.has_data ? ChangeKind::Alive : ChangeKind::AliveFiltered;
  if (!data.inline_qos) return kind;
  const auto status = data.inline_qos->find(rtps::PID_STATUS_INFO);
  if (!status || status->size() != kStatusInfoLength) return kind;
  const std::uint8_t flags = (*status)[3];
  const bool disposed = (flags & kStatusDisposed) != 0;
  const bool unregistered = (flags & kStatusUnregistered) != 0;
  if (disposed && unregistered) return ChangeKind::NotAliveDisposedUnregistered;
  if (disposed) return ChangeKind::NotAliveDisposed;
  if (unregistered) return ChangeKind::NotAliveUnregistered;
  return kind;
}

std::optional<KeyHash> key_hash_of(const rtps::DataSubmessage& data) {
  if (!data.inline_qos) return std::nullopt;
  const auto value = data.inline_qos->find(rtps::PID_KEY_HASH);
  if (!value || value->size() != kKeyHashLength) return std::nullopt;
  KeyHash hash{};
  std::copy(value->begin(), value->end(), hash.begin());
  return hash;
}

}  // namespace

ReliableReader::ReliableReader(ReliableReaderConfig config)
    : heartbeat_response_delay_(config.heartbeat_response_delay),
      reader_guid_(config.reader_guid),
      max_samples_per_writer_(config.max_samples_per_writer),
      assembler_caps_(config.assembler_caps),
      vendor_id_(config.vendor_id) {
  if (assembler_caps_.max_pending_sns == 0) {
    write_raw_line(STDERR_FILENO,
                   "assembler_caps.max_pending_sns must be > 0; use a Best-Effort reader or increase the cap to "
                   "actually accept fragmented samples");
    std::abort();
  }
  for (auto& proxy : config.writer_proxies) {
    proxies_.emplace_back(std::move(proxy), max_samples_per_writer_, assembler_caps_);
  }
}

void ReliableReader::add_writer_proxy(WriterProxy proxy) {
  for (auto& w : proxies_) {
    if (w.proxy.remote_writer_guid == proxy.remote_writer_guid) {
      w.proxy.locators = std::move(proxy.locators);
      return;
    }
  }
  auto& added = proxies_.emplace_back(std::move(proxy), max_samples_per_writer_, assembler_caps_);
  added.acknowledgement_due = std::chrono::nanoseconds{0};
}

bool ReliableReader::remove_writer_proxy(const Guid& writer_guid) {
  return std::erase_if(proxies_, [&](const WriterProxyState& w) { return w.proxy.remote_writer_guid == writer_guid; }) >
         0;
}

WriterProxyState* ReliableReader::find_or_count(const GuidPrefix& source, const EntityId& writer_id) {
  const Guid guid{source, writer_id};
  for (auto& w : proxies_) {
    if (w.proxy.remote_writer_guid == guid) return &w;
  }
  bump_saturating(unknown_writer_);
  return nullptr;
}

std::vector<DeliveredSample> ReliableReader::handle_data(const GuidPrefix& source, const rtps::DataSubmessage& data) {
  std::vector<DeliveredSample> out;
  WriterProxyState* w = find_or_count(source, data.writer_id);
  if (w == nullptr || w->is_settled(data.writer_sn)) return out;
  SharedBytes payload = rtps::without_payload_padding(data.serialized_payload);
  const std::size_t length = payload.size();
  w->accept(CacheChange{std::move(payload), length, data.writer_sn, change_kind_of(data), key_hash_of(data)});
  w->collect_in_order(out);
  return out;
}

std::vector<DeliveredSample> ReliableReader::handle_data_frag(const GuidPrefix& source,
                                                              const rtps::DataFragSubmessage& frag,
                                                              std::chrono::nanoseconds now) {
  std::vector<DeliveredSample> out;
  WriterProxyState* w = find_or_count(source, frag.writer_id);
  if (w == nullptr) return out;
  if (w->is_settled(frag.writer_sn)) {
    bump_saturating(dropped_fragments_);
    return out;
  }
  auto done = w->assembler.insert(FragmentInput{frag.writer_sn, frag.fragment_starting_num,
                                                frag.fragments_in_submessage, frag.fragment_size, frag.sample_size,
                                                frag.fragment_data.span()});
  if (done) {
    SharedBytes payload = rtps::without_payload_padding(done->data);
    const std::size_t length = payload.size();
    w->accept(CacheChange{std::move(payload), length, frag.writer_sn, ChangeKind::Alive, std::nullopt});
    w->collect_in_order(out);
  }
  if (!w->assembler.pending().empty() && !w->acknowledgement_due) w->acknowledgement_due = now;
  return out;
}

std::vector<DeliveredSample> ReliableReader::handle_gap(const GuidPrefix& source, const rtps::GapSubmessage& gap) {
  std::vector<DeliveredSample> out;
  WriterProxyState* w = find_or_count(source, gap.writer_id);
  if (w == nullptr) return out;
  w->mark_irrelevant(gap.gap_start, gap.gap_list.bitmap_base);
  // Consecutive members are marked as one range.
  std::optional<std::pair<SequenceNumber, SequenceNumber>> run;
  gap.gap_list.for_each([&](SequenceNumber sn) {
    if (sn == kMaxSn) return;
    if (run && run->second == sn) {
      run->second = sn + 1;
      return;
    }
    if (run) w->mark_irrelevant(run->first, run->second);
    run = std::pair{sn, sn + 1};
  });
  if (run) w->mark_irrelevant(run->first, run->second);
  w->collect_in_order(out);
  return out;
}

std::vector<DeliveredSample> ReliableReader::handle_heartbeat(const GuidPrefix& source,
                                                              const rtps::HeartbeatSubmessage& heartbeat,
                                                              std::chrono::nanoseconds now) {
  std::vector<DeliveredSample> out;
  WriterProxyState* w = find_or_count(source, heartbeat.writer_id);
  if (w == nullptr || heartbeat.liveliness_flag) return out;
  w->apply_heartbeat(heartbeat.first_sn, heartbeat.last_sn);
  w->collect_in_order(out);
  const bool owed =
      !heartbeat.final_flag || !w->missing_changes().missing.empty() || !w->assembler.pending().empty();
  if (owed && !w->acknowledgement_due) w->acknowledgement_due = now;
  return out;
}

std::expected<void, rtps::WireFormatError> ReliableReader::append_requests(WriterProxyState& w,
                                                                         std::vector<OutboundDatagram>& out) {
  const Guid& writer = w.proxy.remote_writer_guid;
  const auto targets = std::make_shared<const std::vector<Locator>>(w.proxy.locators);
  for (const auto& [sn, buffer] : w.assembler.pending()) {
    ++nackfrag_count_;
    const rtps::NackFragSubmessage nack{reader_guid_.entity_id, writer.entity_id, sn,
                                        w.assembler.missing_fragments(sn).value_or(rtps::FragmentNumberSet{}),
                                        nackfrag_count_};
    auto datagram = wrap_to_writer(reader_guid_.prefix, vendor_id_, writer.prefix, rtps::SUBMESSAGE_NACK_FRAG,
                                   nack.write_body(true), targets);
    if (!datagram) return std::unexpected(datagram.error());
    out.push_back(std::move(*datagram));
  }
  const MissingChanges missing = w.missing_changes();
  rtps::AckNackSubmessage acknack;
  acknack.reader_id = reader_guid_.entity_id;
  acknack.writer_id = writer.entity_id;
  acknack.reader_sn_state.bitmap_base = missing.base;
  for (const SequenceNumber sn : missing.missing) acknack.reader_sn_state.add(sn);
  acknack.count = ++acknack_count_;
  acknack.final_flag = missing.missing.empty() && w.proxy.last_available > 0;
  auto datagram = wrap_to_writer(reader_guid_.prefix, vendor_id_, writer.prefix, rtps::SUBMESSAGE_ACKNACK,
                                 acknack.write_body(true), targets);
  if (!datagram) return std::unexpected(datagram.error());
  out.push_back(std::move(*datagram));
  return {};
}

std::expected<std::vector<OutboundDatagram>, rtps::WireFormatError> ReliableReader::tick_outbound(
    std::chrono::nanoseconds now) {
  std::vector<OutboundDatagram> out;
  for (auto& w : proxies_) {
    if (!w.acknowledgement_due) continue;
    const auto elapsed = std::max(now - *w.acknowledgement_due, std::chrono::nanoseconds{0});
    if (elapsed < heartbeat_response_delay_) continue;
    w.acknowledgement_due.reset();
    if (auto appended = append_requests(w, out); !appended) return std::unexpected(appended.error());
  }
  return out;
}

}  // namespace kelvane::reliability
