// Decodes frames back to back, as the read loop does, and checks that every decoded frame
// re-encodes to exactly the bytes it was decoded from.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>

#include "websocket/frame.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kelvane::websocket;
  std::span<const std::uint8_t> rest(data, size);
  while (!rest.empty()) {
    const auto decoded = decode(rest);
    if (!decoded) break;
    if (decoded->consumed == 0 || decoded->consumed > rest.size()) std::abort();
    if (decoded->frame.payload.size() > kMaxFramePayload) std::abort();
    const auto wire = encode(decoded->frame);
    if (!wire || wire->size() != decoded->consumed ||
        std::memcmp(wire->data(), rest.data(), wire->size()) != 0) {
      std::abort();
    }
    rest = rest.subspan(decoded->consumed);
  }
  return 0;
}
