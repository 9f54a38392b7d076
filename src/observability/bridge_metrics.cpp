#include "observability/bridge_metrics.hpp"

#include <array>
#include <string_view>

namespace kelvane::observability {

namespace {

struct Family {
  std::string_view name;
  std::string_view help;
};

constexpr std::array<Family, 9> kFamilies = {{
    {"kelvane_ws_frames_in_total", "WebSocket frames received from peer"},
    {"kelvane_ws_frames_out_total", "WebSocket frames sent to peer"},
    {"kelvane_ws_bytes_in_total", "WebSocket bytes received"},
    {"kelvane_ws_bytes_out_total", "WebSocket bytes sent"},
    {"kelvane_ws_connections_active", "Currently open WebSocket connections"},
    {"kelvane_ws_connections_total", "Lifetime accepted WebSocket connections"},
    {"kelvane_ws_dds_samples_in_total", "DDS samples written into runtime via WS"},
    {"kelvane_ws_dds_samples_out_total", "DDS samples emitted to WS subscribers"},
    {"kelvane_ws_errors_total", "Frame/codec/socket errors"},
}};

}  // namespace

BridgeMetrics BridgeMetrics::register_in(Registry& registry) {
  for (const Family& family : kFamilies) registry.set_help(family.name, family.help);
  BridgeMetrics m;
  m.frames_in = registry.counter(kFamilies[0].name, {});
  m.frames_out = registry.counter(kFamilies[1].name, {});
  m.bytes_in = registry.counter(kFamilies[2].name, {});
  m.bytes_out = registry.counter(kFamilies[3].name, {});
  m.connections_active = registry.gauge(kFamilies[4].name, {});
  m.connections_total = registry.counter(kFamilies[5].name, {});
  m.dds_samples_in = registry.counter(kFamilies[6].name, {});
  m.dds_samples_out = registry.counter(kFamilies[7].name, {});
  m.errors = registry.counter(kFamilies[8].name, {});
  return m;
}

}  // namespace kelvane::observability
