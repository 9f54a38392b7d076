// An independent client (Boost.Beast) against this module's server side, over a socket
// pair: the handshake, masked client frames in all three length forms, and server frames.
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <boost/asio/io_context.hpp>
#include <boost/asio/local/stream_protocol.hpp>
#include <boost/beast/core/buffers_to_string.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/websocket/stream.hpp>
#include <memory>
#include <thread>

#include "websocket/frame.hpp"
#include "websocket/handshake.hpp"
#include "websocket/request_reader.hpp"
#include "websocket/server_frames.hpp"

namespace kelvane::websocket {
namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;

// Reads from the stream until one whole frame is buffered; returns it and keeps the rest.
std::optional<Frame> next_frame(SharedWsStream& stream, std::vector<std::uint8_t>& buffer) {
  std::array<std::uint8_t, 4096> chunk{};
  while (true) {
    if (auto decoded = decode(buffer)) {
      buffer.erase(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(decoded->consumed));
      return std::move(decoded->frame);
    } else if (!needs_more_input(decoded.error())) {
      return std::nullopt;
    }
    const auto n = stream.read(chunk);
    if (!n || *n == 0) return std::nullopt;
    buffer.insert(buffer.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(*n));
  }
}

TEST(BeastClient, HandshakeAndFramesInterop) {
  int fds[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
  WsStream server = WsStream::plain(fds[0]);

  const std::vector<std::string> client_messages = {"hello", std::string(300, 'm'), std::string(70000, 'L')};
  std::string client_error;
  std::string reply;
  std::jthread client([&, fd = fds[1]] {
    try {
      asio::io_context io;
      beast::websocket::stream<asio::local::stream_protocol::socket> ws(io);
      ws.next_layer().assign(asio::local::stream_protocol(), fd);
      ws.set_option(beast::websocket::stream_base::decorator([](beast::websocket::request_type& req) {
        req.set(beast::http::field::sec_websocket_protocol, "json, chat");
      }));
      ws.handshake("localhost", "/topics/square");
      ws.text(true);
      ws.auto_fragment(false);  // one frame per message, as the bridge expects
      for (const auto& message : client_messages) ws.write(asio::buffer(message));
      ws.ping("abc");
      beast::flat_buffer in;
      ws.read(in);  // the pong is consumed inside read; the text frame ends it
      reply = beast::buffers_to_string(in.data());
      ws.close(beast::websocket::close_code::normal);
    } catch (const std::exception& e) {
      client_error = e.what();
    }
  });

  const std::atomic<bool> stop{false};
  const auto request = read_client_request(server, stop);
  ASSERT_TRUE(request.has_value()) << request.error();
  const auto handshake = parse_client_request(*request);
  ASSERT_TRUE(handshake.has_value()) << diagnostic(handshake.error());
  EXPECT_EQ(handshake->path, "/topics/square");
  EXPECT_EQ(handshake->protocols, (std::vector<std::string>{"json", "chat"}));
  const std::string response = render_server_response(build_server_response(*handshake));
  ASSERT_TRUE(write_all(server, std::span(reinterpret_cast<const std::uint8_t*>(response.data()), response.size())));

  auto shared_owner = std::make_unique<SharedWsStream>(std::move(server));
  SharedWsStream& shared = *shared_owner;
  std::vector<std::uint8_t> buffer;
  for (const auto& expected : client_messages) {
    const auto frame = next_frame(shared, buffer);
    ASSERT_TRUE(frame.has_value());
    EXPECT_EQ(frame->opcode, Opcode::Text);
    EXPECT_TRUE(frame->mask.has_value());  // clients always mask
    EXPECT_EQ(frame->payload.size(), expected.size());
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), frame->payload.begin(), frame->payload.end()));
  }
  const auto ping = next_frame(shared, buffer);
  ASSERT_TRUE(ping.has_value());
  ASSERT_EQ(server_action(ping->opcode), FrameAction::Pong);
  send_pong(shared, ping->payload);
  send_text_frame(shared, "world");

  const auto close = next_frame(shared, buffer);
  ASSERT_TRUE(close.has_value());
  EXPECT_EQ(server_action(close->opcode), FrameAction::Close);
  EXPECT_EQ(close->payload, (std::vector<std::uint8_t>{0x03, 0xE8}));  // 1000 normal
  // The client waits for a Close in return and then for the end of the connection.
  send_close(shared, 1000, "");
  shared_owner.reset();
  client.join();
  EXPECT_EQ(client_error, "");
  EXPECT_EQ(reply, "world");
}

}  // namespace
}  // namespace kelvane::websocket
