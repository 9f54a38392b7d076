#include "config/config_error.hpp"

namespace kelvane::config {

std::string ConfigError::message() const {
  switch (kind) {
    case Kind::Io:
      return "config io: " + text;
    case Kind::Syntax:
      return "config syntax: " + text;
    case Kind::MissingField:
      return "config missing field: " + text;
    case Kind::BadValue:
      return "config bad value for " + text + ": " + value;
  }
  return {};
}

}  // namespace kelvane::config
