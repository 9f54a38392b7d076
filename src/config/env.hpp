#pragma once

#include <string>
#include <string_view>

namespace kelvane::config {

// Replaces every ${VAR} and ${VAR:-default} in text with the variable's value from the
// environment (an empty value counts as set; a value that is not UTF-8 counts as
// unset), else the default, else nothing. References do not nest: a reference ends at
// its first '}'. A '$' not followed by '{' and one more character, or without a closing
// '}', is copied as it is.
[[nodiscard]] std::string expand_env_vars(std::string_view text);

}  // namespace kelvane::config
