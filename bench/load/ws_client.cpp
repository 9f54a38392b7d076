#include "ws_client.hpp"

#include <netdb.h>
#include <netinet/in.h>
#include <openssl/evp.h>
#include <openssl/rand.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "common/encoding.hpp"
#include "common/os_error.hpp"

namespace kelvane::load {

namespace {

constexpr std::string_view kAcceptGuid = "258EAFA5-E914-47DA-95CA-C5AB0DC85B11";
constexpr std::size_t kKeyBytes = 16;
// An upgrade answer is a few hundred bytes; anything this long is not one.
constexpr std::size_t kMaxAnswer = 8192;

bool send_all(int socket, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::send(socket, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

std::string lower(std::string_view text) {
  std::string out(text);
  std::ranges::transform(out, out.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return out;
}

std::string_view trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// Reads until the blank line that ends the answer's head.
std::expected<std::string, std::string> read_answer_head(int socket, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  std::string answer;
  char buffer[1024];
  while (answer.find("\r\n\r\n") == std::string::npos) {
    if (answer.size() > kMaxAnswer) return std::unexpected("answer head longer than " + std::to_string(kMaxAnswer));
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd p{socket, POLLIN, 0};
    const int ready = ::poll(&p, 1, static_cast<int>(std::max<std::int64_t>(left.count(), 0)));
    if (ready < 0 && errno == EINTR) continue;
    if (ready == 0) return std::unexpected("no answer within " + std::to_string(timeout.count()) + " ms");
    const ssize_t n = ::recv(socket, buffer, sizeof buffer, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return std::unexpected("read: " + os_error_text(errno));
    if (n == 0) return std::unexpected("closed before the end of the answer");
    answer.append(buffer, static_cast<std::size_t>(n));
  }
  return answer;
}

std::expected<void, std::string> check_answer(std::string_view head, std::string_view key) {
  const std::size_t status_end = head.find("\r\n");
  const std::string_view status_line = head.substr(0, status_end);
  if (!status_line.starts_with("HTTP/1.1 101 ")) return std::unexpected("answer: " + std::string(status_line));
  const std::string accept = expected_accept(key);
  std::string_view rest = head.substr(status_end + 2);
  while (!rest.empty()) {
    const std::size_t end = rest.find("\r\n");
    const std::string_view line = rest.substr(0, end);
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 2);
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos || lower(line.substr(0, colon)) != "sec-websocket-accept") continue;
    if (trim(line.substr(colon + 1)) == accept) return {};
    return std::unexpected("wrong Sec-WebSocket-Accept");
  }
  return std::unexpected("101 answer without Sec-WebSocket-Accept");
}

std::string random_key() {
  std::array<std::uint8_t, kKeyBytes> bytes{};
  if (RAND_bytes(bytes.data(), static_cast<int>(bytes.size())) != 1) {
    // Any 16 bytes make a valid key; only their uniqueness is lost.
    bytes.fill(0x5A);
  }
  return base64_encode(bytes);
}

}  // namespace

std::expected<ServerAddress, std::string> resolve(std::string_view address) {
  const std::size_t colon = address.rfind(':');
  if (colon == std::string_view::npos) return std::unexpected("no port in " + std::string(address));
  std::string host(address.substr(0, colon));
  const std::string port(address.substr(colon + 1));
  if (host.size() >= 2 && host.front() == '[') host = host.substr(1, host.size() - 2);
  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
  addrinfo* list = nullptr;
  if (const int rc = ::getaddrinfo(host.c_str(), port.c_str(), &hints, &list); rc != 0) {
    return std::unexpected(std::string(address) + ": " + ::gai_strerror(rc));
  }
  ServerAddress server;
  std::memcpy(&server.storage, list->ai_addr, list->ai_addrlen);
  server.length = list->ai_addrlen;
  ::freeaddrinfo(list);
  return server;
}

std::string expected_accept(std::string_view key) {
  const std::string input = std::string(key) + std::string(kAcceptGuid);
  std::array<std::uint8_t, EVP_MAX_MD_SIZE> digest{};
  unsigned int length = 0;
  if (EVP_Digest(input.data(), input.size(), digest.data(), &length, EVP_sha1(), nullptr) != 1) return {};
  return base64_encode(std::span(digest.data(), length));
}

std::expected<UniqueFd, std::string> open_websocket(const ServerAddress& server, std::chrono::milliseconds timeout) {
  UniqueFd socket(::socket(server.storage.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!socket.valid()) return std::unexpected("socket: " + os_error_text(errno));
  if (::connect(socket.get(), reinterpret_cast<const sockaddr*>(&server.storage), server.length) != 0) {
    return std::unexpected("connect: " + os_error_text(errno));
  }
  const std::string key = random_key();
  const std::string request = "GET / HTTP/1.1\r\nHost: localhost\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                              "Sec-WebSocket-Key: " + key + "\r\nSec-WebSocket-Version: 13\r\n\r\n";
  if (!send_all(socket.get(), request)) return std::unexpected("send: " + os_error_text(errno));
  const auto head = read_answer_head(socket.get(), timeout);
  if (!head) return std::unexpected(head.error());
  if (auto checked = check_answer(*head, key); !checked) return std::unexpected(checked.error());
  return socket;
}

bool send_close(int socket) {
  // FIN + Close with a two-byte masked payload, as a client must send it.
  constexpr std::array<std::uint8_t, 4> kMask = {0x1F, 0x2E, 0x3D, 0x4C};
  constexpr std::uint16_t kNormalClosure = 1000;
  const std::array<char, 8> frame = {
      static_cast<char>(0x88), static_cast<char>(0x82),
      static_cast<char>(kMask[0]), static_cast<char>(kMask[1]), static_cast<char>(kMask[2]), static_cast<char>(kMask[3]),
      static_cast<char>((kNormalClosure >> 8) ^ kMask[0]), static_cast<char>((kNormalClosure & 0xFF) ^ kMask[1])};
  return send_all(socket, std::string_view(frame.data(), frame.size()));
}

}  // namespace kelvane::load
