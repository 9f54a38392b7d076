#include "access/jwt.hpp"

#include <charconv>
#include <cmath>

#include "access/crypto.hpp"
#include "access/json_fields.hpp"
#include "access/text.hpp"
#include "common/utf8.hpp"
#include "common/encoding.hpp"

namespace kelvane::access {

namespace {

struct Segments {
  std::string_view header;
  std::string_view payload;
  std::string_view signature;
};

std::expected<Segments, AuthError> split_segments(std::string_view token) {
  const std::size_t first = token.find('.');
  if (first == std::string_view::npos) return std::unexpected(AuthError::malformed("jwt: no payload"));
  const std::size_t second = token.find('.', first + 1);
  if (second == std::string_view::npos) return std::unexpected(AuthError::malformed("jwt: no sig"));
  if (token.find('.', second + 1) != std::string_view::npos) {
    return std::unexpected(AuthError::malformed("jwt: too many segments"));
  }
  return Segments{token.substr(0, first), token.substr(first + 1, second - first - 1),
                  token.substr(second + 1)};
}

std::expected<std::vector<std::uint8_t>, AuthError> decode_segment(std::string_view segment,
                                                                   std::string_view what) {
  auto bytes = base64url_decode(segment);
  if (!bytes)
    return std::unexpected(AuthError::malformed("jwt " + std::string(what) + " b64: invalid base64url text"));
  return std::move(*bytes);
}

// A NumericDate claim ("exp", "nbf"): absent, or a finite number of seconds.
std::expected<std::optional<double>, AuthError> numeric_date(std::string_view payload,
                                                             std::string_view claim) {
  const auto text = json_field(payload, claim);
  if (!text) return std::optional<double>{};
  double value = 0;
  const auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), value);
  if (error != std::errc{} || end != text->data() + text->size() || !std::isfinite(value)) {
    return std::unexpected(AuthError::malformed("jwt: " + std::string(claim) + " claim is not a number"));
  }
  return std::optional<double>{value};
}

// A token past its "exp" or before its "nbf" is refused: accepting it would let a
// leaked or revoked-by-expiry token authenticate forever.
std::expected<void, AuthError> check_validity_period(std::string_view payload,
                                                     std::int64_t now_unix_seconds) {
  const auto now = static_cast<double>(now_unix_seconds);
  const auto exp = numeric_date(payload, "exp");
  if (!exp) return std::unexpected(exp.error());
  if (*exp && now >= **exp) return std::unexpected(AuthError::rejected("jwt: token expired"));
  const auto nbf = numeric_date(payload, "nbf");
  if (!nbf) return std::unexpected(nbf.error());
  if (*nbf && now < **nbf) return std::unexpected(AuthError::rejected("jwt: token not yet valid"));
  return {};
}

}  // namespace

std::expected<AuthSubject, AuthError> validate_jwt(const AuthMode::Jwt& mode,
                                                   std::optional<std::string_view> authorization,
                                                   std::int64_t now_unix_seconds) {
  if (!authorization) return std::unexpected(AuthError::missing_credentials());
  const auto token = strip_bearer(*authorization);
  if (!token) return std::unexpected(token.error());
  if (token->size() > kMaxJwtLength) return std::unexpected(AuthError::malformed("jwt: token too long"));

  const auto segments = split_segments(*token);
  if (!segments) return std::unexpected(segments.error());
  const auto header = decode_segment(segments->header, "header");
  if (!header) return std::unexpected(header.error());
  const auto payload = decode_segment(segments->payload, "payload");
  if (!payload) return std::unexpected(payload.error());
  const auto signature = decode_segment(segments->signature, "sig");
  if (!signature) return std::unexpected(signature.error());

  if (!is_valid_utf8(*header)) return std::unexpected(AuthError::malformed("jwt header utf8"));
  if (!json_field_eq(as_text(*header), "alg", "RS256")) {
    return std::unexpected(AuthError::rejected("jwt: alg must be RS256"));
  }

  // The signature covers the two leading segments exactly as received.
  const std::string_view signed_part =
      token->substr(0, segments->header.size() + 1 + segments->payload.size());
  if (!mode.public_key.verify_rs256(signed_part, *signature)) {
    return std::unexpected(AuthError::rejected("jwt: signature invalid"));
  }

  if (!is_valid_utf8(*payload)) return std::unexpected(AuthError::malformed("jwt payload utf8"));
  const std::string_view claims = as_text(*payload);
  const auto sub = json_field(claims, "sub");
  if (!sub) return std::unexpected(AuthError::rejected("jwt: no sub claim"));
  if (mode.issuer) {
    const auto iss = json_field(claims, "iss");
    if (!iss) return std::unexpected(AuthError::rejected("jwt: no iss claim"));
    if (*iss != *mode.issuer) return std::unexpected(AuthError::rejected("jwt: iss != " + *mode.issuer));
  }
  if (const auto period = check_validity_period(claims, now_unix_seconds); !period) {
    return std::unexpected(period.error());
  }

  AuthSubject subject = AuthSubject::named(std::string(*sub));
  if (auto groups = json_array(claims, "groups")) subject.groups = std::move(*groups);
  return subject;
}

}  // namespace kelvane::access
