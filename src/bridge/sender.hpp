#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string_view>

#include "access/acl.hpp"
#include "access/auth.hpp"
#include "bridge/outbound_queue.hpp"
#include "bridge/router.hpp"
#include "observability/metrics.hpp"
#include "websocket/ws_stream.hpp"

namespace kelvane::bridge {

// The Close status for a client whose outbound queue overflowed.
inline constexpr std::uint16_t kClosePolicyViolation = 1008;

// The reason text sent with each Close status the server uses.
[[nodiscard]] std::string_view close_reason(std::uint16_t status);

// Shared by a connection's receive loop and its sender thread. The sender thread is the
// only writer of Close frames, so nothing follows a Close on the wire.
struct ConnectionControl {
  // A Close the receive loop wants sent when the sender thread ends; 0 for none.
  std::atomic<std::uint16_t> close_status{0};
  // Set by the sender thread when it closed the connection or a write to the client
  // failed; the receive loop then ends.
  std::atomic<bool> closed_by_sender{false};
};

struct SenderContext {
  ConnectionId id = 0;
  QueueReceiver queue;
  std::shared_ptr<websocket::SharedWsStream> stream;
  access::AuthSubject subject;
  std::shared_ptr<const access::Acl> acl;
  std::shared_ptr<std::atomic<bool>> shutdown;
  std::shared_ptr<ConnectionControl> control;
  observability::CounterHandle frames_out;
  observability::CounterHandle bytes_out;
  observability::CounterHandle errors;
};

// The body of a connection's sender thread: turns queued samples into notify frames
// until the queue disconnects, a write fails, the queue overflows or the server stops.
// Every connection still open when the server stops gets the Close frame 1001.
void run_sender(SenderContext ctx);

}  // namespace kelvane::bridge
