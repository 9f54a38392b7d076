#include "access/daemon_security.hpp"

namespace kelvane::access {

std::expected<SecurityCtx, SecurityError> ctx_from_daemon_config(const config::DaemonConfig& config) {
  SecurityConfig security;
  if (config.tls_enabled) {
    if (config.cert_file.empty() || config.key_file.empty()) {
      return std::unexpected(SecurityError{SecurityError::Kind::TlsFilesRequired, {}, {}});
    }
    security.tls_cert_file = config.cert_file;
    security.tls_key_file = config.key_file;
    if (!config.client_ca_file.empty()) security.client_ca_file = config.client_ca_file;
  }
  security.auth_mode = config.auth_mode;
  if (config.bearer_token) {
    security.bearer_tokens.emplace(*config.bearer_token, config.bearer_subject.value_or("anonymous"));
  }
  for (const auto& [topic, entry] : config.acl)
    security.topic_acls.emplace(topic, AclEntry{entry.read, entry.write});
  return build_ctx(security);
}

}  // namespace kelvane::access
