#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "observability/bridge_metrics.hpp"
#include "observability/component_metrics.hpp"
#include "observability/prometheus.hpp"
#include "observability/registry.hpp"

namespace kelvane::observability {
namespace {

// A bump compiles to one lock-free read-modify-write (lock xadd on x86-64).
static_assert(std::atomic<std::uint64_t>::is_always_lock_free);
static_assert(std::atomic<std::int64_t>::is_always_lock_free);

// Counter::inc on a handle cached at set-up, as components hold it.
void BM_CounterInc(benchmark::State& state) {
  static Registry registry;
  static const CounterHandle counter = registry.counter("bench_total", {});
  Counter& c = *counter;
  for (auto _ : state) c.inc();
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CounterInc)->Threads(1)->Threads(2)->Threads(4);

// Every thread bumps its own series: no shared cache line, no contention.
void BM_CounterIncPerThreadSeries(benchmark::State& state) {
  static Registry registry;
  const CounterHandle counter =
      registry.counter("bench_per_thread_total", Labels{}.with("thread", std::to_string(state.thread_index())));
  Counter& c = *counter;
  for (auto _ : state) c.inc();
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CounterIncPerThreadSeries)->Threads(1)->Threads(2)->Threads(4);

void BM_CounterAdd(benchmark::State& state) {
  Registry registry;
  const CounterHandle counter = registry.counter("bench_bytes_total", {});
  Counter& c = *counter;
  std::uint64_t n = 1500;
  for (auto _ : state) {
    benchmark::DoNotOptimize(n);
    c.add(n);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CounterAdd);

void BM_GaugeIncDec(benchmark::State& state) {
  Registry registry;
  const GaugeHandle gauge = registry.gauge("bench_active", {});
  Gauge& g = *gauge;
  for (auto _ : state) {
    g.inc();
    g.dec();
  }
  state.SetItemsProcessed(2 * state.iterations());
}
BENCHMARK(BM_GaugeIncDec);

// For comparison: what a bump would cost if it looked its series up each time.
void BM_CounterLookupAndInc(benchmark::State& state) {
  Registry registry;
  const Labels labels = Labels{}.with("transport", "udp");
  for (auto _ : state) registry.counter("bench_lookup_total", labels)->inc();
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CounterLookupAndInc);

// The bridge's registry as the daemon scrapes it.
void BM_RenderBridgeRegistry(benchmark::State& state) {
  Registry registry;
  const BridgeMetrics metrics = BridgeMetrics::register_in(registry);
  metrics.frames_in->add(123456);
  metrics.connections_active->set(17);
  for (auto _ : state) {
    std::string doc = render_prometheus(registry.snapshot());
    benchmark::DoNotOptimize(doc.data());
    state.counters["bytes"] = static_cast<double>(doc.size());
  }
}
BENCHMARK(BM_RenderBridgeRegistry);

// A large registry: families × labelled series plus histograms.
void BM_RenderLargeRegistry(benchmark::State& state) {
  Registry registry;
  const auto families = state.range(0);
  std::vector<std::string> names;  // the registry keeps views of these
  for (int64_t f = 0; f < families; ++f) names.push_back("bench_family_" + std::to_string(f) + "_total");
  for (const std::string& name : names) {
    registry.set_help(name, "A benchmark family");
    for (int s = 0; s < 10; ++s) {
      registry.counter(name, Labels{}.with("series", std::to_string(s)).with("kind", "x\"y"))->add(static_cast<std::uint64_t>(s));
    }
  }
  const auto histogram = registry.histogram("bench_latency_seconds", Labels{}.with("op", "write"));
  for (std::uint64_t ns = 1; ns < 10'000'000'000; ns *= 3) histogram->observe(ns);
  for (auto _ : state) {
    std::string doc = render_prometheus(registry.snapshot());
    benchmark::DoNotOptimize(doc.data());
    state.counters["bytes"] = static_cast<double>(doc.size());
  }
  state.SetItemsProcessed(state.iterations() * families * 10);
}
BENCHMARK(BM_RenderLargeRegistry)->Arg(10)->Arg(100);

}  // namespace
}  // namespace kelvane::observability
