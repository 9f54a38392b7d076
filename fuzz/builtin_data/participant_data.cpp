#include "builtin_data/participant_data.hpp"

#include <cstddef>
#include <cstdint>

#include "round_trip.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  kelvane::fuzz::check_pl_cdr_round_trip<kelvane::builtin_data::ParticipantBuiltinTopicData>(data, size);
  return 0;
}
