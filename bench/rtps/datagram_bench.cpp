#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "rtps/datagram.hpp"
#include "rtps/message_builder.hpp"

namespace kelvane::rtps {
namespace {

constexpr EntityId kReader = make_entity_id(0, 0, 0x12, EntityKind::UserReaderNoKey);
constexpr EntityId kWriter = make_entity_id(0, 0, 0x13, EntityKind::UserWriterNoKey);

DataSubmessage one_kib_data(SequenceNumber sn) {
  return DataSubmessage{0,      kReader, kWriter, sn, std::nullopt, SharedBytes::copy_of(std::vector<std::uint8_t>(1024, 0x61)),
                        true, false,   false};
}

// INFO_TS + DATA carrying 1 KiB, as a peer sends a live sample.
std::vector<std::uint8_t> one_kib_datagram() {
  const DataSubmessage datas[] = {one_kib_data(42)};
  auto bytes = encode_data_datagram(MessageHeader{}, datas).value();
  const std::uint8_t info_ts[] = {0x09, 0x01, 0x08, 0x00, 1, 0, 0, 0, 0, 0, 0, 0x80};
  bytes.insert(bytes.begin() + RTPS_HEADER_SIZE, std::begin(info_ts), std::end(info_ts));
  return bytes;
}

void BM_DecodeDataDatagram1KiB(benchmark::State& state) {
  const auto bytes = one_kib_datagram();
  for (auto _ : state) {
    auto decoded = decode_datagram(bytes);
    benchmark::DoNotOptimize(decoded);
  }
  state.SetItemsProcessed(state.iterations());
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
}
BENCHMARK(BM_DecodeDataDatagram1KiB);

void BM_DecodeSharedDataDatagram1KiB(benchmark::State& state) {
  const SharedBytes bytes = SharedBytes::copy_of(one_kib_datagram());
  for (auto _ : state) {
    auto decoded = decode_datagram(bytes);
    benchmark::DoNotOptimize(decoded);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DecodeSharedDataDatagram1KiB);

void BM_EncodeDataDatagram1KiB(benchmark::State& state) {
  const DataSubmessage datas[] = {one_kib_data(42)};
  for (auto _ : state) {
    auto bytes = encode_data_datagram(MessageHeader{}, datas);
    benchmark::DoNotOptimize(bytes);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_EncodeDataDatagram1KiB);

void BM_PackDataDatagram1KiB(benchmark::State& state) {
  const auto data = one_kib_data(42);
  auto targets = std::make_shared<const LocatorList>(LocatorList{Locator::udpv4({127, 0, 0, 1}, 7411)});
  for (auto _ : state) {
    DatagramPacker packer(GuidPrefix{}, VENDORID_KELVANE, 1400, targets);
    auto ok = packer.append_record(SUBMESSAGE_DATA, data);
    benchmark::DoNotOptimize(ok);
    auto datagrams = std::move(packer).finish();
    benchmark::DoNotOptimize(datagrams);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PackDataDatagram1KiB);

}  // namespace
}  // namespace kelvane::rtps
