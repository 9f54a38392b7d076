#include <benchmark/benchmark.h>

#include "websocket/frame.hpp"

namespace kelvane::websocket {
namespace {

Frame make_frame(std::size_t size, bool masked) {
  Frame frame;
  frame.opcode = Opcode::Binary;
  if (masked) frame.mask = MaskKey{0x37, 0xFA, 0x21, 0x3D};
  frame.payload.resize(size);
  for (std::size_t i = 0; i < size; ++i) frame.payload[i] = static_cast<std::uint8_t>(i * 31);
  return frame;
}

// A client frame as it arrives: masked, so decoding copies and unmasks the payload.
void BM_DecodeMasked(benchmark::State& state) {
  const auto size = static_cast<std::size_t>(state.range(0));
  const auto wire = encode(make_frame(size, true)).value();
  for (auto _ : state) {
    auto decoded = decode(wire);
    benchmark::DoNotOptimize(decoded);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * wire.size()));
}
BENCHMARK(BM_DecodeMasked)->Arg(1024)->Arg(64 * 1024);

void BM_EncodeUnmasked(benchmark::State& state) {
  const Frame frame = make_frame(static_cast<std::size_t>(state.range(0)), false);
  for (auto _ : state) {
    auto wire = encode(frame);
    benchmark::DoNotOptimize(wire);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * frame.payload.size()));
}
BENCHMARK(BM_EncodeUnmasked)->Arg(1024)->Arg(64 * 1024);

void BM_EncodeMasked(benchmark::State& state) {
  const Frame frame = make_frame(static_cast<std::size_t>(state.range(0)), true);
  for (auto _ : state) {
    auto wire = encode(frame);
    benchmark::DoNotOptimize(wire);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * frame.payload.size()));
}
BENCHMARK(BM_EncodeMasked)->Arg(1024);

// What the sender thread does per notify message.
void BM_EncodeServerText(benchmark::State& state) {
  const Frame frame = make_frame(static_cast<std::size_t>(state.range(0)), false);
  for (auto _ : state) {
    auto wire = encode_server_frame(Opcode::Text, frame.payload);
    benchmark::DoNotOptimize(wire);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * frame.payload.size()));
}
BENCHMARK(BM_EncodeServerText)->Arg(1024);

}  // namespace
}  // namespace kelvane::websocket
