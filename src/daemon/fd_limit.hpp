#pragma once

namespace kelvane::daemon {

// Raises this process's soft limit on open descriptors to its hard limit: every client
// connection holds a socket, and the usual soft limit of 1024 would cap the daemon far
// below its connection limit. A failure leaves the limit as it was.
void raise_open_file_limit();

}  // namespace kelvane::daemon
