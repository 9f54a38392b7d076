#pragma once

#include <array>
#include <cstdint>
#include <expected>
#include <optional>
#include <span>
#include <vector>

#include "rtps/bitmap_sets.hpp"
#include "rtps/submessage_ids.hpp"
#include "rtps/wire_format_error.hpp"
#include "rtps/wire_types.hpp"

namespace kelvane::rtps {

inline constexpr std::uint8_t HEARTBEAT_FLAG_F = 0x02;  // final: no reply required
inline constexpr std::uint8_t HEARTBEAT_FLAG_L = 0x04;  // liveliness
inline constexpr std::uint8_t HEARTBEAT_FLAG_G = 0x08;  // group information present
inline constexpr std::uint8_t ACKNACK_FLAG_F = 0x02;
inline constexpr std::uint8_t GAP_FLAG_GROUP_INFO = 0x04;
inline constexpr std::uint8_t GAP_FLAG_FILTERED_COUNT = 0x08;

struct HeartbeatGroupInfo {
  SequenceNumber current_gsn = 0;
  SequenceNumber first_gsn = 0;
  SequenceNumber last_gsn = 0;
  std::vector<std::array<std::uint8_t, 12>> writer_set;  // entries copied as they are
  friend bool operator==(const HeartbeatGroupInfo&, const HeartbeatGroupInfo&) = default;
};

// HEARTBEAT (0x07).
struct HeartbeatSubmessage {
  EntityId reader_id;
  EntityId writer_id;
  SequenceNumber first_sn = 1;
  SequenceNumber last_sn = 0;
  std::uint32_t count = 0;
  bool final_flag = false;
  bool liveliness_flag = false;
  std::optional<HeartbeatGroupInfo> group_info;  // flag G

  std::uint8_t write_body_into(std::vector<std::uint8_t>& out, bool little_endian) const;
  [[nodiscard]] SubmessageBody write_body(bool little_endian) const;
  [[nodiscard]] static std::expected<HeartbeatSubmessage, WireFormatError> read_body(
      std::span<const std::uint8_t> body, std::uint8_t flags);
  friend bool operator==(const HeartbeatSubmessage&, const HeartbeatSubmessage&) = default;
};

// HEARTBEAT_FRAG (0x13); read only.
struct HeartbeatFragSubmessage {
  EntityId reader_id;
  EntityId writer_id;
  SequenceNumber writer_sn = 0;
  FragmentNumber last_fragment_num = 0;
  std::uint32_t count = 0;

  [[nodiscard]] static std::expected<HeartbeatFragSubmessage, WireFormatError> read_body(
      std::span<const std::uint8_t> body, std::uint8_t flags);
  friend bool operator==(const HeartbeatFragSubmessage&, const HeartbeatFragSubmessage&) = default;
};

// ACKNACK (0x06).
struct AckNackSubmessage {
  EntityId reader_id;
  EntityId writer_id;
  SequenceNumberSet reader_sn_state;
  std::uint32_t count = 0;
  bool final_flag = false;

  std::uint8_t write_body_into(std::vector<std::uint8_t>& out, bool little_endian) const;
  [[nodiscard]] SubmessageBody write_body(bool little_endian) const;
  [[nodiscard]] static std::expected<AckNackSubmessage, WireFormatError> read_body(std::span<const std::uint8_t> body,
                                                                                   std::uint8_t flags);
  friend bool operator==(const AckNackSubmessage&, const AckNackSubmessage&) = default;
};

struct GapGroupInfo {
  SequenceNumber gap_start_gsn = 0;
  SequenceNumber gap_end_gsn = 0;
  friend bool operator==(const GapGroupInfo&, const GapGroupInfo&) = default;
};

// GAP (0x08): gap_start up to (not including) gap_list.bitmap_base, plus every member of
// gap_list, are irrelevant to the reader.
struct GapSubmessage {
  EntityId reader_id;
  EntityId writer_id;
  SequenceNumber gap_start = 0;
  SequenceNumberSet gap_list;
  std::optional<GapGroupInfo> group_info;      // flag 0x04
  std::optional<std::uint32_t> filtered_count;  // flag 0x08

  std::uint8_t write_body_into(std::vector<std::uint8_t>& out, bool little_endian) const;
  [[nodiscard]] SubmessageBody write_body(bool little_endian) const;
  [[nodiscard]] static std::expected<GapSubmessage, WireFormatError> read_body(std::span<const std::uint8_t> body,
                                                                               std::uint8_t flags);
  friend bool operator==(const GapSubmessage&, const GapSubmessage&) = default;
};

// NACK_FRAG (0x12).
struct NackFragSubmessage {
  EntityId reader_id;
  EntityId writer_id;
  SequenceNumber writer_sn = 0;
  FragmentNumberSet fragment_number_state;
  std::uint32_t count = 0;

  std::uint8_t write_body_into(std::vector<std::uint8_t>& out, bool little_endian) const;
  [[nodiscard]] SubmessageBody write_body(bool little_endian) const;
  [[nodiscard]] static std::expected<NackFragSubmessage, WireFormatError> read_body(
      std::span<const std::uint8_t> body, std::uint8_t flags);
  friend bool operator==(const NackFragSubmessage&, const NackFragSubmessage&) = default;
};

}  // namespace kelvane::rtps
