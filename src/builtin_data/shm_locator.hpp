#pragma once

#include <cstdint>
#include <expected>
#include <span>
#include <vector>

#include "rtps/wire_format_error.hpp"

namespace kelvane::builtin_data {

// Appends the vendor-specific shared-memory locator parameter (PID_SHM_LOCATOR) to an
// encoded little-endian publication payload, keeping the sentinel last. The payload is
// left unchanged on failure.
[[nodiscard]] std::expected<void, rtps::WireFormatError> inject_pid_shm_locator(
    std::vector<std::uint8_t>& payload, std::span<const std::uint8_t> locator);

}  // namespace kelvane::builtin_data
