#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <string>
#include <variant>

#include "common/mpsc.hpp"
#include "common/shared_bytes.hpp"

namespace kelvane::bridge {

// What a connection's outbound queue carries.
struct RouterMsg {
  struct Sample {
    std::string topic;
    SharedBytes payload;  // shared by every subscriber of the sample, never copied
  };
  struct Shutdown {};
  std::variant<Sample, Shutdown> value;
};

// Defaults for how much a connection that does not keep up may have queued.
inline constexpr std::size_t kMaxQueuedBytes = std::size_t{64} << 20;
inline constexpr std::size_t kMaxQueuedMessages = 65536;

// Counts the samples queued for one connection. The router reserves before queueing,
// the sender thread releases after taking a sample out; the first reservation beyond a
// limit marks the queue as overflowed for good.
class QueueBudget {
 public:
  QueueBudget(std::size_t max_bytes, std::size_t max_messages) : max_bytes_(max_bytes), max_messages_(max_messages) {}

  // False (and overflowed from then on) when the sample does not fit.
  [[nodiscard]] bool try_reserve(std::size_t bytes);
  void release(std::size_t bytes);
  [[nodiscard]] bool overflowed() const { return overflowed_.load(); }

 private:
  const std::size_t max_bytes_;
  const std::size_t max_messages_;
  std::atomic<std::size_t> bytes_{0};
  std::atomic<std::size_t> messages_{0};
  std::atomic<bool> overflowed_{false};
};

// The router's end of a connection queue.
struct QueueSender {
  Mpsc<RouterMsg>::Sender channel;
  std::shared_ptr<QueueBudget> budget;
};

// The sender thread's end of a connection queue.
struct QueueReceiver {
  Mpsc<RouterMsg>::Receiver channel;
  std::shared_ptr<QueueBudget> budget;
};

struct ConnectionQueue {
  QueueSender sender;
  QueueReceiver receiver;
};

[[nodiscard]] ConnectionQueue make_connection_queue(std::size_t max_bytes = kMaxQueuedBytes,
                                                    std::size_t max_messages = kMaxQueuedMessages);

}  // namespace kelvane::bridge
