#pragma once

// Every submessage record of the RTPS codec.
#include "rtps/bitmap_sets.hpp"               // IWYU pragma: export
#include "rtps/data_submessages.hpp"          // IWYU pragma: export
#include "rtps/info_submessages.hpp"          // IWYU pragma: export
#include "rtps/reliability_submessages.hpp"   // IWYU pragma: export
#include "rtps/submessage_ids.hpp"            // IWYU pragma: export
