#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <vector>

#include "reliability/types.hpp"

namespace kelvane::reliability {

inline constexpr std::uint16_t DATA_REPRESENTATION_XCDR1 = 0;
inline constexpr std::uint16_t DATA_REPRESENTATION_XML = 1;
inline constexpr std::uint16_t DATA_REPRESENTATION_XCDR2 = 2;

// Writer-side state of one matched remote reader.
struct ReaderProxy {
  std::vector<Locator> locators;
  // When not empty, used instead of locators.
  std::vector<Locator> preferred_locators;
  Guid remote_reader_guid;
  SequenceNumber highest_acknowledged = 0;
  // Last sequence number write() has sent or skipped for this reader.
  SequenceNumber highest_sent = 0;
  // Asked for by ACKNACK, answered by the next tick.
  std::set<SequenceNumber> requested_changes;
  // Asked for by NACK_FRAG, answered by the next tick.
  std::map<SequenceNumber, std::set<FragmentNumber>> requested_fragments;
  std::uint16_t data_representation = DATA_REPRESENTATION_XCDR2;
  // Kept for the matching code; the writer does not read it.
  bool flag = false;
};

}  // namespace kelvane::reliability
