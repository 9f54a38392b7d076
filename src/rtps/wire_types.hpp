#pragma once

#include <array>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <expected>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "rtps/wire_format_error.hpp"

namespace kelvane::rtps {

// 12 bytes naming a participant; no byte-order conversion on the wire.
struct GuidPrefix {
  std::array<std::uint8_t, 12> bytes{};
  friend auto operator<=>(const GuidPrefix&, const GuidPrefix&) = default;
};

inline constexpr GuidPrefix GUIDPREFIX_UNKNOWN{};

// Kind byte of an entity id. Bytes outside this set decode as Unknown.
enum class EntityKind : std::uint8_t {
  Unknown = 0x00,
  UserWriterWithKey = 0x02,
  UserWriterNoKey = 0x03,
  UserReaderNoKey = 0x04,
  UserReaderWithKey = 0x07,
  Participant = 0xC1,
  BuiltinWriterWithKey = 0xC2,
  BuiltinWriterNoKey = 0xC3,
  BuiltinReaderNoKey = 0xC4,
  BuiltinReaderWithKey = 0xC7,
};

[[nodiscard]] EntityKind entity_kind_from_byte(std::uint8_t byte);
[[nodiscard]] std::string_view to_string(EntityKind kind);

struct EntityId {
  std::array<std::uint8_t, 3> entity_key{};
  EntityKind entity_kind = EntityKind::Unknown;

  // Key bytes as they are, kind mapped through the EntityKind table.
  [[nodiscard]] static EntityId from_bytes(std::span<const std::uint8_t, 4> bytes);
  [[nodiscard]] std::array<std::uint8_t, 4> to_bytes() const;

  friend auto operator<=>(const EntityId&, const EntityId&) = default;
};

// Debugging form: "EntityId { entity_key: [0, 0, 1], entity_kind: Participant }".
[[nodiscard]] std::string to_debug_string(const EntityId& id);

inline constexpr EntityId make_entity_id(std::uint8_t k0, std::uint8_t k1, std::uint8_t k2, EntityKind kind) {
  return EntityId{{k0, k1, k2}, kind};
}

// Well-known entity ids.
inline constexpr EntityId ENTITYID_UNKNOWN{};
inline constexpr EntityId ENTITYID_PARTICIPANT = make_entity_id(0x00, 0x00, 0x01, EntityKind::Participant);
inline constexpr EntityId ENTITYID_SEDP_BUILTIN_TOPICS_ANNOUNCER =
    make_entity_id(0x00, 0x00, 0x02, EntityKind::BuiltinWriterWithKey);
inline constexpr EntityId ENTITYID_SEDP_BUILTIN_TOPICS_DETECTOR =
    make_entity_id(0x00, 0x00, 0x02, EntityKind::BuiltinReaderWithKey);
inline constexpr EntityId ENTITYID_SEDP_BUILTIN_PUBLICATIONS_ANNOUNCER =
    make_entity_id(0x00, 0x00, 0x03, EntityKind::BuiltinWriterWithKey);
inline constexpr EntityId ENTITYID_SEDP_BUILTIN_PUBLICATIONS_DETECTOR =
    make_entity_id(0x00, 0x00, 0x03, EntityKind::BuiltinReaderWithKey);
inline constexpr EntityId ENTITYID_SEDP_BUILTIN_SUBSCRIPTIONS_ANNOUNCER =
    make_entity_id(0x00, 0x00, 0x04, EntityKind::BuiltinWriterWithKey);
inline constexpr EntityId ENTITYID_SEDP_BUILTIN_SUBSCRIPTIONS_DETECTOR =
    make_entity_id(0x00, 0x00, 0x04, EntityKind::BuiltinReaderWithKey);
inline constexpr EntityId ENTITYID_SPDP_BUILTIN_PARTICIPANT_ANNOUNCER =
    make_entity_id(0x00, 0x01, 0x00, EntityKind::BuiltinWriterWithKey);
inline constexpr EntityId ENTITYID_SPDP_BUILTIN_PARTICIPANT_DETECTOR =
    make_entity_id(0x00, 0x01, 0x00, EntityKind::BuiltinReaderWithKey);
inline constexpr EntityId ENTITYID_P2P_BUILTIN_PARTICIPANT_MESSAGE_WRITER =
    make_entity_id(0x00, 0x02, 0x00, EntityKind::BuiltinWriterWithKey);
inline constexpr EntityId ENTITYID_P2P_BUILTIN_PARTICIPANT_MESSAGE_READER =
    make_entity_id(0x00, 0x02, 0x00, EntityKind::BuiltinReaderWithKey);
inline constexpr EntityId ENTITYID_P2P_BUILTIN_PARTICIPANT_STATELESS_WRITER =
    make_entity_id(0x00, 0x02, 0x01, EntityKind::BuiltinWriterNoKey);
inline constexpr EntityId ENTITYID_P2P_BUILTIN_PARTICIPANT_STATELESS_READER =
    make_entity_id(0x00, 0x02, 0x01, EntityKind::BuiltinReaderNoKey);
inline constexpr EntityId ENTITYID_P2P_BUILTIN_PARTICIPANT_VOLATILE_SECURE_WRITER =
    make_entity_id(0xFF, 0x02, 0x02, EntityKind::BuiltinWriterWithKey);
inline constexpr EntityId ENTITYID_P2P_BUILTIN_PARTICIPANT_VOLATILE_SECURE_READER =
    make_entity_id(0xFF, 0x02, 0x02, EntityKind::BuiltinReaderWithKey);
inline constexpr EntityId ENTITYID_TL_SVC_REQ_WRITER = make_entity_id(0x00, 0x03, 0x00, EntityKind::BuiltinWriterNoKey);
inline constexpr EntityId ENTITYID_TL_SVC_REQ_READER = make_entity_id(0x00, 0x03, 0x00, EntityKind::BuiltinReaderNoKey);
inline constexpr EntityId ENTITYID_TL_SVC_REPLY_WRITER =
    make_entity_id(0x00, 0x03, 0x01, EntityKind::BuiltinWriterNoKey);
inline constexpr EntityId ENTITYID_TL_SVC_REPLY_READER =
    make_entity_id(0x00, 0x03, 0x01, EntityKind::BuiltinReaderNoKey);

struct Guid {
  GuidPrefix prefix;
  EntityId entity_id;

  // Prefix, then entity id; the kind byte is mapped through the EntityKind table.
  [[nodiscard]] static Guid from_bytes(std::span<const std::uint8_t, 16> bytes);
  [[nodiscard]] std::array<std::uint8_t, 16> to_bytes() const;
  // The GUID of the participant that owns this entity.
  [[nodiscard]] Guid participant() const { return Guid{prefix, ENTITYID_PARTICIPANT}; }

  friend auto operator<=>(const Guid&, const Guid&) = default;
};

// Lower-case hex of the 16 wire bytes, prefix and entity id separated by '|'.
[[nodiscard]] std::string to_string(const Guid& guid);

// Signed 64-bit; on the wire the high half as i32, then the low half as u32.
using SequenceNumber = std::int64_t;
inline constexpr SequenceNumber SEQUENCENUMBER_UNKNOWN = -(std::int64_t{1} << 32);

// 1-based number of a fragment of a sample.
using FragmentNumber = std::uint32_t;

inline constexpr std::int32_t LOCATOR_KIND_INVALID = -1;
inline constexpr std::int32_t LOCATOR_KIND_RESERVED = 0;
inline constexpr std::int32_t LOCATOR_KIND_UDPv4 = 1;
inline constexpr std::int32_t LOCATOR_KIND_UDPv6 = 2;
inline constexpr std::int32_t LOCATOR_KIND_TCPv4 = 4;
inline constexpr std::int32_t LOCATOR_KIND_TCPv6 = 8;
inline constexpr std::int32_t LOCATOR_KIND_VENDOR_0 = static_cast<std::int32_t>(0x81000000U);
inline constexpr std::int32_t LOCATOR_KIND_VENDOR_1 = static_cast<std::int32_t>(0x81000001U);
inline constexpr std::size_t LOCATOR_WIRE_SIZE = 24;

// True for the kinds the decoders accept.
[[nodiscard]] bool is_accepted_locator_kind(std::int32_t kind);

struct Locator {
  std::int32_t kind = LOCATOR_KIND_INVALID;
  std::uint32_t port = 0;
  std::array<std::uint8_t, 16> address{};  // IPv4 in the last four bytes

  [[nodiscard]] static Locator udpv4(std::array<std::uint8_t, 4> ipv4, std::uint32_t port);
  [[nodiscard]] std::array<std::uint8_t, 4> ipv4() const { return {address[12], address[13], address[14], address[15]}; }

  friend auto operator<=>(const Locator&, const Locator&) = default;
};

struct ProtocolVersion {
  std::uint8_t major = 2;
  std::uint8_t minor = 5;
  friend auto operator<=>(const ProtocolVersion&, const ProtocolVersion&) = default;
};

inline constexpr ProtocolVersion PROTOCOLVERSION_2_5{2, 5};

struct VendorId {
  std::array<std::uint8_t, 2> bytes{};
  friend auto operator<=>(const VendorId&, const VendorId&) = default;
};

inline constexpr VendorId VENDORID_UNKNOWN{};
inline constexpr VendorId VENDORID_KELVANE{{0x01, 0xF0}};

// ---- Wire helpers: fixed layouts in the byte order of the enclosing submessage or
// parameter list. Loads expect the caller to have checked the length.

[[nodiscard]] SequenceNumber load_sequence_number(const std::uint8_t* p, bool little_endian);
void store_sequence_number(std::uint8_t* p, SequenceNumber sn, bool little_endian);
void append_sequence_number(std::vector<std::uint8_t>& out, SequenceNumber sn, bool little_endian);

[[nodiscard]] inline EntityId load_entity_id(const std::uint8_t* p) {
  return EntityId::from_bytes(std::span<const std::uint8_t, 4>(p, 4));
}
void append_entity_id(std::vector<std::uint8_t>& out, const EntityId& id);

// Reads 24 bytes at offset; UnexpectedEof if they are missing, UnknownLocatorKind for a
// kind outside the accepted set.
[[nodiscard]] std::expected<Locator, WireFormatError> read_locator(std::span<const std::uint8_t> bytes,
                                                                   std::size_t offset, bool little_endian);
void append_locator(std::vector<std::uint8_t>& out, const Locator& locator, bool little_endian);

}  // namespace kelvane::rtps

template <>
struct std::hash<kelvane::rtps::GuidPrefix> {
  std::size_t operator()(const kelvane::rtps::GuidPrefix& p) const noexcept;
};
template <>
struct std::hash<kelvane::rtps::EntityId> {
  std::size_t operator()(const kelvane::rtps::EntityId& id) const noexcept;
};
template <>
struct std::hash<kelvane::rtps::Guid> {
  std::size_t operator()(const kelvane::rtps::Guid& guid) const noexcept;
};
