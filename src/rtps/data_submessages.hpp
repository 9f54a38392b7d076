#pragma once

#include <cstdint>
#include <expected>
#include <optional>
#include <span>
#include <vector>

#include "common/shared_bytes.hpp"
#include "rtps/encoded_parameter_list.hpp"
#include "rtps/submessage_ids.hpp"
#include "rtps/wire_format_error.hpp"
#include "rtps/wire_types.hpp"

namespace kelvane::rtps {

inline constexpr std::uint8_t DATA_FLAG_Q = 0x02;  // inline QoS present
inline constexpr std::uint8_t DATA_FLAG_D = 0x04;  // serialized data present
inline constexpr std::uint8_t DATA_FLAG_K = 0x08;  // serialized key present
inline constexpr std::uint8_t DATA_FLAG_N = 0x10;  // non-standard payload
inline constexpr std::size_t DATA_MIN_BODY = 20;
inline constexpr std::size_t DATA_FRAG_MIN_BODY = 32;

// A serialized payload starts with a 4-byte encapsulation header whose last two bits
// count the alignment padding appended after the data; those bytes are not part of the
// sample. Returns the payload without them (unchanged when no padding is announced).
[[nodiscard]] SharedBytes without_payload_padding(const SharedBytes& payload);

// DATA (0x15). Payload and inline QoS are shared slices: decoding copies nothing.
struct DataSubmessage {
  std::uint16_t extra_flags = 0;
  EntityId reader_id;
  EntityId writer_id;
  SequenceNumber writer_sn = 0;
  std::optional<EncodedParameterList> inline_qos;  // flag Q
  SharedBytes serialized_payload;
  bool has_data = true;               // flag D; without it the DATA carries no sample data
  bool has_key = false;               // flag K
  bool non_standard_payload = false;  // flag N

  // Appends the body to out and returns the flag byte (E tells the order used). Inline QoS
  // bytes are copied as they are, so a body with inline QoS is written in the inline
  // QoS's byte order whatever `little_endian` asks for.
  std::uint8_t write_body_into(std::vector<std::uint8_t>& out, bool little_endian) const;
  [[nodiscard]] SubmessageBody write_body(bool little_endian) const;
  // Exact length of the body write_body produces.
  [[nodiscard]] std::size_t body_size() const;

  // `body` is the whole body; payload and inline QoS become slices of it.
  [[nodiscard]] static std::expected<DataSubmessage, WireFormatError> read_body(const SharedBytes& body,
                                                                                std::uint8_t flags);
  // Copies the body once into a shared buffer, then as above.
  [[nodiscard]] static std::expected<DataSubmessage, WireFormatError> read_body(std::span<const std::uint8_t> body,
                                                                                std::uint8_t flags);

  friend bool operator==(const DataSubmessage&, const DataSubmessage&) = default;
};

// DATA_FRAG (0x16): fragments [fragment_starting_num, + fragments_in_submessage) of a
// sample of sample_size bytes.
struct DataFragSubmessage {
  std::uint16_t extra_flags = 0;
  EntityId reader_id;
  EntityId writer_id;
  SequenceNumber writer_sn = 0;
  FragmentNumber fragment_starting_num = 1;
  std::uint16_t fragments_in_submessage = 1;
  std::uint16_t fragment_size = 0;
  std::uint32_t sample_size = 0;
  std::optional<EncodedParameterList> inline_qos;  // flag Q; starts at body offset 32
  SharedBytes fragment_data;
  bool has_key = false;               // flag 0x04
  bool non_standard_payload = false;  // flag 0x08
  bool flag_0x10 = false;             // flag 0x10, carried unchanged

  std::uint8_t write_body_into(std::vector<std::uint8_t>& out, bool little_endian) const;
  [[nodiscard]] SubmessageBody write_body(bool little_endian) const;
  [[nodiscard]] std::size_t body_size() const;

  [[nodiscard]] static std::expected<DataFragSubmessage, WireFormatError> read_body(const SharedBytes& body,
                                                                                    std::uint8_t flags);
  [[nodiscard]] static std::expected<DataFragSubmessage, WireFormatError> read_body(
      std::span<const std::uint8_t> body, std::uint8_t flags);

  friend bool operator==(const DataFragSubmessage&, const DataFragSubmessage&) = default;
};

}  // namespace kelvane::rtps
