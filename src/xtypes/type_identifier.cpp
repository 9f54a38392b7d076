#include "xtypes/type_identifier.hpp"

#include <algorithm>
#include <type_traits>
#include <utility>

namespace kelvane::xtypes {

namespace {

constexpr std::string_view kArrayDimensionsTooLong = "plain array dimensions length exceeds u32::MAX";
constexpr std::string_view kSccInvalid = "SCC scc_length/scc_index invalid";

template <class... Ts>
struct Overloaded : Ts... {
  using Ts::operator()...;
};

using EncodeResult = std::expected<void, cdr::EncodeError>;
template <typename T>
using DecodeResult = std::expected<T, cdr::DecodeError>;

// Variant shapes, told apart by their members.
template <typename T>
concept HasHash = requires(const T& t) {
  t.hash;
};
template <typename T>
concept HasKey = requires(const T& t) {
  t.key;
};
template <typename T>
concept HasDimensions = requires(const T& t) {
  t.dimensions;
};
template <typename T>
concept HasElement = requires(const T& t) {
  t.element;
};
template <typename T>
concept HasBound = requires(const T& t) {
  t.bound;
};

void write_hash(cdr::BufferWriter& writer, const EquivalenceHash& hash) { writer.write_bytes(hash.bytes); }

// Small forms carry u8 bounds, large forms u32 bounds.
template <typename Bound>
void write_bound(cdr::BufferWriter& writer, Bound bound) {
  if constexpr (std::is_same_v<Bound, std::uint8_t>) {
    writer.write_u8(bound);
  } else {
    writer.write_u32(bound);
  }
}

void write_header(cdr::BufferWriter& writer, const PlainCollectionHeader& header) {
  writer.write_u8(header.equiv_kind);
  writer.write_u16(header.element_flags);
}

template <typename Dimension>
EncodeResult write_dimensions(cdr::BufferWriter& writer, const std::vector<Dimension>& dimensions) {
  if (dimensions.size() > UINT32_MAX)
    return std::unexpected(cdr::EncodeError::ValueTooLarge{kArrayDimensionsTooLong});
  writer.write_u32(static_cast<std::uint32_t>(dimensions.size()));
  for (Dimension d : dimensions) {
    if constexpr (std::is_same_v<Dimension, std::uint8_t>) {
      writer.write_u8(d);
    } else {
      writer.write_u32(d);
    }
  }
  return {};
}

DecodeResult<EquivalenceHash> read_hash(cdr::BufferReader& reader) {
  auto bytes = reader.read_bytes(14);
  if (!bytes) return std::unexpected(bytes.error());
  EquivalenceHash hash;
  std::copy(bytes->begin(), bytes->end(), hash.bytes.begin());
  return hash;
}

DecodeResult<std::vector<std::uint8_t>> read_small_dimensions(cdr::BufferReader& reader) {
  auto count = reader.read_u32();
  if (!count) return std::unexpected(count.error());
  // read_bytes checks the count against the remaining data before anything is copied.
  auto bytes = reader.read_bytes(*count);
  if (!bytes) return std::unexpected(bytes.error());
  return std::vector<std::uint8_t>(bytes->begin(), bytes->end());
}

DecodeResult<std::vector<std::uint32_t>> read_large_dimensions(cdr::BufferReader& reader) {
  auto count = reader.read_u32();
  if (!count) return std::unexpected(count.error());
  std::vector<std::uint32_t> dimensions;
  dimensions.reserve(std::min<std::size_t>({*count, reader.remaining() / 4, MAX_PRESIZED_DIMENSIONS}));
  for (std::uint32_t i = 0; i < *count; ++i) {
    auto d = reader.read_u32();
    if (!d) return std::unexpected(d.error());
    dimensions.push_back(*d);
  }
  return dimensions;
}

DecodeResult<ChildIdentifier> read_child(cdr::BufferReader& reader, std::size_t depth) {
  auto child = TypeIdentifier::decode_with_depth(reader, depth + 1);
  if (!child) return std::unexpected(child.error());
  return ChildIdentifier(std::move(*child));
}

// Small forms carry u8 bounds, large forms u32 bounds.
template <typename Bound>
DecodeResult<Bound> read_bound(cdr::BufferReader& reader) {
  if constexpr (std::is_same_v<Bound, std::uint8_t>) {
    return reader.read_u8();
  } else {
    return reader.read_u32();
  }
}

template <typename String>
DecodeResult<TypeIdentifier> read_string_type(cdr::BufferReader& reader) {
  auto bound = read_bound<decltype(String::bound)>(reader);
  if (!bound) return std::unexpected(bound.error());
  return TypeIdentifier{String{*bound}};
}

template <typename Sequence>
DecodeResult<TypeIdentifier> read_sequence(cdr::BufferReader& reader, std::size_t depth) {
  auto header = decode_collection_header(reader);
  if (!header) return std::unexpected(header.error());
  auto bound = read_bound<decltype(Sequence::bound)>(reader);
  if (!bound) return std::unexpected(bound.error());
  auto element = read_child(reader, depth);
  if (!element) return std::unexpected(element.error());
  return TypeIdentifier{Sequence{*header, *bound, std::move(*element)}};
}

template <typename Array>
DecodeResult<TypeIdentifier> read_array(cdr::BufferReader& reader, std::size_t depth) {
  auto header = decode_collection_header(reader);
  if (!header) return std::unexpected(header.error());
  auto dimensions = [&] {
    if constexpr (std::is_same_v<Array, PlainArraySmall>) {
      return read_small_dimensions(reader);
    } else {
      return read_large_dimensions(reader);
    }
  }();
  if (!dimensions) return std::unexpected(dimensions.error());
  auto element = read_child(reader, depth);
  if (!element) return std::unexpected(element.error());
  return TypeIdentifier{Array{*header, std::move(*dimensions), std::move(*element)}};
}

template <typename Map>
DecodeResult<TypeIdentifier> read_map(cdr::BufferReader& reader, std::size_t depth) {
  Map map;
  auto header = decode_collection_header(reader);
  if (!header) return std::unexpected(header.error());
  map.header = *header;
  auto bound = read_bound<decltype(Map::bound)>(reader);
  if (!bound) return std::unexpected(bound.error());
  map.bound = *bound;
  auto element = read_child(reader, depth);
  if (!element) return std::unexpected(element.error());
  map.element = std::move(*element);
  auto key_flags = reader.read_u16();
  if (!key_flags) return std::unexpected(key_flags.error());
  map.key_flags = *key_flags;
  auto key = read_child(reader, depth);
  if (!key) return std::unexpected(key.error());
  map.key = std::move(*key);
  return TypeIdentifier{std::move(map)};
}

template <typename Hashed>
DecodeResult<TypeIdentifier> read_hashed(cdr::BufferReader& reader) {
  auto hash = read_hash(reader);
  if (!hash) return std::unexpected(hash.error());
  return TypeIdentifier{Hashed{*hash}};
}

DecodeResult<TypeIdentifier> read_scc(cdr::BufferReader& reader) {
  auto hash = read_hash(reader);
  if (!hash) return std::unexpected(hash.error());
  auto length = reader.read_u32();
  if (!length) return std::unexpected(length.error());
  auto index = reader.read_u32();
  if (!index) return std::unexpected(index.error());
  return TypeIdentifier{StronglyConnectedComponent{*hash, static_cast<std::int32_t>(*length),
                                                   static_cast<std::int32_t>(*index)}};
}

DecodeResult<TypeIdentifier> decode_content(cdr::BufferReader& reader, std::size_t depth, std::uint8_t d) {
  if (d == TK_NONE) return TypeIdentifier{TkNone{}};
  if (is_primitive_kind(d)) return TypeIdentifier{Primitive{static_cast<PrimitiveKind>(d)}};
  switch (d) {
    case TI_STRING8_SMALL:
      return read_string_type<String8Small>(reader);
    case TI_STRING8_LARGE:
      return read_string_type<String8Large>(reader);
    case TI_STRING16_SMALL:
      return read_string_type<String16Small>(reader);
    case TI_STRING16_LARGE:
      return read_string_type<String16Large>(reader);
    case TI_PLAIN_SEQUENCE_SMALL:
      return read_sequence<PlainSequenceSmall>(reader, depth);
    case TI_PLAIN_SEQUENCE_LARGE:
      return read_sequence<PlainSequenceLarge>(reader, depth);
    case TI_PLAIN_ARRAY_SMALL:
      return read_array<PlainArraySmall>(reader, depth);
    case TI_PLAIN_ARRAY_LARGE:
      return read_array<PlainArrayLarge>(reader, depth);
    case TI_PLAIN_MAP_SMALL:
      return read_map<PlainMapSmall>(reader, depth);
    case TI_PLAIN_MAP_LARGE:
      return read_map<PlainMapLarge>(reader, depth);
    case TI_STRONGLY_CONNECTED_COMPONENT:
      return read_scc(reader);
    case EK_MINIMAL:
      return read_hashed<EquivalenceMinimal>(reader);
    case EK_COMPLETE:
      return read_hashed<EquivalenceComplete>(reader);
    default:
      return TypeIdentifier{OpaqueIdentifier{d}};
  }
}

}  // namespace

bool is_primitive_kind(std::uint8_t byte) {
  return (byte >= 0x01 && byte <= 0x0D) || byte == 0x10 || byte == 0x11;
}

ChildIdentifier::ChildIdentifier() : id_(std::make_unique<TypeIdentifier>()) {}
ChildIdentifier::ChildIdentifier(TypeIdentifier id) : id_(std::make_unique<TypeIdentifier>(std::move(id))) {}
ChildIdentifier::ChildIdentifier(const ChildIdentifier& other)
    : id_(std::make_unique<TypeIdentifier>(*other.id_)) {}
ChildIdentifier& ChildIdentifier::operator=(const ChildIdentifier& other) {
  if (this != &other) id_ = std::make_unique<TypeIdentifier>(*other.id_);
  return *this;
}
ChildIdentifier::~ChildIdentifier() = default;

bool operator==(const ChildIdentifier& a, const ChildIdentifier& b) {
  // A moved-from child holds nothing; two of them are equal, one is never equal to a live child.
  if (!a.id_ || !b.id_) return !a.id_ && !b.id_;
  return *a.id_ == *b.id_;
}

std::uint8_t TypeIdentifier::discriminator() const {
  return std::visit(Overloaded{
                        [](const TkNone&) { return TK_NONE; },
                        [](const Primitive& p) { return static_cast<std::uint8_t>(p.kind); },
                        [](const String8Small&) { return TI_STRING8_SMALL; },
                        [](const String8Large&) { return TI_STRING8_LARGE; },
                        [](const String16Small&) { return TI_STRING16_SMALL; },
                        [](const String16Large&) { return TI_STRING16_LARGE; },
                        [](const PlainSequenceSmall&) { return TI_PLAIN_SEQUENCE_SMALL; },
                        [](const PlainSequenceLarge&) { return TI_PLAIN_SEQUENCE_LARGE; },
                        [](const PlainArraySmall&) { return TI_PLAIN_ARRAY_SMALL; },
                        [](const PlainArrayLarge&) { return TI_PLAIN_ARRAY_LARGE; },
                        [](const PlainMapSmall&) { return TI_PLAIN_MAP_SMALL; },
                        [](const PlainMapLarge&) { return TI_PLAIN_MAP_LARGE; },
                        [](const StronglyConnectedComponent&) { return TI_STRONGLY_CONNECTED_COMPONENT; },
                        [](const EquivalenceMinimal&) { return EK_MINIMAL; },
                        [](const EquivalenceComplete&) { return EK_COMPLETE; },
                        [](const OpaqueIdentifier& o) { return o.discriminator; },
                    },
                    value);
}

std::expected<void, cdr::EncodeError> TypeIdentifier::encode_into(cdr::BufferWriter& writer) const {
  writer.write_u8(discriminator());
  return std::visit(
      [&](const auto& v) -> EncodeResult {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, StronglyConnectedComponent>) {
          if (v.scc_length < 0 ||
              static_cast<std::uint32_t>(v.scc_index) >= static_cast<std::uint32_t>(v.scc_length)) {
            return std::unexpected(cdr::EncodeError::ValueTooLarge{kSccInvalid});
          }
          write_hash(writer, v.hash);
          writer.write_u32(static_cast<std::uint32_t>(v.scc_length));
          writer.write_u32(static_cast<std::uint32_t>(v.scc_index));
        } else if constexpr (HasHash<T>) {
          write_hash(writer, v.hash);
        } else if constexpr (HasKey<T>) {
          write_header(writer, v.header);
          write_bound(writer, v.bound);
          if (auto r = v.element.get().encode_into(writer); !r) return r;
          writer.write_u16(v.key_flags);
          return v.key.get().encode_into(writer);
        } else if constexpr (HasDimensions<T>) {
          write_header(writer, v.header);
          if (auto r = write_dimensions(writer, v.dimensions); !r) return r;
          return v.element.get().encode_into(writer);
        } else if constexpr (HasElement<T>) {
          write_header(writer, v.header);
          write_bound(writer, v.bound);
          return v.element.get().encode_into(writer);
        } else if constexpr (HasBound<T>) {
          write_bound(writer, v.bound);
        }
        // TK_NONE, primitives and opaque identifiers are the discriminator alone.
        return {};
      },
      value);
}

std::expected<TypeIdentifier, cdr::DecodeError> TypeIdentifier::decode_with_depth(cdr::BufferReader& reader,
                                                                                  std::size_t depth) {
  if (depth >= MAX_TYPE_IDENTIFIER_DEPTH) {
    return std::unexpected(cdr::limit_exceeded(MAX_TYPE_IDENTIFIER_DEPTH, reader.position()));
  }
  auto d = reader.read_u8();
  if (!d) return std::unexpected(d.error());
  return decode_content(reader, depth, *d);
}

std::expected<void, cdr::EncodeError> TypeIdentifierWithSize::encode_into(cdr::BufferWriter& writer) const {
  if (auto r = type_id.encode_into(writer); !r) return r;
  writer.write_u32(typeobject_serialized_size);
  return {};
}

std::expected<TypeIdentifierWithSize, cdr::DecodeError> TypeIdentifierWithSize::decode(
    cdr::BufferReader& reader) {
  auto id = TypeIdentifier::decode_with_depth(reader, 0);
  if (!id) return std::unexpected(id.error());
  auto size = reader.read_u32();
  if (!size) return std::unexpected(size.error());
  return TypeIdentifierWithSize{std::move(*id), *size};
}

std::expected<PlainCollectionHeader, cdr::DecodeError> decode_collection_header(cdr::BufferReader& reader) {
  auto kind = reader.read_u8();
  if (!kind) return std::unexpected(kind.error());
  auto flags = reader.read_u16();
  if (!flags) return std::unexpected(flags.error());
  return PlainCollectionHeader{*kind, *flags};
}

}  // namespace kelvane::xtypes
