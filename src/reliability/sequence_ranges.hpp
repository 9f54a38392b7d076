#pragma once

#include <cstddef>
#include <map>
#include <optional>

#include "reliability/types.hpp"

namespace kelvane::reliability {

// A set of sequence numbers kept as disjoint, non-adjacent half-open ranges, so that a
// GAP naming billions of sequence numbers costs one entry. At most max_ranges entries
// are kept; a range that would need more is dropped, which only makes its members
// count as missing (and be requested again) instead of irrelevant.
class SequenceRanges {
 public:
  explicit SequenceRanges(std::size_t max_ranges) : max_ranges_(max_ranges) {}

  // Adds [begin, end); nothing for an empty range.
  void insert(SequenceNumber begin, SequenceNumber end);
  // End (exclusive) of the range holding sn.
  [[nodiscard]] std::optional<SequenceNumber> range_end(SequenceNumber sn) const;
  // Start of the first range holding a number >= sn, or nothing.
  [[nodiscard]] std::optional<SequenceNumber> next_start(SequenceNumber sn) const;
  // Forgets every number < sn.
  void erase_below(SequenceNumber sn);

  [[nodiscard]] bool contains(SequenceNumber sn) const { return range_end(sn).has_value(); }
  [[nodiscard]] std::size_t range_count() const { return ranges_.size(); }

 private:
  std::size_t max_ranges_;
  std::map<SequenceNumber, SequenceNumber> ranges_;  // begin -> end (exclusive)
};

}  // namespace kelvane::reliability
