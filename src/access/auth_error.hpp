#pragma once

#include <string>

namespace kelvane::access {

// Why a client could not be authenticated; the display text is what the server logs.
struct AuthError {
  enum class Kind { MissingCredentials, Malformed, Rejected, Misconfigured };

  Kind kind = Kind::MissingCredentials;
  std::string reason;  // empty for MissingCredentials

  [[nodiscard]] static AuthError missing_credentials() { return {Kind::MissingCredentials, {}}; }
  [[nodiscard]] static AuthError malformed(std::string reason) {
    return {Kind::Malformed, std::move(reason)};
  }
  [[nodiscard]] static AuthError rejected(std::string reason) { return {Kind::Rejected, std::move(reason)}; }
  [[nodiscard]] static AuthError misconfigured(std::string reason) {
    return {Kind::Misconfigured, std::move(reason)};
  }

  [[nodiscard]] std::string to_string() const;

  bool operator==(const AuthError&) const = default;
};

}  // namespace kelvane::access
