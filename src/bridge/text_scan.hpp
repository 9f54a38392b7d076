#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace kelvane::bridge {

// Byte length of the Unicode White_Space character starting at text[pos]; 0 when the
// character there is not white space (or pos is at the end).
[[nodiscard]] std::size_t white_space_len_at(std::string_view text, std::size_t pos);

// Byte length of the Unicode White_Space character ending just before text[end]; 0 when
// there is none.
[[nodiscard]] std::size_t white_space_len_before(std::string_view text, std::size_t end);

// Where the first invalid UTF-8 sequence starts and how long it is; error_len 0 means
// the input ends inside an otherwise valid sequence.
struct Utf8Error {
  std::size_t valid_up_to = 0;
  std::size_t error_len = 0;
};

// Checks bytes as UTF-8 (no overlong forms, no surrogates, nothing above U+10FFFF).
[[nodiscard]] bool validate_utf8(std::span<const std::uint8_t> bytes, Utf8Error* error = nullptr);

// "invalid utf-8 sequence of N bytes from index P" or
// "incomplete utf-8 byte sequence from index P".
[[nodiscard]] std::string describe_utf8_error(const Utf8Error& error);

}  // namespace kelvane::bridge
