#include <gtest/gtest.h>

#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <thread>

#include "config/daemon_config.hpp"
#include "daemon/listener.hpp"
#include "daemon/server.hpp"
#include "daemon/signals.hpp"

namespace kelvane::daemon {
namespace {

using namespace std::chrono_literals;

config::DaemonConfig loopback_config() {
  config::DaemonConfig config = config::default_for_dev();
  config.listen = "127.0.0.1:0";
  return config;
}

// Waits (bounded, so a broken build fails instead of hanging) until flag is set.
bool eventually_set(const SharedFlag& flag) {
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (!flag->load()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

TEST(BindListener, BindsTheActualAddressAndReportsAddressInUse) {
  auto first = bind_listener("127.0.0.1:0");
  ASSERT_TRUE(first) << first.error().line();
  ASSERT_TRUE(first->socket.valid());
  EXPECT_TRUE(first->address.starts_with("127.0.0.1:"));
  EXPECT_NE(first->address, "127.0.0.1:0");

  int accepting = 0;
  socklen_t length = sizeof accepting;
  ASSERT_EQ(::getsockopt(first->socket.get(), SOL_SOCKET, SO_ACCEPTCONN, &accepting, &length), 0);
  EXPECT_EQ(accepting, 1);

  const auto second = bind_listener(first->address);
  ASSERT_FALSE(second);
  EXPECT_EQ(second.error(), ServerError::bind("Address already in use (os error 98)"));

  const auto no_port = bind_listener("localhost");
  ASSERT_FALSE(no_port);
  EXPECT_EQ(no_port.error().kind, ServerError::Kind::Bind);
}

TEST(BindListener, WakeByConnectingEndsABlockedAccept) {
  auto bound = bind_listener("127.0.0.1:0");
  ASSERT_TRUE(bound);
  std::atomic<int> accepted{-1};
  std::thread acceptor([&] { accepted = ::accept(bound->socket.get(), nullptr, nullptr); });
  wake_by_connecting(bound->address, kWakeConnectTimeout);
  acceptor.join();
  EXPECT_GE(accepted.load(), 0);
  ::close(accepted);
  // Text that is not a numeric address is ignored.
  wake_by_connecting("localhost:1", kWakeConnectTimeout);
  wake_by_connecting("", kWakeConnectTimeout);
}

TEST(Start, BindsCreatesFlagsAndMetrics) {
  auto handle = start(loopback_config());
  ASSERT_TRUE(handle) << handle.error().line();
  EXPECT_TRUE(handle->bound_address.starts_with("127.0.0.1:"));
  ASSERT_TRUE(handle->accept_thread);
  EXPECT_TRUE(handle->accept_thread->joinable());
  EXPECT_FALSE(handle->admin);  // metrics are off in the development defaults
  EXPECT_FALSE(handle->shutdown_flag->load());
  EXPECT_FALSE(handle->reload_flag->load());
  EXPECT_TRUE(handle->ready_flag->load());
  ASSERT_TRUE(handle->signal_watcher);
  EXPECT_TRUE(handle->signal_watcher->joinable());
  ASSERT_NE(handle->registry, nullptr);
  handle->metrics.frames_in->inc();
  const auto snapshot = handle->registry->snapshot();
  EXPECT_EQ(snapshot.counters.size() + snapshot.gauges.size(), 9u);
}

TEST(Start, BindFailuresAreBindErrors) {
  auto running = start(loopback_config());
  ASSERT_TRUE(running);
  config::DaemonConfig same = loopback_config();
  same.listen = running->bound_address;
  const auto clash = start(same);
  ASSERT_FALSE(clash);
  EXPECT_EQ(clash.error().line(), "bind error: Address already in use (os error 98)");
  EXPECT_EQ(clash.error().exit_status(), 2);
}

TEST(Start, ShutdownWakesAndJoinsEveryThreadOnceAndIsIdempotent) {
  config::DaemonConfig config = loopback_config();
  config.metrics_address = "127.0.0.1:0";
  auto handle = start(config);
  ASSERT_TRUE(handle);
  ASSERT_TRUE(handle->admin);
  ASSERT_TRUE(handle->admin_address);

  // Stand-ins for the pump threads, stopping the way those do.
  std::atomic<int> pumps_done{0};
  for (int i = 0; i < 3; ++i) {
    handle->pump_threads.emplace_back([flag = handle->shutdown_flag, &pumps_done] {
      while (!flag->load()) std::this_thread::sleep_for(5ms);
      ++pumps_done;
    });
  }

  handle->shutdown();
  EXPECT_TRUE(handle->shutdown_flag->load());
  EXPECT_FALSE(handle->ready_flag->load());
  EXPECT_EQ(pumps_done.load(), 3);
  EXPECT_FALSE(handle->accept_thread);  // the blocked accept and admin threads were woken and joined
  EXPECT_FALSE(handle->admin);
  EXPECT_TRUE(handle->pump_threads.empty());
  EXPECT_FALSE(handle->signal_watcher);

  handle->shutdown();  // nothing left to join; must not block or fail
  EXPECT_EQ(pumps_done.load(), 3);
}

TEST(Start, MovedFromHandleDoesNothingOnDestruction) {
  std::optional<DaemonHandle> owner;
  {
    auto started = start(loopback_config());
    ASSERT_TRUE(started);
    owner.emplace(std::move(*started));
  }  // the moved-from handle is destroyed here
  EXPECT_FALSE(owner->shutdown_flag->load());
  EXPECT_TRUE(owner->ready_flag->load());
  EXPECT_TRUE(owner->accept_thread);
}

TEST(SignalWatcher, HangupRaisesReloadTerminateRaisesShutdownAndEnds) {
  block_watched_signals();
  const SharedFlag shutdown = make_flag(false);
  const SharedFlag reload = make_flag(false);
  auto watcher = install_signal_watcher(shutdown, reload);
  ASSERT_TRUE(watcher) << watcher.error();

  ASSERT_EQ(::pthread_kill(watcher->native_handle(), SIGHUP), 0);
  ASSERT_TRUE(eventually_set(reload));
  EXPECT_FALSE(shutdown->load());

  // Named before it first waited, so certainly by now.
  char name[16] = {};
  ASSERT_EQ(::pthread_getname_np(watcher->native_handle(), name, sizeof name), 0);
  EXPECT_STREQ(name, "kelvane-ws-sign");  // the 15-byte cut of "kelvane-ws-signals"

  reload->store(false);
  ASSERT_EQ(::pthread_kill(watcher->native_handle(), SIGINT), 0);
  wait_for_flag(shutdown);
  watcher->join();  // the watcher ends after SIGINT
  EXPECT_FALSE(reload->load());
}

TEST(SignalWatcher, StopEndsAWaitingWatcher) {
  block_watched_signals();
  const SharedFlag shutdown = make_flag(false);
  auto watcher = install_signal_watcher(shutdown, make_flag(false));
  ASSERT_TRUE(watcher);
  stop_signal_watcher(*watcher);
  EXPECT_FALSE(watcher->joinable());
  EXPECT_TRUE(shutdown->load());
  stop_signal_watcher(*watcher);  // already joined: nothing to do
}

}  // namespace
}  // namespace kelvane::daemon
