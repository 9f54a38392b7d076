#pragma once

#include <string_view>

namespace kelvane {

// Names the calling thread; the OS keeps at most 15 bytes, so longer names are cut.
void set_current_thread_name(std::string_view name);

}  // namespace kelvane
