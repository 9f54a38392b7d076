// The WebSocket side of the running daemon, driven over real sockets with raw bytes.
#include <gtest/gtest.h>

#include <signal.h>

#include <string>

#include "bridge/ws_client.hpp"
#include "e2e/support/daemon_process.hpp"

namespace kelvane::e2e {
namespace {

using wstest::client_frame;
using wstest::kSwitchingProtocols;
using wstest::upgrade_request;
using wstest::WsClient;

// Bearer authentication as alice; Chat readable by alice and writable by nobody,
// Secret readable by bob only.
constexpr std::string_view kBearerConfig = R"(auth:
  mode: bearer
  bearer_token: tok-alice
  bearer_subject: alice
acl:
  Chat:
    read: "alice"
    write: ""
  Secret:
    read: "bob"
topics:
  - name: Chat
  - name: Secret
)";

constexpr std::string_view kAliceHeader = "Authorization: Bearer tok-alice\r\n";

std::string close_frame_bytes(std::uint16_t status, std::string_view reason) {
  std::string out{'\x88', static_cast<char>(2 + reason.size()), static_cast<char>(status >> 8),
                  static_cast<char>(status & 0xFF)};
  return out.append(reason);
}

class WsDaemon : public ::testing::Test {
 protected:
  void start(std::string_view config_text) {
    config_.emplace(config_text);
    daemon_.emplace(DaemonProcess::start_listening({"--config", config_->path()}));
    ASSERT_TRUE(daemon_->running()) << daemon_->stderr_text();
  }
  void start_open() {
    daemon_.emplace(DaemonProcess::start_listening({}));
    ASSERT_TRUE(daemon_->running()) << daemon_->stderr_text();
  }
  DaemonProcess& daemon() { return *daemon_; }
  std::uint16_t port() { return daemon_->port(); }

  bool logged(std::string_view line) { return daemon_->wait_for_stderr_line(line, 5s).value_or("") == std::string(kLogPrefix) + std::string(line); }

 private:
  std::optional<TempFile> config_;
  std::optional<DaemonProcess> daemon_;
};

TEST_F(WsDaemon, PreUpgradeAnswersAndTheirLogLines) {
  start(kBearerConfig);
  {
    WsClient client(port());
    client.send_bytes("GET /\r\n\r\n");
    EXPECT_EQ(client.read_to_end(), "HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\n\r\n");
  }
  {
    WsClient client(port());
    client.send_bytes(upgrade_request("/", "Authorization: Bearer wrong\r\n"));
    EXPECT_EQ(client.read_to_end(),
              "HTTP/1.1 401 Unauthorized\r\nContent-Length: 12\r\nContent-Type: text/plain\r\n"
              "WWW-Authenticate: Bearer realm=\"kelvane-ws\"\r\nConnection: close\r\n\r\nunauthorized");
    EXPECT_TRUE(logged("auth reject conn=2 reason=credentials rejected: unknown bearer token"));
  }
  {
    WsClient client(port());
    client.send_bytes(upgrade_request("/topics/secret", kAliceHeader));
    EXPECT_EQ(client.read_to_end(),
              "HTTP/1.1 403 Forbidden\r\nContent-Length: 25\r\nContent-Type: text/plain\r\nConnection: close\r\n\r\n"
              "forbidden: read on Secret");
    EXPECT_TRUE(logged("acl reject conn=3 subject=alice topic=Secret"));
  }
  WsClient client(port());
  EXPECT_EQ(client.upgrade("/topics/chat", kAliceHeader), kSwitchingProtocols);
}

TEST_F(WsDaemon, HandshakeEchoesFirstProtocolAndExtensions) {
  start_open();
  WsClient client(port());
  EXPECT_EQ(client.upgrade("/", "Sec-WebSocket-Protocol: json, chat\r\n"
                                "Sec-WebSocket-Extensions: permessage-deflate; client_max_window_bits\r\n"),
            "HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
            "Sec-WebSocket-Accept: s3pPLMBiTxaQ9kYGzzhZRbK+xOo=\r\nSec-WebSocket-Protocol: json\r\n"
            "Sec-WebSocket-Extensions: permessage-deflate; client_max_window_bits\r\n\r\n");
}

TEST_F(WsDaemon, PingCloseAndAccessErrors) {
  start(kBearerConfig);
  WsClient client(port());
  ASSERT_EQ(client.upgrade("/", kAliceHeader), kSwitchingProtocols);

  client.send_bytes(client_frame(0x89, "abc"));
  EXPECT_EQ(client.read_frame().value_or(wstest::ServerFrame{}).payload,
            (std::vector<std::uint8_t>{0x61, 0x62, 0x63}));

  client.send_text(R"({"op":"subscribe","topic":"Secret"})");
  EXPECT_EQ(client.read_frame().value_or(wstest::ServerFrame{}).text(),
            R"({"op":"error","code":403,"topic":"Secret","reason":"acl-deny-read"})");
  EXPECT_TRUE(logged("acl-deny conn=1 subject=alice read Secret"));
  client.send_text(R"({"op":"publish","topic":"Chat","data":"hi"})");
  EXPECT_EQ(client.read_frame().value_or(wstest::ServerFrame{}).text(),
            R"({"op":"error","code":403,"topic":"Chat","reason":"acl-deny-write"})");
  EXPECT_TRUE(logged("acl-deny conn=1 subject=alice write Chat"));

  // Allowed operations and texts that are not operations get no answer at all.
  client.send_text(R"({"op":"subscribe","topic":"Chat"})");
  client.send_text(R"({"op":"unsubscribe","topic":"Chat"})");
  client.send_text("not an operation");
  client.send_bytes(client_frame(0x82, "ab\xff"));
  EXPECT_TRUE(logged("inbound err conn=1: utf8: invalid utf-8 sequence of 1 bytes from index 2"));
  client.send_bytes(client_frame(0x89, "x"));
  EXPECT_EQ(client.read_frame().value_or(wstest::ServerFrame{}).byte0, 0x8A) << "nothing came before the Pong";

  // A client Close ends the connection without a Close frame back.
  client.send_bytes(client_frame(0x88, "\x03\xe8"));
  EXPECT_EQ(client.read_to_end(), "");
}

TEST_F(WsDaemon, BrokenFrameStreamsAreClosedWithStatus) {
  start_open();
  const struct {
    std::string frame;
    std::string close;
  } cases[] = {
      {std::string("\x81\xFE\x00\x05", 4), close_frame_bytes(1002, "protocol error")},
      {std::string("\x82\xFF\x00\x00\x00\x00\x01\x00\x00\x01", 10), close_frame_bytes(1009, "message too big")},
  };
  for (const auto& c : cases) {
    WsClient client(port());
    ASSERT_EQ(client.upgrade("/"), kSwitchingProtocols);
    client.send_bytes(c.frame);
    EXPECT_EQ(client.read_to_end(), c.close);
  }
}

TEST_F(WsDaemon, SigtermSendsGoingAwayToOpenConnections) {
  start_open();
  WsClient first(port());
  WsClient second(port());
  ASSERT_EQ(first.upgrade("/"), kSwitchingProtocols);
  ASSERT_EQ(second.upgrade("/topics/anything"), kSwitchingProtocols);
  second.send_text(R"({"op":"subscribe","topic":"T"})");
  // A Ping round trip proves both connections are in their receive loops.
  for (auto* c : {&first, &second}) {
    c->send_bytes(client_frame(0x89, ""));
    EXPECT_TRUE(c->read_frame().has_value());
  }
  daemon().send_signal(SIGTERM);
  const std::string going_away = std::string("\x88\x0C\x03\xE9", 4) + "going away";
  EXPECT_EQ(first.read_to_end(), going_away);
  EXPECT_EQ(second.read_to_end(), going_away);
  EXPECT_EQ(daemon().wait_exit(kExitTimeout), ExitStatus::exited(0));
}

}  // namespace
}  // namespace kelvane::e2e
