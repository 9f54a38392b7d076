#pragma once

// A raw-socket WebSocket client for tests: it writes exact request bytes and masked
// frames, and reads the server's bytes as they arrive, independently of the server's
// own codec.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvane::wstest {

struct ServerFrame {
  std::uint8_t byte0 = 0;  // FIN, RSV and opcode as sent
  std::vector<std::uint8_t> payload;
  [[nodiscard]] std::string text() const { return {payload.begin(), payload.end()}; }
  [[nodiscard]] std::uint8_t opcode() const { return byte0 & 0x0F; }
};

inline constexpr std::string_view kSampleKey = "dGhlIHNhbXBsZSBub25jZQ==";

inline std::string upgrade_request(std::string_view path, std::string_view extra_headers = {}) {
  std::string r = "GET ";
  r.append(path).append(" HTTP/1.1\r\nHost: localhost\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n");
  r.append("Sec-WebSocket-Key: ").append(kSampleKey).append("\r\nSec-WebSocket-Version: 13\r\n");
  r.append(extra_headers).append("\r\n");
  return r;
}

inline constexpr std::string_view kSwitchingProtocols =
    "HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
    "Sec-WebSocket-Accept: s3pPLMBiTxaQ9kYGzzhZRbK+xOo=\r\n\r\n";

// A client frame with the masking key 37 FA 21 3D.
inline std::vector<std::uint8_t> client_frame(std::uint8_t byte0, std::string_view payload) {
  static constexpr std::uint8_t kKey[4] = {0x37, 0xFA, 0x21, 0x3D};
  std::vector<std::uint8_t> out{byte0};
  const std::size_t n = payload.size();
  if (n < 126) {
    out.push_back(static_cast<std::uint8_t>(0x80 | n));
  } else if (n < 65536) {
    out.insert(out.end(), {0xFE, static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n)});
  } else {
    out.push_back(0xFF);
    for (int shift = 56; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(n >> shift));
  }
  out.insert(out.end(), kKey, kKey + 4);
  for (std::size_t i = 0; i < n; ++i) out.push_back(static_cast<std::uint8_t>(payload[i]) ^ kKey[i % 4]);
  return out;
}

class WsClient {
 public:
  explicit WsClient(std::uint16_t port) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connected_ = ::connect(fd_, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0;
  }
  WsClient(const WsClient&) = delete;
  WsClient& operator=(const WsClient&) = delete;
  ~WsClient() {
    if (fd_ >= 0) ::close(fd_);
  }

  [[nodiscard]] bool connected() const { return connected_; }
  [[nodiscard]] int fd() const { return fd_; }

  bool send_bytes(std::string_view bytes) {
    while (!bytes.empty()) {
      const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
      if (n <= 0) return false;
      bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
  }
  bool send_bytes(const std::vector<std::uint8_t>& bytes) {
    return send_bytes(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  }
  bool send_text(std::string_view text) { return send_bytes(client_frame(0x81, text)); }

  // Sends the upgrade request and reads the answer through its blank line.
  std::string upgrade(std::string_view path, std::string_view extra_headers = {}) {
    send_bytes(upgrade_request(path, extra_headers));
    return read_until("\r\n\r\n");
  }

  // Reads until the peer closes (or the time-out), returning everything received.
  std::string read_to_end(std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
    std::string out = std::move(pending_);
    pending_.clear();
    while (fill(timeout)) {
      out += pending_;
      pending_.clear();
    }
    return out;
  }

  // The next server frame, or nullopt when the connection ends or nothing comes in time.
  std::optional<ServerFrame> read_frame(std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
    if (!need(2, timeout)) return std::nullopt;
    const auto b1 = static_cast<std::uint8_t>(pending_[1]);
    std::size_t header = 2;
    std::uint64_t len = b1 & 0x7F;
    if (len == 126) header = 4;
    if (len == 127) header = 10;
    if (!need(header, timeout)) return std::nullopt;
    if (header > 2) {
      len = 0;
      for (std::size_t i = 2; i < header; ++i) len = (len << 8) | static_cast<std::uint8_t>(pending_[i]);
    }
    if (!need(header + len, timeout)) return std::nullopt;
    ServerFrame frame{static_cast<std::uint8_t>(pending_[0]),
                      {pending_.begin() + static_cast<std::ptrdiff_t>(header),
                       pending_.begin() + static_cast<std::ptrdiff_t>(header + len)}};
    pending_.erase(0, header + len);
    return frame;
  }

  // True when the peer closed the connection (end of stream) within the time-out.
  bool peer_closed(std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
    if (!pending_.empty()) return false;
    return !fill(timeout) && eof_;
  }

  // Bytes already received but not yet consumed.
  [[nodiscard]] const std::string& pending() const { return pending_; }

 private:
  std::string read_until(std::string_view marker) {
    while (pending_.find(marker) == std::string::npos) {
      if (!fill(std::chrono::seconds(5))) break;
    }
    const std::size_t end = pending_.find(marker);
    const std::size_t take = end == std::string::npos ? pending_.size() : end + marker.size();
    std::string out = pending_.substr(0, take);
    pending_.erase(0, take);
    return out;
  }

  bool need(std::size_t n, std::chrono::milliseconds timeout) {
    while (pending_.size() < n) {
      if (!fill(timeout)) return false;
    }
    return true;
  }

  // One read of whatever is available; false on end of stream, error or time-out.
  bool fill(std::chrono::milliseconds timeout) {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(timeout.count())) <= 0) return false;
    char buf[65536];
    const ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
    if (n <= 0) {
      eof_ = n == 0;
      return false;
    }
    pending_.append(buf, static_cast<std::size_t>(n));
    return true;
  }

  int fd_ = -1;
  bool connected_ = false;
  bool eof_ = false;
  std::string pending_;
};

}  // namespace kelvane::wstest
