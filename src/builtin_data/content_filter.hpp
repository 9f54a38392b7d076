#pragma once

#include <cstdint>
#include <expected>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "rtps/wire_format_error.hpp"

namespace kelvane::builtin_data {

// DDS ContentFilterProperty_t, fields in wire order.
struct ContentFilterProperty {
  std::string content_filtered_topic_name;
  std::string related_topic_name;
  std::string filter_class_name;
  std::string filter_expression;
  std::vector<std::string> expression_parameters;

  friend bool operator==(const ContentFilterProperty&, const ContentFilterProperty&) = default;
};

// Four strings, each padded to 4, then the parameter list; little-endian.
[[nodiscard]] std::expected<std::vector<std::uint8_t>, rtps::WireFormatError>
encode_content_filter_property_le(const ContentFilterProperty& filter);
// Absent on any malformation.
[[nodiscard]] std::optional<ContentFilterProperty> decode_content_filter_property(
    std::span<const std::uint8_t> bytes, bool little_endian);

}  // namespace kelvane::builtin_data
