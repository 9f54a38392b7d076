#pragma once

#include <cstdint>
#include <expected>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "access/acl.hpp"
#include "access/auth.hpp"
#include "access/security_error.hpp"

namespace kelvane::access {

// The PEM files the TLS server configuration is loaded from, and reloaded from on SIGHUP.
struct TlsFiles {
  std::string cert_file;
  std::string key_file;
  std::optional<std::string> client_ca_file;  // present: clients must show a certificate

  bool operator==(const TlsFiles&) const = default;
};

// What the security context is built from.
struct SecurityConfig {
  std::string auth_mode;  // "none", "bearer", "jwt", "mtls" or "sasl"
  std::optional<std::string> tls_cert_file;
  std::optional<std::string> tls_key_file;
  std::optional<std::string> client_ca_file;
  std::optional<std::vector<std::uint8_t>> jwt_public_key_der;
  std::optional<std::string> jwt_issuer;
  std::optional<AclEntry> acl_default;
  std::map<std::string, std::string> bearer_tokens;  // token -> subject name
  std::map<std::string, std::string> sasl_users;     // user name -> password
  std::map<std::string, AclEntry> topic_acls;
};

// Client access security, built once at start and shared read-only by every connection.
struct SecurityCtx {
  std::shared_ptr<const AuthMode> auth;
  std::shared_ptr<const Acl> acl;
  std::optional<TlsFiles> tls_files;  // absent: plain ws://
};

[[nodiscard]] std::expected<SecurityCtx, SecurityError> build_ctx(const SecurityConfig& config);

// Validates the presented credentials with the context's mode (see AuthMode::validate).
[[nodiscard]] std::expected<AuthSubject, AuthError> authenticate(
    const SecurityCtx& ctx, std::optional<std::string_view> authorization,
    std::optional<std::span<const std::uint8_t>> sasl_plain, const AuthSubject* mtls_subject,
    std::int64_t now_unix_seconds);

// Authenticates a WebSocket upgrade: the first header named "authorization" (any ASCII
// case) supplies the credentials; there are no SASL bytes.
[[nodiscard]] std::expected<AuthSubject, AuthError> authenticate_ws(
    const SecurityCtx& ctx, std::span<const std::pair<std::string, std::string>> headers,
    const AuthSubject* mtls_subject, std::int64_t now_unix_seconds);

}  // namespace kelvane::access
