#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <utility>
#include <vector>

#include "transport/udp_transport.hpp"

namespace kelvane::transport {
namespace {

using namespace std::chrono_literals;

UdpTransport loopback() {
  auto t = UdpTransport::bind_v4({127, 0, 0, 1}, 0);
  if (!t) std::abort();
  auto timed = UdpTransport::with_timeout(std::move(*t), 1s);
  if (!timed) std::abort();
  return std::move(*timed);
}

// One datagram out and back in over loopback: the send path, the receive path and the
// single exact-size copy handed to the caller.
void BM_SendRecvLoopback(benchmark::State& state) {
  const UdpTransport a = loopback();
  const UdpTransport b = loopback();
  const std::vector<std::uint8_t> payload(static_cast<std::size_t>(state.range(0)), 0x5A);
  for (auto _ : state) {
    if (!a.send(b.local(), payload)) state.SkipWithError("send failed");
    auto got = b.recv();
    if (!got) state.SkipWithError("recv failed");
    benchmark::DoNotOptimize(got);
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SendRecvLoopback)->Arg(64)->Arg(1400)->Arg(65507);

}  // namespace
}  // namespace kelvane::transport
