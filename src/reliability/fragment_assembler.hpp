#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "common/shared_bytes.hpp"
#include "rtps/bitmap_sets.hpp"
#include "reliability/types.hpp"

namespace kelvane::reliability {

struct AssemblerCaps {
  std::uint64_t max_pending_sns = 64;
  std::uint64_t max_sample_size = 0x100000;
  std::uint16_t max_fragment_size = 65535;
};

// Why a fragment was refused or a pending sample dropped; values are the numeric codes.
enum class RejectReason : std::uint8_t {
  SampleTooLarge = 0,
  BadFragmentSize = 1,
  ZeroStartingFragment = 2,
  BeyondLastFragment = 3,
  LengthMismatch = 4,
  SizesDiffer = 5,
  ZeroFragmentsInSubmessage = 6,
  EvictedOldest = 7,
  NoRoom = 8,
};

// The fields of one DATA_FRAG that reassembly needs.
struct FragmentInput {
  SequenceNumber sequence_number = 0;
  FragmentNumber starting_fragment = 0;
  std::uint16_t fragments_in_submessage = 0;
  std::uint16_t fragment_size = 0;
  std::uint32_t sample_size = 0;
  std::span<const std::uint8_t> bytes;
};

struct CompletedSample {
  SequenceNumber sequence_number = 0;
  SharedBytes data;
};

// One sample in assembly; the byte buffer is allocated once, zero-filled, and handed
// over on completion without a copy.
struct FragmentBuffer {
  std::shared_ptr<std::uint8_t[]> data;
  std::vector<bool> received;  // bit f - 1 for fragment f
  std::uint32_t received_count = 0;
  std::uint32_t sample_size = 0;
  std::uint32_t total_fragments = 0;
  std::uint16_t fragment_size = 0;
};

// Rebuilds fragmented samples within fixed caps, so that a remote writer cannot make
// the reader allocate without bound.
class FragmentAssembler {
 public:
  explicit FragmentAssembler(AssemblerCaps caps) : caps_(caps) {}

  // Returns the sample when this fragment completed it.
  [[nodiscard]] std::optional<CompletedSample> insert(const FragmentInput& fragment);

  // The missing fragments of a pending sample, from the first missing one and at most
  // 256 of them.
  [[nodiscard]] std::optional<rtps::FragmentNumberSet> missing_fragments(SequenceNumber sn) const;

  void remove(SequenceNumber sn) { pending_.erase(sn); }
  // Drops every pending sample with a sequence number < sn.
  void remove_below(SequenceNumber sn) { pending_.erase(pending_.begin(), pending_.lower_bound(sn)); }

  [[nodiscard]] const std::map<SequenceNumber, FragmentBuffer>& pending() const { return pending_; }
  [[nodiscard]] std::uint64_t rejected() const { return rejected_; }
  [[nodiscard]] std::optional<RejectReason> last_reason() const { return last_reason_; }

 private:
  void reject(RejectReason reason);

  AssemblerCaps caps_;
  std::map<SequenceNumber, FragmentBuffer> pending_;
  std::uint64_t rejected_ = 0;
  std::optional<RejectReason> last_reason_;
};

}  // namespace kelvane::reliability
