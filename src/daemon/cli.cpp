#include "daemon/cli.hpp"

#include <utility>

#include "config/text.hpp"

namespace kelvane::daemon {

std::string CliError::message() const {
  switch (kind) {
    case Kind::UnknownFlag:
      return "unknown flag: " + name;
    case Kind::MissingValue:
      return "flag " + name + " requires a value";
    case Kind::InvalidValue:
      return "flag " + name + " got invalid value: " + value;
  }
  return {};
}

namespace {

// The single-valued text options; a later occurrence replaces an earlier one.
struct TextOption {
  std::string_view name;
  std::optional<std::string> CliArgs::*field;
};

constexpr TextOption kTextOptions[] = {
    {"--config", &CliArgs::config},       {"--listen", &CliArgs::listen},
    {"--tls-cert", &CliArgs::tls_cert},   {"--tls-key", &CliArgs::tls_key},
    {"--auth-token", &CliArgs::auth_token}, {"--log-level", &CliArgs::log_level},
    {"--metrics", &CliArgs::metrics},
};

bool takes_value(std::string_view name) {
  if (name == "--topic" || name == "--domain") return true;
  for (const TextOption& option : kTextOptions) {
    if (option.name == name) return true;
  }
  return false;
}

// Stores value under the option name (known to take a value).
std::expected<void, CliError> store(CliArgs& out, std::string_view name, std::string value) {
  if (name == "--topic") {
    out.topics.push_back(std::move(value));
  } else if (name == "--domain") {
    const auto domain = config::parse_decimal_i32(value);
    if (!domain) return std::unexpected(CliError{CliError::Kind::InvalidValue, std::string(name), std::move(value)});
    out.domain = *domain;
  } else {
    for (const TextOption& option : kTextOptions) {
      if (option.name == name) out.*option.field = std::move(value);
    }
  }
  return {};
}

}  // namespace

std::expected<CliArgs, CliError> parse(std::span<const std::string> args) {
  CliArgs out;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    const std::size_t equals = arg.find('=');
    const std::string_view name = arg.substr(0, equals);
    std::optional<std::string> inline_value;
    if (equals != std::string_view::npos) inline_value.emplace(arg.substr(equals + 1));

    if (name == "-h" || name == "--help") {
      out.help = true;
      continue;
    }
    if (name == "-V" || name == "--version") {
      out.version = true;
      continue;
    }
    if (!takes_value(name)) return std::unexpected(CliError{CliError::Kind::UnknownFlag, std::string(name), {}});

    std::string value;
    if (inline_value) {
      value = std::move(*inline_value);
    } else if (i + 1 < args.size()) {
      value = args[++i];  // taken whatever it looks like, "--help" included
    } else {
      return std::unexpected(CliError{CliError::Kind::MissingValue, std::string(name), {}});
    }
    if (auto stored = store(out, name, std::move(value)); !stored) return std::unexpected(std::move(stored.error()));
  }
  return out;
}

}  // namespace kelvane::daemon
