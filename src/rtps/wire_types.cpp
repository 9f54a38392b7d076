#include "rtps/wire_types.hpp"

#include <cstring>

#include "cdr/byte_order.hpp"
#include "common/encoding.hpp"

namespace kelvane::rtps {

EntityKind entity_kind_from_byte(std::uint8_t byte) {
  switch (byte) {
    case 0x02:
    case 0x03:
    case 0x04:
    case 0x07:
    case 0xC1:
    case 0xC2:
    case 0xC3:
    case 0xC4:
    case 0xC7:
      return static_cast<EntityKind>(byte);
    default:
      return EntityKind::Unknown;
  }
}

std::string_view to_string(EntityKind kind) {
  switch (kind) {
    case EntityKind::Unknown: return "Unknown";
    case EntityKind::UserWriterWithKey: return "UserWriterWithKey";
    case EntityKind::UserWriterNoKey: return "UserWriterNoKey";
    case EntityKind::UserReaderNoKey: return "UserReaderNoKey";
    case EntityKind::UserReaderWithKey: return "UserReaderWithKey";
    case EntityKind::Participant: return "Participant";
    case EntityKind::BuiltinWriterWithKey: return "BuiltinWriterWithKey";
    case EntityKind::BuiltinWriterNoKey: return "BuiltinWriterNoKey";
    case EntityKind::BuiltinReaderNoKey: return "BuiltinReaderNoKey";
    case EntityKind::BuiltinReaderWithKey: return "BuiltinReaderWithKey";
  }
  return "Unknown";
}

EntityId EntityId::from_bytes(std::span<const std::uint8_t, 4> bytes) {
  return EntityId{{bytes[0], bytes[1], bytes[2]}, entity_kind_from_byte(bytes[3])};
}

std::array<std::uint8_t, 4> EntityId::to_bytes() const {
  return {entity_key[0], entity_key[1], entity_key[2], static_cast<std::uint8_t>(entity_kind)};
}

std::string to_debug_string(const EntityId& id) {
  return "EntityId { entity_key: [" + std::to_string(id.entity_key[0]) + ", " + std::to_string(id.entity_key[1]) +
         ", " + std::to_string(id.entity_key[2]) + "], entity_kind: " + std::string(to_string(id.entity_kind)) + " }";
}

Guid Guid::from_bytes(std::span<const std::uint8_t, 16> bytes) {
  Guid guid;
  std::memcpy(guid.prefix.bytes.data(), bytes.data(), 12);
  guid.entity_id = EntityId::from_bytes(bytes.subspan<12, 4>());
  return guid;
}

std::array<std::uint8_t, 16> Guid::to_bytes() const {
  std::array<std::uint8_t, 16> out{};
  std::memcpy(out.data(), prefix.bytes.data(), 12);
  const auto id = entity_id.to_bytes();
  std::memcpy(out.data() + 12, id.data(), 4);
  return out;
}

std::string to_string(const Guid& guid) {
  return to_hex(guid.prefix.bytes) + "|" + to_hex(guid.entity_id.to_bytes());
}

bool is_accepted_locator_kind(std::int32_t kind) {
  switch (kind) {
    case LOCATOR_KIND_INVALID:
    case LOCATOR_KIND_RESERVED:
    case LOCATOR_KIND_UDPv4:
    case LOCATOR_KIND_UDPv6:
    case LOCATOR_KIND_TCPv4:
    case LOCATOR_KIND_TCPv6:
    case LOCATOR_KIND_VENDOR_0:
    case LOCATOR_KIND_VENDOR_1:
      return true;
    default:
      return false;
  }
}

Locator Locator::udpv4(std::array<std::uint8_t, 4> ipv4, std::uint32_t port) {
  Locator locator{LOCATOR_KIND_UDPv4, port, {}};
  std::memcpy(locator.address.data() + 12, ipv4.data(), 4);
  return locator;
}

SequenceNumber load_sequence_number(const std::uint8_t* p, bool little_endian) {
  const auto high = static_cast<std::int32_t>(cdr::load_u32(p, little_endian));
  const std::uint32_t low = cdr::load_u32(p + 4, little_endian);
  return static_cast<SequenceNumber>((static_cast<std::uint64_t>(static_cast<std::uint32_t>(high)) << 32) | low);
}

void store_sequence_number(std::uint8_t* p, SequenceNumber sn, bool little_endian) {
  const auto bits = static_cast<std::uint64_t>(sn);
  cdr::store_u32(p, static_cast<std::uint32_t>(bits >> 32), little_endian);
  cdr::store_u32(p + 4, static_cast<std::uint32_t>(bits), little_endian);
}

void append_sequence_number(std::vector<std::uint8_t>& out, SequenceNumber sn, bool little_endian) {
  const std::size_t at = out.size();
  out.resize(at + 8);
  store_sequence_number(out.data() + at, sn, little_endian);
}

void append_entity_id(std::vector<std::uint8_t>& out, const EntityId& id) {
  const auto bytes = id.to_bytes();
  out.insert(out.end(), bytes.begin(), bytes.end());
}

std::expected<Locator, WireFormatError> read_locator(std::span<const std::uint8_t> bytes, std::size_t offset,
                                                     bool little_endian) {
  if (offset > bytes.size() || bytes.size() - offset < LOCATOR_WIRE_SIZE) {
    return std::unexpected(WireFormatError::UnexpectedEof{LOCATOR_WIRE_SIZE, offset});
  }
  const std::uint8_t* p = bytes.data() + offset;
  Locator locator;
  locator.kind = static_cast<std::int32_t>(cdr::load_u32(p, little_endian));
  if (!is_accepted_locator_kind(locator.kind)) {
    return std::unexpected(WireFormatError::UnknownLocatorKind{static_cast<std::uint32_t>(locator.kind)});
  }
  locator.port = cdr::load_u32(p + 4, little_endian);
  std::memcpy(locator.address.data(), p + 8, 16);
  return locator;
}

void append_locator(std::vector<std::uint8_t>& out, const Locator& locator, bool little_endian) {
  const std::size_t at = out.size();
  out.resize(at + LOCATOR_WIRE_SIZE);
  cdr::store_u32(out.data() + at, static_cast<std::uint32_t>(locator.kind), little_endian);
  cdr::store_u32(out.data() + at + 4, locator.port, little_endian);
  std::memcpy(out.data() + at + 8, locator.address.data(), 16);
}

}  // namespace kelvane::rtps

namespace {
std::size_t fnv1a(const std::uint8_t* p, std::size_t n) {
  std::uint64_t h = 1469598103934665603ULL;
  for (std::size_t i = 0; i < n; ++i) {
    h ^= p[i];
    h *= 1099511628211ULL;
  }
  return static_cast<std::size_t>(h);
}
}  // namespace

std::size_t std::hash<kelvane::rtps::GuidPrefix>::operator()(const kelvane::rtps::GuidPrefix& p) const noexcept {
  return fnv1a(p.bytes.data(), p.bytes.size());
}

std::size_t std::hash<kelvane::rtps::EntityId>::operator()(const kelvane::rtps::EntityId& id) const noexcept {
  const auto bytes = id.to_bytes();
  return fnv1a(bytes.data(), bytes.size());
}

std::size_t std::hash<kelvane::rtps::Guid>::operator()(const kelvane::rtps::Guid& guid) const noexcept {
  const auto bytes = guid.to_bytes();
  return fnv1a(bytes.data(), bytes.size());
}
