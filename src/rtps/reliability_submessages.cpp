#include "rtps/reliability_submessages.hpp"

#include <cstring>
#include <limits>

#include "cdr/byte_order.hpp"
#include "rtps/body_io.hpp"

namespace kelvane::rtps {
namespace {

constexpr std::size_t kHeartbeatBody = 28;
constexpr std::size_t kHeartbeatGroupBody = 56;
constexpr std::size_t kWriterSetEntry = 12;
constexpr std::size_t kAckNackMinBody = 8;
constexpr std::size_t kGapMinBody = 16;
constexpr std::size_t kNackFragMinBody = 28;
constexpr std::size_t kHeartbeatFragBody = 24;

std::unexpected<WireFormatError> eof(std::size_t needed, std::size_t offset) {
  return std::unexpected(WireFormatError(WireFormatError::UnexpectedEof{needed, offset}));
}

template <typename Body>
SubmessageBody body_of(const Body& record, bool little_endian) {
  SubmessageBody body;
  body.flags = record.write_body_into(body.bytes, little_endian);
  return body;
}

// Reads the u32 count that follows a bitmap set at offset `at`.
std::expected<std::uint32_t, WireFormatError> read_count(std::span<const std::uint8_t> body, std::size_t at,
                                                         bool little) {
  if (body.size() - at < 4) return eof(4, at);
  return cdr::load_u32(body.data() + at, little);
}

}  // namespace

std::uint8_t HeartbeatSubmessage::write_body_into(std::vector<std::uint8_t>& out, bool little_endian) const {
  append_entity_id(out, reader_id);
  append_entity_id(out, writer_id);
  append_sequence_number(out, first_sn, little_endian);
  append_sequence_number(out, last_sn, little_endian);
  body_io::append_u32(out, count, little_endian);
  std::uint8_t flags = little_endian ? FLAG_E : 0;
  if (final_flag) flags |= HEARTBEAT_FLAG_F;
  if (liveliness_flag) flags |= HEARTBEAT_FLAG_L;
  if (group_info) {
    flags |= HEARTBEAT_FLAG_G;
    append_sequence_number(out, group_info->current_gsn, little_endian);
    append_sequence_number(out, group_info->first_gsn, little_endian);
    append_sequence_number(out, group_info->last_gsn, little_endian);
    const auto entries = group_info->writer_set.size();
    const auto saturated = entries > std::numeric_limits<std::uint32_t>::max() ? std::numeric_limits<std::uint32_t>::max()
                                                                               : static_cast<std::uint32_t>(entries);
    body_io::append_u32(out, saturated, little_endian);
    for (const auto& entry : group_info->writer_set) out.insert(out.end(), entry.begin(), entry.end());
  }
  return flags;
}

SubmessageBody HeartbeatSubmessage::write_body(bool little_endian) const { return body_of(*this, little_endian); }

std::expected<HeartbeatSubmessage, WireFormatError> HeartbeatSubmessage::read_body(std::span<const std::uint8_t> body,
                                                                                   std::uint8_t flags) {
  if (body.size() < kHeartbeatBody) return eof(kHeartbeatBody, 0);
  const bool little = (flags & FLAG_E) != 0;
  const std::uint8_t* p = body.data();
  HeartbeatSubmessage hb;
  hb.reader_id = load_entity_id(p);
  hb.writer_id = load_entity_id(p + 4);
  hb.first_sn = load_sequence_number(p + 8, little);
  hb.last_sn = load_sequence_number(p + 16, little);
  hb.count = cdr::load_u32(p + 24, little);
  hb.final_flag = (flags & HEARTBEAT_FLAG_F) != 0;
  hb.liveliness_flag = (flags & HEARTBEAT_FLAG_L) != 0;
  if ((flags & HEARTBEAT_FLAG_G) != 0) {
    if (body.size() < kHeartbeatGroupBody) return eof(kHeartbeatGroupBody - kHeartbeatBody, kHeartbeatBody);
    HeartbeatGroupInfo group;
    group.current_gsn = load_sequence_number(p + 28, little);
    group.first_gsn = load_sequence_number(p + 36, little);
    group.last_gsn = load_sequence_number(p + 44, little);
    const std::uint64_t n = cdr::load_u32(p + 52, little);
    if (n * kWriterSetEntry > body.size() - kHeartbeatGroupBody) {
      return std::unexpected(WireFormatError::ValueOutOfRange{"HEARTBEAT.groupInfo.writerSet length exceeds body"});
    }
    group.writer_set.resize(static_cast<std::size_t>(n));
    for (std::size_t i = 0; i < group.writer_set.size(); ++i) {
      std::memcpy(group.writer_set[i].data(), p + kHeartbeatGroupBody + kWriterSetEntry * i, kWriterSetEntry);
    }
    hb.group_info = std::move(group);
  }
  return hb;
}

std::expected<HeartbeatFragSubmessage, WireFormatError> HeartbeatFragSubmessage::read_body(
    std::span<const std::uint8_t> body, std::uint8_t flags) {
  if (body.size() < kHeartbeatFragBody) return eof(kHeartbeatFragBody, 0);
  const bool little = (flags & FLAG_E) != 0;
  const std::uint8_t* p = body.data();
  HeartbeatFragSubmessage hb;
  hb.reader_id = load_entity_id(p);
  hb.writer_id = load_entity_id(p + 4);
  hb.writer_sn = load_sequence_number(p + 8, little);
  hb.last_fragment_num = cdr::load_u32(p + 16, little);
  hb.count = cdr::load_u32(p + 20, little);
  return hb;
}

std::uint8_t AckNackSubmessage::write_body_into(std::vector<std::uint8_t>& out, bool little_endian) const {
  append_entity_id(out, reader_id);
  append_entity_id(out, writer_id);
  reader_sn_state.write_to(out, little_endian);
  body_io::append_u32(out, count, little_endian);
  std::uint8_t flags = little_endian ? FLAG_E : 0;
  if (final_flag) flags |= ACKNACK_FLAG_F;
  return flags;
}

SubmessageBody AckNackSubmessage::write_body(bool little_endian) const { return body_of(*this, little_endian); }

std::expected<AckNackSubmessage, WireFormatError> AckNackSubmessage::read_body(std::span<const std::uint8_t> body,
                                                                               std::uint8_t flags) {
  if (body.size() < kAckNackMinBody) return eof(kAckNackMinBody, 0);
  const bool little = (flags & FLAG_E) != 0;
  AckNackSubmessage ack;
  ack.reader_id = load_entity_id(body.data());
  ack.writer_id = load_entity_id(body.data() + 4);
  auto set = SequenceNumberSet::read_from(body, kAckNackMinBody, little);
  if (!set) return std::unexpected(set.error());
  ack.reader_sn_state = set->first;
  auto count = read_count(body, set->second, little);
  if (!count) return std::unexpected(count.error());
  ack.count = *count;
  ack.final_flag = (flags & ACKNACK_FLAG_F) != 0;
  return ack;
}

std::uint8_t GapSubmessage::write_body_into(std::vector<std::uint8_t>& out, bool little_endian) const {
  append_entity_id(out, reader_id);
  append_entity_id(out, writer_id);
  append_sequence_number(out, gap_start, little_endian);
  gap_list.write_to(out, little_endian);
  std::uint8_t flags = little_endian ? FLAG_E : 0;
  if (group_info) {
    flags |= GAP_FLAG_GROUP_INFO;
    append_sequence_number(out, group_info->gap_start_gsn, little_endian);
    append_sequence_number(out, group_info->gap_end_gsn, little_endian);
  }
  if (filtered_count) {
    flags |= GAP_FLAG_FILTERED_COUNT;
    body_io::append_u32(out, *filtered_count, little_endian);
  }
  return flags;
}

SubmessageBody GapSubmessage::write_body(bool little_endian) const { return body_of(*this, little_endian); }

std::expected<GapSubmessage, WireFormatError> GapSubmessage::read_body(std::span<const std::uint8_t> body,
                                                                       std::uint8_t flags) {
  if (body.size() < kGapMinBody) return eof(kGapMinBody, 0);
  const bool little = (flags & FLAG_E) != 0;
  GapSubmessage gap;
  gap.reader_id = load_entity_id(body.data());
  gap.writer_id = load_entity_id(body.data() + 4);
  gap.gap_start = load_sequence_number(body.data() + 8, little);
  auto set = SequenceNumberSet::read_from(body, kGapMinBody, little);
  if (!set) return std::unexpected(set.error());
  gap.gap_list = set->first;
  std::size_t at = set->second;
  if ((flags & GAP_FLAG_GROUP_INFO) != 0) {
    if (body.size() - at < 16) return eof(16, at);
    gap.group_info = GapGroupInfo{load_sequence_number(body.data() + at, little),
                                  load_sequence_number(body.data() + at + 8, little)};
    at += 16;
  }
  if ((flags & GAP_FLAG_FILTERED_COUNT) != 0) {
    auto filtered = read_count(body, at, little);
    if (!filtered) return std::unexpected(filtered.error());
    gap.filtered_count = *filtered;
  }
  return gap;
}

std::uint8_t NackFragSubmessage::write_body_into(std::vector<std::uint8_t>& out, bool little_endian) const {
  append_entity_id(out, reader_id);
  append_entity_id(out, writer_id);
  append_sequence_number(out, writer_sn, little_endian);
  fragment_number_state.write_to(out, little_endian);
  body_io::append_u32(out, count, little_endian);
  return little_endian ? FLAG_E : 0;
}

SubmessageBody NackFragSubmessage::write_body(bool little_endian) const { return body_of(*this, little_endian); }

std::expected<NackFragSubmessage, WireFormatError> NackFragSubmessage::read_body(std::span<const std::uint8_t> body,
                                                                                 std::uint8_t flags) {
  if (body.size() < kNackFragMinBody) return eof(kNackFragMinBody, 0);
  const bool little = (flags & FLAG_E) != 0;
  NackFragSubmessage nack;
  nack.reader_id = load_entity_id(body.data());
  nack.writer_id = load_entity_id(body.data() + 4);
  nack.writer_sn = load_sequence_number(body.data() + 8, little);
  auto set = FragmentNumberSet::read_from(body, 16, little);
  if (!set) return std::unexpected(set.error());
  nack.fragment_number_state = set->first;
  auto count = read_count(body, set->second, little);
  if (!count) return std::unexpected(count.error());
  nack.count = *count;
  return nack;
}

}  // namespace kelvane::rtps
