#include "observability/registry.hpp"

namespace kelvane::observability {

namespace {

template <typename Handle, typename Map>
Handle find_or_create(std::mutex& mutex, Map& map, std::string_view name, Labels labels) {
  MetricKey key{name, labels};
  std::lock_guard lock(mutex);
  auto [it, inserted] = map.try_emplace(std::move(key));
  if (inserted) it->second = std::make_shared<typename Handle::element_type>(name, std::move(labels));
  return it->second;
}

}  // namespace

CounterHandle Registry::counter(std::string_view name, Labels labels) {
  return find_or_create<CounterHandle>(counters_mutex_, counters_, name, std::move(labels));
}

GaugeHandle Registry::gauge(std::string_view name, Labels labels) {
  return find_or_create<GaugeHandle>(gauges_mutex_, gauges_, name, std::move(labels));
}

HistogramHandle Registry::histogram(std::string_view name, Labels labels) {
  return find_or_create<HistogramHandle>(histograms_mutex_, histograms_, name, std::move(labels));
}

void Registry::set_help(std::string_view name, std::string_view help) {
  std::lock_guard lock(help_mutex_);
  help_[name] = help;
}

RegistrySnapshot Registry::snapshot() const {
  RegistrySnapshot snap;
  {
    std::lock_guard lock(counters_mutex_);
    snap.counters.reserve(counters_.size());
    for (const auto& [key, handle] : counters_) snap.counters.emplace_back(key, handle->get());
  }
  {
    std::lock_guard lock(gauges_mutex_);
    snap.gauges.reserve(gauges_.size());
    for (const auto& [key, handle] : gauges_) snap.gauges.emplace_back(key, handle->get());
  }
  {
    std::lock_guard lock(histograms_mutex_);
    snap.histograms.reserve(histograms_.size());
    for (const auto& [key, handle] : histograms_) snap.histograms.emplace_back(key, handle->snapshot());
  }
  {
    std::lock_guard lock(help_mutex_);
    snap.help.assign(help_.begin(), help_.end());
  }
  return snap;
}

const std::shared_ptr<Registry>& DEFAULT_REGISTRY() {
  static const std::shared_ptr<Registry> registry = std::make_shared<Registry>();
  return registry;
}

}  // namespace kelvane::observability
