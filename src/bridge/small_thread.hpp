#pragma once

#include <pthread.h>

#include <cstddef>
#include <expected>
#include <functional>
#include <system_error>

namespace kelvane::bridge {

// Stack size of connection and sender threads: small, so that thousands of
// connections fit in memory.
inline constexpr std::size_t kConnectionThreadStack = std::size_t{256} * 1024;

// A thread with a small stack. The body runs inside a catch-all that logs what escaped.
// A joinable thread must be joined by its owner before destruction.
class SmallThread {
 public:
  [[nodiscard]] static std::expected<SmallThread, std::error_code> start(std::move_only_function<void()> body);
  // Starts a detached thread that ends by itself.
  [[nodiscard]] static std::expected<void, std::error_code> start_detached(std::move_only_function<void()> body);

  SmallThread(SmallThread&& other) noexcept;
  SmallThread& operator=(SmallThread&&) = delete;
  SmallThread(const SmallThread&) = delete;
  SmallThread& operator=(const SmallThread&) = delete;
  ~SmallThread();

  void join();

 private:
  explicit SmallThread(pthread_t handle) : handle_(handle), joinable_(true) {}

  pthread_t handle_{};
  bool joinable_ = false;
};

}  // namespace kelvane::bridge
