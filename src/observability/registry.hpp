#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "observability/labels.hpp"
#include "observability/metrics.hpp"

namespace kelvane::observability {

// Everything a registry holds, copied out section by section (not atomic across them).
struct RegistrySnapshot {
  std::vector<std::pair<MetricKey, std::uint64_t>> counters;
  std::vector<std::pair<MetricKey, std::int64_t>> gauges;
  std::vector<std::pair<MetricKey, Histogram>> histograms;
  std::vector<std::pair<std::string_view, std::string_view>> help;
};

// The store of metric series. Its locks are taken only to create handles, set help and
// take snapshots; components bump the handles they keep without any lock.
class Registry {
 public:
  // Returns the series' handle, creating it at 0 on first use. Equal name and labels
  // (after sorting) always yield the same handle.
  [[nodiscard]] CounterHandle counter(std::string_view name, Labels labels);
  [[nodiscard]] GaugeHandle gauge(std::string_view name, Labels labels);
  [[nodiscard]] HistogramHandle histogram(std::string_view name, Labels labels);

  // Sets or replaces the help text of a family.
  void set_help(std::string_view name, std::string_view help);

  [[nodiscard]] RegistrySnapshot snapshot() const;

 private:
  template <typename Handle>
  using Map = std::unordered_map<MetricKey, Handle, MetricKeyHash>;

  mutable std::mutex counters_mutex_;
  Map<CounterHandle> counters_;  // guarded by counters_mutex_
  mutable std::mutex gauges_mutex_;
  Map<GaugeHandle> gauges_;  // guarded by gauges_mutex_
  mutable std::mutex histograms_mutex_;
  Map<HistogramHandle> histograms_;  // guarded by histograms_mutex_
  mutable std::mutex help_mutex_;
  std::unordered_map<std::string_view, std::string_view> help_;  // guarded by help_mutex_
};

// The process-wide registry of the DDS stack, created on first access.
[[nodiscard]] const std::shared_ptr<Registry>& DEFAULT_REGISTRY();

}  // namespace kelvane::observability
