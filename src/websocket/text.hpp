#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kelvane::websocket {

// Trims Unicode white space (the White_Space property) from both ends of UTF-8 text.
[[nodiscard]] std::string_view trim_white_space(std::string_view text);

// The tokens between runs of white space.
[[nodiscard]] std::vector<std::string_view> split_white_space(std::string_view text);

// ASCII-only case folding, as HTTP header names and tokens use.
[[nodiscard]] std::string ascii_lower(std::string_view text);
[[nodiscard]] bool equals_ignore_ascii_case(std::string_view a, std::string_view b);

}  // namespace kelvane::websocket
