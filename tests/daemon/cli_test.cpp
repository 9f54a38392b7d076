#include <gtest/gtest.h>

#include <string>
#include <variant>
#include <vector>

#include "daemon/cli.hpp"

namespace kelvane::daemon {
namespace {

using Args = std::vector<std::string>;

CliArgs with(auto&& fill) {
  CliArgs args;
  fill(args);
  return args;
}

CliError unknown(std::string name) { return {CliError::Kind::UnknownFlag, std::move(name), {}}; }
CliError missing(std::string name) { return {CliError::Kind::MissingValue, std::move(name), {}}; }
CliError invalid(std::string name, std::string value) {
  return {CliError::Kind::InvalidValue, std::move(name), std::move(value)};
}

struct Case {
  Args args;
  std::variant<CliArgs, CliError> expected;
};

TEST(CliParse, Table) {
  const Case cases[] = {
      {{}, CliArgs{}},
      {{"--listen", "0.0.0.0:9000"}, with([](CliArgs& a) { a.listen = "0.0.0.0:9000"; })},
      {{"--listen=0.0.0.0:9000"}, with([](CliArgs& a) { a.listen = "0.0.0.0:9000"; })},
      {{"--listen="}, with([](CliArgs& a) { a.listen = ""; })},
      {{"--listen=a=b"}, with([](CliArgs& a) { a.listen = "a=b"; })},  // split at the first '='
      {{"--listen", "a", "--listen", "b"}, with([](CliArgs& a) { a.listen = "b"; })},
      {{"--topic", "a", "--topic=b"}, with([](CliArgs& a) { a.topics = {"a", "b"}; })},
      {{"--config", "--help"}, with([](CliArgs& a) { a.config = "--help"; })},
      {{"--config", "c.yaml", "--tls-cert", "c", "--tls-key", "k", "--auth-token", "t", "--log-level", "debug",
        "--metrics", "m"},
       with([](CliArgs& a) {
         a.config = "c.yaml";
         a.tls_cert = "c";
         a.tls_key = "k";
         a.auth_token = "t";
         a.log_level = "debug";
         a.metrics = "m";
       })},
      {{"--domain", "-5"}, with([](CliArgs& a) { a.domain = -5; })},
      {{"--domain=+7"}, with([](CliArgs& a) { a.domain = 7; })},
      {{"--domain", "2147483647"}, with([](CliArgs& a) { a.domain = 2147483647; })},
      {{"--domain", "-2147483648"}, with([](CliArgs& a) { a.domain = -2147483647 - 1; })},
      {{"-h"}, with([](CliArgs& a) { a.help = true; })},
      {{"--help=yes"}, with([](CliArgs& a) { a.help = true; })},
      {{"-V", "--help"}, with([](CliArgs& a) {
         a.version = true;
         a.help = true;
       })},
      {{"--version"}, with([](CliArgs& a) { a.version = true; })},

      {{"--foo=bar"}, unknown("--foo")},
      {{"bare"}, unknown("bare")},
      {{"--"}, unknown("--")},
      {{"-x"}, unknown("-x")},
      {{"--HELP"}, unknown("--HELP")},
      {{"-help"}, unknown("-help")},
      {{"--help", "--bogus"}, unknown("--bogus")},  // an error wins over --help
      {{"--listen", "a", "stray"}, unknown("stray")},
      {{"--config"}, missing("--config")},
      {{"--version", "--topic"}, missing("--topic")},
      {{"--domain", "2147483648"}, invalid("--domain", "2147483648")},
      {{"--domain", "x1"}, invalid("--domain", "x1")},
      {{"--domain", "-"}, invalid("--domain", "-")},
      {{"--domain="}, invalid("--domain", "")},
      {{"--domain", " 1"}, invalid("--domain", " 1")},
      {{"--domain", "--help"}, invalid("--domain", "--help")},
  };
  for (const Case& c : cases) {
    std::string line;
    for (const auto& arg : c.args) line += "[" + arg + "]";
    const auto parsed = parse(c.args);
    if (const auto* args = std::get_if<CliArgs>(&c.expected)) {
      ASSERT_TRUE(parsed) << line << " -> " << parsed.error().message();
      EXPECT_EQ(*parsed, *args) << line;
    } else {
      ASSERT_FALSE(parsed) << line;
      EXPECT_EQ(parsed.error(), std::get<CliError>(c.expected)) << line;
    }
  }
}

TEST(CliError, Messages) {
  EXPECT_EQ(unknown("--foo").message(), "unknown flag: --foo");
  EXPECT_EQ(missing("--config").message(), "flag --config requires a value");
  EXPECT_EQ(invalid("--domain", "x1").message(), "flag --domain got invalid value: x1");
  EXPECT_EQ(invalid("--domain", "").message(), "flag --domain got invalid value: ");
}

TEST(CliTexts, HelpTextByteForByte) {
  const char* const lines[] = {
      "kelvane-ws-bridged 1.0 \xe2\x80\x94 DDS\xe2\x86\x94WebSocket-Bridge-Daemon",
      "",
      "USAGE:",
      "    kelvane-ws-bridged [OPTIONS]",
      "",
      "OPTIONS:",
      "    --config <FILE>         Path zur Config-File (YAML)",
      "    --listen <ADDR>         Bind-Address (Default 0.0.0.0:8080)",
      "    --domain <ID>           DDS-Domain-ID (Default 0)",
      "    --topic <NAME>          Single-Topic-Override (mehrfach)",
      "    --tls-cert <FILE>       TLS-Cert (PEM); aktiviert wss:// \xe2\x80\x94 L5-stub",
      "    --tls-key <FILE>        TLS-Key (PEM) \xe2\x80\x94 L5-stub",
      "    --auth-token <SECRET>   Bearer-Token-Auth \xe2\x80\x94 L5-stub",
      "    --log-level <LEVEL>     trace/debug/info/warn/error (Default info)",
      "    --metrics <ADDR>        Prometheus-Scrape-Endpoint \xe2\x80\x94 L5-stub",
      "    --version               Versions-Info",
      "    --help                  Hilfe",
      "",
      "EXIT-CODES:",
      "    0   normaler Shutdown (SIGTERM/SIGINT)",
      "    1   Config-Fehler",
      "    2   Bind-Fehler (Port belegt)",
      "    3   DDS-Discovery-Fehler",
      "    4   TLS-Fehler",
      "",
      "Spec: docs/specs/kelvane-ws-bridge-1.0.md",
  };
  std::string expected;
  for (const char* line : lines) expected.append(line).push_back('\n');
  EXPECT_EQ(kHelpText, expected);
  EXPECT_EQ(kVersionText, "kelvane-ws-bridged 1.0");
}

}  // namespace
}  // namespace kelvane::daemon
