#include "reliability/reliable_writer.hpp"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <string_view>

#include "common/log.hpp"

namespace kelvane::reliability {

namespace {

constexpr SequenceNumber kMaxSn = std::numeric_limits<SequenceNumber>::max();
constexpr SequenceNumber kMinSn = std::numeric_limits<SequenceNumber>::min();
constexpr std::size_t kMinMtu = rtps::RTPS_HEADER_SIZE;
constexpr std::uint64_t kMaxSampleSize = std::numeric_limits<std::uint32_t>::max();
constexpr std::uint64_t kMaxFragmentSize = std::numeric_limits<std::uint16_t>::max();
constexpr std::uint8_t kCdrLeIdentifier = 0x01;

using rtps::WireFormatError;

std::unexpected<WireFormatError> fail(std::string_view text) {
  return std::unexpected(WireFormatError(WireFormatError::ValueOutOfRange{text}));
}

[[noreturn]] void panic(std::string_view text) {
  write_raw_line(STDERR_FILENO, text);
  std::abort();
}

void bump_saturating(std::uint64_t& counter) {
  if (counter != std::numeric_limits<std::uint64_t>::max()) ++counter;
}

std::uint64_t fragment_count(std::uint64_t length, std::uint64_t fragment_size) {
  return (length + fragment_size - 1) / fragment_size;
}

// GAP for the single sequence number sn.
rtps::SubmessageBody gap_body(SequenceNumber sn, const EntityId& reader_id, const EntityId& writer_id) {
  rtps::GapSubmessage gap;
  gap.reader_id = reader_id;
  gap.writer_id = writer_id;
  gap.gap_start = sn;
  gap.gap_list.bitmap_base = sn == kMaxSn ? kMaxSn : sn + 1;
  return gap.write_body(true);
}

}  // namespace

ReliableWriter::ReliableWriter(ReliableWriterConfig config)
    : history_(config.history_kind, config.max_samples),
      heartbeat_period_(config.heartbeat_period),
      writer_guid_(config.writer_guid),
      vendor_id_(config.vendor_id),
      mtu_(config.mtu),
      fragment_size_(config.fragment_size),
      counters_(&observability::rtps_counters()) {
  if (fragment_size_ == 0) panic("fragment_size must be > 0");
  if (mtu_ < kMinMtu) panic("mtu must accommodate RTPS header");
  for (auto& proxy : config.reader_proxies) add_reader_proxy(std::move(proxy));
  last_heartbeat_.reset();
}

void ReliableWriter::refresh_targets(std::size_t index) {
  const ReaderProxy& proxy = proxies_[index];
  targets_[index] = std::make_shared<const LocatorList>(proxy.preferred_locators.empty() ? proxy.locators
                                                                                         : proxy.preferred_locators);
}

void ReliableWriter::add_reader_proxy(ReaderProxy proxy) {
  last_heartbeat_.reset();
  for (std::size_t i = 0; i < proxies_.size(); ++i) {
    ReaderProxy& held = proxies_[i];
    if (held.remote_reader_guid != proxy.remote_reader_guid) continue;
    held.locators = std::move(proxy.locators);
    held.preferred_locators = std::move(proxy.preferred_locators);
    held.data_representation = proxy.data_representation;
    held.flag = proxy.flag;
    refresh_targets(i);
    return;
  }
  proxies_.push_back(std::move(proxy));
  targets_.emplace_back();
  refresh_targets(proxies_.size() - 1);
}

bool ReliableWriter::remove_reader_proxy(const Guid& reader_guid) {
  for (std::size_t i = 0; i < proxies_.size(); ++i) {
    if (proxies_[i].remote_reader_guid != reader_guid) continue;
    proxies_.erase(proxies_.begin() + static_cast<std::ptrdiff_t>(i));
    targets_.erase(targets_.begin() + static_cast<std::ptrdiff_t>(i));
    return true;
  }
  return false;
}

ReaderProxy* ReliableWriter::find_or_count(const Guid& reader_guid) {
  for (auto& proxy : proxies_) {
    if (proxy.remote_reader_guid == reader_guid) return &proxy;
  }
  bump_saturating(unknown_reader_count_);
  return nullptr;
}

SharedBytes ReliableWriter::payload_for(const ReaderProxy& proxy, const SharedBytes& payload) const {
  if (proxy.data_representation != DATA_REPRESENTATION_XCDR1 || payload.size() < 4 ||
      payload.span()[1] == kCdrLeIdentifier) {
    return payload;
  }
  auto copy = std::make_shared_for_overwrite<std::uint8_t[]>(payload.size());
  std::copy(payload.span().begin(), payload.span().end(), copy.get());
  copy[1] = kCdrLeIdentifier;
  return SharedBytes::adopt(std::move(copy), payload.size());
}

std::expected<OutboundDatagram, WireFormatError> ReliableWriter::fragment_datagram(
    SequenceNumber sn, const SharedBytes& payload, FragmentNumber number, const EntityId& reader_id,
    const std::shared_ptr<const LocatorList>& targets) const {
  if (number == 0) return fail("fragment number must be >= 1");
  const std::uint64_t offset = std::uint64_t{number - 1} * fragment_size_;
  if (offset >= payload.size()) return fail("fragment number beyond sample");
  if (payload.size() > kMaxSampleSize) return fail("sample size exceeds u32::MAX");
  if (fragment_size_ > kMaxFragmentSize) return fail("fragment_size exceeds u16::MAX");
  rtps::DataFragSubmessage frag;
  frag.reader_id = reader_id;
  frag.writer_id = writer_guid_.entity_id;
  frag.writer_sn = sn;
  frag.fragment_starting_num = number;
  frag.fragments_in_submessage = 1;
  frag.fragment_size = static_cast<std::uint16_t>(fragment_size_);
  frag.sample_size = static_cast<std::uint32_t>(payload.size());
  frag.fragment_data = payload.slice(offset, fragment_size_);
  rtps::MessageBuilder builder(writer_guid_.prefix, vendor_id_, mtu_, targets);
  if (!builder.append_record(rtps::SUBMESSAGE_DATA_FRAG, frag)) return fail(rtps::kDataFragDoesNotFitText);
  auto datagram = std::move(builder).finish();
  if (!datagram) return fail(rtps::kFinishReturnedNothingText);
  return std::move(*datagram);
}

std::expected<void, WireFormatError> ReliableWriter::append_sample_datagrams(
    SequenceNumber sn, const SharedBytes& payload, const EntityId& reader_id,
    const std::shared_ptr<const LocatorList>& targets, std::vector<OutboundDatagram>& out) const {
  if (payload.size() <= fragment_size_) {
    rtps::DataSubmessage data;
    data.reader_id = reader_id;
    data.writer_id = writer_guid_.entity_id;
    data.writer_sn = sn;
    data.serialized_payload = payload;
    rtps::MessageBuilder builder(writer_guid_.prefix, vendor_id_, mtu_, targets);
    if (!builder.append_record(rtps::SUBMESSAGE_DATA, data)) return fail(rtps::kDataDoesNotFitText);
    auto datagram = std::move(builder).finish();
    if (!datagram) return fail(rtps::kFinishReturnedNothingText);
    out.push_back(std::move(*datagram));
    return {};
  }
  if (payload.size() > kMaxSampleSize) return fail("sample size exceeds u32::MAX");
  if (fragment_size_ > kMaxFragmentSize) return fail("fragment_size exceeds u16::MAX");
  const std::uint64_t total = fragment_count(payload.size(), fragment_size_);
  if (total > std::numeric_limits<FragmentNumber>::max()) return fail("fragment number overflow");
  for (std::uint64_t number = 1; number <= total; ++number) {
    auto datagram = fragment_datagram(sn, payload, static_cast<FragmentNumber>(number), reader_id, targets);
    if (!datagram) return std::unexpected(datagram.error());
    out.push_back(std::move(*datagram));
  }
  return {};
}

std::expected<OutboundDatagram, WireFormatError> ReliableWriter::gap_datagram(
    SequenceNumber sn, const EntityId& reader_id, const std::shared_ptr<const LocatorList>& targets) const {
  const auto body = gap_body(sn, reader_id, writer_guid_.entity_id);
  return rtps::single_submessage_datagram(writer_guid_.prefix, vendor_id_, mtu_, targets, rtps::SUBMESSAGE_GAP,
                                          body.flags, body.bytes, rtps::kGapDoesNotFitText);
}

std::expected<void, WireFormatError> ReliableWriter::append_heartbeat(rtps::DatagramPacker& packer,
                                                                    const ReaderProxy& proxy, SequenceNumber first) {
  counters_->heartbeats_sent->inc();
  ++heartbeat_count_;
  rtps::HeartbeatSubmessage heartbeat;
  heartbeat.reader_id = proxy.remote_reader_guid.entity_id;
  heartbeat.writer_id = writer_guid_.entity_id;
  heartbeat.first_sn = first;
  heartbeat.last_sn = history_.max_sn().value_or(0);
  heartbeat.count = heartbeat_count_;
  const auto body = heartbeat.write_body(true);
  return packer.append(rtps::SUBMESSAGE_HEARTBEAT, body.flags, body.bytes);
}

SequenceNumber ReliableWriter::heartbeat_first_for(const ReaderProxy& proxy) const {
  const SequenceNumber after_ack = proxy.highest_acknowledged == kMaxSn ? kMaxSn : proxy.highest_acknowledged + 1;
  return std::max(history_.min_sn().value_or(0), after_ack);
}

Datagrams ReliableWriter::write(std::span<const std::uint8_t> payload) {
  if (last_sn_ == kMaxSn) return fail("sequence number overflow");
  const SequenceNumber sn = ++last_sn_;
  const SharedBytes stored = SharedBytes::copy_of(payload);
  if (!history_.insert(CacheChange{stored, stored.size(), sn, ChangeKind::Alive, std::nullopt})) {
    return fail("history cache full or duplicate");
  }
  std::vector<OutboundDatagram> out;
  for (std::size_t i = 0; i < proxies_.size(); ++i) {
    ReaderProxy& proxy = proxies_[i];
    if (proxy.highest_sent >= sn) continue;
    // A proxy further behind is not sent anything here; it catches up through repair.
    if (++proxy.highest_sent != sn) continue;
    auto sent = append_sample_datagrams(sn, payload_for(proxy, stored), proxy.remote_reader_guid.entity_id,
                                        targets_[i], out);
    if (!sent) return std::unexpected(sent.error());
  }
  return out;
}

Datagrams ReliableWriter::write_with_heartbeat(std::span<const std::uint8_t> payload, std::chrono::nanoseconds now) {
  auto out = write(payload);
  if (!out || history_.empty()) return out;
  for (std::size_t i = 0; i < proxies_.size(); ++i) {
    rtps::DatagramPacker packer(writer_guid_.prefix, vendor_id_, mtu_, targets_[i]);
    if (auto appended = append_heartbeat(packer, proxies_[i], heartbeat_first_for(proxies_[i])); !appended) {
      return std::unexpected(appended.error());
    }
    for (auto& datagram : std::move(packer).finish()) out->push_back(std::move(datagram));
  }
  last_heartbeat_ = now;
  return out;
}

std::expected<void, WireFormatError> ReliableWriter::repair_fragments(
    ReaderProxy& proxy, const std::shared_ptr<const LocatorList>& targets, std::vector<OutboundDatagram>& out) {
  auto& requests = proxy.requested_fragments;
  while (!requests.empty()) {
    auto entry = requests.begin();
    const SequenceNumber sn = entry->first;
    const CacheChange* change = history_.find(sn);
    if (change == nullptr) {
      // One GAP answers every fragment asked for of a sample that is gone.
      requests.erase(entry);
      auto gap = gap_datagram(sn, proxy.remote_reader_guid.entity_id, targets);
      if (!gap) return std::unexpected(gap.error());
      out.push_back(std::move(*gap));
      continue;
    }
    const FragmentNumber number = *entry->second.begin();
    entry->second.erase(entry->second.begin());
    if (entry->second.empty()) requests.erase(entry);
    counters_->retransmits->inc();
    counters_->fragmented_samples->inc();
    auto datagram = fragment_datagram(sn, payload_for(proxy, change->payload), number,
                                      proxy.remote_reader_guid.entity_id, targets);
    if (!datagram) return std::unexpected(datagram.error());
    out.push_back(std::move(*datagram));
  }
  return {};
}

std::expected<void, WireFormatError> ReliableWriter::repair_changes(ReaderProxy& proxy,
                                                                  const std::shared_ptr<const LocatorList>& targets,
                                                                  rtps::DatagramPacker& packer,
                                                                  std::vector<OutboundDatagram>& out) {
  while (!proxy.requested_changes.empty()) {
    const SequenceNumber sn = *proxy.requested_changes.begin();
    proxy.requested_changes.erase(proxy.requested_changes.begin());
    counters_->retransmits->inc();
    const CacheChange* change = history_.find(sn);
    if (change == nullptr) {
      const auto body = gap_body(sn, proxy.remote_reader_guid.entity_id, writer_guid_.entity_id);
      if (auto appended = packer.append(rtps::SUBMESSAGE_GAP, body.flags, body.bytes); !appended) return appended;
      continue;
    }
    const SharedBytes payload = payload_for(proxy, change->payload);
    if (payload.size() > fragment_size_) {
      for (auto& datagram : std::move(packer).finish()) out.push_back(std::move(datagram));
      packer = rtps::DatagramPacker(writer_guid_.prefix, vendor_id_, mtu_, targets);
      auto sent = append_sample_datagrams(sn, payload, proxy.remote_reader_guid.entity_id, targets, out);
      if (!sent) return sent;
      continue;
    }
    rtps::DataSubmessage data;
    data.reader_id = proxy.remote_reader_guid.entity_id;
    data.writer_id = writer_guid_.entity_id;
    data.writer_sn = sn;
    data.serialized_payload = payload;
    if (auto appended = packer.append_record(rtps::SUBMESSAGE_DATA, data); !appended) return appended;
  }
  return {};
}

Datagrams ReliableWriter::tick(std::chrono::nanoseconds now) {
  const bool heartbeat_due =
      !history_.empty() &&
      (!last_heartbeat_ || std::max(now - *last_heartbeat_, std::chrono::nanoseconds{0}) >= heartbeat_period_);
  std::vector<OutboundDatagram> out;
  for (std::size_t i = 0; i < proxies_.size(); ++i) {
    ReaderProxy& proxy = proxies_[i];
    const auto& targets = targets_[i];
    if (auto repaired = repair_fragments(proxy, targets, out); !repaired) return std::unexpected(repaired.error());
    rtps::DatagramPacker packer(writer_guid_.prefix, vendor_id_, mtu_, targets);
    if (auto repaired = repair_changes(proxy, targets, packer, out); !repaired) {
      return std::unexpected(repaired.error());
    }
    if (heartbeat_due) {
      if (auto appended = append_heartbeat(packer, proxy, heartbeat_first_for(proxy)); !appended) {
        return std::unexpected(appended.error());
      }
    }
    for (auto& datagram : std::move(packer).finish()) out.push_back(std::move(datagram));
  }
  if (heartbeat_due && !proxies_.empty()) last_heartbeat_ = now;
  return out;
}

void ReliableWriter::handle_acknack(const Guid& reader_guid, SequenceNumber base,
                                    std::span<const SequenceNumber> requested) {
  counters_->acknacks_received->inc();
  ReaderProxy* proxy = find_or_count(reader_guid);
  if (proxy == nullptr) return;
  // A reader cannot acknowledge what was never written.
  const SequenceNumber acked = std::min(base == kMinSn ? kMinSn : base - 1, last_sn_);
  proxy->highest_acknowledged = std::max(proxy->highest_acknowledged, acked);
  const SequenceNumber ha = proxy->highest_acknowledged;
  std::erase_if(proxy->requested_changes, [&](SequenceNumber sn) { return sn <= ha; });
  proxy->requested_fragments.erase(proxy->requested_fragments.begin(), proxy->requested_fragments.upper_bound(ha));
  for (const SequenceNumber sn : requested) {
    // Requests beyond the last write would be answered with GAPs that wipe out the
    // samples still to come.
    if (sn > ha && sn <= last_sn_) proxy->requested_changes.insert(sn);
  }
}

void ReliableWriter::handle_nackfrag(const Guid& reader_guid, const rtps::NackFragSubmessage& nackfrag) {
  if (nackfrag.writer_id != writer_guid_.entity_id) return;
  ReaderProxy* proxy = find_or_count(reader_guid);
  if (proxy == nullptr) return;
  ++nackfrag_count_;
  const SequenceNumber sn = nackfrag.writer_sn;
  if (proxy->highest_acknowledged >= sn || sn > last_sn_) return;
  // Fragment numbers the sample does not have are dropped here, so that they cannot
  // fail a later tick for every reader.
  const CacheChange* change = history_.find(sn);
  const std::uint64_t total = change == nullptr ? 1 : fragment_count(change->payload.size(), fragment_size_);
  std::set<FragmentNumber> wanted;
  nackfrag.fragment_number_state.for_each([&](FragmentNumber number) {
    if (number >= 1 && number <= total) wanted.insert(number);
  });
  if (wanted.empty()) return;
  proxy->requested_fragments[sn].merge(wanted);
}

}  // namespace kelvane::reliability
