#include "access/auth.hpp"

#include <algorithm>

#include "access/crypto.hpp"
#include "access/jwt.hpp"
#include "access/text.hpp"
#include "common/text.hpp"
#include "common/utf8.hpp"

namespace kelvane::access {

namespace {

constexpr std::string_view kBearerWord = "bearer";

std::expected<AuthSubject, AuthError> validate_bearer(const AuthMode::Bearer& mode,
                                                      std::optional<std::string_view> authorization) {
  if (!authorization) return std::unexpected(AuthError::missing_credentials());
  const auto token = strip_bearer(*authorization);
  if (!token) return std::unexpected(token.error());
  // Every configured token is compared, without stopping at a match, so the time taken
  // says nothing about which token (or how much of one) was guessed.
  const AuthSubject* match = nullptr;
  for (const auto& [configured, subject] : mode.tokens) {
    const bool equal = secret_equals(*token, configured);
    match = equal ? &subject : match;
  }
  if (match == nullptr) return std::unexpected(AuthError::rejected("unknown bearer token"));
  return *match;
}

std::expected<AuthSubject, AuthError> validate_sasl_plain(
    const AuthMode::SaslPlain& mode, std::optional<std::span<const std::uint8_t>> message) {
  if (!message) return std::unexpected(AuthError::missing_credentials());
  const auto first_nul = std::find(message->begin(), message->end(), std::uint8_t{0});
  if (first_nul == message->end()) return std::unexpected(AuthError::malformed("sasl-plain no user"));
  const auto second_nul = std::find(first_nul + 1, message->end(), std::uint8_t{0});
  if (second_nul == message->end()) return std::unexpected(AuthError::malformed("sasl-plain no pass"));
  const std::span<const std::uint8_t> user(first_nul + 1, second_nul);
  const std::span<const std::uint8_t> password(second_nul + 1, message->end());
  if (!is_valid_utf8(user)) return std::unexpected(AuthError::malformed("sasl-plain user utf8"));
  if (!is_valid_utf8(password)) return std::unexpected(AuthError::malformed("sasl-plain pass utf8"));
  if (user.empty()) return std::unexpected(AuthError::malformed("sasl-plain empty user"));
  const auto found = mode.users.find(std::string(as_text(user)));
  if (found == mode.users.end()) return std::unexpected(AuthError::rejected("unknown user"));
  if (!secret_equals(as_text(password), found->second)) {
    return std::unexpected(AuthError::rejected("password mismatch"));
  }
  return AuthSubject::named(found->first);
}

}  // namespace

std::expected<std::string_view, AuthError> strip_bearer(std::string_view header) {
  const std::string_view trimmed = trim_ascii_space(header);
  if (trimmed.size() <= kBearerWord.size() ||
      !equals_ignore_ascii_case(trimmed.substr(0, kBearerWord.size()), kBearerWord) ||
      trimmed[kBearerWord.size()] != ' ') {
    return std::unexpected(AuthError::malformed("expected `Bearer \u2026`"));
  }
  return trim_ascii_space(trimmed.substr(kBearerWord.size() + 1));
}

std::expected<AuthSubject, AuthError> AuthMode::validate(const AuthInput& input,
                                                         std::int64_t now_unix_seconds) const {
  struct Visitor {
    const AuthInput& input;
    std::int64_t now;
    std::expected<AuthSubject, AuthError> operator()(const None&) const {
      return AuthSubject::named("anonymous");
    }
    std::expected<AuthSubject, AuthError> operator()(const Bearer& mode) const {
      return validate_bearer(mode, input.authorization);
    }
    std::expected<AuthSubject, AuthError> operator()(const Jwt& mode) const {
      return validate_jwt(mode, input.authorization, now);
    }
    std::expected<AuthSubject, AuthError> operator()(const Mtls&) const {
      if (input.mtls_subject == nullptr)
        return std::unexpected(AuthError::rejected("mTLS expected client cert"));
      return *input.mtls_subject;
    }
    std::expected<AuthSubject, AuthError> operator()(const SaslPlain& mode) const {
      return validate_sasl_plain(mode, input.sasl_plain);
    }
  };
  return std::visit(Visitor{input, now_unix_seconds}, kind);
}

}  // namespace kelvane::access
