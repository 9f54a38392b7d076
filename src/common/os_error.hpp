#pragma once

#include <string>

namespace kelvane {

// The text of an operating-system error as the daemon reports it: the system's
// description followed by " (os error " + number + ")", e.g.
// "Address already in use (os error 98)".
[[nodiscard]] std::string os_error_text(int errnum);

}  // namespace kelvane
