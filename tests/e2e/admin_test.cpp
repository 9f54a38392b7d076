// The admin endpoint of the running daemon: its start line, the health probe and the
// bridge counters as a scraper sees them while a WebSocket client comes and goes.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "bridge/ws_client.hpp"
#include "e2e/support/daemon_process.hpp"

namespace kelvane::e2e {
namespace {

using wstest::client_frame;
using wstest::kSwitchingProtocols;
using wstest::WsClient;

constexpr std::string_view kConfig = R"(metrics:
  enabled: true
  address: "127.0.0.1:0"
topics:
  - name: Chat
    type: chat::Msg
)";

// The address from "admin endpoint on <address> (/metrics /catalog /healthz)".
std::string admin_address(const std::string& log) {
  const std::string marker = std::string(kLogPrefix) + "admin endpoint on ";
  const auto at = log.find(marker);
  if (at == std::string::npos) return {};
  const auto start = at + marker.size();
  return log.substr(start, log.find(' ', start) - start);
}

// One HTTP/1.1 GET; the whole answer up to the server's close.
std::string http_get(const std::string& address, std::string_view path) {
  const int fd = connect_tcp(address);
  if (fd < 0) return "connect failed";
  const std::string request = "GET " + std::string(path) + " HTTP/1.1\r\nHost: test\r\n\r\n";
  static_cast<void>(::send(fd, request.data(), request.size(), MSG_NOSIGNAL));
  std::string answer;
  char buffer[4096];
  ssize_t n = 0;
  while ((n = ::recv(fd, buffer, sizeof buffer, 0)) > 0) answer.append(buffer, static_cast<std::size_t>(n));
  ::close(fd);
  return answer;
}

bool has_line(const std::string& text, std::string_view line) {
  return text.find("\n" + std::string(line) + "\n") != std::string::npos;
}

// Polls /metrics until it shows line; the connection threads update the counters
// asynchronously to the client's view.
bool metrics_show(const std::string& address, std::string_view line) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (std::chrono::steady_clock::now() < deadline) {
    if (has_line(http_get(address, "/metrics"), line)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

TEST(AdminEndpoint, ServesHealthCatalogAndMovingBridgeCounters) {
  const TempFile config(kConfig);
  DaemonProcess daemon = DaemonProcess::start_listening({"--config", config.path()});
  ASSERT_TRUE(daemon.running()) << daemon.stderr_text();
  const std::string admin = admin_address(daemon.stderr_text());
  ASSERT_FALSE(admin.empty()) << daemon.stderr_text();

  EXPECT_EQ(http_get(admin, "/healthz"),
            "HTTP/1.1 200 OK\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: 3\r\n"
            "Connection: close\r\n\r\nOK\n");
  EXPECT_NE(http_get(admin, "/catalog").find(R"({"name":"Chat","type":"chat::Msg")"), std::string::npos);
  const std::string idle = http_get(admin, "/metrics");
  EXPECT_TRUE(has_line(idle, "# HELP kelvane_ws_connections_total Lifetime accepted WebSocket connections"));
  EXPECT_TRUE(has_line(idle, "kelvane_ws_connections_total 0"));

  {
    WsClient client(daemon.port());
    ASSERT_EQ(client.upgrade("/"), kSwitchingProtocols);
    client.send_text("not an operation");  // 16 bytes, ignored without a path topic
    client.send_bytes(client_frame(0x89, "abc"));  // control frames are not counted
    ASSERT_EQ(client.read_frame().value_or(wstest::ServerFrame{}).byte0, 0x8A);  // the Pong
    EXPECT_TRUE(metrics_show(admin, "kelvane_ws_connections_active 1"));
    EXPECT_TRUE(metrics_show(admin, "kelvane_ws_connections_total 1"));
    EXPECT_TRUE(metrics_show(admin, "kelvane_ws_frames_in_total 1"));
    EXPECT_TRUE(metrics_show(admin, "kelvane_ws_bytes_in_total 16"));
    client.send_bytes(client_frame(0x88, "\x03\xe8"));
    EXPECT_EQ(client.read_to_end(), "");
  }
  EXPECT_TRUE(metrics_show(admin, "kelvane_ws_connections_active 0"));

  daemon.send_signal(SIGTERM);
  EXPECT_EQ(daemon.wait_exit(kExitTimeout), ExitStatus::exited(0));
}

}  // namespace
}  // namespace kelvane::e2e
