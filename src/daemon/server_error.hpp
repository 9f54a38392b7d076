#pragma once

#include <string>
#include <utility>

namespace kelvane::daemon {

// Why the server start failed; the kind decides the log prefix and the exit status.
struct ServerError {
  enum class Kind { Io, Bind, Dds };

  Kind kind;
  std::string message;

  [[nodiscard]] static ServerError io(std::string message) { return {Kind::Io, std::move(message)}; }
  [[nodiscard]] static ServerError bind(std::string message) { return {Kind::Bind, std::move(message)}; }
  [[nodiscard]] static ServerError dds(std::string message) { return {Kind::Dds, std::move(message)}; }

  // "io error: …", "bind error: …" or "dds error: …".
  [[nodiscard]] std::string line() const;
  // 1 for Io, 2 for Bind, 3 for Dds.
  [[nodiscard]] int exit_status() const;

  friend bool operator==(const ServerError&, const ServerError&) = default;
};

}  // namespace kelvane::daemon
