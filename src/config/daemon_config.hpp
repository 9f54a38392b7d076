#pragma once

#include <cstdint>
#include <expected>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/config_error.hpp"

namespace kelvane::config {

// One bridged topic.
struct TopicConfig {
  std::string name;
  std::string type_name;            // empty: the DDS type name is the topic name
  std::string direction = "bidir";  // not validated here
  std::string ws_path;              // default_ws_path(name) when absent or empty
  std::string reliability;          // not validated here
  std::string durability;           // not validated here
  std::uint32_t history_depth = 0;  // 0 when absent, 10 when not a number

  friend bool operator==(const TopicConfig&, const TopicConfig&) = default;
};

// The read and write subject lists of one topic, as configured.
struct AclEntry {
  std::vector<std::string> read;
  std::vector<std::string> write;

  friend bool operator==(const AclEntry&, const AclEntry&) = default;
};

// The daemon's settings.
struct DaemonConfig {
  std::string listen;
  std::int32_t domain = 0;
  std::string log_level;  // stored; nothing reads it
  std::vector<TopicConfig> topics;
  bool tls_enabled = false;
  std::string cert_file;
  std::string key_file;
  std::string client_ca_file;
  std::string auth_mode;
  std::optional<std::string> bearer_token;
  std::optional<std::string> bearer_subject;
  bool metrics_enabled = false;
  std::string metrics_address;
  std::map<std::string, AclEntry> acl;  // topic name -> entry, ordered byte-wise

  friend bool operator==(const DaemonConfig&, const DaemonConfig&) = default;
};

// History depth recorded for a topic whose qos.history.depth is not a number.
inline constexpr std::uint32_t kUnparsableHistoryDepth = 10;

// Built-in development defaults: listen 127.0.0.1:8080, domain 0, log level "info",
// auth mode "none", everything else empty or off.
[[nodiscard]] DaemonConfig default_for_dev();

// "/topics/" + the name lower-cased (ASCII), "::" turned into '/', letters, digits,
// '-', '/' and '_' kept and every other byte replaced by '_'.
[[nodiscard]] std::string default_ws_path(std::string_view topic_name);

// Parses a configuration document (after environment substitution) on top of the
// development defaults. Unknown keys are ignored; the first error ends the load.
[[nodiscard]] std::expected<DaemonConfig, ConfigError> load_from_str(std::string_view text);

// Reads the whole file as UTF-8 and loads it. Read failures and content that is not
// UTF-8 are Io errors.
[[nodiscard]] std::expected<DaemonConfig, ConfigError> load_from_file(const std::string& path);

}  // namespace kelvane::config
