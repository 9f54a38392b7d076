#include "bridge/router.hpp"

#include <algorithm>

namespace kelvane::bridge {

void Router::register_connection(ConnectionId id, QueueSender sender) {
  connections_.insert_or_assign(id, std::move(sender));
}

void Router::deregister_connection(ConnectionId id) {
  connections_.erase(id);
  for (auto& [topic, ids] : subscriptions_) std::erase(ids, id);
}

void Router::subscribe(ConnectionId id, std::string_view topic) {
  auto it = subscriptions_.find(topic);
  if (it == subscriptions_.end()) it = subscriptions_.emplace(std::string(topic), std::vector<ConnectionId>{}).first;
  if (std::find(it->second.begin(), it->second.end(), id) == it->second.end()) it->second.push_back(id);
}

void Router::unsubscribe(ConnectionId id, std::string_view topic) {
  if (auto it = subscriptions_.find(topic); it != subscriptions_.end()) std::erase(it->second, id);
}

std::size_t Router::dispatch(std::string_view topic, const SharedBytes& payload) {
  const auto it = subscriptions_.find(topic);
  if (it == subscriptions_.end()) return 0;
  std::size_t delivered = 0;
  // Iterating the list itself is safe: only connections_ changes below.
  for (const ConnectionId id : it->second) {
    const auto conn = connections_.find(id);
    if (conn == connections_.end()) continue;
    QueueSender& queue = conn->second;
    if (!queue.budget->try_reserve(payload.size())) {
      // The sender thread sees the overflow and closes the connection.
      connections_.erase(conn);
      continue;
    }
    if (!queue.channel.push(RouterMsg{RouterMsg::Sample{std::string(topic), payload}})) {
      connections_.erase(conn);
      continue;
    }
    ++delivered;
  }
  return delivered;
}

void Router::broadcast_shutdown() {
  for (const auto& [id, queue] : connections_) {
    (void)queue.channel.push(RouterMsg{RouterMsg::Shutdown{}});
  }
}

const std::vector<ConnectionId>* Router::subscribers(std::string_view topic) const {
  const auto it = subscriptions_.find(topic);
  return it == subscriptions_.end() ? nullptr : &it->second;
}

}  // namespace kelvane::bridge
