#pragma once

#include "rtps/message_builder.hpp"
#include "rtps/wire_types.hpp"

namespace kelvane::reliability {

using rtps::EntityId;
using rtps::FragmentNumber;
using rtps::Guid;
using rtps::GuidPrefix;
using rtps::Locator;
using rtps::LocatorList;
using rtps::OutboundDatagram;
using rtps::SequenceNumber;
using rtps::VendorId;

}  // namespace kelvane::reliability

