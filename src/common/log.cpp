#include "common/log.hpp"

#include <unistd.h>

#include <cerrno>
#include <string>

namespace kelvane {

namespace {

void write_all(int fd, const std::string& line) {
  std::size_t done = 0;
  while (done < line.size()) {
    const ssize_t n = ::write(fd, line.data() + done, line.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;  // nowhere left to report a failing standard error
    done += static_cast<std::size_t>(n);
  }
}

}  // namespace

void log_line(std::string_view text) {
  std::string line;
  line.reserve(text.size() + 23);
  line.append("[kelvane-ws-bridged] ").append(text).push_back('\n');
  write_all(STDERR_FILENO, line);
}

void write_raw_line(int fd, std::string_view text) {
  std::string line(text);
  line.push_back('\n');
  write_all(fd, line);
}

}  // namespace kelvane
