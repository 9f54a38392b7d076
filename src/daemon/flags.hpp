#pragma once

#include <atomic>
#include <memory>

namespace kelvane::daemon {

// The shutdown, reload and ready flags: one atomic boolean shared by every thread that
// watches it (sequentially consistent loads and exchanges).
using SharedFlag = std::shared_ptr<std::atomic<bool>>;

[[nodiscard]] inline SharedFlag make_flag(bool initial) { return std::make_shared<std::atomic<bool>>(initial); }

// Sets the flag and wakes every thread blocked in wait_for_flag.
inline void raise_flag(const SharedFlag& flag) {
  flag->exchange(true);
  flag->notify_all();
}

// Blocks until the flag is set (by raise_flag).
inline void wait_for_flag(const SharedFlag& flag) {
  while (!flag->load()) flag->wait(false);
}

}  // namespace kelvane::daemon
