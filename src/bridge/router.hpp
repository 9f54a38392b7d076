#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "bridge/outbound_queue.hpp"
#include "common/shared_bytes.hpp"

namespace kelvane::bridge {

using ConnectionId = std::uint64_t;

// Subscriptions per topic and the outbound queue of every open connection. Every
// operation expects the caller to hold the mutex of the shared router (SharedRouter);
// none of them blocks on a client.
class Router {
 public:
  // Replaces any earlier entry of the same id.
  void register_connection(ConnectionId id, QueueSender sender);
  // Drops the queue (disconnecting it) and every subscription of the id.
  void deregister_connection(ConnectionId id);
  void subscribe(ConnectionId id, std::string_view topic);
  void unsubscribe(ConnectionId id, std::string_view topic);

  // Queues the sample to every subscriber and returns how many queues took it. A
  // queue whose sender thread is gone, or whose connection let too much pile up, is
  // removed from the connections.
  std::size_t dispatch(std::string_view topic, const SharedBytes& payload);

  // Queues Shutdown to every registered connection, in ascending id order.
  void broadcast_shutdown();

  [[nodiscard]] bool is_registered(ConnectionId id) const { return connections_.contains(id); }
  [[nodiscard]] const std::vector<ConnectionId>* subscribers(std::string_view topic) const;

 private:
  std::map<std::string, std::vector<ConnectionId>, std::less<>> subscriptions_;
  std::map<ConnectionId, QueueSender> connections_;
};

// The one router of a server and the mutex that guards it.
struct SharedRouter {
  std::mutex mutex;
  Router router;  // guarded by mutex
};

}  // namespace kelvane::bridge
