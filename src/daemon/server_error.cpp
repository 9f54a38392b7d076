#include "daemon/server_error.hpp"

namespace kelvane::daemon {

std::string ServerError::line() const {
  switch (kind) {
    case Kind::Io:
      return "io error: " + message;
    case Kind::Bind:
      return "bind error: " + message;
    case Kind::Dds:
      return "dds error: " + message;
  }
  return message;
}

int ServerError::exit_status() const {
  switch (kind) {
    case Kind::Io:
      return 1;
    case Kind::Bind:
      return 2;
    case Kind::Dds:
      return 3;
  }
  return 1;
}

}  // namespace kelvane::daemon
