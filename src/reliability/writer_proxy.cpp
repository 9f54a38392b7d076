#include "reliability/writer_proxy.hpp"

#include <algorithm>
#include <limits>

namespace kelvane::reliability {

namespace {

constexpr SequenceNumber kMaxSn = std::numeric_limits<SequenceNumber>::max();

}  // namespace

bool WriterProxyState::is_settled(SequenceNumber sn) const {
  return sn <= last_delivered || cache.contains(sn) || proxy.irrelevant.contains(sn);
}

void WriterProxyState::accept(CacheChange change) {
  const SequenceNumber sn = change.sequence_number;
  if (cache.size() >= cache.max_samples()) {
    const auto largest = cache.max_sn();
    if (!largest || *largest < sn) return;
    cache.remove(*largest);
  }
  if (!cache.insert(std::move(change))) return;
  if (sn >= proxy.first_available) proxy.highest_received = std::max(proxy.highest_received, sn);
}

void WriterProxyState::mark_irrelevant(SequenceNumber begin, SequenceNumber end) {
  if (last_delivered == kMaxSn) return;
  begin = std::max(begin, last_delivered + 1);
  if (begin >= end) return;
  proxy.irrelevant.insert(begin, end);
  const auto& pending = assembler.pending();
  for (auto it = pending.lower_bound(begin); it != pending.end() && it->first < end;) {
    const SequenceNumber sn = it->first;
    ++it;
    assembler.remove(sn);
  }
}

void WriterProxyState::apply_heartbeat(SequenceNumber first, SequenceNumber last) {
  if (proxy.first_available < first) {
    proxy.first_available = first;
    proxy.irrelevant.erase_below(first);
  }
  proxy.last_available = std::max(proxy.last_available, last);
}

void WriterProxyState::collect_in_order(std::vector<DeliveredSample>& out) {
  while (last_delivered != kMaxSn) {
    const SequenceNumber j = last_delivered + 1;
    const auto next = cache.begin();
    if (next != cache.end() && next->first == j) {
      const CacheChange& change = next->second;
      // Filtered changes hold no sample: they only keep the order.
      if (change.kind != ChangeKind::AliveFiltered) {
        out.push_back(DeliveredSample{change.payload, change.length, proxy.remote_writer_guid, j, change.kind,
                                      change.key_hash});
      }
      last_delivered = j;
      cache.remove_up_to(j);
      continue;
    }
    // Skips run in one step up to the next cached sample, so hostile ranges cost nothing.
    const SequenceNumber before_next = next != cache.end() ? next->first - 1 : kMaxSn;
    if (j < proxy.first_available) {
      last_delivered = std::min(proxy.first_available - 1, before_next);
      continue;
    }
    if (j <= proxy.last_available) {
      if (const auto end = proxy.irrelevant.range_end(j)) {
        last_delivered = std::min({*end - 1, proxy.last_available, before_next});
        continue;
      }
    }
    break;
  }
  if (last_delivered == kMaxSn) {
    assembler.remove_below(kMaxSn);
    assembler.remove(kMaxSn);
    proxy.irrelevant.erase_below(kMaxSn);
    return;
  }
  assembler.remove_below(last_delivered + 1);
  proxy.irrelevant.erase_below(last_delivered + 1);
}

MissingChanges WriterProxyState::missing_changes() const {
  MissingChanges result;
  const SequenceNumber last = proxy.last_available;
  SequenceNumber s = last_delivered == kMaxSn ? kMaxSn : std::max(proxy.first_available, last_delivered + 1);
  while (s <= last && result.missing.size() < kMaxMissingPerAckNack) {
    if (!result.missing.empty() && static_cast<std::uint64_t>(s - result.base) >= kMaxMissingPerAckNack) break;
    if (const auto end = proxy.irrelevant.range_end(s)) {
      s = *end;
      continue;
    }
    if (!cache.contains(s) && s > last_delivered) {
      if (result.missing.empty()) result.base = s;
      result.missing.push_back(s);
    }
    if (s == kMaxSn) break;
    ++s;
  }
  if (result.missing.empty()) result.base = last == kMaxSn ? kMaxSn : last + 1;
  return result;
}

}  // namespace kelvane::reliability
