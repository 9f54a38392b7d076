#pragma once

#include <string>
#include <utility>

namespace kelvane::config {

// Why a configuration could not be loaded.
struct ConfigError {
  enum class Kind { Io, Syntax, MissingField, BadValue };

  Kind kind;
  std::string text;   // Io: the system's error text; Syntax: the diagnostic; MissingField/BadValue: the field
  std::string value;  // BadValue only: the rejected value

  [[nodiscard]] static ConfigError io(std::string text) { return {Kind::Io, std::move(text), {}}; }
  [[nodiscard]] static ConfigError syntax(std::string text) { return {Kind::Syntax, std::move(text), {}}; }
  [[nodiscard]] static ConfigError missing_field(std::string field) {
    return {Kind::MissingField, std::move(field), {}};
  }
  [[nodiscard]] static ConfigError bad_value(std::string field, std::string value) {
    return {Kind::BadValue, std::move(field), std::move(value)};
  }

  // "config io: …", "config syntax: …", "config missing field: …",
  // "config bad value for <field>: <value>".
  [[nodiscard]] std::string message() const;

  friend bool operator==(const ConfigError&, const ConfigError&) = default;
};

}  // namespace kelvane::config
