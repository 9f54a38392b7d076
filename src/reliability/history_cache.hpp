#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <expected>
#include <map>
#include <optional>
#include <variant>

#include "common/shared_bytes.hpp"
#include "reliability/types.hpp"

namespace kelvane::reliability {

// RTPS change kinds, with their wire values.
enum class ChangeKind : std::uint8_t {
  Alive = 0,
  AliveFiltered = 1,
  NotAliveDisposed = 2,
  NotAliveUnregistered = 3,
  NotAliveDisposedUnregistered = 4,
};

using KeyHash = std::array<std::uint8_t, 16>;

// One sample as sent or received (encapsulation header included). Copying a change
// shares the payload bytes.
struct CacheChange {
  SharedBytes payload;
  std::size_t length = 0;
  SequenceNumber sequence_number = 0;
  ChangeKind kind = ChangeKind::Alive;
  std::optional<KeyHash> key_hash;
};

struct KeepLast {
  std::size_t depth = 0;
};
struct KeepAll {};
using HistoryKind = std::variant<KeepLast, KeepAll>;

enum class InsertRefusal : std::uint8_t { Duplicate, Full, ZeroDepth };

// Changes ordered by sequence number under a keep-last or keep-all policy and a
// sample limit.
class HistoryCache {
 public:
  using Map = std::map<SequenceNumber, CacheChange>;

  HistoryCache(HistoryKind kind, std::size_t max_samples) : kind_(kind), max_samples_(max_samples) {}

  // Keep-last evicts the oldest change to make room; keep-all refuses when full. A held
  // sequence number is refused before the history rule applies, so it never evicts.
  [[nodiscard]] std::expected<void, InsertRefusal> insert(CacheChange change);

  // Removes every change with a sequence number <= n.
  void remove_up_to(SequenceNumber n);
  // Removes the change with sequence number n, if held.
  void remove(SequenceNumber n) { changes_.erase(n); }

  [[nodiscard]] std::optional<SequenceNumber> max_sn() const;
  [[nodiscard]] std::optional<SequenceNumber> min_sn() const;
  [[nodiscard]] const CacheChange* find(SequenceNumber n) const;
  [[nodiscard]] bool contains(SequenceNumber n) const { return changes_.contains(n); }

  [[nodiscard]] std::size_t size() const { return changes_.size(); }
  [[nodiscard]] bool empty() const { return changes_.empty(); }
  [[nodiscard]] std::size_t max_samples() const { return max_samples_; }
  [[nodiscard]] std::uint64_t evicted() const { return evicted_; }
  [[nodiscard]] const HistoryKind& kind() const { return kind_; }

  [[nodiscard]] Map::const_iterator begin() const { return changes_.begin(); }
  [[nodiscard]] Map::const_iterator end() const { return changes_.end(); }

 private:
  HistoryKind kind_;
  std::size_t max_samples_;
  Map changes_;
  std::uint64_t evicted_ = 0;
};

}  // namespace kelvane::reliability
