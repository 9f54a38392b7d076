#pragma once

#include "observability/registry.hpp"

namespace kelvane::observability {

// The DDS stack's series in DEFAULT_REGISTRY(). Each set registers itself on its first
// access, exactly once per process; components keep the reference and bump lock-free.

struct UdpCounters {
  CounterHandle packets_sent;
  CounterHandle packets_received;
  CounterHandle bytes_sent;
  CounterHandle bytes_received;
  CounterHandle send_errors;
};

struct RtpsCounters {
  CounterHandle heartbeats_sent;
  CounterHandle acknacks_received;
  CounterHandle retransmits;
  CounterHandle fragmented_samples;
  CounterHandle samples_dropped;
  CounterHandle unknown_submessages;
};

struct DiscoveryMetrics {
  GaugeHandle participants_known;
  GaugeHandle writers_known;
  GaugeHandle readers_known;
  CounterHandle spdp_announcements_sent;
  CounterHandle sedp_publication_updates;
  CounterHandle sedp_subscription_updates;
  CounterHandle type_lookups;
};

[[nodiscard]] const UdpCounters& udp_counters();
[[nodiscard]] const RtpsCounters& rtps_counters();
[[nodiscard]] const DiscoveryMetrics& discovery_metrics();

}  // namespace kelvane::observability
