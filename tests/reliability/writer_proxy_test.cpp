#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

#include "reliability/sequence_ranges.hpp"
#include "reliability/writer_proxy.hpp"

namespace kelvane::reliability {
namespace {

constexpr SequenceNumber kMax = std::numeric_limits<SequenceNumber>::max();

TEST(SequenceRanges, MergesOverlappingAndTouchingRanges) {
  SequenceRanges ranges(8);
  ranges.insert(10, 20);
  ranges.insert(20, 25);  // touching
  ranges.insert(5, 11);   // overlapping
  ranges.insert(30, 31);
  EXPECT_EQ(ranges.range_count(), 2u);
  EXPECT_EQ(ranges.range_end(5), std::optional<SequenceNumber>(25));
  EXPECT_EQ(ranges.range_end(24), std::optional<SequenceNumber>(25));
  EXPECT_FALSE(ranges.contains(25));
  EXPECT_FALSE(ranges.contains(4));
  EXPECT_EQ(ranges.next_start(26), std::optional<SequenceNumber>(30));
  EXPECT_EQ(ranges.next_start(31), std::nullopt);
  ranges.erase_below(12);
  EXPECT_FALSE(ranges.contains(11));
  EXPECT_TRUE(ranges.contains(12));
  ranges.insert(1, 40);
  EXPECT_EQ(ranges.range_count(), 1u);
}

TEST(SequenceRanges, CapDropsNewDisjointRangesButStillMerges) {
  SequenceRanges ranges(2);
  ranges.insert(1, 2);
  ranges.insert(10, 11);
  ranges.insert(20, 21);
  EXPECT_FALSE(ranges.contains(20));
  ranges.insert(2, 3);
  EXPECT_TRUE(ranges.contains(2));
  EXPECT_EQ(ranges.range_count(), 2u);
}

CacheChange alive(SequenceNumber sn) {
  const std::uint8_t byte = static_cast<std::uint8_t>(sn);
  return CacheChange{SharedBytes::copy_of(std::span(&byte, 1)), 1, sn, ChangeKind::Alive, std::nullopt};
}

std::vector<SequenceNumber> sns(const std::vector<DeliveredSample>& samples) {
  std::vector<SequenceNumber> out;
  for (const auto& s : samples) out.push_back(s.sequence_number);
  return out;
}

WriterProxyState state(std::size_t max_samples = 16) { return WriterProxyState(WriterProxy{}, max_samples, {}); }

TEST(WriterProxyState, HugeIrrelevantRangesAreSkippedInOneStep) {
  auto w = state();
  w.apply_heartbeat(1, kMax);
  w.mark_irrelevant(1, kMax);
  std::vector<DeliveredSample> out;
  w.collect_in_order(out);
  EXPECT_TRUE(out.empty());
  EXPECT_EQ(w.last_delivered, kMax - 1);
  const auto missing = w.missing_changes();
  EXPECT_EQ(missing.missing, (std::vector<SequenceNumber>{kMax}));
}

TEST(WriterProxyState, FullCacheGivesWayToTheNextSampleInOrder) {
  auto w = state(2);
  w.apply_heartbeat(1, 4);
  w.accept(alive(3));
  w.accept(alive(4));
  w.accept(alive(2));  // evicts 4, which becomes missing again
  EXPECT_FALSE(w.cache.contains(4));
  EXPECT_EQ(w.missing_changes().missing, (std::vector<SequenceNumber>{1, 4}));
  w.accept(alive(1));  // evicts 3
  std::vector<DeliveredSample> out;
  w.collect_in_order(out);
  EXPECT_EQ(sns(out), (std::vector<SequenceNumber>{1, 2}));
  w.accept(alive(3));
  w.accept(alive(4));
  w.collect_in_order(out);
  EXPECT_EQ(sns(out), (std::vector<SequenceNumber>{1, 2, 3, 4}));
}

TEST(WriterProxyState, MissingChangesAreWindowedTo256FromTheBase) {
  auto w = state();
  w.apply_heartbeat(1, 300);
  const auto first = w.missing_changes();
  EXPECT_EQ(first.base, 1);
  ASSERT_EQ(first.missing.size(), 256u);
  EXPECT_EQ(first.missing.back(), 256);
  w.mark_irrelevant(1, 100);
  std::vector<DeliveredSample> out;
  w.collect_in_order(out);
  const auto second = w.missing_changes();
  EXPECT_EQ(second.base, 100);
  EXPECT_EQ(second.missing.size(), 201u);
}

TEST(WriterProxyState, FilteredChangesKeepOrderButAreNotDelivered) {
  auto w = state();
  auto filtered = alive(1);
  filtered.kind = ChangeKind::AliveFiltered;
  w.accept(alive(2));
  w.accept(std::move(filtered));
  std::vector<DeliveredSample> out;
  w.collect_in_order(out);
  EXPECT_EQ(sns(out), (std::vector<SequenceNumber>{2}));
  EXPECT_EQ(w.last_delivered, 2);
}

}  // namespace
}  // namespace kelvane::reliability
