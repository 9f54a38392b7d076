#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <thread>
#include <vector>

#include "observability/bridge_metrics.hpp"
#include "observability/component_metrics.hpp"
#include "observability/registry.hpp"

namespace kelvane::observability {
namespace {

template <typename Pairs>
auto find_series(const Pairs& pairs, std::string_view name, const Labels& labels = {}) {
  return std::find_if(pairs.begin(), pairs.end(),
                      [&](const auto& p) { return p.first.name == name && p.first.labels == labels; });
}

TEST(Labels, SortedUniqueAndReplacing) {
  const Labels l = Labels{}.with("b", "2").with("a", "1").with("ab", "3").with("b", "4");
  const std::vector<Labels::Pair> expected = {{"a", "1"}, {"ab", "3"}, {"b", "4"}};
  EXPECT_EQ(l.pairs(), expected);
}

TEST(Registry, SameNameAndLabelsInAnyOrderShareOneSeries) {
  Registry r;
  auto first = r.counter("c", Labels{}.with("x", "1").with("y", "2"));
  auto second = r.counter("c", Labels{}.with("y", "2").with("x", "1"));
  auto other = r.counter("c", Labels{}.with("x", "other"));
  EXPECT_EQ(first, second);
  first->inc();
  second->add(4);
  other->inc();
  const auto snap = r.snapshot();
  ASSERT_EQ(snap.counters.size(), 2u);
  EXPECT_EQ(find_series(snap.counters, "c", Labels{}.with("x", "1").with("y", "2"))->second, 5u);
  EXPECT_EQ(find_series(snap.counters, "c", Labels{}.with("x", "other"))->second, 1u);
}

TEST(Registry, GaugesKeepTheirSignAndHelpIsIndependentOfSeries) {
  Registry r;
  auto g = r.gauge("g", {});
  g->dec();
  g->dec();
  g->inc();
  r.set_help("only_help", "first");
  r.set_help("only_help", "second");
  const auto snap = r.snapshot();
  EXPECT_EQ(find_series(snap.gauges, "g")->second, -1);
  ASSERT_EQ(snap.help.size(), 1u);  // "g" has no help pair; the help-only family has one
  EXPECT_EQ(snap.help[0], std::make_pair(std::string_view("only_help"), std::string_view("second")));
  EXPECT_TRUE(snap.counters.empty());
}

TEST(Registry, ConcurrentBumpsAreNeverLost) {
  Registry r;
  auto c = r.counter("c", {});
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&] {
      for (int i = 0; i < 100000; ++i) r.counter("c", {})->inc();
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(c->get(), 400000u);
}

TEST(Histogram, BucketsArePerBucketCounts) {
  Registry r;
  auto h = r.histogram("h", {});
  h->observe(1);           // 1 ns: first bucket
  h->observe(5'000);       // 5 µs: bucket 1e-5
  h->observe(5'000);
  h->observe(20'000'000'000);  // 20 s: above every bound
  const Histogram snap = h->snapshot();
  EXPECT_EQ(snap.count, 4u);
  EXPECT_EQ(snap.sum, 20'000'010'001u);
  EXPECT_EQ(snap.min, 1u);
  EXPECT_EQ(snap.max, 20'000'000'000u);
  EXPECT_EQ(snap.buckets[0], 1u);
  EXPECT_EQ(snap.buckets[4], 2u);
  EXPECT_EQ(std::accumulate(snap.buckets.begin(), snap.buckets.end(), 0u), 3u);
}

TEST(BridgeMetrics, RegistersTheNineFamiliesWithTheirHelp) {
  Registry r;
  const BridgeMetrics m = BridgeMetrics::register_in(r);
  m.frames_in->inc();
  m.connections_active->inc();
  const auto snap = r.snapshot();
  EXPECT_EQ(snap.counters.size(), 8u);
  EXPECT_EQ(snap.gauges.size(), 1u);
  EXPECT_EQ(snap.help.size(), 9u);
  EXPECT_EQ(find_series(snap.counters, "kelvane_ws_frames_in_total")->second, 1u);
  EXPECT_EQ(find_series(snap.gauges, "kelvane_ws_connections_active")->second, 1);
  const auto help = std::find_if(snap.help.begin(), snap.help.end(),
                                 [](const auto& p) { return p.first == "kelvane_ws_errors_total"; });
  ASSERT_NE(help, snap.help.end());
  EXPECT_EQ(help->second, "Frame/codec/socket errors");
}

TEST(ComponentMetrics, RegisterOnceInTheDefaultRegistryWithTheirLabels) {
  const auto& udp = udp_counters();
  EXPECT_EQ(&udp, &udp_counters());
  udp.send_errors->inc();
  discovery_metrics().writers_known->set(3);
  const auto snap = DEFAULT_REGISTRY()->snapshot();
  EXPECT_EQ(find_series(snap.counters, "dds_transport_send_errors_total",
                        Labels{}.with("transport", "udp").with("error_kind", "io"))
                ->second,
            1u);
  EXPECT_EQ(find_series(snap.gauges, "dds_discovery_endpoints_known",
                        Labels{}.with("domain_id", "0").with("kind", "writer"))
                ->second,
            3);
}

}  // namespace
}  // namespace kelvane::observability
