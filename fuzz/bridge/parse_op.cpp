// Client texts go through parse_op; sample bytes through the notify rendering. Neither
// may crash, and a parsed operation always names a topic.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string_view>
#include <variant>

#include "bridge/protocol.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (const auto op = kelvane::bridge::parse_op(text)) {
    const bool has_topic = std::visit([](const auto& o) { return !o.topic.empty(); }, *op);
    if (!has_topic) std::abort();
  }
  const std::string notify = kelvane::bridge::render_notify("T", std::span(data, size));
  if (notify.size() < size) std::abort();
  return 0;
}
