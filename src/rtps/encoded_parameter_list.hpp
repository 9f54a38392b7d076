#pragma once

#include <cstddef>
#include <cstdint>
#include <expected>
#include <optional>
#include <span>

#include "common/shared_bytes.hpp"
#include "rtps/wire_format_error.hpp"

namespace kelvane::rtps {

inline constexpr std::uint16_t PID_PAD = 0x0000;
inline constexpr std::uint16_t PID_SENTINEL = 0x0001;
inline constexpr std::uint16_t PID_IGNORE = 0x3F03;  // skipped, never stored
inline constexpr std::uint16_t PID_STATUS_INFO = 0x0071;
inline constexpr std::uint16_t PID_KEY_HASH = 0x0070;
inline constexpr std::uint16_t PID_FLAG_MUST_UNDERSTAND = 0x4000;
inline constexpr std::uint16_t PID_FLAG_VENDOR_SPECIFIC = 0x8000;
inline constexpr std::size_t MAX_PARAMETERS = 4096;

// True when a must-understand parameter id is one this system knows; ids without the
// must-understand bit and vendor-specific ids always pass.
[[nodiscard]] bool is_understood_parameter_id(std::uint16_t pid);

// A parameter list as it travels inside a DATA, DATA_FRAG or HeaderExtension: the wire
// bytes from the first parameter through PID_SENTINEL, shared with the datagram they
// came from. Decoding a datagram therefore never copies or allocates per parameter; the
// full ParameterList codec works on `bytes` when a consumer needs every entry.
struct EncodedParameterList {
  SharedBytes bytes;
  bool little_endian = true;

  // Checks the list structure starting at `offset` of `source` (4-byte aligned lengths,
  // values inside the input, a sentinel, at most MAX_PARAMETERS stored entries) and
  // returns the list, which ends after its sentinel. Error offsets count from the start
  // of `source`.
  [[nodiscard]] static std::expected<EncodedParameterList, WireFormatError> parse(const SharedBytes& source,
                                                                                  std::size_t offset,
                                                                                  bool little_endian);

  // Value of the first parameter with exactly this id, if any.
  [[nodiscard]] std::optional<std::span<const std::uint8_t>> find(std::uint16_t pid) const;

  // ValueOutOfRange "ParameterList contains unknown must-understand PID" for the first
  // must-understand parameter this system does not know.
  [[nodiscard]] std::expected<void, WireFormatError> validate_must_understand() const;

  friend bool operator==(const EncodedParameterList&, const EncodedParameterList&) = default;
};

}  // namespace kelvane::rtps
