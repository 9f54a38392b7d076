#include "config/daemon_config.hpp"

#include <utility>

#include "common/text.hpp"
#include "config/env.hpp"
#include "config/text.hpp"
#include "config/yaml.hpp"

namespace kelvane::config {

DaemonConfig default_for_dev() {
  DaemonConfig config;
  config.listen = "127.0.0.1:8080";
  config.log_level = "info";
  config.auth_mode = "none";
  return config;
}

std::string default_ws_path(std::string_view topic_name) {
  std::string path = "/topics/";
  path.reserve(path.size() + topic_name.size());
  for (std::size_t i = 0; i < topic_name.size(); ++i) {
    char c = topic_name[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c == ':' && i + 1 < topic_name.size() && topic_name[i + 1] == ':') {
      path.push_back('/');
      ++i;
    } else if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '/' || c == '_') {
      path.push_back(c);
    } else {
      path.push_back('_');
    }
  }
  return path;
}

namespace {

// The text of key inside map when it is a scalar.
const std::string* scalar_at(const YamlNode& map, std::string_view key) {
  const YamlNode* node = map.find(key);
  return node != nullptr && node->is_scalar() ? &node->scalar : nullptr;
}

void copy_scalar(const YamlNode& map, std::string_view key, std::string& field) {
  if (const std::string* text = scalar_at(map, key)) field = *text;
}

// A comma-separated list; pieces are trimmed and empty pieces kept.
std::vector<std::string> split_list(std::string_view text) {
  std::vector<std::string> pieces;
  while (true) {
    const std::size_t comma = text.find(',');
    pieces.emplace_back(trim_white_space(text.substr(0, comma)));
    if (comma == std::string_view::npos) return pieces;
    text.remove_prefix(comma + 1);
  }
}

std::expected<std::string, ConfigError> required_scalar(const YamlNode& node) {
  if (!node.is_scalar()) return std::unexpected(ConfigError::syntax("expected scalar"));
  return node.scalar;
}

void apply_tls(const YamlNode& tls, DaemonConfig& config) {
  if (const std::string* enabled = scalar_at(tls, "enabled")) config.tls_enabled = parse_bool(*enabled);
  copy_scalar(tls, "cert_file", config.cert_file);
  copy_scalar(tls, "key_file", config.key_file);
  copy_scalar(tls, "client_ca_file", config.client_ca_file);
}

void apply_auth(const YamlNode& auth, DaemonConfig& config) {
  copy_scalar(auth, "mode", config.auth_mode);
  if (const std::string* token = scalar_at(auth, "bearer_token")) config.bearer_token = *token;
  if (const std::string* subject = scalar_at(auth, "bearer_subject")) config.bearer_subject = *subject;
}

void apply_metrics(const YamlNode& metrics, DaemonConfig& config) {
  if (const std::string* enabled = scalar_at(metrics, "enabled")) config.metrics_enabled = parse_bool(*enabled);
  copy_scalar(metrics, "address", config.metrics_address);
}

void apply_acl(const YamlNode& acl, DaemonConfig& config) {
  for (const YamlEntry& topic : acl.entries) {
    if (!topic.value.is_map()) continue;
    AclEntry entry;
    if (const std::string* read = scalar_at(topic.value, "read")) entry.read = split_list(*read);
    if (const std::string* write = scalar_at(topic.value, "write")) entry.write = split_list(*write);
    config.acl[topic.key] = std::move(entry);
  }
}

std::expected<TopicConfig, ConfigError> topic_from(const YamlNode& map) {
  TopicConfig topic;
  copy_scalar(map, "name", topic.name);
  if (topic.name.empty()) return std::unexpected(ConfigError::missing_field("topics[].name"));
  copy_scalar(map, "type", topic.type_name);
  copy_scalar(map, "direction", topic.direction);
  copy_scalar(map, "ws_path", topic.ws_path);
  if (topic.ws_path.empty()) topic.ws_path = default_ws_path(topic.name);
  const YamlNode* qos = map.find("qos");
  if (qos != nullptr && qos->is_map()) {
    copy_scalar(*qos, "reliability", topic.reliability);
    copy_scalar(*qos, "durability", topic.durability);
    const YamlNode* history = qos->find("history");
    if (history != nullptr && history->is_map()) {
      if (const std::string* depth = scalar_at(*history, "depth")) {
        const auto parsed = parse_decimal_i32(*depth);
        // A negative depth keeps its 32-bit pattern.
        topic.history_depth = parsed ? static_cast<std::uint32_t>(*parsed) : kUnparsableHistoryDepth;
      }
    }
  }
  return topic;
}

std::expected<void, ConfigError> apply_root_key(const YamlEntry& entry, DaemonConfig& config) {
  const std::string& key = entry.key;
  const YamlNode& node = entry.value;
  if (key == "listen" || key == "log_level") {
    auto text = required_scalar(node);
    if (!text) return std::unexpected(std::move(text.error()));
    (key == "listen" ? config.listen : config.log_level) = std::move(*text);
  } else if (key == "domain") {
    auto text = required_scalar(node);
    if (!text) return std::unexpected(std::move(text.error()));
    const auto domain = parse_decimal_i32(*text);
    if (!domain) return std::unexpected(ConfigError::bad_value("domain", std::move(*text)));
    config.domain = *domain;
  } else if (key == "tls" || key == "auth" || key == "metrics" || key == "acl") {
    if (!node.is_map() || node.entries.empty()) return {};
    if (key == "tls") apply_tls(node, config);
    if (key == "auth") apply_auth(node, config);
    if (key == "metrics") apply_metrics(node, config);
    if (key == "acl") apply_acl(node, config);
  } else if (key == "topics") {
    if (!node.is_seq()) return {};
    for (const YamlNode& item : node.items) {
      if (!item.is_map()) continue;
      auto topic = topic_from(item);
      if (!topic) return std::unexpected(std::move(topic.error()));
      config.topics.push_back(std::move(*topic));
    }
  }
  return {};
}

}  // namespace

std::expected<DaemonConfig, ConfigError> load_from_str(std::string_view text) {
  const std::string expanded = expand_env_vars(text);
  const std::vector<YamlLine> lines = prepare_lines(expanded);
  auto root = parse_block_map(lines, 0, 0);
  if (!root) return std::unexpected(std::move(root.error()));
  DaemonConfig config = default_for_dev();
  // Entries are ordered byte-wise, so keys are applied in that order.
  for (const YamlEntry& entry : root->node.entries) {
    if (auto applied = apply_root_key(entry, config); !applied) return std::unexpected(std::move(applied.error()));
  }
  return config;
}

}  // namespace kelvane::config
