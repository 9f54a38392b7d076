#include "bridge/outbound_queue.hpp"

namespace kelvane::bridge {

bool QueueBudget::try_reserve(std::size_t bytes) {
  if (overflowed_.load()) return false;
  const std::size_t queued_messages = messages_.fetch_add(1) + 1;
  const std::size_t queued_bytes = bytes_.fetch_add(bytes) + bytes;
  if (queued_messages > max_messages_ || queued_bytes > max_bytes_) {
    messages_.fetch_sub(1);
    bytes_.fetch_sub(bytes);
    overflowed_.store(true);
    return false;
  }
  return true;
}

void QueueBudget::release(std::size_t bytes) {
  messages_.fetch_sub(1);
  bytes_.fetch_sub(bytes);
}

ConnectionQueue make_connection_queue(std::size_t max_bytes, std::size_t max_messages) {
  auto [tx, rx] = Mpsc<RouterMsg>::channel();
  auto budget = std::make_shared<QueueBudget>(max_bytes, max_messages);
  return ConnectionQueue{QueueSender{std::move(tx), budget}, QueueReceiver{std::move(rx), budget}};
}

}  // namespace kelvane::bridge
