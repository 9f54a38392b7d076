#include "builtin_data/participant_message_data.hpp"

#include <algorithm>
#include <string_view>

#include "builtin_data/value_codec.hpp"
#include "cdr/byte_order.hpp"

namespace kelvane::builtin_data {

namespace {

constexpr std::string_view kDataTooLong = "ParticipantMessageData.data exceeds MAX_DATA_LEN";

constexpr std::size_t kHeaderSize = 4;
constexpr std::size_t kFullBodyMin = 24;   // GUID, kind, length
constexpr std::size_t kShortBodyMin = 20;  // prefix, kind, length

}  // namespace

std::expected<std::vector<std::uint8_t>, rtps::WireFormatError> ParticipantMessageData::to_cdr(
    bool little_endian) const {
  if (data.size() > MAX_DATA_LEN)
    return std::unexpected(rtps::WireFormatError::ValueOutOfRange{kDataTooLong});
  std::vector<std::uint8_t> out{0x00, static_cast<std::uint8_t>(little_endian ? 0x01 : 0x00), 0x00, 0x00};
  out.reserve(kHeaderSize + kFullBodyMin + data.size());
  const auto guid = participant_guid.to_bytes();
  out.insert(out.end(), guid.begin(), guid.end());
  append_u32(out, kind, little_endian);
  append_u32(out, static_cast<std::uint32_t>(data.size()), little_endian);
  out.insert(out.end(), data.begin(), data.end());
  return out;
}

std::expected<ParticipantMessageData, rtps::WireFormatError> ParticipantMessageData::from_cdr(
    std::span<const std::uint8_t> bytes) {
  if (bytes.size() < kHeaderSize) return std::unexpected(rtps::WireFormatError::UnexpectedEof{4, 0});
  const std::uint8_t id = bytes[1];
  if (bytes[0] != 0 || (id != 0x00 && id != 0x01 && id != 0x06 && id != 0x07)) {
    return std::unexpected(rtps::WireFormatError::UnsupportedEncapsulation{{bytes[0], bytes[1]}});
  }
  const bool le = id == 0x01 || id == 0x07;
  const auto body = bytes.subspan(kHeaderSize);

  ParticipantMessageData message;
  std::size_t pos = 0;
  if (body.size() >= kFullBodyMin) {
    message.participant_guid = rtps::Guid::from_bytes(body.first<16>());
    pos = 16;
  } else if (body.size() >= kShortBodyMin) {
    std::copy_n(body.begin(), 12, message.participant_guid.prefix.bytes.begin());
    message.participant_guid.entity_id = rtps::ENTITYID_PARTICIPANT;
    pos = 12;
  } else {
    return std::unexpected(rtps::WireFormatError::UnexpectedEof{kFullBodyMin, kHeaderSize});
  }
  message.kind = cdr::load_u32(body.data() + pos, le);
  const std::uint32_t length = cdr::load_u32(body.data() + pos + 4, le);
  pos += 8;
  if (length > MAX_DATA_LEN) return std::unexpected(rtps::WireFormatError::ValueOutOfRange{kDataTooLong});
  if (body.size() - pos < length)
    return std::unexpected(rtps::WireFormatError::UnexpectedEof{length, kHeaderSize + pos});
  message.data.assign(body.begin() + static_cast<std::ptrdiff_t>(pos),
                      body.begin() + static_cast<std::ptrdiff_t>(pos + length));
  return message;
}

}  // namespace kelvane::builtin_data
