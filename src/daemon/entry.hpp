#pragma once

namespace kelvane::daemon {

// The daemon's entry point: returns the process exit status.
int run(int argc, char** argv);

}  // namespace kelvane::daemon
