#pragma once

// Builders of submessage records and a reader of outgoing datagrams for the
// reliability tests.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "reliability/types.hpp"
#include "rtps/submessages.hpp"

namespace kelvane::reliability::testing {

inline GuidPrefix prefix(std::uint8_t tag) {
  GuidPrefix p;
  for (std::size_t i = 0; i < p.bytes.size(); ++i) p.bytes[i] = static_cast<std::uint8_t>(tag + i);
  return p;
}

inline constexpr EntityId kWriterId = rtps::make_entity_id(0x00, 0x00, 0x02, rtps::EntityKind::UserWriterNoKey);
inline constexpr EntityId kReaderId = rtps::make_entity_id(0x00, 0x00, 0x07, rtps::EntityKind::UserReaderWithKey);

inline rtps::DataSubmessage data(SequenceNumber sn, std::vector<std::uint8_t> payload = {0x00, 0x01, 0x00, 0x00}) {
  rtps::DataSubmessage d;
  d.reader_id = kReaderId;
  d.writer_id = kWriterId;
  d.writer_sn = sn;
  d.serialized_payload = SharedBytes::copy_of(payload);
  return d;
}

inline rtps::HeartbeatSubmessage heartbeat(SequenceNumber first, SequenceNumber last, bool final_flag = false) {
  rtps::HeartbeatSubmessage h;
  h.reader_id = kReaderId;
  h.writer_id = kWriterId;
  h.first_sn = first;
  h.last_sn = last;
  h.final_flag = final_flag;
  return h;
}

inline rtps::GapSubmessage gap(SequenceNumber start, SequenceNumber base, std::vector<SequenceNumber> members = {}) {
  rtps::GapSubmessage g;
  g.reader_id = kReaderId;
  g.writer_id = kWriterId;
  g.gap_start = start;
  g.gap_list.bitmap_base = base;
  for (const auto m : members) g.gap_list.add(m);
  return g;
}

// One submessage of an outgoing datagram.
struct SentSubmessage {
  std::uint8_t id = 0;
  std::uint8_t flags = 0;
  std::vector<std::uint8_t> body;
};

struct SentDatagram {
  GuidPrefix source;
  std::vector<SentSubmessage> submessages;
};

// Splits a little-endian datagram as this system writes it.
inline SentDatagram split(const std::vector<std::uint8_t>& bytes) {
  SentDatagram out;
  EXPECT_GE(bytes.size(), 20u);
  EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 4), (std::vector<std::uint8_t>{'R', 'T', 'P', 'S'}));
  std::copy(bytes.begin() + 8, bytes.begin() + 20, out.source.bytes.begin());
  std::size_t at = 20;
  while (at + 4 <= bytes.size()) {
    SentSubmessage s;
    s.id = bytes[at];
    s.flags = bytes[at + 1];
    const std::size_t length = bytes[at + 2] | (std::size_t{bytes[at + 3]} << 8);
    EXPECT_LE(at + 4 + length, bytes.size());
    s.body.assign(bytes.begin() + static_cast<std::ptrdiff_t>(at + 4),
                  bytes.begin() + static_cast<std::ptrdiff_t>(std::min(bytes.size(), at + 4 + length)));
    out.submessages.push_back(std::move(s));
    at += 4 + length;
  }
  EXPECT_EQ(at, bytes.size());
  return out;
}

template <typename Set>
auto members(const Set& set) {
  std::vector<decltype(set.bitmap_base)> out;
  set.for_each([&](auto n) { out.push_back(n); });
  return out;
}

}  // namespace kelvane::reliability::testing
