#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <expected>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "access/security_ctx.hpp"
#include "bridge/outbound_queue.hpp"
#include "bridge/router.hpp"
#include "config/daemon_config.hpp"
#include "observability/bridge_metrics.hpp"

namespace kelvane::bridge {

// Writes one client payload as a DDS sample of a topic; the error is the DDS error's
// diagnostic form.
using TopicWriter = std::function<std::expected<void, std::string>(std::span<const std::uint8_t> payload)>;

// Topic name -> the DDS writer of that topic. Read-only once the server runs.
using WriterMap = std::map<std::string, TopicWriter, std::less<>>;

// Concurrent connections served at once; beyond it new sockets get a 503 answer.
inline constexpr std::size_t kMaxConnections = 4096;

// How long a write to a client may make no progress at all before the client is
// dropped: a client that stops reading must not hold its threads and queue forever.
inline constexpr std::chrono::milliseconds kSendStallLimit{5000};

struct ServerLimits {
  std::size_t max_connections = kMaxConnections;
  std::chrono::milliseconds send_stall_limit = kSendStallLimit;
  std::size_t max_queued_bytes = kMaxQueuedBytes;
  std::size_t max_queued_messages = kMaxQueuedMessages;
};

// Counts the connection threads alive, so the accept thread can refuse beyond the
// limit and, at shutdown, wait until every connection has said goodbye.
class ConnectionCount {
 public:
  // False when limit connections are already open.
  [[nodiscard]] bool try_acquire(std::size_t limit);
  void release();
  // Waits until no connection is open or the timeout has passed; true when none is.
  [[nodiscard]] bool wait_until_zero(std::chrono::milliseconds timeout);
  [[nodiscard]] std::size_t open() const;

 private:
  mutable std::mutex mutex_;
  std::condition_variable zero_;
  std::size_t open_ = 0;  // guarded by mutex_
};

// State shared by the accept thread and every connection thread.
struct ServerState {
  std::shared_ptr<std::atomic<bool>> shutdown;
  std::shared_ptr<SharedRouter> router;
  std::shared_ptr<const std::vector<config::TopicConfig>> topics;
  std::shared_ptr<const WriterMap> writers;
  std::shared_ptr<const access::SecurityCtx> security;
  observability::BridgeMetrics metrics;
  ServerLimits limits;
  std::atomic<std::uint64_t> next_connection_id{1};
  ConnectionCount connections;
};

}  // namespace kelvane::bridge
