// Feeds a ReliableWriter writes, ticks and hostile ACKNACK and NACK_FRAG bodies from a
// matched and an unknown reader: nothing may crash, hang or grow without bound.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "reliability/reliable_writer.hpp"

namespace {

using namespace kelvane;
using namespace kelvane::reliability;

constexpr EntityId kWriterId = rtps::make_entity_id(0, 0, 2, rtps::EntityKind::UserWriterNoKey);
constexpr EntityId kReaderId = rtps::make_entity_id(0, 0, 7, rtps::EntityKind::UserReaderWithKey);
constexpr std::size_t kDepth = 8;

GuidPrefix prefix(std::uint8_t tag) {
  GuidPrefix p;
  p.bytes.fill(tag);
  return p;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ReliableWriterConfig config;
  config.history_kind = KeepLast{kDepth};
  config.writer_guid = Guid{prefix(1), kWriterId};
  config.mtu = 300;
  config.fragment_size = 100;
  ReaderProxy proxy;
  proxy.remote_reader_guid = Guid{prefix(2), kReaderId};
  proxy.locators = {Locator::udpv4({127, 0, 0, 1}, 7402)};
  config.reader_proxies = {proxy};
  ReliableWriter writer(config);
  std::span<const std::uint8_t> in(data, size);
  std::chrono::nanoseconds now{0};
  // Each step: op byte, flag byte, body length byte, body.
  while (in.size() >= 3) {
    const std::uint8_t op = in[0];
    const std::uint8_t flags = in[1];
    const std::size_t length = std::min<std::size_t>(in[2], in.size() - 3);
    const auto body = in.subspan(3, length);
    in = in.subspan(3 + length);
    const GuidPrefix source = prefix((op & 0x10) != 0 ? 3 : 2);
    now += std::chrono::milliseconds(op >> 5);
    switch (op & 0x03) {
      case 0: {
        const std::vector<std::uint8_t> payload(std::size_t{flags} * 3, 0x11);
        (void)writer.write(payload);
        break;
      }
      case 1:
        if (auto a = rtps::AckNackSubmessage::read_body(body, flags)) {
          std::vector<SequenceNumber> requested;
          a->reader_sn_state.for_each([&](SequenceNumber sn) { requested.push_back(sn); });
          writer.handle_acknack(Guid{source, kReaderId}, a->reader_sn_state.bitmap_base, requested);
        }
        break;
      case 2:
        if (auto n = rtps::NackFragSubmessage::read_body(body, flags)) {
          if ((op & 0x08) == 0) n->writer_id = kWriterId;
          writer.handle_nackfrag(Guid{source, kReaderId}, *n);
        }
        break;
      default:
        (void)writer.tick(now);
        break;
    }
    if (writer.history().size() > kDepth) std::abort();
    for (const auto& p : writer.reader_proxies()) {
      // Requests stay within what was written and not yet acknowledged.
      if (p.highest_acknowledged > writer.last_sequence_number()) std::abort();
      if (!p.requested_changes.empty() && (*p.requested_changes.begin() <= p.highest_acknowledged ||
                                           *p.requested_changes.rbegin() > writer.last_sequence_number())) {
        std::abort();
      }
    }
  }
  return 0;
}
