#include "access/auth.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kelvane::access {
namespace {

constexpr std::int64_t kNow = 1'800'000'000;

// One authentication attempt and what it must yield: the subject name, or the exact
// display text of the error.
struct Case {
  const char* label;
  std::optional<std::string> authorization;
  std::optional<std::string> sasl;  // bytes, NULs included
  std::optional<std::string> mtls_name;
  std::string expected;  // "ok:<name>" or the error's display text
};

std::string run(const AuthMode& mode, const Case& c) {
  std::optional<AuthSubject> mtls;
  if (c.mtls_name) mtls = AuthSubject::named(*c.mtls_name);
  AuthInput input;
  if (c.authorization) input.authorization = *c.authorization;
  if (c.sasl)
    input.sasl_plain = std::span(reinterpret_cast<const std::uint8_t*>(c.sasl->data()), c.sasl->size());
  input.mtls_subject = mtls ? &*mtls : nullptr;
  const auto result = mode.validate(input, kNow);
  return result ? "ok:" + result->name : result.error().to_string();
}

void expect_table(const AuthMode& mode, const std::vector<Case>& cases) {
  for (const Case& c : cases) EXPECT_EQ(run(mode, c), c.expected) << c.label;
}

TEST(AuthError, DisplayTexts) {
  EXPECT_EQ(AuthError::missing_credentials().to_string(), "missing credentials");
  EXPECT_EQ(AuthError::malformed("x y").to_string(), "malformed credentials: x y");
  EXPECT_EQ(AuthError::rejected("nope").to_string(), "credentials rejected: nope");
  EXPECT_EQ(AuthError::misconfigured("key").to_string(), "auth misconfigured: key");
}

TEST(StripBearer, AcceptsAnyCaseAndTrims) {
  const std::vector<std::pair<std::string, std::string>> accepted = {
      {"Bearer abc", "abc"},
      {"bearer   tok  ", "tok"},
      {"BEARER x.y.z", "x.y.z"},
      {"  bEaReR a b ", "a b"},
  };
  for (const auto& [header, token] : accepted) {
    const auto result = strip_bearer(header);
    ASSERT_TRUE(result) << header;
    EXPECT_EQ(*result, token) << header;
  }
  for (const std::string header :
       {"Bearer", "Bearer   ", "Bearer\tabc", "Basic abc", "Bearerabc", "", "Bear abc"}) {
    const auto result = strip_bearer(header);
    ASSERT_FALSE(result) << header;
    EXPECT_EQ(result.error().to_string(), "malformed credentials: expected `Bearer \u2026`") << header;
  }
}

TEST(AuthModeNone, IgnoresEveryCredential) {
  expect_table(AuthMode{AuthMode::None{}},
               {
                   {"nothing", {}, {}, {}, "ok:anonymous"},
                   {"bearer", "Bearer secret", {}, {}, "ok:anonymous"},
                   {"garbage", "xx", std::string("\0u\0p", 4), "mtls:ab", "ok:anonymous"},
               });
}

TEST(AuthModeBearer, TokenTable) {
  AuthMode::Bearer bearer;
  bearer.tokens.emplace("s3cret", AuthSubject::named("alice"));
  bearer.tokens.emplace("other-token", AuthSubject::named("bob"));
  expect_table(
      AuthMode{bearer},
      {
          {"exact token", "Bearer s3cret", {}, {}, "ok:alice"},
          {"second token", "Bearer other-token", {}, {}, "ok:bob"},
          {"lower case word, padded", "bearer   s3cret  ", {}, {}, "ok:alice"},
          {"no header", {}, {}, {}, "missing credentials"},
          {"word alone", "Bearer", {}, {}, "malformed credentials: expected `Bearer \u2026`"},
          {"basic scheme", "Basic czNjcmV0", {}, {}, "malformed credentials: expected `Bearer \u2026`"},
          {"unknown", "Bearer s3cre", {}, {}, "credentials rejected: unknown bearer token"},
          {"longer", "Bearer s3cret!", {}, {}, "credentials rejected: unknown bearer token"},
          {"case differs", "Bearer S3CRET", {}, {}, "credentials rejected: unknown bearer token"},
          {"mtls does not count", {}, {}, "mtls:ab", "missing credentials"},
      });
}

TEST(AuthModeBearer, ReturnsACopyOfTheMappedSubject) {
  AuthMode::Bearer bearer;
  AuthSubject subject{"svc", {"ops", "dev"}, {}};
  bearer.tokens.emplace("t", subject);
  const auto result = AuthMode{bearer}.validate(AuthInput{std::string_view("Bearer t"), {}, nullptr}, kNow);
  ASSERT_TRUE(result);
  EXPECT_EQ(*result, subject);
}

TEST(AuthModeMtls, NeedsTheCertificateSubject) {
  expect_table(AuthMode{AuthMode::Mtls{}},
               {
                   {"certificate", {}, {}, "mtls:0123abcd", "ok:mtls:0123abcd"},
                   {"certificate and header", "Bearer x", {}, "mtls:ff", "ok:mtls:ff"},
                   {"no certificate", "Bearer x", {}, {}, "credentials rejected: mTLS expected client cert"},
               });
}

TEST(AuthModeSaslPlain, MessageTable) {
  AuthMode::SaslPlain sasl;
  sasl.users.emplace("alice", "pw");
  sasl.users.emplace("bob", "");
  using namespace std::string_literals;
  expect_table(
      AuthMode{sasl},
      {
          {"no authzid", {}, "\0alice\0pw"s, {}, "ok:alice"},
          {"authzid ignored", {}, "admin\0alice\0pw"s, {}, "ok:alice"},
          {"empty password configured", {}, "\0bob\0"s, {}, "ok:bob"},
          {"no message", {}, {}, {}, "missing credentials"},
          {"header does not count", "Bearer pw", {}, {}, "missing credentials"},
          {"no nul", {}, "alice"s, {}, "malformed credentials: sasl-plain no user"},
          {"empty message", {}, ""s, {}, "malformed credentials: sasl-plain no user"},
          {"one nul", {}, "alice\0pw"s, {}, "malformed credentials: sasl-plain no pass"},
          {"user not utf8", {}, "\0al\xff\0pw"s, {}, "malformed credentials: sasl-plain user utf8"},
          {"pass not utf8", {}, "\0alice\0\xc3\x28"s, {}, "malformed credentials: sasl-plain pass utf8"},
          {"empty user", {}, "\0\0pw"s, {}, "malformed credentials: sasl-plain empty user"},
          {"unknown user", {}, "\0carol\0pw"s, {}, "credentials rejected: unknown user"},
          {"wrong password", {}, "\0alice\0pW"s, {}, "credentials rejected: password mismatch"},
          {"password prefix", {}, "\0alice\0p"s, {}, "credentials rejected: password mismatch"},
          {"password extended", {}, "\0alice\0pw\0"s, {}, "credentials rejected: password mismatch"},
      });
}

}  // namespace
}  // namespace kelvane::access
