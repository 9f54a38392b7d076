#include "reliability/sequence_ranges.hpp"

#include <algorithm>
#include <iterator>

namespace kelvane::reliability {

void SequenceRanges::insert(SequenceNumber begin, SequenceNumber end) {
  if (begin >= end) return;
  // Merge with every range that overlaps or touches [begin, end).
  auto first = ranges_.upper_bound(begin);
  if (first != ranges_.begin() && std::prev(first)->second >= begin) --first;
  auto last = first;
  while (last != ranges_.end() && last->first <= end) {
    begin = std::min(begin, last->first);
    end = std::max(end, last->second);
    ++last;
  }
  if (first == last && ranges_.size() >= max_ranges_) return;
  ranges_.erase(first, last);
  ranges_.emplace(begin, end);
}

std::optional<SequenceNumber> SequenceRanges::range_end(SequenceNumber sn) const {
  auto it = ranges_.upper_bound(sn);
  if (it == ranges_.begin()) return std::nullopt;
  --it;
  if (sn < it->second) return it->second;
  return std::nullopt;
}

std::optional<SequenceNumber> SequenceRanges::next_start(SequenceNumber sn) const {
  if (range_end(sn)) return sn;
  const auto it = ranges_.upper_bound(sn);
  if (it == ranges_.end()) return std::nullopt;
  return it->first;
}

void SequenceRanges::erase_below(SequenceNumber sn) {
  auto it = ranges_.begin();
  while (it != ranges_.end() && it->first < sn) {
    if (it->second > sn) {
      const SequenceNumber end = it->second;
      ranges_.erase(it);
      ranges_.emplace(sn, end);
      return;
    }
    it = ranges_.erase(it);
  }
}

}  // namespace kelvane::reliability
