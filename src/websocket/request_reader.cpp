#include "websocket/request_reader.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "websocket/handshake.hpp"
#include "common/utf8.hpp"

namespace kelvane::websocket {

std::expected<std::string, std::string> read_client_request(WsStream& stream, const std::atomic<bool>& stop) {
  static constexpr std::array<std::uint8_t, 4> kBlankLine = {'\r', '\n', '\r', '\n'};
  std::vector<std::uint8_t> request;
  std::array<std::uint8_t, kHandshakeReadSize> chunk{};
  while (true) {
    const auto n = stream.read(chunk);
    if (!n) {
      if (!is_timeout(n.error())) return std::unexpected(n.error().message());
      if (stop.load()) return std::unexpected(std::string("shutdown during handshake"));
      continue;
    }
    if (*n == 0) return std::unexpected(std::string("eof during handshake"));
    // The terminator may straddle the previous read, so look back three bytes.
    const std::size_t search_from = request.size() >= 3 ? request.size() - 3 : 0;
    request.insert(request.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(*n));
    const auto end = std::search(request.begin() + static_cast<std::ptrdiff_t>(search_from), request.end(),
                                 kBlankLine.begin(), kBlankLine.end());
    if (end != request.end()) {
      request.erase(end + kBlankLine.size(), request.end());
      return utf8_lossy(request);
    }
    if (request.size() > kMaxHandshakeRequest) return std::unexpected(std::string("handshake too large"));
  }
}

}  // namespace kelvane::websocket
