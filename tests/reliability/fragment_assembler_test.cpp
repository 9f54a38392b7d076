#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <numeric>
#include <optional>
#include <vector>

#include "reliability/fragment_assembler.hpp"
#include "rtps_fixtures.hpp"

namespace kelvane::reliability {
namespace {

std::vector<std::uint8_t> pattern(std::size_t n) {
  std::vector<std::uint8_t> bytes(n);
  for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + 3);
  return bytes;
}

// Fragments first..first+count-1 of sample, cut with fragment size g.
FragmentInput fragments_of(SequenceNumber sn, const std::vector<std::uint8_t>& sample, std::uint16_t g,
                           FragmentNumber first, std::uint16_t count = 1) {
  const std::size_t begin = std::size_t{first - 1} * g;
  const std::size_t end = std::min(sample.size(), begin + std::size_t{count} * g);
  return FragmentInput{sn, first, count, g, static_cast<std::uint32_t>(sample.size()),
                       std::span(sample).subspan(begin, end - begin)};
}

std::vector<FragmentNumber> members(const rtps::FragmentNumberSet& set) { return testing::members(set); }

TEST(FragmentAssembler, CompletesInAnyOrderWithTheLastFragment) {
  const auto sample = pattern(2689);
  const std::array<std::array<FragmentNumber, 3>, 3> orders{{{1, 2, 3}, {3, 1, 2}, {2, 3, 1}}};
  for (const auto& order : orders) {
    FragmentAssembler assembler(AssemblerCaps{});
    for (std::size_t k = 0; k < order.size(); ++k) {
      auto done = assembler.insert(fragments_of(4, sample, 1344, order[k]));
      if (k + 1 < order.size()) {
        EXPECT_FALSE(done.has_value());
        continue;
      }
      ASSERT_TRUE(done.has_value());
      EXPECT_EQ(done->sequence_number, 4);
      EXPECT_TRUE(std::ranges::equal(done->data.span(), sample));
    }
    EXPECT_TRUE(assembler.pending().empty());
    EXPECT_EQ(assembler.rejected(), 0u);
  }
}

TEST(FragmentAssembler, OneSubmessageMayCarrySeveralFragments) {
  const auto sample = pattern(2689);
  FragmentAssembler assembler(AssemblerCaps{});
  const auto first_two = fragments_of(1, sample, 1344, 1, 2);
  ASSERT_EQ(first_two.bytes.size(), 2688u);
  EXPECT_FALSE(assembler.insert(first_two).has_value());
  const auto missing = assembler.missing_fragments(1);
  ASSERT_TRUE(missing.has_value());
  EXPECT_EQ(members(*missing), (std::vector<FragmentNumber>{3}));
  auto done = assembler.insert(fragments_of(1, sample, 1344, 3));
  ASSERT_TRUE(done.has_value());
  EXPECT_TRUE(std::ranges::equal(done->data.span(), sample));
}

TEST(FragmentAssembler, PaddedFinalFragmentIsAcceptedAndTrimmed) {
  const auto sample = pattern(2689);
  std::vector<std::uint8_t> padded{sample.back(), 0, 0, 0};  // 1 byte of sample, 3 of padding
  FragmentAssembler assembler(AssemblerCaps{});
  ASSERT_FALSE(assembler.insert(fragments_of(2, sample, 1344, 1, 2)).has_value());
  auto done = assembler.insert(FragmentInput{2, 3, 1, 1344, 2689, padded});
  ASSERT_TRUE(done.has_value());
  EXPECT_EQ(done->data.size(), 2689u);
  EXPECT_TRUE(std::ranges::equal(done->data.span(), sample));
}

struct RefusalCase {
  const char* name;
  FragmentInput input;
  AssemblerCaps caps;
  RejectReason reason;
};

TEST(FragmentAssembler, RefusalsTable) {
  static const std::vector<std::uint8_t> full(1344, 0x11);
  static const std::vector<std::uint8_t> one(1, 0x22);
  static const std::vector<std::uint8_t> five(5, 0x22);
  static const std::vector<std::uint8_t> two_full(2688, 0x33);
  const AssemblerCaps defaults{};
  const std::vector<RefusalCase> cases = {
      {"fragment size 0", {1, 1, 1, 0, 2689, full}, defaults, RejectReason::BadFragmentSize},
      {"fragment size 0 with cap 65535", {1, 1, 1, 0, 2689, full}, {64, 0x100000, 65535},
       RejectReason::BadFragmentSize},
      {"fragment size above cap", {1, 1, 1, 1344, 2689, full}, {64, 0x100000, 1000}, RejectReason::BadFragmentSize},
      {"zero fragments in submessage", {1, 1, 0, 1344, 2689, full}, defaults,
       RejectReason::ZeroFragmentsInSubmessage},
      {"sample above 1 MiB", {1, 1, 1, 1344, 1048577, full}, defaults, RejectReason::SampleTooLarge},
      {"starting fragment 0", {1, 0, 1, 1344, 2689, full}, defaults, RejectReason::ZeroStartingFragment},
      {"beyond the last fragment", {1, 3, 2, 1344, 2689, two_full}, defaults, RejectReason::BeyondLastFragment},
      {"starting number near u32 max", {1, 0xFFFFFFFF, 2, 1344, 2689, full}, defaults,
       RejectReason::BeyondLastFragment},
      {"empty sample", {1, 1, 1, 1344, 0, {}}, defaults, RejectReason::BeyondLastFragment},
      {"full-size final fragment", {1, 3, 1, 1344, 2689, full}, defaults, RejectReason::LengthMismatch},
      {"final fragment 4 bytes too long", {1, 3, 1, 1344, 2689, five}, defaults, RejectReason::LengthMismatch},
      {"short middle fragment", {1, 2, 1, 1344, 2689, one}, defaults, RejectReason::LengthMismatch},
      {"middle fragment with padding", {1, 1, 1, 1344, 2689, std::vector<std::uint8_t>(1345)}, defaults,
       RejectReason::LengthMismatch},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FragmentAssembler assembler(c.caps);
    EXPECT_FALSE(assembler.insert(c.input).has_value());
    EXPECT_EQ(assembler.rejected(), 1u);
    EXPECT_EQ(assembler.last_reason(), c.reason);
    EXPECT_TRUE(assembler.pending().empty());
  }
}

TEST(FragmentAssembler, DifferentSizesForAHeldSampleAreRefused) {
  const auto sample = pattern(2689);
  FragmentAssembler assembler(AssemblerCaps{});
  ASSERT_FALSE(assembler.insert(fragments_of(1, sample, 1344, 1)).has_value());
  const auto other = pattern(4000);
  EXPECT_FALSE(assembler.insert(fragments_of(1, other, 1344, 2)).has_value());
  EXPECT_EQ(assembler.last_reason(), RejectReason::SizesDiffer);
  EXPECT_FALSE(assembler.insert(fragments_of(1, sample, 1000, 2)).has_value());
  EXPECT_EQ(assembler.last_reason(), RejectReason::SizesDiffer);
  EXPECT_EQ(assembler.rejected(), 2u);
  EXPECT_EQ(assembler.missing_fragments(1).transform(members), (std::vector<FragmentNumber>{2, 3}));
}

TEST(FragmentAssembler, EvictsTheOldestPendingSampleWhenFull) {
  const auto sample = pattern(2689);
  FragmentAssembler assembler(AssemblerCaps{2, 0x100000, 65535});
  for (SequenceNumber sn : {5, 6}) ASSERT_FALSE(assembler.insert(fragments_of(sn, sample, 1344, 1)).has_value());
  EXPECT_FALSE(assembler.insert(fragments_of(7, sample, 1344, 1)).has_value());
  EXPECT_EQ(assembler.last_reason(), RejectReason::EvictedOldest);
  EXPECT_EQ(assembler.rejected(), 1u);
  EXPECT_FALSE(assembler.pending().contains(5));
  // A later fragment of 5 starts a fresh buffer (evicting 6) and needs all fragments again.
  EXPECT_FALSE(assembler.insert(fragments_of(5, sample, 1344, 2)).has_value());
  EXPECT_EQ(assembler.missing_fragments(5).transform(members), (std::vector<FragmentNumber>{1, 3}));
  EXPECT_FALSE(assembler.pending().contains(6));
}

TEST(FragmentAssembler, MissingFragmentsNameAtMost256FromTheFirstMissing) {
  const auto sample = pattern(400 * 16);
  FragmentAssembler assembler(AssemblerCaps{});
  ASSERT_FALSE(assembler.insert(fragments_of(9, sample, 16, 1)).has_value());
  const auto missing = assembler.missing_fragments(9);
  ASSERT_TRUE(missing.has_value());
  EXPECT_EQ(missing->bitmap_base, 2u);
  EXPECT_EQ(missing->num_bits, 256u);
  std::vector<FragmentNumber> expected(256);
  std::iota(expected.begin(), expected.end(), FragmentNumber{2});
  EXPECT_EQ(members(*missing), expected);
  EXPECT_FALSE(assembler.missing_fragments(10).has_value());
}

TEST(FragmentAssembler, RepeatedFragmentsDoNotCompleteEarly) {
  const auto sample = pattern(2689);
  FragmentAssembler assembler(AssemblerCaps{});
  for (int k = 0; k < 3; ++k) EXPECT_FALSE(assembler.insert(fragments_of(1, sample, 1344, 2)).has_value());
  EXPECT_FALSE(assembler.insert(fragments_of(1, sample, 1344, 1)).has_value());
  EXPECT_TRUE(assembler.insert(fragments_of(1, sample, 1344, 3)).has_value());
}

}  // namespace
}  // namespace kelvane::reliability
