#include "access/security_ctx.hpp"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "access/headers.hpp"
#include "test_keys.hpp"

namespace kelvane::access {
namespace {

constexpr std::int64_t kNow = 1'800'000'000;
using Headers = std::vector<std::pair<std::string, std::string>>;

SecurityError error_of(const std::expected<SecurityCtx, SecurityError>& result) {
  EXPECT_FALSE(result);
  return result ? SecurityError{} : result.error();
}

TEST(ExtractAuthorizationHeader, RequestTable) {
  struct Case {
    const char* request;
    std::optional<std::string> expected;
  };
  const std::vector<Case> cases = {
      {"GET / HTTP/1.1\r\nHost: x\r\nAuthorization: Bearer abc\r\n\r\n", "Bearer abc"},
      {"GET / HTTP/1.1\r\nauthorization:Bearer a:b  \r\n\r\n", "Bearer a:b"},
      {"GET / HTTP/1.1\r\n  AUTHORIZATION \t:  x\r\n\r\n", "x"},
      {"GET / HTTP/1.1\r\nAuthorization: first\r\nAuthorization: second\r\n\r\n", "first"},
      {"GET / HTTP/1.1\r\nAuthorization:\r\n\r\n", ""},
      {"GET / HTTP/1.1\r\nAuthorization: last line without end", "last line without end"},
      {"GET / HTTP/1.1\r\nX-Authorization: a\r\n\r\n", std::nullopt},
      {"GET / HTTP/1.1\r\nAuthorization Bearer a\r\n\r\n", std::nullopt},
      {"GET / HTTP/1.1\nAuthorization: a\n\n", std::nullopt},  // lines end in CR LF only
      {"", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(extract_authorization_header(c.request), c.expected) << c.request;
}

TEST(SecurityErrors, DisplayTexts) {
  using K = TlsConfigError::Kind;
  EXPECT_EQ((TlsConfigError{K::CertFileRead, "/c.pem", "No such file or directory (os error 2)"}.to_string()),
            "cert file read: /c.pem: No such file or directory (os error 2)");
  EXPECT_EQ((TlsConfigError{K::KeyFileRead, "/k.pem", "bad base64"}.to_string()),
            "key file read: /k.pem: bad base64");
  EXPECT_EQ((TlsConfigError{K::NoCertificate, {}, {}}.to_string()), "PEM had no CERTIFICATE block");
  EXPECT_EQ((TlsConfigError{K::NoPrivateKey, {}, {}}.to_string()),
            "PEM had no PKCS#8 / RSA / EC private key");
  EXPECT_EQ((TlsConfigError{K::Build, {}, "client CA add: x"}.to_string()), "openssl: client CA add: x");

  const TlsConfigError tls{K::NoCertificate, {}, {}};
  EXPECT_EQ((SecurityError{SecurityError::Kind::Tls, tls, {}}.to_string()),
            "tls: PEM had no CERTIFICATE block");
  EXPECT_EQ((SecurityError{SecurityError::Kind::UnknownAuthMode, {}, "oauth"}.to_string()),
            "unknown auth-mode: oauth");
  EXPECT_EQ((SecurityError{SecurityError::Kind::MissingAuthInput, {}, "sasl_users"}.to_string()),
            "missing auth input: sasl_users");
  EXPECT_EQ((SecurityError{SecurityError::Kind::TlsFilesRequired, {}, {}}.to_string()),
            "tls.enabled=true requires cert_file + key_file");
}

TEST(BuildCtx, ModeErrors) {
  struct Case {
    std::string mode;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"oauth", "unknown auth-mode: oauth"},
      {"None", "unknown auth-mode: None"},
      {"", "unknown auth-mode: "},
      {"jwt", "missing auth input: jwt_pubkey_der"},
      {"sasl", "missing auth input: sasl_users"},
  };
  for (const Case& c : cases) {
    SecurityConfig config;
    config.auth_mode = c.mode;
    EXPECT_EQ(error_of(build_ctx(config)).to_string(), c.expected) << c.mode;
  }

  SecurityConfig bad_key;
  bad_key.auth_mode = "jwt";
  bad_key.jwt_public_key_der = std::vector<std::uint8_t>{1, 2, 3};
  EXPECT_EQ(error_of(build_ctx(bad_key)).to_string(),
            "invalid auth input: jwt_pubkey_der: not a DER RSA public key");
}

TEST(BuildCtx, TlsFilesMustBePaired) {
  SecurityConfig config;
  config.auth_mode = "none";
  config.tls_cert_file = "/c.pem";
  EXPECT_EQ(error_of(build_ctx(config)).to_string(),
            "tls: openssl: tls_cert and tls_key must be set together");
  config.tls_cert_file.reset();
  config.tls_key_file = "/k.pem";
  EXPECT_EQ(error_of(build_ctx(config)).to_string(),
            "tls: openssl: tls_cert and tls_key must be set together");

  config.tls_cert_file = "/c.pem";
  config.client_ca_file = "/ca.pem";
  const auto ctx = build_ctx(config);
  ASSERT_TRUE(ctx);
  EXPECT_EQ(ctx->tls_files, (TlsFiles{"/c.pem", "/k.pem", "/ca.pem"}));

  config.tls_cert_file.reset();
  config.tls_key_file.reset();
  config.client_ca_file.reset();
  const auto plain = build_ctx(config);
  ASSERT_TRUE(plain);
  EXPECT_FALSE(plain->tls_files);
}

TEST(BuildCtx, AclDefaultDependsOnModeAndEntries) {
  const AuthSubject anyone = AuthSubject::named("anyone");

  SecurityConfig open;
  open.auth_mode = "none";
  const auto open_ctx = build_ctx(open);
  ASSERT_TRUE(open_ctx);
  EXPECT_TRUE(open_ctx->acl->check(anyone, Operation::Read, "T"));
  EXPECT_TRUE(open_ctx->acl->check(anyone, Operation::Write, "T"));

  SecurityConfig listed = open;
  listed.topic_acls.emplace("T", AclEntry{{"anyone"}, {}});
  const auto listed_ctx = build_ctx(listed);
  ASSERT_TRUE(listed_ctx);
  EXPECT_TRUE(listed_ctx->acl->check(anyone, Operation::Read, "T"));
  EXPECT_FALSE(listed_ctx->acl->check(anyone, Operation::Write, "T"));
  EXPECT_FALSE(listed_ctx->acl->check(anyone, Operation::Read, "U"));

  SecurityConfig bearer;
  bearer.auth_mode = "bearer";
  bearer.bearer_tokens.emplace("t", "svc");
  const auto bearer_ctx = build_ctx(bearer);
  ASSERT_TRUE(bearer_ctx);
  EXPECT_FALSE(bearer_ctx->acl->check(anyone, Operation::Read, "T"));
  EXPECT_FALSE(bearer_ctx->acl->check(anyone, Operation::Write, "T"));

  bearer.acl_default = AclEntry{{"svc"}, {"svc"}};
  const auto defaulted = build_ctx(bearer);
  ASSERT_TRUE(defaulted);
  EXPECT_TRUE(defaulted->acl->check(AuthSubject::named("svc"), Operation::Write, "T"));
  EXPECT_FALSE(defaulted->acl->check(anyone, Operation::Write, "T"));
}

TEST(AuthenticateWs, UsesTheFirstAuthorizationHeader) {
  SecurityConfig config;
  config.auth_mode = "bearer";
  config.bearer_tokens.emplace("good", "svc");
  config.bearer_tokens.emplace("other", "second");
  const auto ctx = build_ctx(config);
  ASSERT_TRUE(ctx);

  const auto name_or_error = [&](const Headers& headers) {
    const auto result = authenticate_ws(*ctx, headers, nullptr, kNow);
    return result ? result->name : result.error().to_string();
  };
  EXPECT_EQ(name_or_error({{"Host", "x"}, {"AUTHORIZATION", "Bearer good"}}), "svc");
  EXPECT_EQ(name_or_error({{"authorization", "Bearer other"}, {"Authorization", "Bearer good"}}), "second");
  EXPECT_EQ(name_or_error({{"authorization", "Bearer nope"}, {"Authorization", "Bearer good"}}),
            "credentials rejected: unknown bearer token");
  EXPECT_EQ(name_or_error({{"Host", "x"}}), "missing credentials");
  EXPECT_EQ(name_or_error({{"authorization ", "Bearer good"}}), "missing credentials");
}

TEST(AuthenticateWs, JwtAndMtlsThroughTheContext) {
  SecurityConfig jwt;
  jwt.auth_mode = "jwt";
  jwt.jwt_public_key_der = testing::signing_key().spki_der();
  jwt.jwt_issuer = "idp";
  const auto jwt_ctx = build_ctx(jwt);
  ASSERT_TRUE(jwt_ctx);
  const std::string token =
      testing::make_jwt(R"({"alg":"RS256"})", R"({"sub":"u","iss":"idp","groups":["g"]})");
  const auto subject =
      authenticate_ws(*jwt_ctx, Headers{{"Authorization", "Bearer " + token}}, nullptr, kNow);
  ASSERT_TRUE(subject) << subject.error().to_string();
  EXPECT_EQ(*subject, (AuthSubject{"u", {"g"}, {}}));

  SecurityConfig mtls;
  mtls.auth_mode = "mtls";
  const auto mtls_ctx = build_ctx(mtls);
  ASSERT_TRUE(mtls_ctx);
  const AuthSubject cert = AuthSubject::named("mtls:00ff");
  EXPECT_EQ(authenticate_ws(*mtls_ctx, Headers{}, &cert, kNow), cert);

  SecurityConfig sasl;
  sasl.auth_mode = "sasl";
  sasl.sasl_users.emplace("u", "p");
  const auto sasl_ctx = build_ctx(sasl);
  ASSERT_TRUE(sasl_ctx);
  const std::string message("\0u\0p", 4);
  const auto ok = authenticate(
      *sasl_ctx, std::nullopt,
      std::span(reinterpret_cast<const std::uint8_t*>(message.data()), message.size()), nullptr, kNow);
  EXPECT_EQ(ok, AuthSubject::named("u"));
  // The upgrade path carries no SASL message.
  EXPECT_EQ(authenticate_ws(*sasl_ctx, Headers{}, nullptr, kNow).error(), AuthError::missing_credentials());
}

}  // namespace
}  // namespace kelvane::access
