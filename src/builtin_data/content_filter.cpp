#include "builtin_data/content_filter.hpp"

#include "builtin_data/value_codec.hpp"

namespace kelvane::builtin_data {

std::expected<std::vector<std::uint8_t>, rtps::WireFormatError> encode_content_filter_property_le(
    const ContentFilterProperty& filter) {
  std::vector<std::uint8_t> out;
  for (const std::string* text : {&filter.content_filtered_topic_name, &filter.related_topic_name,
                                  &filter.filter_class_name, &filter.filter_expression}) {
    if (auto r = append_cdr_string_le(out, *text); !r) return std::unexpected(r.error());
  }
  if (auto r = append_string_list_le(out, filter.expression_parameters); !r)
    return std::unexpected(r.error());
  return out;
}

std::optional<ContentFilterProperty> decode_content_filter_property(std::span<const std::uint8_t> bytes,
                                                                    bool little_endian) {
  ContentFilterProperty filter;
  std::size_t pos = 0;
  for (std::string* text : {&filter.content_filtered_topic_name, &filter.related_topic_name,
                            &filter.filter_class_name, &filter.filter_expression}) {
    auto value = read_value_string(bytes, pos, little_endian);
    if (!value) return std::nullopt;
    *text = std::move(*value);
    pos = align_4(pos);
  }
  auto parameters = read_string_list(bytes, pos, little_endian);
  if (!parameters) return std::nullopt;
  filter.expression_parameters = std::move(*parameters);
  return filter;
}

}  // namespace kelvane::builtin_data
