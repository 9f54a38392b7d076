#pragma once

#include "rtps/wire_types.hpp"

namespace kelvane::reliability {

using rtps::EntityId;
using rtps::FragmentNumber;
using rtps::Guid;
using rtps::GuidPrefix;
using rtps::Locator;
using rtps::SequenceNumber;
using rtps::VendorId;

}  // namespace kelvane::reliability

// TEMPORARY until rtps provides its datagram type.
#include <memory>
#include <vector>
namespace kelvane::rtps {
struct OutboundDatagram {
  std::vector<std::uint8_t> bytes;
  std::shared_ptr<const std::vector<Locator>> targets;
};
}  // namespace kelvane::rtps
namespace kelvane::reliability {
using rtps::OutboundDatagram;
}
