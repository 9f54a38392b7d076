#include <poll.h>

#include <array>
#include <cerrno>
#include <string>
#include <vector>

#include "bridge/connection.hpp"
#include "bridge/protocol.hpp"
#include "common/log.hpp"
#include "websocket/frame.hpp"
#include "websocket/server_frames.hpp"
#include "common/utf8.hpp"

namespace kelvane::bridge {

namespace {

constexpr std::size_t kReadSize = 4096;
// How long one wait for client bytes lasts before the stop conditions are looked at again.
constexpr int kReadWaitMillis = 500;

enum class Readiness { Readable, Idle, Failed };

Readiness wait_readable(int fd) {
  pollfd p{fd, POLLIN, 0};
  const int n = ::poll(&p, 1, kReadWaitMillis);
  if (n > 0) return Readiness::Readable;  // data, end of stream or an error: the read tells
  if (n == 0 || errno == EINTR) return Readiness::Idle;
  return Readiness::Failed;
}

std::string conn_prefix(ConnectionId id) { return "conn=" + std::to_string(id); }

void report_inbound_error(OpenConnection& conn, std::string_view reason) {
  conn.state.metrics.errors->inc();
  log_line("inbound err " + conn_prefix(conn.id) + ": " + std::string(reason));
}

// The log line, when there is one, is written before the reply.
void send_acl_error(OpenConnection& conn, std::string_view topic, DeniedAccess denied, bool log) {
  conn.state.metrics.errors->inc();
  if (log) {
    log_line("acl-deny " + conn_prefix(conn.id) + " subject=" + conn.subject.name +
             (denied == DeniedAccess::Read ? " read " : " write ") + std::string(topic));
  }
  websocket::send_text_frame(*conn.stream, render_acl_error(topic, denied));
}

// Writes the payload through the topic's DDS writer; a topic without one drops it.
void write_to_dds(OpenConnection& conn, std::string_view topic, std::span<const std::uint8_t> payload) {
  const auto writer = conn.state.writers->find(topic);
  if (writer == conn.state.writers->end()) return;
  if (auto written = writer->second(payload); !written) {
    report_inbound_error(conn, "dds-write: " + written.error());
    return;
  }
  conn.state.metrics.dds_samples_in->inc();
}

bool may(const OpenConnection& conn, access::Operation operation, std::string_view topic) {
  return conn.state.security->acl->check(conn.subject, operation, topic);
}

void handle_op(OpenConnection& conn, BridgeOp& op) {
  if (auto* sub = std::get_if<Subscribe>(&op)) {
    if (!may(conn, access::Operation::Read, sub->topic)) {
      send_acl_error(conn, sub->topic, DeniedAccess::Read, true);
      return;
    }
    const std::lock_guard lock(conn.state.router->mutex);
    conn.state.router->router.subscribe(conn.id, sub->topic);
  } else if (auto* unsub = std::get_if<Unsubscribe>(&op)) {
    const std::lock_guard lock(conn.state.router->mutex);
    conn.state.router->router.unsubscribe(conn.id, unsub->topic);
  } else {
    auto& pub = std::get<Publish>(op);
    if (!may(conn, access::Operation::Write, pub.topic)) {
      send_acl_error(conn, pub.topic, DeniedAccess::Write, true);
      return;
    }
    write_to_dds(conn, pub.topic,
                 std::span(reinterpret_cast<const std::uint8_t*>(pub.data.data()), pub.data.size()));
  }
}

// One Text or Binary frame: one client message.
void handle_message(OpenConnection& conn, std::span<const std::uint8_t> payload) {
  conn.state.metrics.frames_in->inc();
  conn.state.metrics.bytes_in->add(payload.size());
  if (const auto bad = find_utf8_error(payload)) {
    report_inbound_error(conn, "utf8: " + describe(*bad));
    return;
  }
  const std::string_view text(reinterpret_cast<const char*>(payload.data()), payload.size());
  if (auto op = parse_op(text)) {
    handle_op(conn, *op);
    return;
  }
  // Not an operation: on a topic path the text itself is the sample.
  if (!conn.path_topic) return;
  if (!may(conn, access::Operation::Write, *conn.path_topic)) {
    send_acl_error(conn, *conn.path_topic, DeniedAccess::Write, false);
    return;
  }
  write_to_dds(conn, *conn.path_topic, payload);
}

enum class FrameOutcome { Continue, End };

FrameOutcome act_on_frame(OpenConnection& conn, const websocket::Frame& frame) {
  switch (websocket::server_action(frame.opcode)) {
    case websocket::FrameAction::Message: handle_message(conn, frame.payload); break;
    case websocket::FrameAction::Pong: websocket::send_pong(*conn.stream, frame.payload); break;
    case websocket::FrameAction::Close: return FrameOutcome::End;
    case websocket::FrameAction::Discard: break;
  }
  return FrameOutcome::Continue;
}

// Handles every complete frame at the front of buffer and drops their bytes; End when
// the connection must end (a Close, or a frame stream that can never be decoded).
FrameOutcome handle_buffered_frames(OpenConnection& conn, std::vector<std::uint8_t>& buffer) {
  std::size_t start = 0;
  FrameOutcome outcome = FrameOutcome::Continue;
  while (outcome == FrameOutcome::Continue) {
    auto decoded = websocket::decode(std::span(buffer).subspan(start));
    if (!decoded) {
      if (websocket::needs_more_input(decoded.error())) break;
      // A malformed or oversized frame: no later byte can be framed again.
      report_inbound_error(conn, "frame: " + std::string(websocket::codec_error_name(decoded.error())));
      conn.control->close_status.store(websocket::close_status_for(decoded.error()));
      outcome = FrameOutcome::End;
      break;
    }
    start += decoded->consumed;
    outcome = act_on_frame(conn, decoded->frame);
  }
  buffer.erase(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(start));
  return outcome;
}

}  // namespace

void run_receive_loop(OpenConnection& conn) {
  std::vector<std::uint8_t> buffer;
  std::array<std::uint8_t, kReadSize> chunk;
  while (!conn.state.shutdown->load() && !conn.control->closed_by_sender.load()) {
    const Readiness readiness = wait_readable(conn.socket_fd);
    if (readiness == Readiness::Failed) return;
    if (readiness == Readiness::Idle) continue;
    const auto n = conn.stream->read(chunk);
    if (!n) {
      if (websocket::is_timeout(n.error())) continue;
      return;
    }
    if (*n == 0) return;
    buffer.insert(buffer.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(*n));
    if (handle_buffered_frames(conn, buffer) == FrameOutcome::End) return;
  }
}

}  // namespace kelvane::bridge
