#include "daemon/server.hpp"

#include <utility>

#include "access/daemon_security.hpp"
#include "admin/start.hpp"
#include "bridge/accept.hpp"
#include "common/log.hpp"
#include "daemon/listener.hpp"
#include "daemon/signals.hpp"

namespace kelvane::daemon {

namespace {

void join(std::optional<std::thread>& thread) {
  if (thread && thread->joinable()) thread->join();
  thread.reset();
}

}  // namespace

DaemonHandle::~DaemonHandle() { shutdown(); }

void DaemonHandle::shutdown() {
  if (!shutdown_flag) return;  // moved from
  raise_flag(shutdown_flag);
  if (ready_flag) ready_flag->exchange(false);

  wake_by_connecting(bound_address, kWakeConnectTimeout);
  if (admin_address) wake_by_connecting(*admin_address, kWakeConnectTimeout);
  if (router) {
    const std::lock_guard lock(router->mutex);
    router->router.broadcast_shutdown();
  }

  join(accept_thread);
  for (std::thread& pump : pump_threads) {
    if (pump.joinable()) pump.join();
  }
  pump_threads.clear();
  admin.reset();
  join(otlp_thread);
  if (signal_watcher) stop_signal_watcher(*signal_watcher);
  signal_watcher.reset();
}

std::expected<DaemonHandle, ServerError> start(config::DaemonConfig config) {
  log_line("starting on " + config.listen + " domain=" + std::to_string(config.domain) +
           " topics=" + std::to_string(config.topics.size()));

  DaemonHandle handle;
  handle.registry = std::make_shared<observability::Registry>();
  handle.metrics = observability::BridgeMetrics::register_in(*handle.registry);

  auto security = access::ctx_from_daemon_config(config);
  if (!security) return std::unexpected(ServerError::bind("security: " + security.error().to_string()));
  if (config.tls_enabled) {
    log_line("TLS active (cert=" + config.cert_file + ", mtls=" + (config.client_ca_file.empty() ? "false" : "true") +
             ")");
  }
  log_line("auth-mode=" + config.auth_mode + " acl-entries=" + std::to_string(config.acl.size()));
  handle.ready_flag = make_flag(true);

  handle.router = std::make_shared<bridge::SharedRouter>();
  auto listener = bind_listener(config.listen);
  if (!listener) return std::unexpected(std::move(listener.error()));
  handle.bound_address = std::move(listener->address);
  log_line("bound on " + handle.bound_address);

  handle.shutdown_flag = make_flag(false);
  handle.reload_flag = make_flag(false);

  auto state = std::make_shared<bridge::ServerState>();
  state->shutdown = handle.shutdown_flag;
  state->router = handle.router;
  state->topics = std::make_shared<const std::vector<config::TopicConfig>>(config.topics);
  state->writers = std::make_shared<const bridge::WriterMap>();  // filled once topics are bound to DDS
  state->security = std::make_shared<const access::SecurityCtx>(std::move(*security));
  state->metrics = handle.metrics;
  auto accept_thread = bridge::start_accept_thread(std::move(listener->socket), std::move(state));
  if (!accept_thread) return std::unexpected(ServerError::io(accept_thread.error().what()));
  handle.accept_thread = std::move(*accept_thread);

  if (const auto address = admin::admin_address(config)) {
    auto endpoint = admin::start_admin_endpoint(*address, handle.registry, config.topics, handle.ready_flag,
                                                handle.shutdown_flag);
    if (endpoint) {
      log_line(admin::started_message(*endpoint));
      handle.admin_address = admin::to_string(endpoint->address);
      handle.admin = std::move(*endpoint);
    } else {
      log_line(endpoint.error().message());
    }
  }

  auto watcher = install_signal_watcher(handle.shutdown_flag, handle.reload_flag);
  if (watcher) {
    handle.signal_watcher = std::move(*watcher);
  } else {
    log_line("signal watcher init failed: " + watcher.error());
  }
  return handle;
}

}  // namespace kelvane::daemon
