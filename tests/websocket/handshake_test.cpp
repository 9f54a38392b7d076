#include "websocket/handshake.hpp"

#include <gtest/gtest.h>

namespace kelvane::websocket {
namespace {

std::string request(std::string_view headers) { return "GET /chat HTTP/1.1\r\n" + std::string(headers) + "\r\n"; }

constexpr std::string_view kValidHeaders =
    "Host: server.example.com\r\n"
    "Upgrade: websocket\r\n"
    "Connection: Upgrade\r\n"
    "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
    "Sec-WebSocket-Version: 13\r\n";

TEST(Handshake, RfcSampleKey) {
  EXPECT_EQ(compute_accept("dGhlIHNhbXBsZSBub25jZQ=="), "s3pPLMBiTxaQ9kYGzzhZRbK+xOo=");
  // Surrounding white space is trimmed; the key is otherwise taken as it is.
  EXPECT_EQ(compute_accept(" \tdGhlIHNhbXBsZSBub25jZQ== "), "s3pPLMBiTxaQ9kYGzzhZRbK+xOo=");
  EXPECT_EQ(compute_accept("not base64 at all").size(), 28u);
}

TEST(Handshake, ParsesAndAnswersRfcRequest) {
  const auto client = parse_client_request(request(kValidHeaders));
  ASSERT_TRUE(client.has_value());
  EXPECT_EQ(client->path, "/chat");
  EXPECT_EQ(client->host, "server.example.com");
  EXPECT_EQ(client->key, "dGhlIHNhbXBsZSBub25jZQ==");
  EXPECT_TRUE(client->protocols.empty());
  EXPECT_TRUE(client->extensions.empty());
  EXPECT_EQ(render_server_response(build_server_response(*client)),
            "HTTP/1.1 101 Switching Protocols\r\n"
            "Upgrade: websocket\r\n"
            "Connection: Upgrade\r\n"
            "Sec-WebSocket-Accept: s3pPLMBiTxaQ9kYGzzhZRbK+xOo=\r\n"
            "\r\n");
}

TEST(Handshake, MixedCaseHeadersAndConnectionList) {
  const auto client = parse_client_request(
      "POST /topics/a?x=1 HTTP/1.1\r\n"
      "hOsT:h1\r\n"
      "UPGRADE:   WebSocket  \r\n"
      "connection: keep-alive, UpGrAdE\r\n"
      "SEC-WEBSOCKET-KEY: k1\r\n"
      "sec-websocket-version: 13\r\n"
      "Host: h2\r\n"
      "Sec-WebSocket-Key: k2\r\n"
      "\r\n");
  ASSERT_TRUE(client.has_value());
  EXPECT_EQ(client->path, "/topics/a?x=1");
  EXPECT_EQ(client->host, "h2");
  EXPECT_EQ(client->key, "k2");
}

TEST(Handshake, ProtocolsAndExtensions) {
  const auto client = parse_client_request(request(std::string(kValidHeaders) +
                                                   "Sec-WebSocket-Protocol: json, chat\r\n"
                                                   "Sec-WebSocket-Protocol: ,x\r\n"
                                                   "Sec-WebSocket-Extensions: permessage-deflate; "
                                                   "client_max_window_bits=10, x-ext\r\n"));
  ASSERT_TRUE(client.has_value());
  EXPECT_EQ(client->protocols, (std::vector<std::string>{"json", "chat", "", "x"}));
  EXPECT_EQ(client->extensions,
            (std::vector<std::string>{"permessage-deflate; client_max_window_bits=10", "x-ext"}));
  const ServerHandshake server = build_server_response(*client);
  EXPECT_EQ(server.status, 101);
  EXPECT_EQ(server.protocol, "json");
  EXPECT_EQ(render_server_response(server),
            "HTTP/1.1 101 Switching Protocols\r\n"
            "Upgrade: websocket\r\n"
            "Connection: Upgrade\r\n"
            "Sec-WebSocket-Accept: s3pPLMBiTxaQ9kYGzzhZRbK+xOo=\r\n"
            "Sec-WebSocket-Protocol: json\r\n"
            "Sec-WebSocket-Extensions: permessage-deflate; client_max_window_bits=10, x-ext\r\n"
            "\r\n");
}

TEST(Handshake, StopsAtBlankLineAndToleratesMissingFinalLineEnd) {
  // Lines after the blank line are not headers, even malformed ones.
  EXPECT_TRUE(parse_client_request(request(kValidHeaders) + "garbage without colon\r\n").has_value());
  // A request cut right after its last header line still parses.
  EXPECT_TRUE(parse_client_request("GET / HTTP/1.1\r\n" + std::string(kValidHeaders)).has_value());
  // An empty header name is skipped rather than rejected.
  EXPECT_TRUE(parse_client_request(request(std::string(kValidHeaders) + ": orphan\r\n")).has_value());
}

struct ErrorCase {
  const char* name;
  std::string text;
  HandshakeError expected;
  std::string diagnostic;
};

std::string replace(std::string_view from, std::string_view to) {
  std::string headers(kValidHeaders);
  const auto at = headers.find(from);
  headers.replace(at, from.size(), to);
  return request(headers);
}

class HandshakeErrors : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(HandshakeErrors, Reports) {
  const auto& c = GetParam();
  const auto result = parse_client_request(c.text);
  ASSERT_FALSE(result.has_value());
  EXPECT_EQ(result.error(), c.expected);
  EXPECT_EQ(diagnostic(result.error()), c.diagnostic);
}

using K = HandshakeErrorKind;

INSTANTIATE_TEST_SUITE_P(
    Table, HandshakeErrors,
    ::testing::Values(
        ErrorCase{"empty", "", {K::MalformedRequest, ""}, "MalformedRequest"},
        ErrorCase{"one_token_request_line", "GET\r\n" + std::string(kValidHeaders) + "\r\n",
                  {K::MalformedRequest, ""}, "MalformedRequest"},
        ErrorCase{"header_without_colon", replace("Host: server.example.com", "Host server.example.com"),
                  {K::MalformedRequest, ""}, "MalformedRequest"},
        ErrorCase{"no_upgrade", replace("Upgrade: websocket\r\n", ""), {K::NotWebSocketUpgrade, ""},
                  "NotWebSocketUpgrade"},
        ErrorCase{"upgrade_other", replace("Upgrade: websocket", "Upgrade: h2c"), {K::NotWebSocketUpgrade, ""},
                  "NotWebSocketUpgrade"},
        ErrorCase{"later_upgrade_overrides", replace("Upgrade: websocket", "Upgrade: websocket\r\nUpgrade: h2c"),
                  {K::NotWebSocketUpgrade, ""}, "NotWebSocketUpgrade"},
        ErrorCase{"connection_keep_alive", replace("Connection: Upgrade", "Connection: keep-alive"),
                  {K::NotUpgradeConnection, ""}, "NotUpgradeConnection"},
        ErrorCase{"later_connection_replaces", replace("Connection: Upgrade", "Connection: Upgrade\r\nConnection: close"),
                  {K::NotUpgradeConnection, ""}, "NotUpgradeConnection"},
        ErrorCase{"no_key", replace("Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n", ""), {K::MissingKey, ""},
                  "MissingKey"},
        ErrorCase{"blank_key", replace("dGhlIHNhbXBsZSBub25jZQ==", "   "), {K::MissingKey, ""}, "MissingKey"},
        ErrorCase{"version_8", replace("Version: 13", "Version: 8"), {K::UnsupportedVersion, "8"},
                  "UnsupportedVersion(\"8\")"},
        ErrorCase{"version_quoted", replace("Version: 13", "Version: 1\"3"), {K::UnsupportedVersion, "1\"3"},
                  "UnsupportedVersion(\"1\\\"3\")"},
        ErrorCase{"no_version", replace("Sec-WebSocket-Version: 13\r\n", ""), {K::UnsupportedVersion, ""},
                  "UnsupportedVersion(\"\")"},
        // A bad version stops parsing at once, before later malformed lines are seen.
        ErrorCase{"version_before_malformed", request("Sec-WebSocket-Version: 7\r\nbroken\r\n"),
                  {K::UnsupportedVersion, "7"}, "UnsupportedVersion(\"7\")"},
        // The upgrade verdict is checked before the connection verdict and the key.
        ErrorCase{"order_of_checks", request("Host: x\r\n"), {K::NotWebSocketUpgrade, ""}, "NotWebSocketUpgrade"}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(Handshake, BadRequestAnswerIsExact) {
  EXPECT_EQ(kBadRequestResponse, "HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\n\r\n");
  EXPECT_EQ(kBadRequestResponse.size(), 47u);
}

}  // namespace
}  // namespace kelvane::websocket
