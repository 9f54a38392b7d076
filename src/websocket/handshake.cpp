#include "websocket/handshake.hpp"

#include <openssl/evp.h>

#include <array>

#include "common/encoding.hpp"
#include "common/json_escape.hpp"
#include "common/text.hpp"

namespace kelvane::websocket {
namespace {

constexpr std::string_view kAcceptGuid = "258EAFA5-E914-47DA-95CA-C5AB0DC85B11";
constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kSupportedVersion = "13";

// Splits at ',' and trims each token; empty tokens are kept.
void append_comma_tokens(std::vector<std::string>& out, std::string_view value) {
  while (true) {
    const std::size_t comma = value.find(',');
    out.emplace_back(trim_white_space(value.substr(0, comma)));
    if (comma == std::string_view::npos) return;
    value.remove_prefix(comma + 1);
  }
}

bool has_upgrade_token(std::string_view value) {
  std::vector<std::string> tokens;
  append_comma_tokens(tokens, value);
  for (const std::string& token : tokens) {
    if (equals_ignore_ascii_case(token, "upgrade")) return true;
  }
  return false;
}

HandshakeError error_of(HandshakeErrorKind kind) { return HandshakeError{kind, {}}; }

// Every piece between CR LF separators; text ending in CR LF yields a last empty piece.
std::vector<std::string_view> split_lines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (true) {
    const std::size_t end = text.find(kLineEnd);
    lines.push_back(text.substr(0, end));
    if (end == std::string_view::npos) return lines;
    text.remove_prefix(end + kLineEnd.size());
  }
}

}  // namespace

std::string diagnostic(const HandshakeError& error) {
  switch (error.kind) {
    case HandshakeErrorKind::MalformedRequest: return "MalformedRequest";
    case HandshakeErrorKind::NotWebSocketUpgrade: return "NotWebSocketUpgrade";
    case HandshakeErrorKind::NotUpgradeConnection: return "NotUpgradeConnection";
    case HandshakeErrorKind::MissingKey: return "MissingKey";
    case HandshakeErrorKind::UnsupportedVersion: {
      std::string out = "UnsupportedVersion(\"";
      append_json_escaped(out, error.offered_version);
      out += "\")";
      return out;
    }
  }
  return "Unknown";
}

std::expected<ClientHandshake, HandshakeError> parse_client_request(std::string_view text) {
  const std::vector<std::string_view> lines = split_lines(text);
  ClientHandshake client;
  const auto request_line = split_white_space(lines.front());
  if (request_line.size() < 2) return std::unexpected(error_of(HandshakeErrorKind::MalformedRequest));
  client.path = request_line[1];

  bool upgrade_websocket = false;
  bool connection_upgrade = false;
  bool version_seen = false;
  for (std::size_t i = 1; i < lines.size() && !lines[i].empty(); ++i) {
    const std::string_view line = lines[i];
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) return std::unexpected(error_of(HandshakeErrorKind::MalformedRequest));
    const std::string name = ascii_lower(trim_white_space(line.substr(0, colon)));
    const std::string_view value = trim_white_space(line.substr(colon + 1));
    if (name == "host") {
      client.host = value;
    } else if (name == "upgrade") {
      upgrade_websocket = equals_ignore_ascii_case(value, "websocket");
    } else if (name == "connection") {
      connection_upgrade = has_upgrade_token(value);
    } else if (name == "sec-websocket-key") {
      client.key = value;
    } else if (name == "sec-websocket-version") {
      if (value != kSupportedVersion) {
        return std::unexpected(HandshakeError{HandshakeErrorKind::UnsupportedVersion, std::string(value)});
      }
      version_seen = true;
    } else if (name == "sec-websocket-protocol") {
      append_comma_tokens(client.protocols, value);
    } else if (name == "sec-websocket-extensions") {
      append_comma_tokens(client.extensions, value);
    }
  }

  if (!upgrade_websocket) return std::unexpected(error_of(HandshakeErrorKind::NotWebSocketUpgrade));
  if (!connection_upgrade) return std::unexpected(error_of(HandshakeErrorKind::NotUpgradeConnection));
  if (client.key.empty()) return std::unexpected(error_of(HandshakeErrorKind::MissingKey));
  if (!version_seen) return std::unexpected(error_of(HandshakeErrorKind::UnsupportedVersion));
  return client;
}

std::string compute_accept(std::string_view key) {
  std::string input(trim_white_space(key));
  input += kAcceptGuid;
  std::array<std::uint8_t, EVP_MAX_MD_SIZE> digest{};
  unsigned int digest_size = 0;
  // SHA-1 of a short in-memory string only fails if the library cannot allocate.
  if (EVP_Digest(input.data(), input.size(), digest.data(), &digest_size, EVP_sha1(), nullptr) != 1) {
    digest_size = 0;
  }
  return base64_encode(std::span(digest.data(), digest_size));
}

ServerHandshake build_server_response(const ClientHandshake& client) {
  ServerHandshake server;
  server.accept = compute_accept(client.key);
  if (!client.protocols.empty()) server.protocol = client.protocols.front();
  server.extensions = client.extensions;
  return server;
}

std::string render_server_response(const ServerHandshake& server) {
  std::string out = "HTTP/1.1 " + std::to_string(server.status) +
                    " Switching Protocols\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                    "Sec-WebSocket-Accept: " +
                    server.accept + "\r\n";
  if (server.protocol) out += "Sec-WebSocket-Protocol: " + *server.protocol + "\r\n";
  if (!server.extensions.empty()) {
    out += "Sec-WebSocket-Extensions: ";
    for (std::size_t i = 0; i < server.extensions.size(); ++i) {
      if (i > 0) out += ", ";
      out += server.extensions[i];
    }
    out += "\r\n";
  }
  out += "\r\n";
  return out;
}

}  // namespace kelvane::websocket
