#include "access/auth_error.hpp"

namespace kelvane::access {

std::string AuthError::to_string() const {
  switch (kind) {
    case Kind::MissingCredentials:
      return "missing credentials";
    case Kind::Malformed:
      return "malformed credentials: " + reason;
    case Kind::Rejected:
      return "credentials rejected: " + reason;
    case Kind::Misconfigured:
      return "auth misconfigured: " + reason;
  }
  return "auth misconfigured: unknown error kind";
}

}  // namespace kelvane::access
