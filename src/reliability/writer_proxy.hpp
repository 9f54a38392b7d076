#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <vector>

#include "reliability/fragment_assembler.hpp"
#include "reliability/history_cache.hpp"
#include "reliability/sequence_ranges.hpp"
#include "reliability/types.hpp"

namespace kelvane::reliability {

// Most disjoint irrelevant ranges remembered per writer; beyond it GAPs are forgotten
// and their sequence numbers requested again.
inline constexpr std::size_t kMaxIrrelevantRanges = 1024;
// Most missing sequence numbers named by one ACKNACK.
inline constexpr std::size_t kMaxMissingPerAckNack = 256;

// A matched remote writer as described by discovery, with what this reader knows of
// its sequence numbers.
struct WriterProxy {
  std::vector<Locator> locators;
  Guid remote_writer_guid;
  SequenceNumber first_available = 1;
  SequenceNumber last_available = 0;
  SequenceNumber highest_received = 0;
  SequenceRanges irrelevant{kMaxIrrelevantRanges};
};

struct DeliveredSample {
  SharedBytes payload;
  std::size_t length = 0;
  Guid writer_guid;
  SequenceNumber sequence_number = 0;
  ChangeKind kind = ChangeKind::Alive;
  std::optional<KeyHash> key_hash;
};

// The missing changes to name in an ACKNACK: base and the missing sequence numbers
// within base ... base + 255, ascending.
struct MissingChanges {
  SequenceNumber base = 0;
  std::vector<SequenceNumber> missing;
};

// Reader-side state of one matched writer. Received but undelivered samples wait in
// the cache; the cache's keys are the received set. Everything at or below last
// delivered is settled, so received and irrelevant numbers there are forgotten.
struct WriterProxyState {
  WriterProxyState(WriterProxy writer, std::size_t max_samples, AssemblerCaps caps)
      : cache(KeepAll{}, max_samples), proxy(std::move(writer)), assembler(caps) {}

  HistoryCache cache;
  WriterProxy proxy;
  std::optional<std::chrono::nanoseconds> acknowledgement_due;
  FragmentAssembler assembler;
  SequenceNumber last_delivered = 0;

  // True when sn was received, declared irrelevant or already delivered.
  [[nodiscard]] bool is_settled(SequenceNumber sn) const;
  // Stores a received change that is not settled. A full cache gives way to a change
  // below its largest one, so the next sample in order always finds room; a change
  // that does not fit stays missing and is requested again.
  void accept(CacheChange change);
  // Marks [begin, end) irrelevant and drops any partly assembled sample in it.
  void mark_irrelevant(SequenceNumber begin, SequenceNumber end);
  void apply_heartbeat(SequenceNumber first, SequenceNumber last);
  // Appends every sample deliverable in order and forgets what got settled.
  void collect_in_order(std::vector<DeliveredSample>& out);
  [[nodiscard]] MissingChanges missing_changes() const;
};

}  // namespace kelvane::reliability
