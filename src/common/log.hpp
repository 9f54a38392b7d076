#pragma once

#include <string_view>

namespace kelvane {

// Writes "[kelvane-ws-bridged] " + text + "\n" to standard error in one write(2), so
// lines of concurrent threads never interleave.
void log_line(std::string_view text);

// Writes text + "\n" to the given descriptor in one write(2), without the prefix.
void write_raw_line(int fd, std::string_view text);

}  // namespace kelvane
