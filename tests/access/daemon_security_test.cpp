#include "access/daemon_security.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kelvane::access {
namespace {

constexpr std::int64_t kNow = 1'800'000'000;

std::string error_text(const config::DaemonConfig& config) {
  const auto result = ctx_from_daemon_config(config);
  return result ? "ok" : result.error().to_string();
}

std::string who(const SecurityCtx& ctx, std::optional<std::string_view> authorization) {
  const auto result = authenticate(ctx, authorization, std::nullopt, nullptr, kNow);
  return result ? result->name : result.error().to_string();
}

TEST(CtxFromDaemonConfig, ErrorTable) {
  struct Case {
    const char* label;
    void (*edit)(config::DaemonConfig&);
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"development defaults", [](config::DaemonConfig&) {}, "ok"},
      {"tls without files", [](config::DaemonConfig& c) { c.tls_enabled = true; },
       "tls.enabled=true requires cert_file + key_file"},
      {"tls with empty key file",
       [](config::DaemonConfig& c) {
         c.tls_enabled = true;
         c.cert_file = "/etc/k/cert.pem";
       },
       "tls.enabled=true requires cert_file + key_file"},
      {"tls with empty cert file",
       [](config::DaemonConfig& c) {
         c.tls_enabled = true;
         c.key_file = "/etc/k/key.pem";
       },
       "tls.enabled=true requires cert_file + key_file"},
      {"files without tls are ignored", [](config::DaemonConfig& c) { c.cert_file = "/etc/k/cert.pem"; },
       "ok"},
      {"unknown mode", [](config::DaemonConfig& c) { c.auth_mode = "Bearer"; }, "unknown auth-mode: Bearer"},
      {"jwt cannot be configured", [](config::DaemonConfig& c) { c.auth_mode = "jwt"; },
       "missing auth input: jwt_pubkey_der"},
      {"sasl cannot be configured", [](config::DaemonConfig& c) { c.auth_mode = "sasl"; },
       "missing auth input: sasl_users"},
      {"mtls", [](config::DaemonConfig& c) { c.auth_mode = "mtls"; }, "ok"},
  };
  for (const Case& c : cases) {
    config::DaemonConfig config = config::default_for_dev();
    c.edit(config);
    EXPECT_EQ(error_text(config), c.expected) << c.label;
  }
}

TEST(CtxFromDaemonConfig, TlsFilesAndClientCa) {
  config::DaemonConfig config = config::default_for_dev();
  config.tls_enabled = true;
  config.cert_file = "/etc/k/cert.pem";
  config.key_file = "/etc/k/key.pem";
  auto ctx = ctx_from_daemon_config(config);
  ASSERT_TRUE(ctx);
  EXPECT_EQ(ctx->tls_files, (TlsFiles{"/etc/k/cert.pem", "/etc/k/key.pem", std::nullopt}));

  config.client_ca_file = "/etc/k/ca.pem";
  ctx = ctx_from_daemon_config(config);
  ASSERT_TRUE(ctx);
  EXPECT_EQ(ctx->tls_files, (TlsFiles{"/etc/k/cert.pem", "/etc/k/key.pem", "/etc/k/ca.pem"}));

  EXPECT_FALSE(ctx_from_daemon_config(config::default_for_dev())->tls_files);
}

TEST(CtxFromDaemonConfig, BearerTokenAndSubject) {
  config::DaemonConfig config = config::default_for_dev();
  config.auth_mode = "bearer";
  config.bearer_token = "tok";
  auto ctx = ctx_from_daemon_config(config);
  ASSERT_TRUE(ctx);
  EXPECT_EQ(who(*ctx, "Bearer tok"), "anonymous");
  EXPECT_EQ(who(*ctx, "Bearer other"), "credentials rejected: unknown bearer token");

  config.bearer_subject = "svc";
  ctx = ctx_from_daemon_config(config);
  ASSERT_TRUE(ctx);
  EXPECT_EQ(who(*ctx, "Bearer tok"), "svc");

  config.bearer_token.reset();  // bearer without a token admits nobody
  ctx = ctx_from_daemon_config(config);
  ASSERT_TRUE(ctx);
  EXPECT_EQ(who(*ctx, "Bearer tok"), "credentials rejected: unknown bearer token");
}

TEST(CtxFromDaemonConfig, AccessListsFromTheConfiguration) {
  const AuthSubject svc = AuthSubject::named("svc");

  // Mode none without ACL: everything open.
  auto open = ctx_from_daemon_config(config::default_for_dev());
  ASSERT_TRUE(open);
  EXPECT_TRUE(open->acl->check(svc, Operation::Write, "Any"));

  // Bearer without ACL: everything closed.
  config::DaemonConfig config = config::default_for_dev();
  config.auth_mode = "bearer";
  config.bearer_token = "tok";
  auto closed = ctx_from_daemon_config(config);
  ASSERT_TRUE(closed);
  EXPECT_FALSE(closed->acl->check(svc, Operation::Read, "Any"));

  // Configured entries, including the empty piece of an empty scalar.
  config.acl.emplace("Chat", config::AclEntry{{"svc", "*group:ops*"}, {""}});
  auto listed = ctx_from_daemon_config(config);
  ASSERT_TRUE(listed);
  EXPECT_EQ(listed->acl->entries.size(), 1u);
  EXPECT_TRUE(listed->acl->check(svc, Operation::Read, "Chat"));
  EXPECT_FALSE(listed->acl->check(svc, Operation::Write, "Chat"));
  EXPECT_TRUE(listed->acl->check(AuthSubject{"x", {"ops"}, {}}, Operation::Read, "Chat"));
  EXPECT_FALSE(listed->acl->check(svc, Operation::Read, "chat"));
  EXPECT_FALSE(listed->acl->default_entry);

  // Mode none with an ACL: topics without an entry are closed.
  config.auth_mode = "none";
  auto none_listed = ctx_from_daemon_config(config);
  ASSERT_TRUE(none_listed);
  EXPECT_FALSE(none_listed->acl->check(svc, Operation::Read, "Other"));
  EXPECT_EQ(who(*none_listed, std::nullopt), "anonymous");
}

TEST(CtxFromDaemonConfig, FromAConfigurationFile) {
  const auto config = config::load_from_str(
      "auth:\n"
      "  mode: bearer\n"
      "  bearer_token: \"s3cret\"\n"
      "  bearer_subject: robot\n"
      "acl:\n"
      "  Sensors:\n"
      "    read: \"robot, *group:ops*\"\n"
      "    write: robot\n");
  ASSERT_TRUE(config);
  const auto ctx = ctx_from_daemon_config(*config);
  ASSERT_TRUE(ctx);
  EXPECT_EQ(who(*ctx, "Bearer s3cret"), "robot");
  const AuthSubject robot = AuthSubject::named("robot");
  EXPECT_TRUE(ctx->acl->check(robot, Operation::Read, "Sensors"));
  EXPECT_TRUE(ctx->acl->check(robot, Operation::Write, "Sensors"));
  EXPECT_FALSE(ctx->acl->check(robot, Operation::Read, "Other"));
  EXPECT_TRUE(ctx->acl->check(AuthSubject{"x", {"ops"}, {}}, Operation::Read, "Sensors"));
}

}  // namespace
}  // namespace kelvane::access
