#include "reliability/history_cache.hpp"

#include <algorithm>
#include <limits>

namespace kelvane::reliability {

std::expected<void, InsertRefusal> HistoryCache::insert(CacheChange change) {
  const SequenceNumber sn = change.sequence_number;
  if (changes_.contains(sn)) return std::unexpected(InsertRefusal::Duplicate);
  if (const auto* last = std::get_if<KeepLast>(&kind_)) {
    if (last->depth == 0) return std::unexpected(InsertRefusal::ZeroDepth);
    if (!changes_.empty() && changes_.size() >= std::min(max_samples_, last->depth)) {
      changes_.erase(changes_.begin());
      if (evicted_ != std::numeric_limits<std::uint64_t>::max()) ++evicted_;
    }
  } else if (changes_.size() >= max_samples_) {
    return std::unexpected(InsertRefusal::Full);
  }
  changes_.emplace_hint(changes_.end(), sn, std::move(change));
  return {};
}

void HistoryCache::remove_up_to(SequenceNumber n) {
  if (n == std::numeric_limits<SequenceNumber>::max()) {
    changes_.clear();
    return;
  }
  changes_.erase(changes_.begin(), changes_.upper_bound(n));
}

std::optional<SequenceNumber> HistoryCache::max_sn() const {
  if (changes_.empty()) return std::nullopt;
  return changes_.rbegin()->first;
}

std::optional<SequenceNumber> HistoryCache::min_sn() const {
  if (changes_.empty()) return std::nullopt;
  return changes_.begin()->first;
}

const CacheChange* HistoryCache::find(SequenceNumber n) const {
  const auto it = changes_.find(n);
  return it == changes_.end() ? nullptr : &it->second;
}

}  // namespace kelvane::reliability
