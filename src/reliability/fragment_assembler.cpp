#include "reliability/fragment_assembler.hpp"

#include <algorithm>
#include <cstring>
#include <limits>

namespace kelvane::reliability {

namespace {

// Fast DDS pads every submessage to 4 bytes, so the fragment that ends a sample may
// carry up to this many bytes past the sample's end.
constexpr std::uint64_t kFinalFragmentPadding = 3;

}  // namespace

void FragmentAssembler::reject(RejectReason reason) {
  if (rejected_ != std::numeric_limits<std::uint64_t>::max()) ++rejected_;
  last_reason_ = reason;
}

std::optional<CompletedSample> FragmentAssembler::insert(const FragmentInput& f) {
  const std::uint16_t g = f.fragment_size;
  // Written as g - 1 < cap in 16-bit arithmetic: g = 0 wraps and is refused with any cap.
  if (static_cast<std::uint16_t>(g - 1) >= caps_.max_fragment_size) {
    reject(RejectReason::BadFragmentSize);
    return std::nullopt;
  }
  if (f.fragments_in_submessage == 0) {
    reject(RejectReason::ZeroFragmentsInSubmessage);
    return std::nullopt;
  }
  const std::uint64_t n = f.sample_size;
  if (n > caps_.max_sample_size) {
    reject(RejectReason::SampleTooLarge);
    return std::nullopt;
  }
  if (f.starting_fragment == 0) {
    reject(RejectReason::ZeroStartingFragment);
    return std::nullopt;
  }
  const std::uint64_t first = f.starting_fragment;
  const std::uint64_t last = std::min<std::uint64_t>(first + f.fragments_in_submessage - 1, 0xFFFFFFFFu);
  const std::uint64_t total = (n + g - 1) / g;
  if (last > total) {
    reject(RejectReason::BeyondLastFragment);
    return std::nullopt;
  }

  auto it = pending_.find(f.sequence_number);
  if (it != pending_.end() && (it->second.sample_size != n || it->second.fragment_size != g)) {
    reject(RejectReason::SizesDiffer);
    return std::nullopt;
  }
  const std::uint64_t last_size = last == total ? n - std::uint64_t{g} * (total - 1) : g;
  const std::uint64_t expected = (last - first) * g + last_size;
  const std::uint64_t offset = (first - 1) * g;
  const std::uint64_t length = f.bytes.size();
  const bool padded_final = last == total && length > expected && length - expected <= kFinalFragmentPadding;
  if ((length != expected && !padded_final) || offset + expected > n) {
    reject(RejectReason::LengthMismatch);
    return std::nullopt;
  }

  if (it == pending_.end()) {
    if (pending_.size() >= caps_.max_pending_sns) {
      if (pending_.empty()) {
        reject(RejectReason::NoRoom);
        return std::nullopt;
      }
      pending_.erase(pending_.begin());
      reject(RejectReason::EvictedOldest);
    }
    FragmentBuffer buffer;
    buffer.data = std::make_shared<std::uint8_t[]>(n);
    buffer.received.assign(total, false);
    buffer.sample_size = static_cast<std::uint32_t>(n);
    buffer.total_fragments = static_cast<std::uint32_t>(total);
    buffer.fragment_size = g;
    it = pending_.emplace(f.sequence_number, std::move(buffer)).first;
  }

  FragmentBuffer& buffer = it->second;
  if (expected > 0) std::memcpy(buffer.data.get() + offset, f.bytes.data(), expected);
  for (std::uint64_t k = first; k <= last; ++k) {
    if (!buffer.received[k - 1]) {
      buffer.received[k - 1] = true;
      ++buffer.received_count;
    }
  }
  if (buffer.total_fragments == 0 || buffer.received_count < buffer.total_fragments) return std::nullopt;
  CompletedSample done{f.sequence_number, SharedBytes::adopt(std::move(buffer.data), buffer.sample_size)};
  pending_.erase(it);
  return done;
}

std::optional<rtps::FragmentNumberSet> FragmentAssembler::missing_fragments(SequenceNumber sn) const {
  const auto it = pending_.find(sn);
  if (it == pending_.end()) return std::nullopt;
  const FragmentBuffer& buffer = it->second;
  rtps::FragmentNumberSet set;
  bool first = true;
  for (std::uint32_t k = 0; k < buffer.total_fragments; ++k) {
    if (buffer.received[k]) continue;
    if (first) {
      set.bitmap_base = k + 1;
      first = false;
    }
    if (!set.add(k + 1)) break;
  }
  return set;
}

}  // namespace kelvane::reliability
