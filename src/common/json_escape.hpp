#pragma once

#include <string>
#include <string_view>

namespace kelvane {

// Appends text with the system's one JSON string escaping rule: '"', '\\', '\n', '\r'
// and '\t' get two-character escapes, other bytes below 0x20 become \u00xx (lower-case
// hex), everything else is copied unchanged. No surrounding quotes are added.
void append_json_escaped(std::string& out, std::string_view text);

}  // namespace kelvane
