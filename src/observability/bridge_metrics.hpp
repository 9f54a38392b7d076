#pragma once

#include "observability/registry.hpp"

namespace kelvane::observability {

// The bridge's nine series, registered in the bridge's own registry.
struct BridgeMetrics {
  CounterHandle frames_in;
  CounterHandle frames_out;
  CounterHandle bytes_in;
  CounterHandle bytes_out;
  GaugeHandle connections_active;
  CounterHandle connections_total;
  CounterHandle dds_samples_in;
  CounterHandle dds_samples_out;
  CounterHandle errors;

  // Sets the nine help texts, then creates the handles with empty labels.
  [[nodiscard]] static BridgeMetrics register_in(Registry& registry);
};

}  // namespace kelvane::observability
