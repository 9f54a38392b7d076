#pragma once

#include <cstddef>
#include <cstdint>
#include <expected>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvane::websocket {

// The parts of a client's upgrade request the bridge uses.
struct ClientHandshake {
  std::string path;                     // second token of the request line
  std::string host;                     // last Host header, empty if none
  std::string key;                      // last Sec-WebSocket-Key header, empty if none
  std::vector<std::string> protocols;   // every offered subprotocol token, in order
  std::vector<std::string> extensions;  // every offered extension token, parameters kept

  friend bool operator==(const ClientHandshake&, const ClientHandshake&) = default;
};

struct ServerHandshake {
  std::uint16_t status = 101;
  std::string accept;
  std::optional<std::string> protocol;  // the first offered subprotocol
  std::vector<std::string> extensions;  // echoed as offered

  friend bool operator==(const ServerHandshake&, const ServerHandshake&) = default;
};

enum class HandshakeErrorKind {
  MalformedRequest,
  NotWebSocketUpgrade,
  NotUpgradeConnection,
  MissingKey,
  UnsupportedVersion,
};

struct HandshakeError {
  HandshakeErrorKind kind = HandshakeErrorKind::MalformedRequest;
  std::string offered_version;  // UnsupportedVersion only; empty when the header is missing

  friend bool operator==(const HandshakeError&, const HandshakeError&) = default;
};

// The variant name; for UnsupportedVersion the name followed by the offered value quoted
// in parentheses, e.g. UnsupportedVersion("8").
[[nodiscard]] std::string diagnostic(const HandshakeError& error);

// Limits of the request reader.
inline constexpr std::size_t kHandshakeReadSize = 4096;
inline constexpr std::size_t kMaxHandshakeRequest = 65536;

// The answer to a request that fails parse_client_request.
inline constexpr std::string_view kBadRequestResponse =
    "HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\n\r\n";

[[nodiscard]] std::expected<ClientHandshake, HandshakeError> parse_client_request(std::string_view text);

// Sec-WebSocket-Accept for a client key: Base64 of SHA-1 over the trimmed key and the
// protocol GUID (28 characters). The key is taken as text, never decoded or validated.
[[nodiscard]] std::string compute_accept(std::string_view key);

[[nodiscard]] ServerHandshake build_server_response(const ClientHandshake& client);

// The exact bytes of the 101 response.
[[nodiscard]] std::string render_server_response(const ServerHandshake& server);

}  // namespace kelvane::websocket
