#include "bridge/connection.hpp"

#include <sys/socket.h>
#include <sys/time.h>

#include <chrono>
#include <utility>
#include <vector>

#include "access/headers.hpp"
#include "bridge/small_thread.hpp"
#include "bridge/upgrade_answers.hpp"
#include "common/log.hpp"
#include "websocket/handshake.hpp"
#include "websocket/request_reader.hpp"

namespace kelvane::bridge {

namespace {

constexpr std::chrono::milliseconds kReceiveTimeout{500};

void write_ignoring_failure(websocket::WsStream& stream, std::string_view text) {
  (void)websocket::write_all(stream, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

std::int64_t unix_now() {
  return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
}

// connections_active goes down on every path out of serve_connection.
class ActiveConnection {
 public:
  explicit ActiveConnection(const observability::BridgeMetrics& metrics) : active_(metrics.connections_active) {
    metrics.connections_total->inc();
    active_->inc();
  }
  ActiveConnection(const ActiveConnection&) = delete;
  ActiveConnection& operator=(const ActiveConnection&) = delete;
  ~ActiveConnection() { active_->dec(); }

 private:
  observability::GaugeHandle active_;
};

void set_send_stall_limit(int fd, std::chrono::milliseconds limit) {
  const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(limit).count();
  timeval tv{};
  tv.tv_sec = static_cast<time_t>(micros / 1000000);
  tv.tv_usec = static_cast<suseconds_t>(micros % 1000000);
  (void)::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
}

void register_with_router(ServerState& state, ConnectionId id, QueueSender sender,
                          const std::optional<std::string>& path_topic) {
  const std::lock_guard lock(state.router->mutex);
  state.router->router.register_connection(id, std::move(sender));
  if (path_topic) state.router->router.subscribe(id, *path_topic);
}

void deregister_from_router(ServerState& state, ConnectionId id) {
  const std::lock_guard lock(state.router->mutex);
  state.router->router.deregister_connection(id);
}

}  // namespace

std::expected<void, std::string> serve_connection(ConnectionId id, websocket::WsStream stream,
                                                  std::optional<access::AuthSubject> mtls_subject,
                                                  ServerState& state) {
  const ActiveConnection active(state.metrics);
  (void)stream.set_receive_timeout(kReceiveTimeout);

  auto request = websocket::read_client_request(stream, *state.shutdown);
  if (!request) return std::unexpected(std::move(request.error()));

  const auto client = websocket::parse_client_request(*request);
  if (!client) {
    write_ignoring_failure(stream, websocket::kBadRequestResponse);
    return std::unexpected("handshake parse: " + websocket::diagnostic(client.error()));
  }

  std::vector<std::pair<std::string, std::string>> headers;
  if (auto authorization = access::extract_authorization_header(*request)) {
    headers.emplace_back("authorization", std::move(*authorization));
  }
  auto subject = access::authenticate_ws(*state.security, headers, mtls_subject ? &*mtls_subject : nullptr, unix_now());
  if (!subject) {
    state.metrics.errors->inc();
    write_ignoring_failure(stream, kUnauthorizedResponse);
    const std::string reason = subject.error().to_string();
    log_line("auth reject conn=" + std::to_string(id) + " reason=" + reason);
    return std::unexpected("auth reject: " + reason);
  }

  std::optional<std::string> path_topic = select_path_topic(*state.topics, client->path);
  if (path_topic && !state.security->acl->check(*subject, access::Operation::Read, *path_topic)) {
    state.metrics.errors->inc();
    write_ignoring_failure(stream, forbidden_response(*path_topic));
    log_line("acl reject conn=" + std::to_string(id) + " subject=" + subject->name + " topic=" + *path_topic);
    return std::unexpected("acl reject: " + *path_topic);
  }

  const std::string response = websocket::render_server_response(websocket::build_server_response(*client));
  if (auto written = websocket::write_all(stream, std::span(reinterpret_cast<const std::uint8_t*>(response.data()),
                                                            response.size()));
      !written) {
    return std::unexpected(written.error().message());
  }

  set_send_stall_limit(stream.native_handle(), state.limits.send_stall_limit);
  ConnectionQueue queue = make_connection_queue(state.limits.max_queued_bytes, state.limits.max_queued_messages);
  register_with_router(state, id, std::move(queue.sender), path_topic);

  const int socket_fd = stream.native_handle();
  OpenConnection conn{id,
                      state,
                      std::move(*subject),
                      std::move(path_topic),
                      std::make_shared<websocket::SharedWsStream>(std::move(stream)),
                      std::make_shared<ConnectionControl>(),
                      socket_fd};
  auto sender = SmallThread::start([ctx = SenderContext{id, std::move(queue.receiver), conn.stream, conn.subject,
                                                        state.security->acl, state.shutdown, conn.control,
                                                        state.metrics.frames_out, state.metrics.bytes_out,
                                                        state.metrics.errors}]() mutable { run_sender(std::move(ctx)); });
  if (!sender) {
    state.metrics.errors->inc();
    log_line("sender thread spawn failed conn=" + std::to_string(id) + ": " + sender.error().message());
    deregister_from_router(state, id);
    return std::unexpected(sender.error().message());
  }

  run_receive_loop(conn);

  deregister_from_router(state, id);
  sender->join();
  return {};
}

}  // namespace kelvane::bridge
