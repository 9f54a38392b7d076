#pragma once

#include <cstddef>
#include <cstdint>
#include <expected>
#include <span>
#include <string>
#include <vector>

#include "rtps/wire_format_error.hpp"

namespace kelvane::builtin_data {

inline constexpr std::size_t MAX_PROPERTIES = 1024;
inline constexpr std::size_t MAX_BINARY_PROPERTY_VALUE_LEN = 65536;

struct WireProperty {
  std::string name;
  std::string value;

  friend bool operator==(const WireProperty&, const WireProperty&) = default;
};

// DDS property list: PropertySeq then BinaryPropertySeq. Binary properties are checked
// on read but not kept, and written as an empty sequence.
struct WirePropertyList {
  std::vector<WireProperty> properties;

  [[nodiscard]] std::expected<std::vector<std::uint8_t>, rtps::WireFormatError> encode(
      bool little_endian) const;
  // A list that ends right after its properties (as some peers send it) has no binary
  // properties.
  [[nodiscard]] static std::expected<WirePropertyList, rtps::WireFormatError> decode(
      std::span<const std::uint8_t> bytes, bool little_endian);

  friend bool operator==(const WirePropertyList&, const WirePropertyList&) = default;
};

}  // namespace kelvane::builtin_data
