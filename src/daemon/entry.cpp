#include "daemon/entry.hpp"

namespace kelvane::daemon {

int run(int, char**) { return 0; }

}  // namespace kelvane::daemon
