#pragma once

#include <cstdint>

namespace kelvane::builtin_data {

// RTPS Duration_t: seconds and 1/2^32 fractions of a second.
struct Duration {
  std::int32_t seconds = 0;
  std::uint32_t fraction = 0;

  friend bool operator==(const Duration&, const Duration&) = default;
};

inline constexpr Duration DURATION_INFINITE{0x7FFFFFFF, 0xFFFFFFFF};
// 100 ms, the default maximum blocking time of a reliable writer.
inline constexpr Duration DEFAULT_MAX_BLOCKING_TIME{0, 0x19999999};
inline constexpr Duration DEFAULT_PARTICIPANT_LEASE_DURATION{100, 0};

enum class DurabilityKind : std::uint32_t { Volatile = 0, TransientLocal = 1, Transient = 2, Persistent = 3 };
enum class ReliabilityKind : std::uint32_t { BestEffort = 1, Reliable = 2 };
enum class OwnershipKind : std::uint32_t { Shared = 0, Exclusive = 1 };
enum class LivelinessKind : std::uint32_t { Automatic = 0, ManualByParticipant = 1, ManualByTopic = 2 };

struct ReliabilityQos {
  ReliabilityKind kind = ReliabilityKind::BestEffort;
  Duration max_blocking_time = DEFAULT_MAX_BLOCKING_TIME;

  friend bool operator==(const ReliabilityQos&, const ReliabilityQos&) = default;
};

struct LivelinessQos {
  LivelinessKind kind = LivelinessKind::Automatic;
  Duration lease_duration = DURATION_INFINITE;

  friend bool operator==(const LivelinessQos&, const LivelinessQos&) = default;
};

}  // namespace kelvane::builtin_data
