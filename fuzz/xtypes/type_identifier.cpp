#include "xtypes/type_identifier.hpp"

#include <cstddef>
#include <cstdint>
#include <span>

using kelvane::xtypes::TypeIdentifier;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  for (bool little_endian : {true, false}) {
    kelvane::cdr::BufferReader reader(std::span<const std::uint8_t>(data, size), little_endian);
    auto id = TypeIdentifier::decode_with_depth(reader, 0);
    if (!id) continue;
    TypeIdentifier copy = *id;
    if (!(copy == *id)) __builtin_trap();
    kelvane::cdr::BufferWriter writer(little_endian);
    if (!id->encode_into(writer)) continue;  // e.g. a component index the encoder refuses
    auto bytes = writer.take();
    kelvane::cdr::BufferReader again_reader(bytes, little_endian);
    auto again = TypeIdentifier::decode_with_depth(again_reader, 0);
    if (!again || !(*again == *id) || again_reader.remaining() != 0) __builtin_trap();
  }
  return 0;
}
