#pragma once

#include <cstdint>
#include <expected>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kelvane::daemon {

// The parsed command line, one field per option.
struct CliArgs {
  std::vector<std::string> topics;  // every --topic, in order; accepted, then unused
  std::optional<std::string> config;
  std::optional<std::string> listen;
  std::optional<std::string> tls_cert;    // accepted, then unused
  std::optional<std::string> tls_key;     // accepted, then unused
  std::optional<std::string> auth_token;  // accepted, then unused
  std::optional<std::string> log_level;
  std::optional<std::string> metrics;  // accepted, then unused
  std::optional<std::int32_t> domain;
  bool version = false;
  bool help = false;

  friend bool operator==(const CliArgs&, const CliArgs&) = default;
};

// A command-line error; name is the option as spelled, without any "=value".
struct CliError {
  enum class Kind { UnknownFlag, MissingValue, InvalidValue };

  Kind kind;
  std::string name;
  std::string value;  // InvalidValue only

  // "unknown flag: N", "flag N requires a value", "flag N got invalid value: V".
  [[nodiscard]] std::string message() const;

  friend bool operator==(const CliError&, const CliError&) = default;
};

// Parses the program arguments (without the program name). The first error wins, even
// over --help and --version. No side effects.
[[nodiscard]] std::expected<CliArgs, CliError> parse(std::span<const std::string> args);

// The help text; it ends with a line feed and is printed followed by one more.
inline constexpr std::string_view kHelpText =
    "kelvane-ws-bridged 1.0 \u2014 DDS\u2194WebSocket-Bridge-Daemon\n"
    "\n"
    "USAGE:\n"
    "    kelvane-ws-bridged [OPTIONS]\n"
    "\n"
    "OPTIONS:\n"
    "    --config <FILE>         Path zur Config-File (YAML)\n"
    "    --listen <ADDR>         Bind-Address (Default 0.0.0.0:8080)\n"
    "    --domain <ID>           DDS-Domain-ID (Default 0)\n"
    "    --topic <NAME>          Single-Topic-Override (mehrfach)\n"
    "    --tls-cert <FILE>       TLS-Cert (PEM); aktiviert wss:// \u2014 L5-stub\n"
    "    --tls-key <FILE>        TLS-Key (PEM) \u2014 L5-stub\n"
    "    --auth-token <SECRET>   Bearer-Token-Auth \u2014 L5-stub\n"
    "    --log-level <LEVEL>     trace/debug/info/warn/error (Default info)\n"
    "    --metrics <ADDR>        Prometheus-Scrape-Endpoint \u2014 L5-stub\n"
    "    --version               Versions-Info\n"
    "    --help                  Hilfe\n"
    "\n"
    "EXIT-CODES:\n"
    "    0   normaler Shutdown (SIGTERM/SIGINT)\n"
    "    1   Config-Fehler\n"
    "    2   Bind-Fehler (Port belegt)\n"
    "    3   DDS-Discovery-Fehler\n"
    "    4   TLS-Fehler\n"
    "\n"
    "Spec: docs/specs/kelvane-ws-bridge-1.0.md\n";

// The version line, printed followed by a line feed.
inline constexpr std::string_view kVersionText = "kelvane-ws-bridged 1.0";

}  // namespace kelvane::daemon
