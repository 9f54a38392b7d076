#include "builtin_data/data_representation.hpp"

#include <algorithm>
#include <array>

namespace kelvane::builtin_data::data_representation {

std::optional<std::int16_t> negotiate(std::span<const std::int16_t> writer,
                                      std::span<const std::int16_t> reader, bool first_match) {
  static constexpr std::array<std::int16_t, 1> kDefault{XCDR_DATA_REPRESENTATION};
  if (writer.empty()) writer = kDefault;
  if (reader.empty()) reader = kDefault;
  const auto offered = first_match ? writer : writer.first(1);
  for (std::int16_t id : offered) {
    if (std::ranges::find(reader, id) != reader.end()) return id;
  }
  return std::nullopt;
}

}  // namespace kelvane::builtin_data::data_representation
