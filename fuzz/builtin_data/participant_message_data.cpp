#include "builtin_data/participant_message_data.hpp"

#include <cstddef>
#include <cstdint>
#include <span>

using kelvane::builtin_data::ParticipantMessageData;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto message = ParticipantMessageData::from_cdr(std::span<const std::uint8_t>(data, size));
  if (!message) return 0;
  // The short layout names the participant itself, so both layouts re-encode to the full one.
  for (bool little_endian : {true, false}) {
    auto bytes = message->to_cdr(little_endian);
    if (!bytes) __builtin_trap();
    auto again = ParticipantMessageData::from_cdr(*bytes);
    if (!again || !(*again == *message)) __builtin_trap();
  }
  return 0;
}
