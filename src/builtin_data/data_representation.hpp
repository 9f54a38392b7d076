#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace kelvane::builtin_data::data_representation {

inline constexpr std::int16_t XCDR_DATA_REPRESENTATION = 0;
inline constexpr std::int16_t XML_DATA_REPRESENTATION = 1;
inline constexpr std::int16_t XCDR2_DATA_REPRESENTATION = 2;

// The representation a writer and a reader agree on, or none. An empty list stands for
// XCDR alone. Without first_match only the writer's first representation is offered;
// with it, the first of the writer's list, in its order, that the reader accepts.
[[nodiscard]] std::optional<std::int16_t> negotiate(std::span<const std::int16_t> writer,
                                                    std::span<const std::int16_t> reader, bool first_match);

}  // namespace kelvane::builtin_data::data_representation
