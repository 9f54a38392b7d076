#include "bridge/sender.hpp"

#include <chrono>
#include <string>

#include "bridge/protocol.hpp"
#include "common/log.hpp"
#include "websocket/server_frames.hpp"

namespace kelvane::bridge {

namespace {

constexpr std::chrono::milliseconds kQueueWait{200};

using PopStatus = Mpsc<RouterMsg>::PopStatus;

// Writes one notify; false when the socket write failed (the thread then ends).
bool send_sample(SenderContext& ctx, const RouterMsg::Sample& sample) {
  if (!ctx.acl->check(ctx.subject, access::Operation::Read, sample.topic)) return true;
  const std::string text = render_notify(sample.topic, sample.payload.span());
  const auto* data = reinterpret_cast<const std::uint8_t*>(text.data());
  const std::vector<std::uint8_t> frame = websocket::encode_server_frame(websocket::Opcode::Text, {data, text.size()});
  ctx.bytes_out->add(frame.size());
  if (auto written = ctx.stream->write_all(frame); !written) {
    ctx.errors->inc();
    if (websocket::is_timeout(written.error())) {
      log_line("send stalled conn=" + std::to_string(ctx.id) + ": client not reading, closing");
    }
    // A frame may have been cut short: nothing more can be framed on this stream.
    ctx.control->closed_by_sender.store(true);
    return false;
  }
  ctx.frames_out->inc();
  return true;
}

void close_connection(SenderContext& ctx, std::uint16_t status) {
  websocket::send_close(*ctx.stream, status, close_reason(status));
  ctx.control->closed_by_sender.store(true);
}

void close_slow_consumer(SenderContext& ctx) {
  ctx.errors->inc();
  log_line("slow consumer conn=" + std::to_string(ctx.id) + ": outbound queue over its limit, closing");
  close_connection(ctx, kClosePolicyViolation);
}

}  // namespace

std::string_view close_reason(std::uint16_t status) {
  switch (status) {
    case websocket::kCloseGoingAway: return "going away";
    case websocket::kCloseProtocolError: return "protocol error";
    case kClosePolicyViolation: return "outbound queue limit";
    case websocket::kCloseMessageTooBig: return "message too big";
    default: return "";
  }
}

void run_sender(SenderContext ctx) {
  for (;;) {
    if (ctx.queue.budget->overflowed()) return close_slow_consumer(ctx);
    if (const std::uint16_t status = ctx.control->close_status.load()) return close_connection(ctx, status);
    if (ctx.shutdown->load()) return close_connection(ctx, websocket::kCloseGoingAway);
    auto popped = ctx.queue.channel.pop_for(kQueueWait);
    switch (popped.status) {
      case PopStatus::Timeout: continue;
      case PopStatus::Disconnected: {
        // The connection deregistered: say why, if there is something to say.
        if (ctx.queue.budget->overflowed()) return close_slow_consumer(ctx);
        if (const std::uint16_t status = ctx.control->close_status.load()) return close_connection(ctx, status);
        if (ctx.shutdown->load()) return close_connection(ctx, websocket::kCloseGoingAway);
        return;
      }
      case PopStatus::Value: break;
    }
    if (std::holds_alternative<RouterMsg::Shutdown>(popped.value->value)) {
      return close_connection(ctx, websocket::kCloseGoingAway);
    }
    const auto& sample = std::get<RouterMsg::Sample>(popped.value->value);
    ctx.queue.budget->release(sample.payload.size());
    // Queued samples are dropped once the connection is closing for whatever reason.
    if (ctx.queue.budget->overflowed() || ctx.control->close_status.load() != 0 || ctx.shutdown->load()) continue;
    if (!send_sample(ctx, sample)) return;
  }
}

}  // namespace kelvane::bridge
