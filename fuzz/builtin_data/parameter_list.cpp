#include "builtin_data/parameter_list.hpp"

#include <cstddef>
#include <cstdint>
#include <span>

#include "builtin_data/property_list.hpp"

using kelvane::builtin_data::ParameterList;
using kelvane::builtin_data::WirePropertyList;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  for (bool little_endian : {true, false}) {
    auto list = ParameterList::from_bytes(bytes, little_endian);
    if (list) {
      (void)list->validate_must_understand_in_data_pipeline();
      auto encoded = list->to_bytes(little_endian);
      if (!encoded || encoded->size() != list->encoded_size()) __builtin_trap();
      auto again = ParameterList::from_bytes(*encoded, little_endian);
      if (!again || !(*again == *list)) __builtin_trap();
    }
    auto properties = WirePropertyList::decode(bytes, little_endian);
    if (properties) {
      auto encoded = properties->encode(little_endian);
      if (encoded && WirePropertyList::decode(*encoded, little_endian) != properties) __builtin_trap();
    }
  }
  return 0;
}
