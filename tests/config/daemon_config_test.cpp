#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>

#include "config/daemon_config.hpp"

namespace kelvane::config {
namespace {

DaemonConfig load_ok(std::string_view text) {
  auto config = load_from_str(text);
  EXPECT_TRUE(config) << text << "\n-> " << config.error().message();
  return config.value_or(DaemonConfig{});
}

std::string load_error(std::string_view text) {
  auto config = load_from_str(text);
  EXPECT_FALSE(config) << text;
  return config ? std::string() : config.error().message();
}

TEST(DefaultForDev, Values) {
  const DaemonConfig config = default_for_dev();
  EXPECT_EQ(config.listen, "127.0.0.1:8080");
  EXPECT_EQ(config.domain, 0);
  EXPECT_EQ(config.log_level, "info");
  EXPECT_TRUE(config.topics.empty());
  EXPECT_FALSE(config.tls_enabled);
  EXPECT_EQ(config.cert_file, "");
  EXPECT_EQ(config.key_file, "");
  EXPECT_EQ(config.client_ca_file, "");
  EXPECT_EQ(config.auth_mode, "none");
  EXPECT_FALSE(config.bearer_token);
  EXPECT_FALSE(config.bearer_subject);
  EXPECT_FALSE(config.metrics_enabled);
  EXPECT_EQ(config.metrics_address, "");
  EXPECT_TRUE(config.acl.empty());
}

TEST(DefaultWsPath, MapsNamesToPaths) {
  const struct {
    std::string_view name;
    std::string_view path;
  } cases[] = {
      {"Sensors::Temp.Raw", "/topics/sensors/temp_raw"},
      {"plain", "/topics/plain"},
      {"a-b_c/d9", "/topics/a-b_c/d9"},
      {"a:b", "/topics/a_b"},
      {"a:::b", "/topics/a/_b"},
      {"x y", "/topics/x_y"},
      {"gr\xc3\xbc\xc3\x9f", "/topics/gr____"},  // every byte of a multi-byte character
      {"", "/topics/"},
  };
  for (const auto& c : cases) EXPECT_EQ(default_ws_path(c.name), c.path) << c.name;
}

TEST(LoadFromStr, EmptyOrCommentOnlyGivesTheDefaults) {
  EXPECT_EQ(load_ok(""), default_for_dev());
  EXPECT_EQ(load_ok("# nothing\n\n   # at all\n"), default_for_dev());
  EXPECT_EQ(load_ok("unknown: key\nother:\n  nested: ignored\n"), default_for_dev());
}

TEST(LoadFromStr, EveryField) {
  const DaemonConfig config = load_ok(R"(
listen: "0.0.0.0:9000"   # quoted, then a comment
domain: -3
log_level: debug
tls:
  enabled: YES
  cert_file: /etc/kelvane/cert.pem
  key_file: '/etc/kelvane/key.pem'
  client_ca_file: /etc/kelvane/ca.pem
  unknown: ignored
auth:
  mode: bearer
  bearer_token: "s3cret#not-a-comment"
  bearer_subject: robot
metrics:
  enabled: true
  address: 127.0.0.1:9191
acl:
  Sensors.Temp:
    read: "a, b, ,c"
    write: ops
  Other:
    write: ""
topics:
  - name: Sensors::Temp
    type: sensors::Temperature
    direction: out
    qos:
      reliability: reliable
      durability: transient_local
      history:
        depth: 25
  - name: Other
    ws_path: /custom
  - not a map
  - name: Neg
    qos:
      history:
        depth: -1
)");
  EXPECT_EQ(config.listen, "0.0.0.0:9000");
  EXPECT_EQ(config.domain, -3);
  EXPECT_EQ(config.log_level, "debug");
  EXPECT_TRUE(config.tls_enabled);
  EXPECT_EQ(config.cert_file, "/etc/kelvane/cert.pem");
  EXPECT_EQ(config.key_file, "/etc/kelvane/key.pem");
  EXPECT_EQ(config.client_ca_file, "/etc/kelvane/ca.pem");
  EXPECT_EQ(config.auth_mode, "bearer");
  EXPECT_EQ(config.bearer_token, "s3cret#not-a-comment");
  EXPECT_EQ(config.bearer_subject, "robot");
  EXPECT_TRUE(config.metrics_enabled);
  EXPECT_EQ(config.metrics_address, "127.0.0.1:9191");

  ASSERT_EQ(config.acl.size(), 2u);
  EXPECT_EQ(config.acl.at("Sensors.Temp"), (AclEntry{{"a", "b", "", "c"}, {"ops"}}));
  EXPECT_EQ(config.acl.at("Other"), (AclEntry{{}, {""}}));

  ASSERT_EQ(config.topics.size(), 3u);
  EXPECT_EQ(config.topics[0], (TopicConfig{"Sensors::Temp", "sensors::Temperature", "out", "/topics/sensors/temp",
                                           "reliable", "transient_local", 25}));
  EXPECT_EQ(config.topics[1], (TopicConfig{"Other", "", "bidir", "/custom", "", "", 0}));
  EXPECT_EQ(config.topics[2].name, "Neg");
  EXPECT_EQ(config.topics[2].history_depth, 0xFFFFFFFFu);  // the 32-bit pattern of -1
}

TEST(LoadFromStr, KeysEndAtTheFirstColon) {
  // A map key cannot hold ':', so "A::B:" is the key "A" with the value ":B:".
  const DaemonConfig config = load_ok("acl:\n  A::B:\n  C:\n    read: x\n");
  ASSERT_EQ(config.acl.size(), 1u);
  EXPECT_EQ(config.acl.count("C"), 1u);
}

TEST(LoadFromStr, HashInsideQuotesStaysInTheValue) {
  EXPECT_EQ(load_ok("listen: \"127.0.0.1:1#2\" # comment\n").listen, "127.0.0.1:1#2");
}

TEST(LoadFromStr, HistoryDepthRules) {
  const auto depth_of = [](std::string_view qos) {
    const DaemonConfig config = load_ok("topics:\n  - name: t\n    qos:\n" + std::string(qos));
    return config.topics.at(0).history_depth;
  };
  EXPECT_EQ(depth_of("      history:\n        depth: 7\n"), 7u);
  EXPECT_EQ(depth_of("      history:\n        depth: many\n"), kUnparsableHistoryDepth);
  EXPECT_EQ(depth_of("      history:\n        depth: \"\"\n"), kUnparsableHistoryDepth);
  EXPECT_EQ(depth_of("      history:\n        kind: keep_all\n"), 0u);
  // Flow mappings are plain scalars, so history is ignored.
  EXPECT_EQ(depth_of("      history: {depth: 5}\n"), 0u);
  EXPECT_EQ(depth_of("      reliability: best_effort\n"), 0u);
}

TEST(LoadFromStr, WrongNodeKindsInsideSectionsAreIgnored) {
  const DaemonConfig config = load_ok(R"(
acl: everyone
auth:
  mode:
    nested: map
tls: on
metrics:
  enabled:
    - yes
topics: scalar
)");
  EXPECT_EQ(config, default_for_dev());

  const DaemonConfig acl = load_ok("acl:\n  T: scalar\n  U:\n    read:\n      - a\n");
  ASSERT_EQ(acl.acl.size(), 1u);
  EXPECT_EQ(acl.acl.at("U"), AclEntry{});
}

TEST(LoadFromStr, EmptyWsPathAndEmptyBearerTakeTheirRules) {
  const DaemonConfig config = load_ok("auth:\n  bearer_token:\ntopics:\n  - name: A.B\n    ws_path: ''\n");
  EXPECT_EQ(config.bearer_token, "");  // present, empty
  EXPECT_FALSE(config.bearer_subject);
  EXPECT_EQ(config.topics.at(0).ws_path, "/topics/a_b");
}

TEST(LoadFromStr, Errors) {
  const struct {
    std::string_view text;
    std::string_view message;
  } cases[] = {
      {"domain: 7x\n", "config bad value for domain: 7x"},
      {"domain: 2147483648\n", "config bad value for domain: 2147483648"},
      {"domain: \"\"\n", "config bad value for domain: "},
      {"domain:\n  a: 1\n", "config syntax: expected scalar"},
      {"listen:\n  host: x\n", "config syntax: expected scalar"},
      {"log_level:\n  - a\n", "config syntax: expected scalar"},
      {"topics:\n  - type: T\n", "config missing field: topics[].name"},
      {"topics:\n  - name: \"\"\n", "config missing field: topics[].name"},
      {"topics:\n  - name:\n      x: y\n", "config missing field: topics[].name"},
      {"topics:\n  - name: ok\n  - direction: in\n", "config missing field: topics[].name"},
      // Keys are applied in byte-wise order: domain comes before listen and topics.
      {"topics:\n  - type: T\nlisten:\n  x: 1\ndomain: bad\n", "config bad value for domain: bad"},
      {"a:\n  - name: x\n     type: y\n", "config syntax: seq misindented"},
  };
  for (const auto& c : cases) EXPECT_EQ(load_error(c.text), c.message) << c.text;
}

TEST(LoadFromStr, SubstitutesBeforeParsing) {
  ::setenv("KVL_TEST_LISTEN", "127.0.0.1:7000 # a comment arriving by substitution", 1);
  ::setenv("KVL_TEST_LINES", "x\ndomain: 12", 1);
  ::unsetenv("KVL_TEST_UNSET");
  const DaemonConfig config = load_ok(
      "listen: ${KVL_TEST_LISTEN}\n"
      "log_level: ${KVL_TEST_LINES}\n"
      "metrics:\n  address: ${KVL_TEST_UNSET:-127.0.0.1:9090}\n");
  EXPECT_EQ(config.listen, "127.0.0.1:7000");
  EXPECT_EQ(config.log_level, "x");
  EXPECT_EQ(config.domain, 12);
  EXPECT_EQ(config.metrics_address, "127.0.0.1:9090");
  ::unsetenv("KVL_TEST_LISTEN");
  ::unsetenv("KVL_TEST_LINES");
}

// A file in the test's temporary directory, removed afterwards.
class ConfigFile : public ::testing::Test {
 protected:
  std::string write(std::string_view content) {
    path_ = ::testing::TempDir() + "kelvane_config_test_" + std::to_string(::getpid()) + ".yaml";
    std::ofstream(path_, std::ios::binary) << content;
    return path_;
  }
  void TearDown() override {
    if (!path_.empty()) std::remove(path_.c_str());
  }

 private:
  std::string path_;
};

TEST_F(ConfigFile, LoadsAFile) {
  const auto config = load_from_file(write("listen: 127.0.0.1:1234\ndomain: 4\n"));
  ASSERT_TRUE(config);
  EXPECT_EQ(config->listen, "127.0.0.1:1234");
  EXPECT_EQ(config->domain, 4);
}

TEST_F(ConfigFile, ReadFailuresAreIoErrors) {
  const auto missing = load_from_file("/nonexistent/kelvane.yaml");
  ASSERT_FALSE(missing);
  EXPECT_EQ(missing.error(), ConfigError::io("No such file or directory (os error 2)"));
  EXPECT_EQ(missing.error().message(), "config io: No such file or directory (os error 2)");

  const auto directory = load_from_file("/");
  ASSERT_FALSE(directory);
  EXPECT_EQ(directory.error().message(), "config io: Is a directory (os error 21)");

  const auto latin1 = load_from_file(write("listen: caf\xe9\n"));
  ASSERT_FALSE(latin1);
  EXPECT_EQ(latin1.error().message(), "config io: file is not valid UTF-8");
}

TEST_F(ConfigFile, SyntaxErrorsPassThrough) {
  const auto config = load_from_file(write("listen 127.0.0.1\n"));
  ASSERT_FALSE(config);
  EXPECT_EQ(config.error().message(), "config syntax: no `:` in line: listen 127.0.0.1");
}

TEST(ExampleConfiguration, LoadsWithTheDocumentedValues) {
  ::unsetenv("KELVANE_LISTEN");
  ::unsetenv("KELVANE_BEARER_TOKEN");
  const auto config = load_from_file(KELVANE_SOURCE_DIR "/examples/kelvane-ws-bridged.yaml");
  ASSERT_TRUE(config) << config.error().message();
  EXPECT_EQ(config->listen, "127.0.0.1:8080");
  EXPECT_EQ(config->domain, 0);
  EXPECT_EQ(config->log_level, "info");
  EXPECT_FALSE(config->tls_enabled);
  EXPECT_EQ(config->cert_file, "/etc/kelvane/server-chain.pem");
  EXPECT_EQ(config->key_file, "/etc/kelvane/server-key.pem");
  EXPECT_EQ(config->client_ca_file, "");
  EXPECT_EQ(config->auth_mode, "none");
  EXPECT_EQ(config->bearer_token, "change-me");
  EXPECT_EQ(config->bearer_subject, "dashboard");
  EXPECT_TRUE(config->metrics_enabled);
  EXPECT_EQ(config->metrics_address, "127.0.0.1:9090");
  ASSERT_EQ(config->acl.size(), 3u);
  EXPECT_EQ(config->acl.at("SensorsTemperature"), (AclEntry{{"*"}, {"dashboard", "*group:sensors*"}}));
  ASSERT_EQ(config->topics.size(), 3u);
  EXPECT_EQ(config->topics[0], (TopicConfig{"SensorsTemperature", "sensors::Temperature", "in", "/ws/temperature",
                                            "reliable", "transient_local", 10}));
  EXPECT_EQ(config->topics[1].ws_path, "/topics/commands");
  EXPECT_EQ(config->topics[2], (TopicConfig{"Chat", "", "bidir", "/topics/chat", "best_effort", "", 0}));
  // Every topic has an access entry.
  for (const TopicConfig& topic : config->topics) EXPECT_EQ(config->acl.count(topic.name), 1u) << topic.name;
}

}  // namespace
}  // namespace kelvane::config
