#pragma once

#include <expected>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "admin/server.hpp"
#include "bridge/router.hpp"
#include "config/daemon_config.hpp"
#include "daemon/flags.hpp"
#include "daemon/server_error.hpp"
#include "observability/bridge_metrics.hpp"
#include "observability/registry.hpp"

namespace kelvane::daemon {

// How long a shutdown wake-up connection may take before it is given up.
inline constexpr std::chrono::milliseconds kWakeConnectTimeout{200};

// The running bridge, owned by the main thread. Destroying it runs shutdown() first.
class DaemonHandle {
 public:
  DaemonHandle() = default;
  DaemonHandle(DaemonHandle&&) noexcept = default;
  DaemonHandle& operator=(DaemonHandle&&) = delete;
  DaemonHandle(const DaemonHandle&) = delete;
  DaemonHandle& operator=(const DaemonHandle&) = delete;
  ~DaemonHandle();

  // Idempotent teardown: raises the shutdown flag and clears the ready flag, wakes the
  // threads blocked in accept with loop-back connections, then joins the accept thread,
  // the pump threads, the admin endpoint, the OTLP thread and the signal watcher.
  void shutdown();

  std::vector<std::thread> pump_threads;      // one per DDS reader topic
  std::string bound_address;                  // the WebSocket listener's local address
  std::optional<std::string> admin_address;   // the admin endpoint's, while it runs
  SharedFlag shutdown_flag;                   // raised by SIGTERM/SIGINT and by shutdown()
  SharedFlag reload_flag;                     // raised by SIGHUP
  SharedFlag ready_flag;                      // true once started, cleared by shutdown()
  std::shared_ptr<bridge::SharedRouter> router;  // subscriptions and connection queues
  std::optional<std::thread> accept_thread;
  std::optional<admin::AdminEndpoint> admin;  // its thread is joined when it is reset
  std::optional<std::thread> otlp_thread;
  std::optional<std::thread> signal_watcher;  // absent when it could not be installed
  std::shared_ptr<observability::Registry> registry;  // the bridge's own metrics
  observability::BridgeMetrics metrics;
};

// Starts the bridge: logs "starting on …", registers the bridge metrics, builds the
// client security context, binds the WebSocket listener (logging "bound on …"), creates
// the flags and the router, starts the accept thread and the optional admin endpoint,
// and installs the signal watcher. A failure releases everything created so far.
[[nodiscard]] std::expected<DaemonHandle, ServerError> start(config::DaemonConfig config);

}  // namespace kelvane::daemon
