#include <cstddef>
#include <cstdint>

#include "builtin_data/endpoint_data.hpp"
#include "round_trip.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  kelvane::fuzz::check_pl_cdr_round_trip<kelvane::builtin_data::SubscriptionBuiltinTopicData>(data, size);
  return 0;
}
