// Deterministic end-to-end proof of the reliability machines: writers and readers talk
// through an in-memory network that drops, duplicates, delays and reorders datagrams
// (seeded), while `now` advances in tick-sized steps as in the runtime.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <iostream>
#include <map>
#include <memory>
#include <random>
#include <variant>
#include <vector>

#include "reliability/reliable_reader.hpp"
#include "reliability/reliable_writer.hpp"
#include "rtps/datagram.hpp"
#include "rtps_fixtures.hpp"

namespace kelvane::reliability {
namespace {

using namespace std::chrono_literals;

constexpr std::chrono::nanoseconds kTick = 5ms;
constexpr std::uint64_t kMaxDelayRounds = 4;
constexpr std::uint32_t kDuplicatePerMille = 100;
constexpr std::size_t kLargeSample = 40'000;  // 30 DATA_FRAGs of 1344 bytes
constexpr std::uint64_t kRoundLimit = 200'000;

// Sample bytes derived from writer and sequence number, so every delivery can be checked.
std::vector<std::uint8_t> payload_of(std::size_t writer, SequenceNumber sn) {
  // Every seventh sample is fragmented; the others are small DATA of every length modulo 4,
  // so the alignment padding of DATA bodies must never reach the reader.
  const std::size_t size = sn % 7 == 3 ? kLargeSample + static_cast<std::size_t>(sn % 5) : 61 + static_cast<std::size_t>(sn % 23);
  std::vector<std::uint8_t> bytes(size);
  std::uint64_t x = (writer + 1) * 0x9E3779B97F4A7C15ULL ^ static_cast<std::uint64_t>(sn) * 0xBF58476D1CE4E5B9ULL;
  for (auto& b : bytes) {
    x ^= x >> 29;
    x *= 0x94D049BB133111EBULL;
    b = static_cast<std::uint8_t>(x >> 56);
  }
  // Encapsulation header: XCDR2 little-endian, options 0.
  bytes[0] = 0x00;
  bytes[1] = 0x07;
  bytes[2] = 0x00;
  bytes[3] = 0x00;
  return bytes;
}

// What a reader hands out for a written payload: a DATA body is padded to a multiple of 4
// on the wire, the encapsulation options announce that padding and the reader drops it,
// so the sample bytes arrive unchanged and only the options bits tell of the padding.
// Fragmented samples carry their exact size and are delivered as written.
std::vector<std::uint8_t> as_delivered(std::vector<std::uint8_t> payload) {
  if (payload.size() < kLargeSample) payload[3] = static_cast<std::uint8_t>((4 - payload.size() % 4) % 4);
  return payload;
}

class Network {
 public:
  Network(std::uint64_t seed, std::uint32_t loss_per_mille) : rng_(seed), loss_per_mille_(loss_per_mille) {}

  void send(const OutboundDatagram& datagram, std::uint64_t round) {
    auto shared = std::make_shared<const std::vector<std::uint8_t>>(datagram.bytes);
    for (const Locator& to : *datagram.targets) {
      if (chance(loss_per_mille_)) continue;
      const int copies = chance(kDuplicatePerMille) ? 2 : 1;
      for (int c = 0; c < copies; ++c) {
        in_flight_.push_back(InFlight{round + 1 + rng_() % kMaxDelayRounds, rng_(), to.port, shared});
      }
    }
  }

  struct Delivery {
    std::uint32_t port;
    std::shared_ptr<const std::vector<std::uint8_t>> bytes;
  };

  // Datagrams due this round, in a random order.
  std::vector<Delivery> take_due(std::uint64_t round) {
    auto due = std::partition(in_flight_.begin(), in_flight_.end(), [&](const InFlight& f) { return f.due > round; });
    std::vector<InFlight> taken(std::make_move_iterator(due), std::make_move_iterator(in_flight_.end()));
    in_flight_.erase(due, in_flight_.end());
    std::sort(taken.begin(), taken.end(), [](const InFlight& a, const InFlight& b) { return a.order < b.order; });
    std::vector<Delivery> out;
    for (auto& f : taken) out.push_back(Delivery{f.port, std::move(f.bytes)});
    return out;
  }

  [[nodiscard]] std::size_t in_flight() const { return in_flight_.size(); }

 private:
  struct InFlight {
    std::uint64_t due;
    std::uint64_t order;
    std::uint32_t port;
    std::shared_ptr<const std::vector<std::uint8_t>> bytes;
  };

  bool chance(std::uint32_t per_mille) { return rng_() % 1000 < per_mille; }

  std::mt19937_64 rng_;
  std::uint32_t loss_per_mille_;
  std::vector<InFlight> in_flight_;
};

struct WriterNode {
  GuidPrefix prefix;
  Locator locator;
  std::unique_ptr<ReliableWriter> writer;
};

struct ReaderNode {
  GuidPrefix prefix;
  Locator locator;
  std::unique_ptr<ReliableReader> reader;
  std::map<Guid, std::vector<SequenceNumber>> delivered;  // per writer, in delivery order
  std::size_t payload_mismatches = 0;
};

// Writers and readers of one simulated domain. Every writer uses the same entity id, as
// the first writer of every process does in practice.
class Domain {
 public:
  Domain(std::uint64_t seed, std::uint32_t loss_per_mille) : net_(seed, loss_per_mille) {}

  std::size_t add_writer() {
    const auto index = writers_.size();
    WriterNode node{testing::prefix(static_cast<std::uint8_t>(0x40 + 16 * index)), locator(), nullptr};
    ReliableWriterConfig config;
    config.history_kind = KeepAll{};
    config.max_samples = 100'000;
    config.writer_guid = Guid{node.prefix, testing::kWriterId};
    node.writer = std::make_unique<ReliableWriter>(config);
    writers_.push_back(std::move(node));
    return index;
  }

  std::size_t add_reader() {
    const auto index = readers_.size();
    ReaderNode node{testing::prefix(static_cast<std::uint8_t>(0x08 + 16 * index)), locator(), nullptr, {}, 0};
    ReliableReaderConfig config;
    config.reader_guid = Guid{node.prefix, testing::kReaderId};
    node.reader = std::make_unique<ReliableReader>(config);
    readers_.push_back(std::move(node));
    return index;
  }

  // Matches both ways; a volatile writer starts the reader after its newest sample.
  void match(std::size_t w, std::size_t r, bool volatile_writer) {
    auto& writer = writers_[w];
    auto& reader = readers_[r];
    ReaderProxy proxy;
    proxy.remote_reader_guid = reader.reader->reader_guid();
    proxy.locators = {reader.locator};
    if (volatile_writer) {
      proxy.highest_acknowledged = proxy.highest_sent = writer.writer->history().max_sn().value_or(0);
    }
    writer.writer->add_reader_proxy(proxy);
    WriterProxy wp;
    wp.remote_writer_guid = writer.writer->writer_guid();
    wp.locators = {writer.locator};
    reader.reader->add_writer_proxy(wp);
  }

  void write(std::size_t w) {
    auto& writer = *writers_[w].writer;
    const auto sent = writer.write(payload_of(w, writer.last_sequence_number() + 1));
    ASSERT_TRUE(sent.has_value());
    for (const auto& d : *sent) net_.send(d, round_);
  }

  // One tick of the runtime: receive what is due, then the periodic work of everyone.
  void step() {
    ++round_;
    const auto now = kTick * static_cast<std::int64_t>(round_);
    for (auto& delivery : net_.take_due(round_)) receive(delivery, now);
    for (auto& w : writers_) {
      const auto out = w.writer->tick(now);
      ASSERT_TRUE(out.has_value());
      for (const auto& d : *out) net_.send(d, round_);
    }
    for (auto& r : readers_) {
      const auto out = r.reader->tick_outbound(now);
      ASSERT_TRUE(out.has_value());
      for (const auto& d : *out) net_.send(d, round_);
    }
  }

  [[nodiscard]] std::uint64_t round() const { return round_; }
  [[nodiscard]] const ReaderNode& reader(std::size_t r) const { return readers_[r]; }
  [[nodiscard]] const WriterNode& writer(std::size_t w) const { return writers_[w]; }

  [[nodiscard]] bool has_all(std::size_t r, std::size_t w, SequenceNumber from, SequenceNumber to) const {
    const auto it = readers_[r].delivered.find(writers_[w].writer->writer_guid());
    const auto count = static_cast<std::size_t>(to - from + 1);
    return it != readers_[r].delivered.end() && it->second.size() >= count;
  }

 private:
  Locator locator() { return Locator::udpv4({127, 0, 0, 1}, next_port_++); }

  void receive(const Network::Delivery& delivery, std::chrono::nanoseconds now) {
    const auto decoded = rtps::decode_datagram(SharedBytes::copy_of(*delivery.bytes));
    ASSERT_TRUE(decoded.has_value());
    for (auto& w : writers_) {
      if (w.locator.port == delivery.port) to_writer(*w.writer, *decoded);
    }
    for (auto& r : readers_) {
      if (r.locator.port == delivery.port) to_reader(r, *decoded, now);
    }
  }

  static void to_writer(ReliableWriter& writer, const rtps::DecodedDatagram& datagram) {
    for (const auto& sub : datagram.submessages) {
      if (const auto* acknack = std::get_if<rtps::AckNackSubmessage>(&sub)) {
        std::vector<SequenceNumber> requested;
        acknack->reader_sn_state.for_each([&](SequenceNumber sn) { requested.push_back(sn); });
        writer.handle_acknack(Guid{datagram.guid_prefix, acknack->reader_id}, acknack->reader_sn_state.bitmap_base,
                              requested);
      } else if (const auto* nack = std::get_if<rtps::NackFragSubmessage>(&sub)) {
        writer.handle_nackfrag(Guid{datagram.guid_prefix, nack->reader_id}, *nack);
      }
    }
  }

  void to_reader(ReaderNode& node, const rtps::DecodedDatagram& datagram, std::chrono::nanoseconds now) {
    const GuidPrefix& source = datagram.guid_prefix;
    for (const auto& sub : datagram.submessages) {
      std::vector<DeliveredSample> delivered;
      if (const auto* data = std::get_if<rtps::DataSubmessage>(&sub)) {
        delivered = node.reader->handle_data(source, *data);
      } else if (const auto* frag = std::get_if<rtps::DataFragSubmessage>(&sub)) {
        delivered = node.reader->handle_data_frag(source, *frag, now);
      } else if (const auto* gap = std::get_if<rtps::GapSubmessage>(&sub)) {
        delivered = node.reader->handle_gap(source, *gap);
      } else if (const auto* hb = std::get_if<rtps::HeartbeatSubmessage>(&sub)) {
        delivered = node.reader->handle_heartbeat(source, *hb, now);
      }
      for (const auto& sample : delivered) {
        std::size_t w = 0;
        while (w < writers_.size() && writers_[w].writer->writer_guid() != sample.writer_guid) ++w;
        ASSERT_LT(w, writers_.size());
        if (!std::ranges::equal(sample.payload.span(), as_delivered(payload_of(w, sample.sequence_number)))) {
          ++node.payload_mismatches;
        }
        node.delivered[sample.writer_guid].push_back(sample.sequence_number);
      }
    }
  }

  Network net_;
  std::vector<WriterNode> writers_;
  std::vector<ReaderNode> readers_;
  std::uint64_t round_ = 0;
  std::uint32_t next_port_ = 7410;
};

std::vector<SequenceNumber> range(SequenceNumber from, SequenceNumber to) {
  std::vector<SequenceNumber> out;
  for (SequenceNumber sn = from; sn <= to; ++sn) out.push_back(sn);
  return out;
}

// Steps until done() holds; returns the rounds that took, failing at the limit.
template <typename Done>
std::uint64_t run_until(Domain& domain, Done done) {
  const auto start = domain.round();
  while (!done()) {
    domain.step();
    if (::testing::Test::HasFatalFailure() || domain.round() - start > kRoundLimit) {
      ADD_FAILURE() << "no convergence after " << domain.round() - start << " rounds";
      return domain.round() - start;
    }
  }
  return domain.round() - start;
}

class LossySimulation : public ::testing::TestWithParam<std::uint32_t> {};

constexpr std::uint64_t kSeedsPerLossRate = 8;

TEST_P(LossySimulation, EveryReaderGetsEverySampleOnceAndInOrder) {
  constexpr SequenceNumber kSamples = 140;  // 20 of them fragmented into 30 DATA_FRAGs
  const std::uint32_t loss = GetParam();
  std::uint64_t worst = 0;
  for (std::uint64_t seed = 1; seed <= kSeedsPerLossRate; ++seed) {
    SCOPED_TRACE(seed);
    Domain domain(seed * 1000 + loss, loss);
    const auto w = domain.add_writer();
    const auto r1 = domain.add_reader();
    const auto r2 = domain.add_reader();
    domain.match(w, r1, false);
    domain.match(w, r2, false);
    for (SequenceNumber sn = 1; sn <= kSamples; ++sn) {
      domain.write(w);
      domain.step();
      ASSERT_FALSE(HasFatalFailure());
    }
    const auto rounds =
        run_until(domain, [&] { return domain.has_all(r1, w, 1, kSamples) && domain.has_all(r2, w, 1, kSamples); });
    worst = std::max(worst, rounds);
    const Guid writer_guid = domain.writer(w).writer->writer_guid();
    for (const auto r : {r1, r2}) {
      EXPECT_EQ(domain.reader(r).delivered.at(writer_guid), range(1, kSamples));
      EXPECT_EQ(domain.reader(r).payload_mismatches, 0u);
    }
    if (loss > 0) {
      EXPECT_GT(domain.writer(w).writer->nackfrag_count(), 0u);  // fragment repair was needed
    }
    // Nothing arrives twice later on either.
    for (int i = 0; i < 200; ++i) domain.step();
    for (const auto r : {r1, r2}) EXPECT_EQ(domain.reader(r).delivered.at(writer_guid).size(), std::size_t{kSamples});
  }
  std::cout << "[ simulation ] loss " << loss / 10 << "%: worst of " << kSeedsPerLossRate << " seeds converged "
            << worst << " rounds (" << worst * 5 << " ms) after the last write\n";
}

INSTANTIATE_TEST_SUITE_P(Loss, LossySimulation, ::testing::Values(0u, 100u, 300u, 500u),
                         [](const auto& param_info) { return "loss" + std::to_string(param_info.param / 10); });

TEST(Simulation, LateJoinerOfAVolatileWriterGetsOnlyLaterSamples) {
  Domain domain(11, 200);
  const auto w = domain.add_writer();
  const auto early = domain.add_reader();
  const auto late = domain.add_reader();
  domain.match(w, early, true);
  for (int i = 0; i < 30; ++i) {
    domain.write(w);
    domain.step();
  }
  for (int i = 0; i < 50; ++i) domain.step();
  domain.match(w, late, true);
  for (int i = 0; i < 30; ++i) {
    domain.write(w);
    domain.step();
  }
  const auto rounds = run_until(domain, [&] { return domain.has_all(early, w, 1, 60) && domain.has_all(late, w, 31, 60); });
  std::cout << "[ simulation ] late joiner: converged " << rounds << " rounds after the last write\n";
  const Guid writer_guid = domain.writer(w).writer->writer_guid();
  EXPECT_EQ(domain.reader(early).delivered.at(writer_guid), range(1, 60));
  EXPECT_EQ(domain.reader(late).delivered.at(writer_guid), range(31, 60));
  EXPECT_EQ(domain.reader(late).payload_mismatches, 0u);
}

TEST(Simulation, TwoWritersWithTheSameEntityIdAreBothHeard) {
  Domain domain(21, 300);
  const auto w1 = domain.add_writer();
  const auto w2 = domain.add_writer();
  const auto r = domain.add_reader();
  domain.match(w1, r, false);
  domain.match(w2, r, false);
  ASSERT_EQ(domain.writer(w1).writer->writer_guid().entity_id, domain.writer(w2).writer->writer_guid().entity_id);
  for (int i = 0; i < 40; ++i) {
    domain.write(w1);
    domain.write(w2);
    domain.step();
  }
  const auto rounds = run_until(domain, [&] { return domain.has_all(r, w1, 1, 40) && domain.has_all(r, w2, 1, 40); });
  std::cout << "[ simulation ] two writers: converged " << rounds << " rounds after the last write\n";
  EXPECT_EQ(domain.reader(r).delivered.at(domain.writer(w1).writer->writer_guid()), range(1, 40));
  EXPECT_EQ(domain.reader(r).delivered.at(domain.writer(w2).writer->writer_guid()), range(1, 40));
  EXPECT_EQ(domain.reader(r).payload_mismatches, 0u);
  EXPECT_EQ(domain.reader(r).reader->unknown_writer(), 0u);
}

}  // namespace
}  // namespace kelvane::reliability
