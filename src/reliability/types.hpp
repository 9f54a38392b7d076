#pragma once

#include <cstdint>

namespace kelvane::reliability {

using SequenceNumber = std::int64_t;
using FragmentNumber = std::uint32_t;

}  // namespace kelvane::reliability
