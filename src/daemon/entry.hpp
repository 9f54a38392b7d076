#pragma once

namespace kelvane::daemon {

// The daemon's entry point: parses the command line, loads the configuration, starts
// the bridge, waits for SIGTERM or SIGINT and shuts down. Returns the exit status.
int run(int argc, char** argv);

}  // namespace kelvane::daemon
