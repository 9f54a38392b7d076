#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <utility>
#include <vector>

#include "reliability/reliable_reader.hpp"
#include "reliability/reliable_writer.hpp"

namespace kelvane::reliability {
namespace {

constexpr EntityId kWriterId = rtps::make_entity_id(0, 0, 2, rtps::EntityKind::UserWriterWithKey);
constexpr EntityId kReaderId = rtps::make_entity_id(0, 0, 7, rtps::EntityKind::UserReaderWithKey);

GuidPrefix prefix(std::uint8_t tag) {
  GuidPrefix p;
  p.bytes.fill(tag);
  return p;
}

// write() of one sample to one matched reader, with the user writers' settings.
void BM_WriterWrite(benchmark::State& state) {
  ReliableWriterConfig config;
  config.writer_guid = Guid{prefix(1), kWriterId};
  ReaderProxy proxy;
  proxy.remote_reader_guid = Guid{prefix(2), kReaderId};
  proxy.locators = {Locator::udpv4({127, 0, 0, 1}, 7411)};
  config.reader_proxies = {proxy};
  ReliableWriter writer(config);
  std::vector<std::uint8_t> payload(static_cast<std::size_t>(state.range(0)), 0x5A);
  payload[0] = 0x00;
  payload[1] = 0x07;
  std::size_t datagrams = 0;
  for (auto _ : state) {
    auto out = writer.write(payload);
    datagrams += out->size();
    benchmark::DoNotOptimize(out);
  }
  state.SetItemsProcessed(state.iterations());
  state.SetBytesProcessed(state.iterations() * state.range(0));
  state.counters["datagrams_per_sample"] =
      static_cast<double>(datagrams) / static_cast<double>(std::max<std::int64_t>(state.iterations(), 1));
}
BENCHMARK(BM_WriterWrite)->Arg(256)->Arg(16 * 1024);

ReliableReader reader_with_one_writer() {
  ReliableReaderConfig config;
  config.reader_guid = Guid{prefix(2), kReaderId};
  WriterProxy proxy;
  proxy.remote_writer_guid = Guid{prefix(1), kWriterId};
  config.writer_proxies = {proxy};
  return ReliableReader(config);
}

rtps::DataSubmessage data_template(std::size_t size) {
  rtps::DataSubmessage data;
  data.reader_id = kReaderId;
  data.writer_id = kWriterId;
  data.serialized_payload = SharedBytes::copy_of(std::vector<std::uint8_t>(size, 0x5A));
  return data;
}

// handle_data of samples arriving in order, each delivered at once.
void BM_ReaderInOrder(benchmark::State& state) {
  auto reader = reader_with_one_writer();
  auto data = data_template(256);
  const GuidPrefix source = prefix(1);
  std::size_t delivered = 0;
  for (auto _ : state) {
    ++data.writer_sn;
    auto out = reader.handle_data(source, data);
    delivered += out.size();
    benchmark::DoNotOptimize(out);
  }
  if (delivered != static_cast<std::size_t>(state.iterations())) state.SkipWithError("samples were not delivered");
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ReaderInOrder);

// Pairs swapped in flight (2, 1, 4, 3, ...): every other sample waits in the reorder cache.
void BM_ReaderReordered(benchmark::State& state) {
  auto reader = reader_with_one_writer();
  auto data = data_template(256);
  const GuidPrefix source = prefix(1);
  SequenceNumber base = 0;
  bool second = false;
  for (auto _ : state) {
    data.writer_sn = second ? base + 1 : base + 2;
    if (second) base += 2;
    second = !second;
    auto out = reader.handle_data(source, data);
    benchmark::DoNotOptimize(out);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ReaderReordered);

// A 16 KiB sample arriving as 13 DATA_FRAGs, reassembled and delivered.
void BM_ReaderFragmented(benchmark::State& state) {
  constexpr std::uint32_t kSize = 16 * 1024;
  constexpr std::uint16_t kFragment = 1344;
  auto reader = reader_with_one_writer();
  const auto sample = SharedBytes::copy_of(std::vector<std::uint8_t>(kSize, 0x33));
  const GuidPrefix source = prefix(1);
  rtps::DataFragSubmessage frag;
  frag.reader_id = kReaderId;
  frag.writer_id = kWriterId;
  frag.fragment_size = kFragment;
  frag.sample_size = kSize;
  const std::uint32_t total = (kSize + kFragment - 1) / kFragment;
  SequenceNumber sn = 0;
  for (auto _ : state) {
    frag.writer_sn = ++sn;
    for (std::uint32_t f = 1; f <= total; ++f) {
      frag.fragment_starting_num = f;
      frag.fragment_data = sample.slice(std::size_t{f - 1} * kFragment, kFragment);
      auto out = reader.handle_data_frag(source, frag, std::chrono::nanoseconds{0});
      benchmark::DoNotOptimize(out);
    }
  }
  state.SetItemsProcessed(state.iterations());
  state.SetBytesProcessed(state.iterations() * kSize);
}
BENCHMARK(BM_ReaderFragmented);

}  // namespace
}  // namespace kelvane::reliability
