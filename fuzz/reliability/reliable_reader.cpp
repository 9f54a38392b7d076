// Feeds a ReliableReader a hostile stream of DATA, DATA_FRAG, GAP and HEARTBEAT bodies
// from two writers sharing an entity id, with ticks in between: nothing may crash, hang
// or grow without bound, and delivery must stay strictly in order per writer.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <span>

#include "reliability/reliable_reader.hpp"

namespace {

using namespace kelvane;
using namespace kelvane::reliability;

constexpr EntityId kWriterId = rtps::make_entity_id(0, 0, 2, rtps::EntityKind::UserWriterNoKey);
constexpr EntityId kReaderId = rtps::make_entity_id(0, 0, 7, rtps::EntityKind::UserReaderWithKey);
constexpr std::size_t kMaxCachedPerWriter = 16;

GuidPrefix prefix(std::uint8_t tag) {
  GuidPrefix p;
  p.bytes.fill(tag);
  return p;
}

ReliableReader make_reader() {
  ReliableReaderConfig config;
  config.reader_guid = Guid{prefix(9), kReaderId};
  config.max_samples_per_writer = kMaxCachedPerWriter;
  config.assembler_caps = AssemblerCaps{4, 64 * 1024, 65535};
  for (const std::uint8_t tag : {1, 2}) {
    WriterProxy proxy;
    proxy.remote_writer_guid = Guid{prefix(tag), kWriterId};
    proxy.locators = {Locator::udpv4({127, 0, 0, 1}, 7400 + tag)};
    config.writer_proxies.push_back(proxy);
  }
  return ReliableReader(config);
}

void check_order(std::map<Guid, SequenceNumber>& last, const std::vector<DeliveredSample>& samples) {
  for (const auto& s : samples) {
    auto& previous = last[s.writer_guid];
    if (s.sequence_number <= previous) std::abort();
    previous = s.sequence_number;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ReliableReader reader = make_reader();
  std::map<Guid, SequenceNumber> last;
  std::span<const std::uint8_t> in(data, size);
  std::chrono::nanoseconds now{0};
  // Each step: op byte, flag byte, body length byte, body.
  while (in.size() >= 3) {
    const std::uint8_t op = in[0];
    const std::uint8_t flags = in[1];
    const std::size_t length = std::min<std::size_t>(in[2], in.size() - 3);
    const auto body = in.subspan(3, length);
    in = in.subspan(3 + length);
    const GuidPrefix source = prefix((op & 0x10) != 0 ? 2 : 1);
    // Bit 5 keeps the writerId from the body; otherwise it names the matched writer.
    const bool keep_writer_id = (op & 0x20) != 0;
    now += std::chrono::milliseconds(op >> 6);
    switch (op & 0x07) {
      case 0:
        if (auto d = rtps::DataSubmessage::read_body(body, flags)) {
          if (!keep_writer_id) d->writer_id = kWriterId;
          check_order(last, reader.handle_data(source, *d));
        }
        break;
      case 1:
        if (auto f = rtps::DataFragSubmessage::read_body(body, flags)) {
          if (!keep_writer_id) f->writer_id = kWriterId;
          check_order(last, reader.handle_data_frag(source, *f, now));
        }
        break;
      case 2:
        if (auto g = rtps::GapSubmessage::read_body(body, flags)) {
          if (!keep_writer_id) g->writer_id = kWriterId;
          check_order(last, reader.handle_gap(source, *g));
        }
        break;
      case 3:
        if (auto h = rtps::HeartbeatSubmessage::read_body(body, flags)) {
          if (!keep_writer_id) h->writer_id = kWriterId;
          check_order(last, reader.handle_heartbeat(source, *h, now));
        }
        break;
      default:
        (void)reader.tick_outbound(now);
        break;
    }
    for (const auto& w : reader.writer_proxies()) {
      if (w.cache.size() > kMaxCachedPerWriter || w.assembler.pending().size() > 4 ||
          w.proxy.irrelevant.range_count() > kMaxIrrelevantRanges) {
        std::abort();
      }
    }
  }
  return 0;
}
