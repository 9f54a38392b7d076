#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kelvane {

// Unicode white space is the White_Space property in UTF-8: tab, line feed, vertical
// tab, form feed, carriage return, space, U+0085, U+00A0, U+1680, U+2000..U+200A,
// U+2028, U+2029, U+202F, U+205F, U+3000. Bytes that are not valid UTF-8 are never
// white space.

// Byte length of the white-space character starting at text[pos]; 0 when the character
// there is not white space (or pos is at the end).
[[nodiscard]] std::size_t white_space_length_at(std::string_view text, std::size_t pos);

// Removes white space from both ends, or from the end only.
[[nodiscard]] std::string_view trim_white_space(std::string_view text);
[[nodiscard]] std::string_view trim_white_space_end(std::string_view text);

// The tokens between runs of white space.
[[nodiscard]] std::vector<std::string_view> split_white_space(std::string_view text);

// The ASCII subset of white space: tab, line feed, vertical tab, form feed, carriage
// return, space.
[[nodiscard]] constexpr bool is_ascii_space(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
[[nodiscard]] std::string_view trim_ascii_space(std::string_view text);

// ASCII-only case folding, as HTTP header names and tokens use; other bytes must match
// exactly.
[[nodiscard]] std::string ascii_lower(std::string_view text);
[[nodiscard]] bool equals_ignore_ascii_case(std::string_view a, std::string_view b);

}  // namespace kelvane
