#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace kelvane {

// Where and how a byte sequence stops being valid UTF-8.
struct Utf8Error {
  std::size_t valid_up_to = 0;            // length of the valid prefix
  std::optional<std::size_t> error_len;   // bytes of the invalid sequence; absent when the
                                          // input ends inside a sequence

  friend bool operator==(const Utf8Error&, const Utf8Error&) = default;
};

// nullopt when bytes are valid UTF-8 (no surrogates, no overlong forms, at most U+10FFFF).
[[nodiscard]] std::optional<Utf8Error> find_utf8_error(std::span<const std::uint8_t> bytes);

[[nodiscard]] inline bool is_valid_utf8(std::span<const std::uint8_t> bytes) { return !find_utf8_error(bytes); }
[[nodiscard]] inline bool is_valid_utf8(std::string_view text) {
  return is_valid_utf8(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

// "invalid utf-8 sequence of N bytes from index P" or
// "incomplete utf-8 byte sequence from index P".
[[nodiscard]] std::string describe(const Utf8Error& error);

// The bytes as text, each maximal invalid subsequence replaced by U+FFFD.
[[nodiscard]] std::string utf8_lossy(std::span<const std::uint8_t> bytes);

}  // namespace kelvane
