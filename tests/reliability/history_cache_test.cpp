#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <vector>

#include "reliability/history_cache.hpp"

namespace kelvane::reliability {
namespace {

CacheChange change(SequenceNumber sn, std::uint8_t marker = 0) {
  const std::vector<std::uint8_t> bytes{marker, 1, 2, 3};
  return CacheChange{SharedBytes::copy_of(bytes), bytes.size(), sn, ChangeKind::Alive, std::nullopt};
}

std::vector<SequenceNumber> held(const HistoryCache& cache) {
  std::vector<SequenceNumber> out;
  for (const auto& [sn, c] : cache) {
    EXPECT_EQ(sn, c.sequence_number);
    out.push_back(sn);
  }
  return out;
}

TEST(HistoryCache, KeepLastEvictsOldestOnePerInsert) {
  HistoryCache cache(KeepLast{1}, 10);
  for (SequenceNumber sn : {1, 2, 3}) ASSERT_TRUE(cache.insert(change(sn)).has_value());
  EXPECT_EQ(held(cache), (std::vector<SequenceNumber>{3}));
  EXPECT_EQ(cache.evicted(), 2u);
}

TEST(HistoryCache, KeepLastUsesTheSmallerOfDepthAndMaxSamples) {
  HistoryCache cache(KeepLast{5}, 2);
  for (SequenceNumber sn = 1; sn <= 6; ++sn) {
    ASSERT_TRUE(cache.insert(change(sn)).has_value());
    EXPECT_LE(cache.size(), 2u);
  }
  EXPECT_EQ(held(cache), (std::vector<SequenceNumber>{5, 6}));
  EXPECT_EQ(cache.evicted(), 4u);
}

TEST(HistoryCache, KeepAllRefusesWhenFullUntilRemoved) {
  HistoryCache cache(KeepAll{}, 2);
  ASSERT_TRUE(cache.insert(change(1)).has_value());
  ASSERT_TRUE(cache.insert(change(2)).has_value());
  EXPECT_EQ(cache.insert(change(3)).error(), InsertRefusal::Full);
  cache.remove_up_to(1);
  EXPECT_TRUE(cache.insert(change(3)).has_value());
  EXPECT_EQ(held(cache), (std::vector<SequenceNumber>{2, 3}));
  EXPECT_EQ(cache.evicted(), 0u);
}

TEST(HistoryCache, DuplicateIsRefusedBeforeEvictionAndKeepsTheFirstPayload) {
  HistoryCache cache(KeepLast{1}, 10);
  ASSERT_TRUE(cache.insert(change(7, 0xAA)).has_value());
  EXPECT_EQ(cache.insert(change(7, 0xBB)).error(), InsertRefusal::Duplicate);
  ASSERT_NE(cache.find(7), nullptr);
  EXPECT_EQ(cache.find(7)->payload.span()[0], 0xAA);
  EXPECT_EQ(cache.evicted(), 0u);
}

TEST(HistoryCache, MaxSnAndRemoveUpTo) {
  HistoryCache cache(KeepAll{}, 10);
  EXPECT_EQ(cache.max_sn(), std::nullopt);
  ASSERT_TRUE(cache.insert(change(9)).has_value());
  ASSERT_TRUE(cache.insert(change(4)).has_value());
  EXPECT_EQ(cache.max_sn(), std::optional<SequenceNumber>(9));
  EXPECT_EQ(cache.min_sn(), std::optional<SequenceNumber>(4));
  EXPECT_EQ(held(cache), (std::vector<SequenceNumber>{4, 9}));
  cache.remove_up_to(4);
  EXPECT_EQ(held(cache), (std::vector<SequenceNumber>{9}));
  cache.remove_up_to(100);
  EXPECT_TRUE(cache.empty());
  EXPECT_EQ(cache.max_sn(), std::nullopt);
}

TEST(HistoryCache, ZeroDepthRefusesEverything) {
  HistoryCache cache(KeepLast{0}, 10);
  EXPECT_EQ(cache.insert(change(1)).error(), InsertRefusal::ZeroDepth);
  EXPECT_TRUE(cache.empty());
}

TEST(HistoryCache, CopiesShareThePayloadBytes) {
  HistoryCache cache(KeepAll{}, 4);
  const CacheChange original = change(1);
  ASSERT_TRUE(cache.insert(original).has_value());
  EXPECT_EQ(cache.find(1)->payload.data(), original.payload.data());
}

}  // namespace
}  // namespace kelvane::reliability
