#include "bridge/server_state.hpp"

namespace kelvane::bridge {

bool ConnectionCount::try_acquire(std::size_t limit) {
  const std::lock_guard lock(mutex_);
  if (open_ >= limit) return false;
  ++open_;
  return true;
}

void ConnectionCount::release() {
  bool now_zero = false;
  {
    const std::lock_guard lock(mutex_);
    now_zero = --open_ == 0;
  }
  if (now_zero) zero_.notify_all();
}

bool ConnectionCount::wait_until_zero(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  return zero_.wait_for(lock, timeout, [&] { return open_ == 0; });
}

std::size_t ConnectionCount::open() const {
  const std::lock_guard lock(mutex_);
  return open_;
}

}  // namespace kelvane::bridge
