#pragma once

#include <cstddef>
#include <string_view>

namespace kelvane::bridge {

// Byte length of the Unicode White_Space character starting at text[pos]; 0 when the
// character there is not white space (or pos is at the end).
[[nodiscard]] std::size_t white_space_len_at(std::string_view text, std::size_t pos);

}  // namespace kelvane::bridge
