#include "builtin_data/shm_locator.hpp"

#include <string_view>

#include "builtin_data/pids.hpp"
#include "builtin_data/value_codec.hpp"

namespace kelvane::builtin_data {

namespace {

constexpr std::string_view kTooShort = "inject_pid_shm_locator: bytes too short";
constexpr std::string_view kNoSentinel = "inject_pid_shm_locator: missing PID_SENTINEL trailer";
constexpr std::string_view kTooLong = "inject_pid_shm_locator: locator > u16::MAX";

}  // namespace

std::expected<void, rtps::WireFormatError> inject_pid_shm_locator(std::vector<std::uint8_t>& payload,
                                                                  std::span<const std::uint8_t> locator) {
  if (payload.size() < 4) return std::unexpected(rtps::WireFormatError::ValueOutOfRange{kTooShort});
  const std::size_t n = payload.size();
  if (payload[n - 4] != 0x01 || payload[n - 3] != 0x00 || payload[n - 2] != 0x00 || payload[n - 1] != 0x00) {
    return std::unexpected(rtps::WireFormatError::ValueOutOfRange{kNoSentinel});
  }
  if (locator.size() + 3 > 0xFFFF) return std::unexpected(rtps::WireFormatError::ValueOutOfRange{kTooLong});
  const auto padded = static_cast<std::uint16_t>(align_4(locator.size()));
  payload.resize(n - 4);
  payload.push_back(static_cast<std::uint8_t>(PID_SHM_LOCATOR));
  payload.push_back(static_cast<std::uint8_t>(PID_SHM_LOCATOR >> 8));
  payload.push_back(static_cast<std::uint8_t>(padded));
  payload.push_back(static_cast<std::uint8_t>(padded >> 8));
  payload.insert(payload.end(), locator.begin(), locator.end());
  payload.resize(payload.size() + (padded - locator.size()), 0);
  payload.insert(payload.end(), {0x01, 0x00, 0x00, 0x00});
  return {};
}

}  // namespace kelvane::builtin_data
