#include "observability/metrics.hpp"

#include <algorithm>

namespace kelvane::observability {

void Histogram::observe(std::uint64_t nanos) {
  ++count;
  sum += nanos;
  min = std::min(min, nanos);
  max = std::max(max, nanos);
  const double seconds = static_cast<double>(nanos) / 1e9;
  for (std::size_t i = 0; i < kBuckets; ++i) {
    if (seconds <= kUpperBoundsSeconds[i]) {
      ++buckets[i];
      return;
    }
  }
}

}  // namespace kelvane::observability
