#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace kelvane::admin {

// The path an admin request asks for: the second white-space separated token of the
// first line ("/" when there is none), cut at the first '?'. Lines are split at runs of
// Unicode white space; bytes that are not valid UTF-8 are never white space. The method
// is not looked at: every method gets the same answers.
[[nodiscard]] std::string_view request_path(std::span<const std::uint8_t> request);

// True once a request holds its first line ending, so no more bytes are needed to route it.
[[nodiscard]] bool has_first_line(std::span<const std::uint8_t> request);

}  // namespace kelvane::admin
