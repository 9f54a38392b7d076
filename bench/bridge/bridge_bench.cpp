#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "bridge/protocol.hpp"
#include "bridge/router.hpp"

namespace kelvane::bridge {
namespace {

void BM_ParseOpPublish(benchmark::State& state) {
  // A typical publish of about 100 bytes.
  const std::string text = R"({"op":"publish","topic":"sensors/temperature","data":{"id":17,"value":21.5,"unit":"C"}})";
  for (auto _ : state) {
    auto op = parse_op(text);
    benchmark::DoNotOptimize(op);
  }
  state.SetItemsProcessed(state.iterations());
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_ParseOpPublish);

std::vector<std::uint8_t> payload_of(std::string_view prefix, char fill, std::size_t size) {
  std::vector<std::uint8_t> out(prefix.begin(), prefix.end());
  out.resize(size - 1, static_cast<std::uint8_t>(fill));
  out.push_back(prefix.front() == '{' ? '}' : static_cast<std::uint8_t>(fill));
  return out;
}

void render_bench(benchmark::State& state, const std::vector<std::uint8_t>& payload) {
  for (auto _ : state) {
    std::string text = render_notify("sensors/temperature", payload);
    benchmark::DoNotOptimize(text);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(payload.size()));
}

void BM_RenderNotifyJson1KiB(benchmark::State& state) {
  render_bench(state, payload_of(R"({"samples":")", 'a', 1024));
}
BENCHMARK(BM_RenderNotifyJson1KiB);

void BM_RenderNotifyString1KiB(benchmark::State& state) { render_bench(state, payload_of("text ", 'b', 1024)); }
BENCHMARK(BM_RenderNotifyString1KiB);

void BM_RenderNotifyBinary1KiB(benchmark::State& state) {
  render_bench(state, std::vector<std::uint8_t>(1024, 0xFF));
}
BENCHMARK(BM_RenderNotifyBinary1KiB);

// One sample of 1 KiB to N subscribers; the queues are drained outside the timing.
void BM_RouterDispatch(benchmark::State& state) {
  const auto subscribers = static_cast<std::size_t>(state.range(0));
  Router router;
  std::vector<QueueReceiver> receivers;
  for (std::size_t id = 1; id <= subscribers; ++id) {
    auto queue = make_connection_queue();
    router.register_connection(id, std::move(queue.sender));
    router.subscribe(id, "T");
    receivers.push_back(std::move(queue.receiver));
  }
  const std::vector<std::uint8_t> bytes(1024, 'x');
  const SharedBytes payload = SharedBytes::copy_of(bytes);
  std::size_t dispatched = 0;
  for (auto _ : state) {
    dispatched += router.dispatch("T", payload);
    if (dispatched >= 4096 * subscribers) {
      state.PauseTiming();
      for (auto& rx : receivers) {
        while (auto msg = rx.channel.try_pop()) {
          rx.budget->release(payload.size());
        }
      }
      dispatched = 0;
      state.ResumeTiming();
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(subscribers));
}
BENCHMARK(BM_RouterDispatch)->Arg(1)->Arg(10)->Arg(100);

}  // namespace
}  // namespace kelvane::bridge
