#pragma once

// Runs the bridge server in-process on a loop-back listener with port 0.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bridge/accept.hpp"
#include "ws_client.hpp"
#include "observability/registry.hpp"

namespace kelvane::wstest {

// Records every payload written to one topic; fails when told to.
struct RecordingWriter {
  std::mutex mutex;
  std::vector<std::string> payloads;  // guarded by mutex
  bool fail = false;                  // guarded by mutex

  std::vector<std::string> taken() {
    const std::lock_guard lock(mutex);
    return payloads;
  }
};

inline access::SecurityConfig open_security() {
  access::SecurityConfig config;
  config.auth_mode = "none";
  return config;
}

struct ServerOptions {
  access::SecurityConfig security = open_security();
  std::vector<config::TopicConfig> topics;
  std::vector<std::string> writer_topics;  // topics that get a RecordingWriter
  bridge::ServerLimits limits;
};

class InProcessServer {
 public:
  explicit InProcessServer(ServerOptions options) {
    state_ = std::make_shared<bridge::ServerState>();
    state_->shutdown = std::make_shared<std::atomic<bool>>(false);
    state_->router = std::make_shared<bridge::SharedRouter>();
    state_->topics = std::make_shared<const std::vector<config::TopicConfig>>(options.topics);
    auto writers = std::make_shared<bridge::WriterMap>();
    for (const auto& topic : options.writer_topics) {
      auto recorder = std::make_shared<RecordingWriter>();
      recorders_[topic] = recorder;
      (*writers)[topic] = [recorder](std::span<const std::uint8_t> payload) -> std::expected<void, std::string> {
        const std::lock_guard lock(recorder->mutex);
        if (recorder->fail) return std::unexpected(std::string("Timeout"));
        recorder->payloads.emplace_back(payload.begin(), payload.end());
        return {};
      };
    }
    state_->writers = std::move(writers);
    state_->security = std::make_shared<const access::SecurityCtx>(access::build_ctx(options.security).value());
    state_->metrics = observability::BridgeMetrics::register_in(registry_);
    state_->limits = options.limits;

    UniqueFd listener(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listener.get(), reinterpret_cast<const sockaddr*>(&addr), sizeof addr);
    ::listen(listener.get(), 128);
    socklen_t len = sizeof addr;
    ::getsockname(listener.get(), reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    accept_ = bridge::start_accept_thread(std::move(listener), state_).value();
  }
  InProcessServer(const InProcessServer&) = delete;
  InProcessServer& operator=(const InProcessServer&) = delete;
  ~InProcessServer() { shutdown(); }

  // What the daemon's shutdown does: flag, wake the accept thread, broadcast, join.
  void shutdown() {
    if (!accept_.joinable()) return;
    state_->shutdown->store(true);
    {
      WsClient wake(port_);
    }
    {
      const std::lock_guard lock(state_->router->mutex);
      state_->router->router.broadcast_shutdown();
    }
    accept_.join();
  }

  std::size_t dispatch(std::string_view topic, const SharedBytes& payload) {
    const std::lock_guard lock(state_->router->mutex);
    return state_->router->router.dispatch(topic, payload);
  }

  // Waits until the router knows the connection (its 101 was written just before).
  bool wait_registered(bridge::ConnectionId id) {
    for (int i = 0; i < 500; ++i) {
      {
        const std::lock_guard lock(state_->router->mutex);
        if (state_->router->router.is_registered(id)) return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
  }

  // Waits until a counter or gauge reaches a value; returns the last value seen.
  template <typename Handle>
  auto wait_value(const Handle& handle, decltype(handle->get()) expected) {
    for (int i = 0; i < 1000 && handle->get() != expected; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return handle->get();
  }

  [[nodiscard]] std::uint16_t port() const { return port_; }
  [[nodiscard]] bridge::ServerState& state() { return *state_; }
  [[nodiscard]] const observability::BridgeMetrics& metrics() const { return state_->metrics; }
  [[nodiscard]] RecordingWriter& writer(const std::string& topic) { return *recorders_.at(topic); }

 private:
  observability::Registry registry_;
  std::shared_ptr<bridge::ServerState> state_;
  std::map<std::string, std::shared_ptr<RecordingWriter>> recorders_;
  std::uint16_t port_ = 0;
  std::thread accept_;
};

}  // namespace kelvane::wstest
