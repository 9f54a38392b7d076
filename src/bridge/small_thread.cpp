#include "bridge/small_thread.hpp"

#include <exception>
#include <memory>
#include <string>
#include <utility>

#include "common/log.hpp"

namespace kelvane::bridge {

namespace {

void* run_body(void* arg) {
  std::unique_ptr<std::move_only_function<void()>> body(static_cast<std::move_only_function<void()>*>(arg));
  try {
    (*body)();
  } catch (const std::exception& e) {
    log_line(std::string("thread ended by exception: ") + e.what());
  } catch (...) {
    log_line("thread ended by unknown exception");
  }
  return nullptr;
}

std::expected<pthread_t, std::error_code> spawn(std::move_only_function<void()> body, bool detached) {
  pthread_attr_t attr;
  if (const int rc = pthread_attr_init(&attr); rc != 0) return std::unexpected(std::error_code(rc, std::system_category()));
  pthread_attr_setstacksize(&attr, kConnectionThreadStack);
  if (detached) pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
  auto owned = std::make_unique<std::move_only_function<void()>>(std::move(body));
  pthread_t handle{};
  const int rc = pthread_create(&handle, &attr, run_body, owned.get());
  pthread_attr_destroy(&attr);
  if (rc != 0) return std::unexpected(std::error_code(rc, std::system_category()));
  (void)owned.release();  // the thread owns it now
  return handle;
}

}  // namespace

std::expected<SmallThread, std::error_code> SmallThread::start(std::move_only_function<void()> body) {
  auto handle = spawn(std::move(body), false);
  if (!handle) return std::unexpected(handle.error());
  return SmallThread(*handle);
}

std::expected<void, std::error_code> SmallThread::start_detached(std::move_only_function<void()> body) {
  auto handle = spawn(std::move(body), true);
  if (!handle) return std::unexpected(handle.error());
  return {};
}

SmallThread::SmallThread(SmallThread&& other) noexcept
    : handle_(other.handle_), joinable_(std::exchange(other.joinable_, false)) {}

SmallThread::~SmallThread() { join(); }

void SmallThread::join() {
  if (!joinable_) return;
  joinable_ = false;
  pthread_join(handle_, nullptr);
}

}  // namespace kelvane::bridge
