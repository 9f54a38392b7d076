#include "websocket/ws_stream.hpp"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

#include "websocket/frame.hpp"
#include "websocket/handshake.hpp"
#include "websocket/hex.hpp"
#include "websocket/request_reader.hpp"
#include "websocket/server_frames.hpp"

namespace kelvane::websocket {
namespace {

using namespace std::chrono_literals;
using testing::bytes_of;
using testing::concat;
using testing::from_hex;

// A WsStream on one end of a socket pair; the test talks through the other end.
struct Pair {
  Pair() {
    int fds[2];
    EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
    stream = WsStream::plain(fds[0]);
    peer = WsStream::plain(fds[1]);
  }
  WsStream stream = WsStream::plain(-1);
  WsStream peer = WsStream::plain(-1);
};

std::vector<std::uint8_t> read_exactly(WsStream& from, std::size_t size) {
  std::vector<std::uint8_t> out(size);
  std::size_t got = 0;
  while (got < size) {
    const auto n = from.read(std::span(out).subspan(got));
    if (!n || *n == 0) break;
    got += *n;
  }
  out.resize(got);
  return out;
}

TEST(WsStream, ReadWriteAndEndOfStream) {
  Pair pair;
  ASSERT_TRUE(write_all(pair.peer, bytes_of("hello")).has_value());
  EXPECT_EQ(read_exactly(pair.stream, 5), bytes_of("hello"));

  std::array<std::uint8_t, 2> small{};
  ASSERT_TRUE(write_all(pair.peer, bytes_of("abc")).has_value());
  EXPECT_EQ(pair.stream.read(small), 2u);  // never more than the buffer holds

  pair.peer = WsStream::plain(-1);  // closes the peer's end
  EXPECT_EQ(pair.stream.read(small), 1u);
  EXPECT_EQ(pair.stream.read(small), 0u);
}

TEST(WsStream, ReceiveTimeoutShowsAsTimeout) {
  Pair pair;
  ASSERT_TRUE(pair.stream.set_receive_timeout(10ms).has_value());
  std::array<std::uint8_t, 16> buffer{};
  const auto result = pair.stream.read(buffer);
  ASSERT_FALSE(result.has_value());
  EXPECT_TRUE(is_timeout(result.error())) << result.error().message();
}

TEST(WsStream, WriteToVanishedPeerIsAnErrorNotASignal) {
  Pair pair;
  pair.peer = WsStream::plain(-1);
  const std::vector<std::uint8_t> data(1 << 16, 1);
  const auto result = write_all(pair.stream, data);
  ASSERT_FALSE(result.has_value());
  EXPECT_EQ(result.error(), std::errc::broken_pipe);
  EXPECT_FALSE(is_timeout(result.error()));
}

TEST(WsStream, MovedFromStreamOwnsNothing) {
  Pair pair;
  const int fd = pair.stream.native_handle();
  WsStream moved = std::move(pair.stream);
  EXPECT_EQ(moved.native_handle(), fd);
  EXPECT_EQ(pair.stream.native_handle(), -1);  // NOLINT(bugprone-use-after-move)
}

TEST(ServerFrames, TextPongAndCloseBytes) {
  Pair pair;
  SharedWsStream shared(std::move(pair.stream));
  send_text_frame(shared, "hi");
  send_pong(shared, bytes_of("abc"));
  send_close(shared, kCloseGoingAway, "going away");
  const auto expected = concat(concat(from_hex("81 02 68 69"), from_hex("8A 03 61 62 63")),
                               concat(from_hex("88 0C 03 E9"), bytes_of("going away")));
  EXPECT_EQ(read_exactly(pair.peer, expected.size()), expected);
}

TEST(ServerFrames, SendToClosedPeerIsIgnored) {
  Pair pair;
  SharedWsStream shared(std::move(pair.stream));
  pair.peer = WsStream::plain(-1);
  send_text_frame(shared, "nobody listens");
  std::array<std::uint8_t, 4> buffer{};
  EXPECT_EQ(shared.read(buffer), 0u);
}

TEST(ServerFrames, ConcurrentSendersNeverInterleave) {
  Pair pair;
  SharedWsStream shared(std::move(pair.stream));
  constexpr int kFramesPerThread = 200;
  const std::string a(3000, 'a');
  const std::string b(5000, 'b');
  std::vector<std::uint8_t> received;
  std::thread reader([&] {
    received = read_exactly(pair.peer, kFramesPerThread * (a.size() + 4 + b.size() + 4));
  });
  {
    std::jthread first([&] { for (int i = 0; i < kFramesPerThread; ++i) send_text_frame(shared, a); });
    std::jthread second([&] { for (int i = 0; i < kFramesPerThread; ++i) send_text_frame(shared, b); });
  }
  reader.join();

  int seen_a = 0;
  int seen_b = 0;
  std::span<const std::uint8_t> rest(received);
  while (!rest.empty()) {
    const auto frame = decode(rest);
    ASSERT_TRUE(frame.has_value()) << codec_error_name(frame.error());
    const std::string text(frame->frame.payload.begin(), frame->frame.payload.end());
    ASSERT_TRUE(text == a || text == b);
    (text == a ? seen_a : seen_b) += 1;
    rest = rest.subspan(frame->consumed);
  }
  EXPECT_EQ(seen_a, kFramesPerThread);
  EXPECT_EQ(seen_b, kFramesPerThread);
}

TEST(ServerFrames, ActionPerOpcode) {
  EXPECT_EQ(server_action(Opcode::Text), FrameAction::Message);
  EXPECT_EQ(server_action(Opcode::Binary), FrameAction::Message);
  EXPECT_EQ(server_action(Opcode::Ping), FrameAction::Pong);
  EXPECT_EQ(server_action(Opcode::Close), FrameAction::Close);
  EXPECT_EQ(server_action(Opcode::Continuation), FrameAction::Discard);
  EXPECT_EQ(server_action(Opcode::Pong), FrameAction::Discard);
  for (int reserved : {3, 4, 5, 6, 7, 0xB, 0xC, 0xD, 0xE, 0xF}) {
    EXPECT_EQ(server_action(static_cast<Opcode>(reserved)), FrameAction::Discard) << reserved;
  }
}

class RequestReader : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(pair.stream.set_receive_timeout(10ms).has_value()); }
  Pair pair;
  std::atomic<bool> stop{false};
};

TEST_F(RequestReader, ReturnsRequestInPiecesAndDropsTrailingBytes) {
  std::jthread client([&] {
    for (std::string_view piece : {"GET / HTTP/1.1\r", "\nHost: x\r\n\r", "\n\x81\x05Hello"}) {
      (void)write_all(pair.peer, bytes_of(piece));
      std::this_thread::sleep_for(20ms);  // lets the reader see each piece alone
    }
  });
  EXPECT_EQ(read_client_request(pair.stream, stop), "GET / HTTP/1.1\r\nHost: x\r\n\r\n");
}

TEST_F(RequestReader, ReplacesInvalidUtf8) {
  ASSERT_TRUE(write_all(pair.peer, bytes_of("GET /\xFF HTTP/1.1\r\n\r\n")).has_value());
  EXPECT_EQ(read_client_request(pair.stream, stop), "GET /\xEF\xBF\xBD HTTP/1.1\r\n\r\n");
}

TEST_F(RequestReader, EndOfStreamBeforeBlankLine) {
  ASSERT_TRUE(write_all(pair.peer, bytes_of("GET / HTTP/1.1\r\n")).has_value());
  pair.peer = WsStream::plain(-1);
  EXPECT_EQ(read_client_request(pair.stream, stop), std::unexpected(std::string("eof during handshake")));
}

TEST_F(RequestReader, TooLargeWithoutBlankLine) {
  std::jthread client([&] { (void)write_all(pair.peer, std::vector<std::uint8_t>(70000, 'a')); });
  EXPECT_EQ(read_client_request(pair.stream, stop), std::unexpected(std::string("handshake too large")));
}

TEST_F(RequestReader, ExactlyAtLimitIsStillRead) {
  const auto request = bytes_of(std::string(kMaxHandshakeRequest - 4, 'a') + "\r\n\r\n");
  std::jthread client([&] { (void)write_all(pair.peer, request); });
  const auto text = read_client_request(pair.stream, stop);
  ASSERT_TRUE(text.has_value());
  EXPECT_EQ(text->size(), kMaxHandshakeRequest);
}

TEST_F(RequestReader, StopEndsAnIdleHandshake) {
  stop = true;
  EXPECT_EQ(read_client_request(pair.stream, stop), std::unexpected(std::string("shutdown during handshake")));
}

}  // namespace
}  // namespace kelvane::websocket
