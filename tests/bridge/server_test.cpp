#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "server_fixture.hpp"

namespace kelvane::wstest {
namespace {

using namespace std::chrono_literals;

SharedBytes bytes(std::string_view text) {
  return SharedBytes::copy_of(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

std::string close_frame_bytes(std::uint16_t status, std::string_view reason) {
  std::string out{'\x88', static_cast<char>(2 + reason.size()), static_cast<char>(status >> 8),
                  static_cast<char>(status & 0xFF)};
  return out.append(reason);
}

config::TopicConfig topic(std::string name, std::string ws_path = {}) {
  config::TopicConfig t;
  t.name = std::move(name);
  t.ws_path = std::move(ws_path);
  return t;
}

// A client that completed the upgrade on path and is registered with the router.
struct OpenClient {
  WsClient client;
  OpenClient(InProcessServer& server, std::string_view path, bridge::ConnectionId id) : client(server.port()) {
    EXPECT_EQ(client.upgrade(path), kSwitchingProtocols);
    EXPECT_TRUE(server.wait_registered(id));
  }
};

TEST(BridgeServer, PreUpgradeAnswersByteForByte) {
  ServerOptions options;
  options.security.auth_mode = "bearer";
  options.security.bearer_tokens = {{"tok-alice", "alice"}, {"tok-bob", "bob"}};
  options.security.topic_acls = {{"Secret", access::AclEntry{{"alice"}, {}}}};
  options.topics = {topic("Secret")};
  InProcessServer server(std::move(options));

  const struct {
    std::string request;
    std::string answer;
    std::string log;
  } cases[] = {
      {"garbage\r\n\r\n", "HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\n\r\n", ""},
      {"GET /x HTTP/1.1\r\nHost: h\r\nSec-WebSocket-Version: 8\r\n\r\n",
       "HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\n\r\n", ""},
      {upgrade_request("/"),
       "HTTP/1.1 401 Unauthorized\r\nContent-Length: 12\r\nContent-Type: text/plain\r\n"
       "WWW-Authenticate: Bearer realm=\"kelvane-ws\"\r\nConnection: close\r\n\r\nunauthorized",
       "auth reject conn=3 reason=missing credentials"},
      {upgrade_request("/", "Authorization: Bearer nope\r\n"),
       "HTTP/1.1 401 Unauthorized\r\nContent-Length: 12\r\nContent-Type: text/plain\r\n"
       "WWW-Authenticate: Bearer realm=\"kelvane-ws\"\r\nConnection: close\r\n\r\nunauthorized",
       "auth reject conn=4 reason=credentials rejected: unknown bearer token"},
      {upgrade_request("/topics/secret", "authorization:   Bearer tok-bob  \r\n"),
       "HTTP/1.1 403 Forbidden\r\nContent-Length: 25\r\nContent-Type: text/plain\r\nConnection: close\r\n\r\n"
       "forbidden: read on Secret",
       "acl reject conn=5 subject=bob topic=Secret"},
  };
  std::uint64_t expected_errors = 0;
  for (const auto& c : cases) {
    ::testing::internal::CaptureStderr();
    WsClient client(server.port());
    ASSERT_TRUE(client.send_bytes(c.request));
    EXPECT_EQ(client.read_to_end(), c.answer) << c.request;
    EXPECT_EQ(server.wait_value(server.metrics().connections_active, 0), 0);
    const std::string log = ::testing::internal::GetCapturedStderr();
    if (c.log.empty()) {
      EXPECT_EQ(log, "");
    } else {
      ++expected_errors;
      EXPECT_EQ(log, "[kelvane-ws-bridged] " + c.log + "\n");
    }
  }
  EXPECT_EQ(server.metrics().errors->get(), expected_errors);
  EXPECT_EQ(server.metrics().connections_total->get(), 5u);

  // The subject that may read the path topic is admitted.
  WsClient alice(server.port());
  EXPECT_EQ(alice.upgrade("/topics/secret", "Authorization: Bearer tok-alice\r\n"), kSwitchingProtocols);
}

TEST(BridgeServer, PingIsAnsweredAndControlFramesDiscarded) {
  InProcessServer server({});
  OpenClient c(server, "/", 1);
  ASSERT_TRUE(c.client.send_bytes(client_frame(0x8A, "unsolicited pong")));
  ASSERT_TRUE(c.client.send_bytes(client_frame(0x80, "continuation")));
  ASSERT_TRUE(c.client.send_bytes(client_frame(0x89, "abc")));
  const auto pong = c.client.read_frame();
  ASSERT_TRUE(pong.has_value());
  EXPECT_EQ(pong->byte0, 0x8A);
  EXPECT_EQ(pong->text(), "abc");
  EXPECT_EQ(server.metrics().frames_in->get(), 0u) << "only Text and Binary frames count";
}

TEST(BridgeServer, SubscribeDispatchUnsubscribe) {
  InProcessServer server({});
  OpenClient a(server, "/", 1);
  OpenClient b(server, "/", 2);
  // Two frames in one segment are both handled before the next read.
  std::vector<std::uint8_t> both = client_frame(0x81, R"({"op":"subscribe","topic":"T"})");
  const auto second = client_frame(0x82, R"({"op":"subscribe","topic":"U","id":"x"})");
  both.insert(both.end(), second.begin(), second.end());
  ASSERT_TRUE(a.client.send_bytes(both));
  ASSERT_TRUE(b.client.send_text(R"({"op":"subscribe","topic":"T"})"));
  EXPECT_EQ(server.wait_value(server.metrics().frames_in, 3), 3u);

  EXPECT_EQ(server.dispatch("T", bytes(R"({"v":1})")), 2u);
  EXPECT_EQ(server.dispatch("U", bytes("hi\n")), 1u);
  for (auto* c : {&a, &b}) {
    const auto frame = c->client.read_frame();
    ASSERT_TRUE(frame.has_value());
    EXPECT_EQ(frame->byte0, 0x81);
    EXPECT_EQ(frame->text(), R"({"op":"notify","topic":"T","data":{"v":1}})");
  }
  EXPECT_EQ(a.client.read_frame()->text(), R"({"op":"notify","topic":"U","data":"hi\n"})");
  EXPECT_EQ(server.wait_value(server.metrics().frames_out, 3), 3u);
  // Header 2 bytes + 42, 42 and 41 bytes of text.
  EXPECT_EQ(server.metrics().bytes_out->get(), 2u + 42 + 2 + 42 + 2 + 41);

  ASSERT_TRUE(a.client.send_text(R"({"op":"unsubscribe","topic":"T"})"));
  EXPECT_EQ(server.wait_value(server.metrics().frames_in, 4), 4u);
  EXPECT_EQ(server.dispatch("T", bytes("x")), 1u);
  EXPECT_EQ(b.client.read_frame()->text(), R"({"op":"notify","topic":"T","data":"x"})");
  EXPECT_FALSE(a.client.read_frame(300ms).has_value()) << "nothing after unsubscribe";
}

TEST(BridgeServer, AccessDenialsAnswerWithErrorFramesAndKeepTheConnection) {
  ServerOptions options;
  options.security.auth_mode = "bearer";
  options.security.bearer_tokens = {{"tok", "carol"}};
  options.security.topic_acls = {{"T", access::AclEntry{{"carol"}, {}}}};
  options.writer_topics = {"T"};
  InProcessServer server(std::move(options));
  WsClient client(server.port());
  ASSERT_EQ(client.upgrade("/", "Authorization: Bearer tok\r\n"), kSwitchingProtocols);
  ASSERT_TRUE(server.wait_registered(1));

  ::testing::internal::CaptureStderr();
  ASSERT_TRUE(client.send_text(R"({"op":"subscribe","topic":"Other"})"));
  EXPECT_EQ(client.read_frame()->text(), R"({"op":"error","code":403,"topic":"Other","reason":"acl-deny-read"})");
  ASSERT_TRUE(client.send_text(R"({"op":"publish","topic":"T","data":1})"));
  EXPECT_EQ(client.read_frame()->text(), R"({"op":"error","code":403,"topic":"T","reason":"acl-deny-write"})");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "[kelvane-ws-bridged] acl-deny conn=1 subject=carol read Other\n"
            "[kelvane-ws-bridged] acl-deny conn=1 subject=carol write T\n");
  EXPECT_EQ(server.metrics().errors->get(), 2u);
  EXPECT_TRUE(server.writer("T").taken().empty());

  ASSERT_TRUE(client.send_text(R"({"op":"subscribe","topic":"T"})"));
  EXPECT_EQ(server.wait_value(server.metrics().frames_in, 3), 3u);
  EXPECT_EQ(server.dispatch("T", bytes("ok")), 1u);
  EXPECT_EQ(client.read_frame()->text(), R"({"op":"notify","topic":"T","data":"ok"})");
}

TEST(BridgeServer, PublishGoesThroughTheTopicWriter) {
  ServerOptions options;
  options.writer_topics = {"T", "Broken"};
  InProcessServer server(std::move(options));
  OpenClient c(server, "/", 1);
  server.writer("Broken").fail = true;

  ::testing::internal::CaptureStderr();
  ASSERT_TRUE(c.client.send_text(R"({"op":"publish","topic":"T","data":{"x":[1,"]"]}})"));
  ASSERT_TRUE(c.client.send_text(R"({"op":"publish","topic":"T","data":"a\nb"})"));
  ASSERT_TRUE(c.client.send_text(R"({"op":"publish","topic":"NoWriter","data":1})"));
  ASSERT_TRUE(c.client.send_text(R"({"op":"publish","topic":"Broken","data":1})"));
  ASSERT_TRUE(c.client.send_text("hello"));  // no path topic: ignored
  EXPECT_EQ(server.wait_value(server.metrics().frames_in, 5), 5u);
  EXPECT_EQ(server.wait_value(server.metrics().errors, 1), 1u);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "[kelvane-ws-bridged] inbound err conn=1: dds-write: Timeout\n");
  EXPECT_EQ(server.writer("T").taken(), (std::vector<std::string>{R"({"x":[1,"]"]})", R"(a\nb)"}));
  EXPECT_EQ(server.metrics().dds_samples_in->get(), 2u);
}

TEST(BridgeServer, PathTopicSubscribesAndPublishesRawText) {
  ServerOptions options;
  options.topics = {topic("Chat::Room"), topic("Custom", "/custom/path")};
  options.writer_topics = {"Chat::Room"};
  InProcessServer server(std::move(options));
  OpenClient chat(server, "/topics/chat/room", 1);
  OpenClient custom(server, "/custom/path", 2);
  OpenClient other(server, "/topics/other", 3);
  OpenClient query(server, "/custom/path?x=1", 4);

  EXPECT_EQ(server.dispatch("Chat::Room", bytes("a")), 1u);
  EXPECT_EQ(server.dispatch("Custom", bytes("b")), 1u);
  EXPECT_EQ(chat.client.read_frame()->text(), R"({"op":"notify","topic":"Chat::Room","data":"a"})");
  EXPECT_EQ(custom.client.read_frame()->text(), R"({"op":"notify","topic":"Custom","data":"b"})");

  ASSERT_TRUE(chat.client.send_text("hello"));
  ASSERT_TRUE(chat.client.send_text(R"({"op":"publish","topic":"Chat::Room"})"));  // MissingData: raw too
  ASSERT_TRUE(other.client.send_text("ignored"));
  EXPECT_EQ(server.wait_value(server.metrics().frames_in, 3), 3u);
  EXPECT_EQ(server.writer("Chat::Room").taken(),
            (std::vector<std::string>{"hello", R"({"op":"publish","topic":"Chat::Room"})"}));
}

TEST(BridgeServer, InvalidUtf8IsReportedAndTheConnectionGoesOn) {
  InProcessServer server({});
  OpenClient c(server, "/", 1);
  ::testing::internal::CaptureStderr();
  ASSERT_TRUE(c.client.send_bytes(client_frame(0x82, "ab\xff")));
  ASSERT_TRUE(c.client.send_bytes(client_frame(0x89, "still")));
  EXPECT_EQ(c.client.read_frame()->text(), "still");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "[kelvane-ws-bridged] inbound err conn=1: utf8: invalid utf-8 sequence of 1 bytes from index 2\n");
  EXPECT_EQ(server.metrics().errors->get(), 1u);
  EXPECT_EQ(server.metrics().bytes_in->get(), 3u);
}

TEST(BridgeServer, BrokenFrameStreamsEndWithCloseStatus) {
  const struct {
    std::string frame;
    std::string close;
    std::string log;
  } cases[] = {
      {std::string("\x81\xFE\x00\x7D", 4), close_frame_bytes(1002, "protocol error"), "frame: NonMinimalLength"},
      {std::string("\x09\x80", 2), close_frame_bytes(1002, "protocol error"), "frame: FragmentedControl"},
      {std::string("\x89\xFE\x00\x7E", 4), close_frame_bytes(1002, "protocol error"), "frame: ControlTooLong"},
      {std::string("\x82\xFF\x80\x00\x00\x00\x00\x00\x00\x00", 10), close_frame_bytes(1002, "protocol error"),
       "frame: LengthOverflow"},
      {std::string("\x82\xFF\x00\x00\x00\x00\x01\x00\x00\x01", 10), close_frame_bytes(1009, "message too big"),
       "frame: PayloadTooLarge"},
  };
  for (const auto& c : cases) {
    InProcessServer server({});
    OpenClient client(server, "/", 1);
    ::testing::internal::CaptureStderr();
    ASSERT_TRUE(client.client.send_bytes(c.frame));
    EXPECT_EQ(client.client.read_to_end(), c.close);
    EXPECT_EQ(server.wait_value(server.metrics().connections_active, 0), 0);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "[kelvane-ws-bridged] inbound err conn=1: " + c.log + "\n");
    EXPECT_EQ(server.metrics().errors->get(), 1u);
  }
}

TEST(BridgeServer, ClientCloseEndsWithoutCloseFrame) {
  InProcessServer server({});
  OpenClient c(server, "/", 1);
  ASSERT_TRUE(c.client.send_text(R"({"op":"subscribe","topic":"T"})"));
  ASSERT_TRUE(c.client.send_bytes(client_frame(0x88, "\x03\xe8")));
  EXPECT_EQ(c.client.read_to_end(), "");
  EXPECT_EQ(server.wait_value(server.metrics().connections_active, 0), 0);
  const std::lock_guard lock(server.state().router->mutex);
  EXPECT_FALSE(server.state().router->router.is_registered(1));
  EXPECT_TRUE(server.state().router->router.subscribers("T")->empty());
}

TEST(BridgeServer, ShutdownSendsGoingAwayToEveryOpenConnection) {
  InProcessServer server({});
  OpenClient idle(server, "/", 1);
  OpenClient busy(server, "/", 2);
  ASSERT_TRUE(busy.client.send_text(R"({"op":"subscribe","topic":"T"})"));
  EXPECT_EQ(server.wait_value(server.metrics().frames_in, 1), 1u);
  for (int i = 0; i < 50; ++i) (void)server.dispatch("T", bytes("sample"));
  server.shutdown();

  const std::string going_away = close_frame_bytes(1001, "going away");
  EXPECT_EQ(going_away.substr(0, 4), std::string("\x88\x0C\x03\xE9", 4));
  EXPECT_EQ(idle.client.read_to_end(), going_away);
  // Samples still queued may be dropped, but the Close frame comes last in any case.
  const std::string busy_bytes = busy.client.read_to_end();
  ASSERT_GE(busy_bytes.size(), going_away.size());
  EXPECT_EQ(busy_bytes.substr(busy_bytes.size() - going_away.size()), going_away);
  EXPECT_EQ(server.metrics().connections_active->get(), 0) << "the accept thread waits for connections to end";
}

TEST(BridgeServer, SlowConsumerIsClosedWithoutSlowingOthers) {
  ServerOptions options;
  options.limits.max_queued_bytes = std::size_t{2} << 20;
  options.limits.send_stall_limit = 60s;  // the queue bound, not the stall limit, is under test
  InProcessServer server(std::move(options));
  OpenClient slow(server, "/", 1);
  OpenClient fast(server, "/", 2);
  for (auto* c : {&slow, &fast}) ASSERT_TRUE(c->client.send_text(R"({"op":"subscribe","topic":"T"})"));
  EXPECT_EQ(server.wait_value(server.metrics().frames_in, 2), 2u);

  constexpr std::size_t kSamples = 128;
  const SharedBytes payload = bytes(std::string(std::size_t{256} << 10, 'x'));  // 256 KiB each, 32 MiB in all
  std::atomic<std::size_t> fast_frames{0};
  std::thread fast_reader([&] {
    while (auto frame = fast.client.read_frame()) {
      if (frame->opcode() == 0x1 && ++fast_frames == kSamples) break;
    }
  });
  ::testing::internal::CaptureStderr();
  std::size_t delivered = 0;
  for (std::size_t i = 0; i < kSamples; ++i) {
    delivered += server.dispatch("T", payload);
    // Paced like a pump: the next sample comes once the reading client has this one.
    for (int wait = 0; wait < 2500 && fast_frames.load() <= i; ++wait) std::this_thread::sleep_for(2ms);
  }
  fast_reader.join();
  EXPECT_EQ(fast_frames.load(), kSamples) << "the reading client gets every sample";
  EXPECT_LT(delivered, 2u * kSamples) << "the slow client's queue overflowed";

  // The slow client finally reads: some notifies, then the policy Close, then the end.
  std::optional<ServerFrame> last;
  while (auto frame = slow.client.read_frame()) last = std::move(frame);
  ASSERT_TRUE(last.has_value());
  EXPECT_EQ(last->byte0, 0x88);
  EXPECT_EQ(last->text(), std::string("\x03\xF0", 2) + "outbound queue limit");
  EXPECT_EQ(server.wait_value(server.metrics().connections_active, 1), 1);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "[kelvane-ws-bridged] slow consumer conn=1: outbound queue over its limit, closing\n");
  EXPECT_EQ(server.metrics().errors->get(), 1u);
}

TEST(BridgeServer, ClientThatStopsReadingIsDroppedAfterTheStallLimit) {
  ServerOptions options;
  options.limits.send_stall_limit = 200ms;
  InProcessServer server(std::move(options));
  OpenClient stalled(server, "/", 1);
  ASSERT_TRUE(stalled.client.send_text(R"({"op":"subscribe","topic":"T"})"));
  EXPECT_EQ(server.wait_value(server.metrics().frames_in, 1), 1u);

  ::testing::internal::CaptureStderr();
  // 32 MiB: more than the socket buffers hold, less than the queue bound.
  const SharedBytes payload = bytes(std::string(std::size_t{256} << 10, 'x'));
  for (int i = 0; i < 128; ++i) EXPECT_EQ(server.dispatch("T", payload), 1u);
  EXPECT_EQ(server.wait_value(server.metrics().connections_active, 0), 0) << "the stalled connection ended";
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "[kelvane-ws-bridged] send stalled conn=1: client not reading, closing\n");
  EXPECT_EQ(server.metrics().errors->get(), 1u);
  EXPECT_LT(server.metrics().frames_out->get(), 128u);
}

TEST(BridgeServer, ConnectionsBeyondTheLimitGet503) {
  ServerOptions options;
  options.limits.max_connections = 1;
  InProcessServer server(std::move(options));
  OpenClient first(server, "/", 1);
  ::testing::internal::CaptureStderr();
  WsClient second(server.port());
  EXPECT_EQ(second.read_to_end(),
            "HTTP/1.1 503 Service Unavailable\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "[kelvane-ws-bridged] connection limit of 1 reached, refusing a client\n");
  first.client.send_bytes(client_frame(0x88, ""));
  EXPECT_EQ(first.client.read_to_end(), "");
  EXPECT_EQ(server.wait_value(server.metrics().connections_active, 0), 0);
  // A slot is free again: the next client is served, with the next id.
  OpenClient third(server, "/", 2);
}

}  // namespace
}  // namespace kelvane::wstest
