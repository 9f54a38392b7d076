#include "common/os_error.hpp"

#include <string.h>

namespace kelvane {

namespace {

// strerror_r comes in a GNU flavour (returns the text) and a POSIX one (fills buf).
[[maybe_unused]] const char* strerror_result(const char* text, const char*) { return text; }
[[maybe_unused]] const char* strerror_result(int rc, const char* buf) { return rc == 0 ? buf : "Unknown error"; }

}  // namespace

std::string os_error_text(int errnum) {
  char buf[256] = {};
  std::string text = strerror_result(::strerror_r(errnum, buf, sizeof buf), buf);
  text.append(" (os error ").append(std::to_string(errnum)).push_back(')');
  return text;
}

}  // namespace kelvane
