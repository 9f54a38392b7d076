// Feeds arbitrary bytes through the request path of the upgrade: lossy UTF-8 text, the
// parser, and for accepted requests the rendered 101 response.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "websocket/handshake.hpp"
#include "common/utf8.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kelvane::websocket;
  const std::string text = kelvane::utf8_lossy(std::span(data, size));
  if (kelvane::find_utf8_error(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()))) std::abort();
  const auto client = parse_client_request(text);
  if (!client) {
    if (diagnostic(client.error()).empty()) std::abort();
    return 0;
  }
  if (client->key.empty()) std::abort();
  const std::string response = render_server_response(build_server_response(*client));
  if (response.find("Sec-WebSocket-Accept: " + compute_accept(client->key) + "\r\n") == std::string::npos) {
    std::abort();
  }
  return 0;
}
