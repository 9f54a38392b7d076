#include "daemon/fd_limit.hpp"

#include <sys/resource.h>

namespace kelvane::daemon {

void raise_open_file_limit() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == limit.rlim_max) return;
  limit.rlim_cur = limit.rlim_max;
  (void)::setrlimit(RLIMIT_NOFILE, &limit);  // the daemon still runs, with fewer clients
}

}  // namespace kelvane::daemon
