#pragma once

#include <cstddef>
#include <cstdint>
#include <expected>
#include <span>
#include <utility>
#include <vector>

#include "builtin_data/pids.hpp"
#include "rtps/wire_format_error.hpp"

namespace kelvane::builtin_data {

// A decoded list holds at most this many parameters (ignored ids not counted).
inline constexpr std::size_t MAX_PARAMETERS = 4096;
// Longest value a 16-bit length field can describe once padded to 4.
inline constexpr std::size_t MAX_PARAMETER_VALUE_LEN = 65532;

struct Parameter {
  std::uint16_t pid = 0;            // as on the wire, flag bits included
  std::vector<std::uint8_t> value;  // exactly the value area, padding included

  friend bool operator==(const Parameter&, const Parameter&) = default;
};

// PL_CDR parameter list: (id, length, value) entries closed by PID_SENTINEL. Wire order is
// kept and duplicates are kept.
struct ParameterList {
  std::vector<Parameter> parameters;

  // Appends; no limit is applied when building.
  void push(Parameter parameter) { parameters.push_back(std::move(parameter)); }
  void push(std::uint16_t pid, std::vector<std::uint8_t> value) {
    parameters.push_back({pid, std::move(value)});
  }

  // The first parameter with this id, or null.
  [[nodiscard]] const Parameter* find(std::uint16_t pid) const;

  // Size of the canonical encoding: every value padded to 4, sentinel included.
  [[nodiscard]] std::size_t encoded_size() const;

  // Appends the encoded list (values padded to 4, sentinel last) to out. A value longer
  // than MAX_PARAMETER_VALUE_LEN cannot be described by the 16-bit length and is refused
  // before anything is appended.
  [[nodiscard]] std::expected<void, rtps::WireFormatError> append_to(std::vector<std::uint8_t>& out,
                                                                     bool little_endian) const;
  [[nodiscard]] std::expected<std::vector<std::uint8_t>, rtps::WireFormatError> to_bytes(
      bool little_endian) const;

  // Decodes up to and including the sentinel; bytes after it are not examined.
  [[nodiscard]] static std::expected<ParameterList, rtps::WireFormatError> from_bytes(
      std::span<const std::uint8_t> bytes, bool little_endian);

  // For inline QoS and header extensions only: every must-understand id that is not
  // vendor-specific must be one this system knows.
  [[nodiscard]] std::expected<void, rtps::WireFormatError> validate_must_understand_in_data_pipeline() const;

  friend bool operator==(const ParameterList&, const ParameterList&) = default;
};

}  // namespace kelvane::builtin_data
