#include "rtps/data_submessages.hpp"

#include "cdr/byte_order.hpp"
#include "rtps/body_io.hpp"

namespace kelvane::rtps {
namespace {

constexpr std::uint16_t kDataOctetsToInlineQos = 16;
constexpr std::uint16_t kDataFragOctetsToInlineQos = 28;

void append_bytes(std::vector<std::uint8_t>& out, std::span<const std::uint8_t> bytes) {
  out.insert(out.end(), bytes.begin(), bytes.end());
}

// The common start of DATA and DATA_FRAG: extraFlags, octetsToInlineQos, readerId,
// writerId, writerSN.
void append_data_prefix(std::vector<std::uint8_t>& out, std::uint16_t extra_flags, std::uint16_t octets_to_inline_qos,
                        const EntityId& reader, const EntityId& writer, SequenceNumber sn, bool little_endian) {
  body_io::append_u16(out, extra_flags, little_endian);
  body_io::append_u16(out, octets_to_inline_qos, little_endian);
  append_entity_id(out, reader);
  append_entity_id(out, writer);
  append_sequence_number(out, sn, little_endian);
}

// One E flag covers the whole body, and inline QoS values are opaque bytes that cannot be
// converted: a body carrying inline QoS is written in the order of its inline QoS.
bool body_order(const std::optional<EncodedParameterList>& qos, bool requested) {
  return qos ? qos->little_endian : requested;
}

std::size_t inline_qos_size(const std::optional<EncodedParameterList>& qos) { return qos ? qos->bytes.size() : 0; }


}  // namespace

std::size_t DataSubmessage::body_size() const {
  return DATA_MIN_BODY + inline_qos_size(inline_qos) + serialized_payload.size();
}

namespace {

constexpr std::size_t kEncapsulationHeaderSize = 4;
constexpr std::uint8_t kPaddingBits = 0x03;

// The body of a DATA is padded to a multiple of 4 when it is framed, and the payload ends
// the body; without this mark a receiver would take the padding for sample bytes.
void announce_payload_padding(std::vector<std::uint8_t>& out, std::size_t payload_at) {
  const std::size_t payload_size = out.size() - payload_at;
  const auto padding = static_cast<std::uint8_t>((4 - payload_size % 4) % 4);
  std::uint8_t& options = out[payload_at + kEncapsulationHeaderSize - 1];
  if (payload_size < kEncapsulationHeaderSize || padding == 0 || (options & kPaddingBits) != 0) return;
  options = static_cast<std::uint8_t>(options | padding);
}

}  // namespace

SharedBytes without_payload_padding(const SharedBytes& payload) {
  if (payload.size() < kEncapsulationHeaderSize) return payload;
  const std::size_t padding = payload.data()[kEncapsulationHeaderSize - 1] & kPaddingBits;
  if (payload.size() < kEncapsulationHeaderSize + padding) return payload;
  return payload.slice(0, payload.size() - padding);
}

std::uint8_t DataSubmessage::write_body_into(std::vector<std::uint8_t>& out, bool little_endian) const {
  little_endian = body_order(inline_qos, little_endian);
  out.reserve(out.size() + body_size());
  append_data_prefix(out, extra_flags, kDataOctetsToInlineQos, reader_id, writer_id, writer_sn, little_endian);
  std::uint8_t flags = little_endian ? FLAG_E : 0;
  if (inline_qos) {
    flags |= DATA_FLAG_Q;
    append_bytes(out, inline_qos->bytes.span());
  }
  if (has_data) flags |= DATA_FLAG_D;
  if (has_key) flags |= DATA_FLAG_K;
  if (non_standard_payload) flags |= DATA_FLAG_N;
  const std::size_t payload_at = out.size();
  append_bytes(out, serialized_payload.span());
  announce_payload_padding(out, payload_at);
  return flags;
}

SubmessageBody DataSubmessage::write_body(bool little_endian) const {
  SubmessageBody body;
  body.flags = write_body_into(body.bytes, little_endian);
  return body;
}

std::expected<DataSubmessage, WireFormatError> DataSubmessage::read_body(const SharedBytes& body, std::uint8_t flags) {
  if (body.size() < DATA_MIN_BODY) return std::unexpected(WireFormatError::UnexpectedEof{DATA_MIN_BODY, 0});
  const bool little = (flags & FLAG_E) != 0;
  const std::uint8_t* p = body.data();
  DataSubmessage data;
  data.extra_flags = cdr::load_u16(p, little);
  data.reader_id = load_entity_id(p + 4);
  data.writer_id = load_entity_id(p + 8);
  data.writer_sn = load_sequence_number(p + 12, little);
  data.has_data = (flags & DATA_FLAG_D) != 0;
  data.has_key = (flags & DATA_FLAG_K) != 0;
  data.non_standard_payload = (flags & DATA_FLAG_N) != 0;
  // octetsToInlineQos is not trusted: the inline QoS always starts at offset 20.
  std::size_t payload_at = DATA_MIN_BODY;
  if ((flags & DATA_FLAG_Q) != 0) {
    auto qos = EncodedParameterList::parse(body, DATA_MIN_BODY, little);
    if (!qos) return std::unexpected(qos.error());
    payload_at += qos->bytes.size();
    data.inline_qos = std::move(*qos);
  }
  data.serialized_payload = body.slice(payload_at, body.size());
  return data;
}

std::expected<DataSubmessage, WireFormatError> DataSubmessage::read_body(std::span<const std::uint8_t> body,
                                                                         std::uint8_t flags) {
  return read_body(SharedBytes::copy_of(body), flags);
}

std::size_t DataFragSubmessage::body_size() const {
  return DATA_FRAG_MIN_BODY + inline_qos_size(inline_qos) + fragment_data.size();
}

std::uint8_t DataFragSubmessage::write_body_into(std::vector<std::uint8_t>& out, bool little_endian) const {
  little_endian = body_order(inline_qos, little_endian);
  out.reserve(out.size() + body_size());
  append_data_prefix(out, extra_flags, kDataFragOctetsToInlineQos, reader_id, writer_id, writer_sn, little_endian);
  body_io::append_u32(out, fragment_starting_num, little_endian);
  body_io::append_u16(out, fragments_in_submessage, little_endian);
  body_io::append_u16(out, fragment_size, little_endian);
  body_io::append_u32(out, sample_size, little_endian);
  std::uint8_t flags = little_endian ? FLAG_E : 0;
  if (inline_qos) {
    flags |= DATA_FLAG_Q;
    append_bytes(out, inline_qos->bytes.span());
  }
  if (has_key) flags |= 0x04;
  if (non_standard_payload) flags |= 0x08;
  if (flag_0x10) flags |= 0x10;
  append_bytes(out, fragment_data.span());
  return flags;
}

SubmessageBody DataFragSubmessage::write_body(bool little_endian) const {
  SubmessageBody body;
  body.flags = write_body_into(body.bytes, little_endian);
  return body;
}

std::expected<DataFragSubmessage, WireFormatError> DataFragSubmessage::read_body(const SharedBytes& body,
                                                                                 std::uint8_t flags) {
  if (body.size() < DATA_FRAG_MIN_BODY) return std::unexpected(WireFormatError::UnexpectedEof{DATA_FRAG_MIN_BODY, 0});
  const bool little = (flags & FLAG_E) != 0;
  const std::uint8_t* p = body.data();
  const bool has_qos = (flags & DATA_FLAG_Q) != 0;
  if (!has_qos && cdr::load_u16(p + 2, little) != kDataFragOctetsToInlineQos) {
    return std::unexpected(WireFormatError::ValueOutOfRange{"DATA_FRAG.octetsToInlineQos must equal 28 when Q=false"});
  }
  DataFragSubmessage frag;
  frag.extra_flags = cdr::load_u16(p, little);
  frag.reader_id = load_entity_id(p + 4);
  frag.writer_id = load_entity_id(p + 8);
  frag.writer_sn = load_sequence_number(p + 12, little);
  frag.fragment_starting_num = cdr::load_u32(p + 20, little);
  frag.fragments_in_submessage = cdr::load_u16(p + 24, little);
  frag.fragment_size = cdr::load_u16(p + 26, little);
  frag.sample_size = cdr::load_u32(p + 28, little);
  frag.has_key = (flags & 0x04) != 0;
  frag.non_standard_payload = (flags & 0x08) != 0;
  frag.flag_0x10 = (flags & 0x10) != 0;
  std::size_t data_at = DATA_FRAG_MIN_BODY;
  if (has_qos) {
    auto qos = EncodedParameterList::parse(body, DATA_FRAG_MIN_BODY, little);
    if (!qos) return std::unexpected(qos.error());
    data_at += qos->bytes.size();
    frag.inline_qos = std::move(*qos);
  }
  frag.fragment_data = body.slice(data_at, body.size());
  return frag;
}

std::expected<DataFragSubmessage, WireFormatError> DataFragSubmessage::read_body(std::span<const std::uint8_t> body,
                                                                                 std::uint8_t flags) {
  return read_body(SharedBytes::copy_of(body), flags);
}

}  // namespace kelvane::rtps
