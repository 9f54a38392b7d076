#include "access/security_ctx.hpp"

#include "access/crypto.hpp"
#include "common/text.hpp"

namespace kelvane::access {

namespace {

std::expected<std::optional<TlsFiles>, SecurityError> tls_files_of(const SecurityConfig& config) {
  if (config.tls_cert_file.has_value() != config.tls_key_file.has_value()) {
    return std::unexpected(SecurityError{
        SecurityError::Kind::Tls,
        TlsConfigError{TlsConfigError::Kind::Build, {}, "tls_cert and tls_key must be set together"},
        {}});
  }
  if (!config.tls_cert_file) return std::optional<TlsFiles>{};
  return std::optional<TlsFiles>{
      TlsFiles{*config.tls_cert_file, *config.tls_key_file, config.client_ca_file}};
}

SecurityError auth_input_error(SecurityError::Kind kind, std::string text) {
  return SecurityError{kind, {}, std::move(text)};
}

using SharedMode = std::shared_ptr<const AuthMode>;

template <typename Kind>
SharedMode shared_mode(Kind kind) {
  return std::make_shared<const AuthMode>(AuthMode{std::move(kind)});
}

std::expected<SharedMode, SecurityError> auth_mode_of(const SecurityConfig& config) {
  const std::string& mode = config.auth_mode;
  if (mode == "none") return shared_mode(AuthMode::None{});
  if (mode == "bearer") {
    AuthMode::Bearer bearer;
    for (const auto& [token, subject] : config.bearer_tokens)
      bearer.tokens.emplace(token, AuthSubject::named(subject));
    return shared_mode(std::move(bearer));
  }
  if (mode == "jwt") {
    if (!config.jwt_public_key_der) {
      return std::unexpected(auth_input_error(SecurityError::Kind::MissingAuthInput, "jwt_pubkey_der"));
    }
    // An unusable key would otherwise turn every client away with "signature invalid".
    auto key = RsaPublicKey::from_der(*config.jwt_public_key_der);
    if (!key) {
      return std::unexpected(
          auth_input_error(SecurityError::Kind::InvalidAuthInput, "jwt_pubkey_der: " + key.error()));
    }
    return shared_mode(AuthMode::Jwt{std::move(*key), config.jwt_issuer});
  }
  if (mode == "mtls") return shared_mode(AuthMode::Mtls{});
  if (mode == "sasl") {
    if (config.sasl_users.empty()) {
      return std::unexpected(auth_input_error(SecurityError::Kind::MissingAuthInput, "sasl_users"));
    }
    return shared_mode(AuthMode::SaslPlain{config.sasl_users});
  }
  return std::unexpected(auth_input_error(SecurityError::Kind::UnknownAuthMode, mode));
}

Acl acl_of(const SecurityConfig& config, const AuthMode& mode) {
  Acl acl;
  acl.entries.insert(config.topic_acls.begin(), config.topic_acls.end());
  acl.default_entry = config.acl_default;
  // Without authentication and without any access list everything is open; with any
  // authentication, topics without an entry stay closed.
  if (!acl.default_entry && acl.entries.empty() && std::holds_alternative<AuthMode::None>(mode.kind)) {
    acl.default_entry = AclEntry::allow_all();
  }
  return acl;
}

}  // namespace

std::expected<SecurityCtx, SecurityError> build_ctx(const SecurityConfig& config) {
  auto tls_files = tls_files_of(config);
  if (!tls_files) return std::unexpected(tls_files.error());
  auto mode = auth_mode_of(config);
  if (!mode) return std::unexpected(mode.error());
  auto acl = acl_of(config, **mode);
  return SecurityCtx{std::move(*mode), std::make_shared<const Acl>(std::move(acl)), std::move(*tls_files)};
}

std::expected<AuthSubject, AuthError> authenticate(const SecurityCtx& ctx,
                                                   std::optional<std::string_view> authorization,
                                                   std::optional<std::span<const std::uint8_t>> sasl_plain,
                                                   const AuthSubject* mtls_subject,
                                                   std::int64_t now_unix_seconds) {
  return ctx.auth->validate(AuthInput{authorization, sasl_plain, mtls_subject}, now_unix_seconds);
}

std::expected<AuthSubject, AuthError> authenticate_ws(
    const SecurityCtx& ctx, std::span<const std::pair<std::string, std::string>> headers,
    const AuthSubject* mtls_subject, std::int64_t now_unix_seconds) {
  std::optional<std::string_view> authorization;
  for (const auto& [name, value] : headers) {
    if (equals_ignore_ascii_case(name, "authorization")) {
      authorization = value;
      break;
    }
  }
  return authenticate(ctx, authorization, std::nullopt, mtls_subject, now_unix_seconds);
}

}  // namespace kelvane::access
