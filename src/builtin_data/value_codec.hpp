#pragma once

#include <cstddef>
#include <cstdint>
#include <expected>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "rtps/wire_format_error.hpp"

namespace kelvane::builtin_data {

// Longest property string accepted on read, NUL included.
inline constexpr std::size_t MAX_PROPERTY_STRING_LEN = 65536;

// Property-list string codec: u32 length (bytes + 1), the bytes, a NUL; no alignment
// before, no padding after (the caller pads).
[[nodiscard]] std::expected<void, rtps::WireFormatError> write_cdr_string(std::vector<std::uint8_t>& out,
                                                                          std::string_view text,
                                                                          bool little_endian);
// Reads at pos (no alignment) and moves pos to just after the NUL. Strings longer than
// MAX_PROPERTY_STRING_LEN are refused.
[[nodiscard]] std::expected<std::string, rtps::WireFormatError> read_cdr_string(
    std::span<const std::uint8_t> bytes, std::size_t& pos, bool little_endian);

// Value encodings inside parameter values: written little-endian and padded to 4, read in
// the byte order given by the caller.
[[nodiscard]] std::expected<std::vector<std::uint8_t>, rtps::WireFormatError> encode_cdr_string_le(
    std::string_view text);
[[nodiscard]] std::expected<std::string, rtps::WireFormatError> decode_cdr_string(
    std::span<const std::uint8_t> bytes, bool little_endian);

[[nodiscard]] std::expected<std::vector<std::uint8_t>, rtps::WireFormatError> encode_octet_seq_le(
    std::span<const std::uint8_t> bytes);
// Absent on any malformation.
[[nodiscard]] std::optional<std::vector<std::uint8_t>> decode_octet_seq(std::span<const std::uint8_t> bytes,
                                                                        bool little_endian);

// u32 count, then count CDR strings, each starting at a multiple of 4.
[[nodiscard]] std::expected<std::vector<std::uint8_t>, rtps::WireFormatError> encode_partition_le(
    std::span<const std::string> names);
// Absent when any string does not fit or does not decode.
[[nodiscard]] std::optional<std::vector<std::string>> decode_partition(std::span<const std::uint8_t> bytes,
                                                                       bool little_endian);

// Building blocks shared by the record codecs.

// Appends a CDR string (u32 length, bytes, NUL) little-endian, then pads out to 4.
[[nodiscard]] std::expected<void, rtps::WireFormatError> append_cdr_string_le(std::vector<std::uint8_t>& out,
                                                                              std::string_view text);
// Appends a partition-style string list little-endian at the current (4-aligned) end of out.
[[nodiscard]] std::expected<void, rtps::WireFormatError> append_string_list_le(
    std::vector<std::uint8_t>& out, std::span<const std::string> names);
// Reads a CDR string at pos without a length cap; pos moves to just after the NUL.
[[nodiscard]] std::expected<std::string, rtps::WireFormatError> read_value_string(
    std::span<const std::uint8_t> bytes, std::size_t& pos, bool little_endian);
// Reads a string list at pos (4-aligned); pos moves to just after the last string's NUL.
[[nodiscard]] std::optional<std::vector<std::string>> read_string_list(std::span<const std::uint8_t> bytes,
                                                                       std::size_t& pos, bool little_endian);

// Appends a u32 in the given byte order, without alignment.
void append_u32(std::vector<std::uint8_t>& out, std::uint32_t value, bool little_endian);

inline void pad_to_4(std::vector<std::uint8_t>& out) { out.resize((out.size() + 3) & ~std::size_t{3}, 0); }
[[nodiscard]] inline std::size_t align_4(std::size_t pos) { return (pos + 3) & ~std::size_t{3}; }

}  // namespace kelvane::builtin_data
