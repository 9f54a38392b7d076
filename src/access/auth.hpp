#pragma once

#include <cstdint>
#include <expected>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "access/auth_error.hpp"
#include "access/crypto.hpp"

namespace kelvane::access {

// The identity of an authenticated client: what the topic access list checks.
struct AuthSubject {
  std::string name;
  std::vector<std::string> groups;                // filled only from a JWT "groups" claim
  std::map<std::string, std::string> attributes;  // always empty in this system

  [[nodiscard]] static AuthSubject named(std::string name) { return AuthSubject{std::move(name), {}, {}}; }

  bool operator==(const AuthSubject&) const = default;
};

// The credentials the server could take from one connection. Non-owning: the views
// must outlive the validation call.
struct AuthInput {
  std::optional<std::string_view> authorization;            // HTTP Authorization header value
  std::optional<std::span<const std::uint8_t>> sasl_plain;  // authzid NUL authcid NUL password
  const AuthSubject* mtls_subject = nullptr;                // from the client certificate
};

// How clients authenticate. Shared read-only by every connection thread.
struct AuthMode {
  struct None {};
  struct Bearer {
    std::map<std::string, AuthSubject> tokens;  // token -> subject
  };
  struct Jwt {
    RsaPublicKey public_key;            // RS256 key, parsed once when the mode is built
    std::optional<std::string> issuer;  // required "iss" value when set
  };
  struct Mtls {};
  struct SaslPlain {
    std::map<std::string, std::string> users;  // user name -> password
  };

  std::variant<None, Bearer, Jwt, Mtls, SaslPlain> kind;

  // Authenticates `input`. Pure: `now_unix_seconds` (seconds since the Unix epoch) is the
  // time against which the "exp" and "nbf" claims of a JWT are checked.
  [[nodiscard]] std::expected<AuthSubject, AuthError> validate(const AuthInput& input,
                                                               std::int64_t now_unix_seconds) const;
};

// The token of an Authorization value "Bearer <token>" (the word in any ASCII case,
// followed by exactly one space; surrounding white space ignored).
[[nodiscard]] std::expected<std::string_view, AuthError> strip_bearer(std::string_view header);

}  // namespace kelvane::access
