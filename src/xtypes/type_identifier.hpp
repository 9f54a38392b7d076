#pragma once

#include <array>
#include <compare>
#include <cstdint>
#include <expected>
#include <memory>
#include <variant>
#include <vector>

#include "cdr/buffer.hpp"

namespace kelvane::xtypes {

// Nesting limit of decoded identifiers: the outermost identifier is at depth 0.
inline constexpr std::size_t MAX_TYPE_IDENTIFIER_DEPTH = 16;
// Upper bound of the dimension entries reserved before the data has been read.
inline constexpr std::size_t MAX_PRESIZED_DIMENSIONS = 4096;

inline constexpr std::uint8_t EK_MINIMAL = 0xF1;
inline constexpr std::uint8_t EK_COMPLETE = 0xF2;

inline constexpr std::uint8_t TK_NONE = 0x00;
inline constexpr std::uint8_t TI_STRING8_SMALL = 0x70;
inline constexpr std::uint8_t TI_STRING8_LARGE = 0x71;
inline constexpr std::uint8_t TI_STRING16_SMALL = 0x72;
inline constexpr std::uint8_t TI_STRING16_LARGE = 0x73;
inline constexpr std::uint8_t TI_PLAIN_SEQUENCE_SMALL = 0x80;
inline constexpr std::uint8_t TI_PLAIN_SEQUENCE_LARGE = 0x81;
inline constexpr std::uint8_t TI_PLAIN_ARRAY_SMALL = 0x90;
inline constexpr std::uint8_t TI_PLAIN_ARRAY_LARGE = 0x91;
inline constexpr std::uint8_t TI_PLAIN_MAP_SMALL = 0xA0;
inline constexpr std::uint8_t TI_PLAIN_MAP_LARGE = 0xA1;
inline constexpr std::uint8_t TI_STRONGLY_CONNECTED_COMPONENT = 0xB0;

// 14-byte hash of a type object; ordered bytewise, the key of the type registries.
struct EquivalenceHash {
  std::array<std::uint8_t, 14> bytes{};

  friend auto operator<=>(const EquivalenceHash&, const EquivalenceHash&) = default;
};

enum class PrimitiveKind : std::uint8_t {
  Boolean = 0x01,
  Byte = 0x02,
  Int16 = 0x03,
  Int32 = 0x04,
  Int64 = 0x05,
  Uint16 = 0x06,
  Uint32 = 0x07,
  Uint64 = 0x08,
  Float32 = 0x09,
  Float64 = 0x0A,
  Float128 = 0x0B,
  Int8 = 0x0C,
  Uint8 = 0x0D,
  Char8 = 0x10,
  Char16 = 0x11,
};

// True for the type-kind bytes that name a primitive.
[[nodiscard]] bool is_primitive_kind(std::uint8_t byte);

// Equivalence kind and element flags are carried unchanged, never validated.
struct PlainCollectionHeader {
  std::uint8_t equiv_kind = 0;
  std::uint16_t element_flags = 0;

  friend bool operator==(const PlainCollectionHeader&, const PlainCollectionHeader&) = default;
};

struct TypeIdentifier;

// An owned child identifier: deep copies, compares by value. Never empty.
class ChildIdentifier {
 public:
  ChildIdentifier();
  explicit ChildIdentifier(TypeIdentifier id);
  ChildIdentifier(const ChildIdentifier& other);
  ChildIdentifier& operator=(const ChildIdentifier& other);
  ChildIdentifier(ChildIdentifier&&) noexcept = default;
  ChildIdentifier& operator=(ChildIdentifier&&) noexcept = default;
  ~ChildIdentifier();

  [[nodiscard]] const TypeIdentifier& get() const { return *id_; }
  [[nodiscard]] TypeIdentifier& get() { return *id_; }

  friend bool operator==(const ChildIdentifier& a, const ChildIdentifier& b);

 private:
  std::unique_ptr<TypeIdentifier> id_;
};

struct TkNone {
  friend bool operator==(const TkNone&, const TkNone&) = default;
};
struct Primitive {
  PrimitiveKind kind = PrimitiveKind::Boolean;
  friend bool operator==(const Primitive&, const Primitive&) = default;
};
struct String8Small {
  std::uint8_t bound = 0;
  friend bool operator==(const String8Small&, const String8Small&) = default;
};
struct String8Large {
  std::uint32_t bound = 0;
  friend bool operator==(const String8Large&, const String8Large&) = default;
};
struct String16Small {
  std::uint8_t bound = 0;
  friend bool operator==(const String16Small&, const String16Small&) = default;
};
struct String16Large {
  std::uint32_t bound = 0;
  friend bool operator==(const String16Large&, const String16Large&) = default;
};
struct PlainSequenceSmall {
  PlainCollectionHeader header;
  std::uint8_t bound = 0;
  ChildIdentifier element;
  friend bool operator==(const PlainSequenceSmall&, const PlainSequenceSmall&) = default;
};
struct PlainSequenceLarge {
  PlainCollectionHeader header;
  std::uint32_t bound = 0;
  ChildIdentifier element;
  friend bool operator==(const PlainSequenceLarge&, const PlainSequenceLarge&) = default;
};
struct PlainArraySmall {
  PlainCollectionHeader header;
  std::vector<std::uint8_t> dimensions;
  ChildIdentifier element;
  friend bool operator==(const PlainArraySmall&, const PlainArraySmall&) = default;
};
struct PlainArrayLarge {
  PlainCollectionHeader header;
  std::vector<std::uint32_t> dimensions;
  ChildIdentifier element;
  friend bool operator==(const PlainArrayLarge&, const PlainArrayLarge&) = default;
};
struct PlainMapSmall {
  PlainCollectionHeader header;
  std::uint8_t bound = 0;
  ChildIdentifier element;
  std::uint16_t key_flags = 0;
  ChildIdentifier key;
  friend bool operator==(const PlainMapSmall&, const PlainMapSmall&) = default;
};
struct PlainMapLarge {
  PlainCollectionHeader header;
  std::uint32_t bound = 0;
  ChildIdentifier element;
  std::uint16_t key_flags = 0;
  ChildIdentifier key;
  friend bool operator==(const PlainMapLarge&, const PlainMapLarge&) = default;
};
struct StronglyConnectedComponent {
  EquivalenceHash hash;
  std::int32_t scc_length = 0;
  std::int32_t scc_index = 0;
  friend bool operator==(const StronglyConnectedComponent&, const StronglyConnectedComponent&) = default;
};
struct EquivalenceMinimal {
  EquivalenceHash hash;
  friend bool operator==(const EquivalenceMinimal&, const EquivalenceMinimal&) = default;
};
struct EquivalenceComplete {
  EquivalenceHash hash;
  friend bool operator==(const EquivalenceComplete&, const EquivalenceComplete&) = default;
};
// A discriminator without a named meaning; nothing follows it on the wire.
struct OpaqueIdentifier {
  std::uint8_t discriminator = 0;
  friend bool operator==(const OpaqueIdentifier&, const OpaqueIdentifier&) = default;
};

// Names a data type by itself or through the equivalence hash of its type object.
struct TypeIdentifier {
  using Value = std::variant<TkNone, Primitive, String8Small, String8Large, String16Small, String16Large,
                             PlainSequenceSmall, PlainSequenceLarge, PlainArraySmall, PlainArrayLarge,
                             PlainMapSmall, PlainMapLarge, StronglyConnectedComponent, EquivalenceMinimal,
                             EquivalenceComplete, OpaqueIdentifier>;
  Value value;

  // The first byte of the identifier on the wire.
  [[nodiscard]] std::uint8_t discriminator() const;

  // Appends the identifier in the writer's byte order (XCDR2, final: no length headers).
  // On failure the bytes written so far stay in the writer.
  [[nodiscard]] std::expected<void, cdr::EncodeError> encode_into(cdr::BufferWriter& writer) const;

  // Reads one identifier; callers outside this file pass depth 0.
  [[nodiscard]] static std::expected<TypeIdentifier, cdr::DecodeError> decode_with_depth(
      cdr::BufferReader& reader, std::size_t depth);

  friend bool operator==(const TypeIdentifier&, const TypeIdentifier&) = default;
};

// A type identifier with the serialized size of its type object.
struct TypeIdentifierWithSize {
  TypeIdentifier type_id;
  std::uint32_t typeobject_serialized_size = 0;

  [[nodiscard]] std::expected<void, cdr::EncodeError> encode_into(cdr::BufferWriter& writer) const;
  [[nodiscard]] static std::expected<TypeIdentifierWithSize, cdr::DecodeError> decode(
      cdr::BufferReader& reader);

  friend bool operator==(const TypeIdentifierWithSize&, const TypeIdentifierWithSize&) = default;
};

// Reads the plain collection header: equivalence kind, then element flags.
[[nodiscard]] std::expected<PlainCollectionHeader, cdr::DecodeError> decode_collection_header(
    cdr::BufferReader& reader);

}  // namespace kelvane::xtypes
