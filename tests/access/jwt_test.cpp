#include "access/jwt.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "access/auth.hpp"
#include "access/crypto.hpp"
#include "test_keys.hpp"

namespace kelvane::access {
namespace {

using testing::b64url;
using testing::make_jwt;
using testing::signing_key;
using testing::TestKey;

constexpr std::int64_t kNow = 1'800'000'000;
constexpr const char* kRs256 = R"({"alg":"RS256","typ":"JWT"})";

AuthMode::Jwt jwt_mode(std::optional<std::string> issuer = std::nullopt) {
  return AuthMode::Jwt{RsaPublicKey::from_der(signing_key().spki_der()).value(), std::move(issuer)};
}

std::string outcome(const std::expected<AuthSubject, AuthError>& result) {
  return result ? "ok:" + result->name : result.error().to_string();
}

std::string check(const std::string& token, const AuthMode::Jwt& mode = jwt_mode(), std::int64_t now = kNow) {
  return outcome(validate_jwt(mode, "Bearer " + token, now));
}

TEST(Jwt, ValidTokenYieldsSubAndGroups) {
  const std::string token = make_jwt(kRs256, R"({"sub":"alice","groups":["ops", "dev"],"exp":1900000000})");
  const auto result =
      AuthMode{jwt_mode()}.validate(AuthInput{std::string_view("Bearer " + token), {}, nullptr}, kNow);
  ASSERT_TRUE(result) << result.error().to_string();
  EXPECT_EQ(result->name, "alice");
  EXPECT_EQ(result->groups, (std::vector<std::string>{"ops", "dev"}));
  EXPECT_TRUE(result->attributes.empty());
}

TEST(Jwt, KeyMayBeGivenAsPkcs1) {
  const AuthMode::Jwt mode{RsaPublicKey::from_der(signing_key().pkcs1_der()).value(), std::nullopt};
  EXPECT_EQ(check(make_jwt(kRs256, R"({"sub":"bob"})"), mode), "ok:bob");
}

TEST(Jwt, ClaimTable) {
  struct Case {
    const char* label;
    std::string payload;
    std::optional<std::string> issuer;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"no groups claim", R"({"sub":"a"})", {}, "ok:a"},
      {"sub only inside a nested object", R"({"user":{"sub":"nested"}})", {}, "ok:nested"},
      {"no sub", R"({"name":"a"})", {}, "credentials rejected: jwt: no sub claim"},
      {"issuer matches", R"({"sub":"a","iss":"https://idp"})", "https://idp", "ok:a"},
      {"issuer missing", R"({"sub":"a"})", "https://idp", "credentials rejected: jwt: no iss claim"},
      {"issuer differs", R"({"sub":"a","iss":"https://evil"})", "https://idp",
       "credentials rejected: jwt: iss != https://idp"},
      {"exp in the future", R"({"sub":"a","exp":1800000001})", {}, "ok:a"},
      {"exp now", R"({"sub":"a","exp":1800000000})", {}, "credentials rejected: jwt: token expired"},
      {"exp in the past", R"({"sub":"a","exp":1700000000})", {}, "credentials rejected: jwt: token expired"},
      {"exp fractional, past",
       R"({"sub":"a","exp":1799999999.5})",
       {},
       "credentials rejected: jwt: token expired"},
      {"exp exponent form", R"({"sub":"a","exp":1.9e9})", {}, "ok:a"},
      {"exp not a number",
       R"({"sub":"a","exp":"soon"})",
       {},
       "malformed credentials: jwt: exp claim is not a number"},
      {"exp infinite",
       R"({"sub":"a","exp":inf})",
       {},
       "malformed credentials: jwt: exp claim is not a number"},
      {"exp nan", R"({"sub":"a","exp":nan})", {}, "malformed credentials: jwt: exp claim is not a number"},
      {"nbf in the past", R"({"sub":"a","nbf":1700000000})", {}, "ok:a"},
      {"nbf now", R"({"sub":"a","nbf":1800000000})", {}, "ok:a"},
      {"nbf in the future",
       R"({"sub":"a","nbf":1800000060})",
       {},
       "credentials rejected: jwt: token not yet valid"},
      {"nbf not a number",
       R"({"sub":"a","nbf":null})",
       {},
       "malformed credentials: jwt: nbf claim is not a number"},
      {"payload not utf8", "{\"sub\":\"\xff\"}", {}, "malformed credentials: jwt payload utf8"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(check(make_jwt(kRs256, c.payload), jwt_mode(c.issuer)), c.expected) << c.label;
  }
}

TEST(Jwt, SignatureAndHeaderFailures) {
  const std::string good = make_jwt(kRs256, R"({"sub":"a"})");
  const std::size_t last_dot = good.rfind('.');
  const std::string signed_part = good.substr(0, last_dot);
  const TestKey other_key(2048);

  std::string flipped_payload = good;
  flipped_payload[signed_part.find('.') + 2] = flipped_payload[signed_part.find('.') + 2] == 'A' ? 'B' : 'A';
  std::vector<std::uint8_t> bad_sig = signing_key().sign_rs256(signed_part);
  bad_sig.back() ^= 0x01;

  struct Case {
    const char* label;
    std::string token;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"valid", good, "ok:a"},
      {"signed by another key", make_jwt(kRs256, R"({"sub":"a"})", other_key),
       "credentials rejected: jwt: signature invalid"},
      {"signature bit flipped", signed_part + "." + b64url(bad_sig),
       "credentials rejected: jwt: signature invalid"},
      {"payload altered", flipped_payload, "credentials rejected: jwt: signature invalid"},
      {"signature truncated", good.substr(0, good.size() - 4),
       "credentials rejected: jwt: signature invalid"},
      {"empty signature", signed_part + ".", "credentials rejected: jwt: signature invalid"},
      {"HS256 before signature check",
       b64url(R"({"alg":"HS256"})") + "." + b64url(R"({"sub":"a"})") + ".AAAA",
       "credentials rejected: jwt: alg must be RS256"},
      {"alg none", make_jwt(R"({"alg":"none"})", R"({"sub":"a"})"),
       "credentials rejected: jwt: alg must be RS256"},
      {"no alg", make_jwt(R"({"typ":"JWT"})", R"({"sub":"a"})"),
       "credentials rejected: jwt: alg must be RS256"},
      {"header not utf8", b64url("{\"alg\":\"RS256\xfe\"}") + "." + b64url(R"({"sub":"a"})") + ".AAAA",
       "malformed credentials: jwt header utf8"},
  };
  for (const Case& c : cases) EXPECT_EQ(check(c.token), c.expected) << c.label;
}

TEST(Jwt, MalformedSegmentsTable) {
  const std::string h = b64url(kRs256);
  const std::string p = b64url(R"({"sub":"a"})");
  struct Case {
    std::string token;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"abc", "malformed credentials: jwt: no payload"},
      {h + "." + p, "malformed credentials: jwt: no sig"},
      {h + "." + p + ".AAAA.AAAA", "malformed credentials: jwt: too many segments"},
      {h + "=." + p + ".AAAA", "malformed credentials: jwt header b64: invalid base64url text"},
      {h + "." + p + "=.AAAA", "malformed credentials: jwt payload b64: invalid base64url text"},
      {h + "." + p + ".AA+A", "malformed credentials: jwt sig b64: invalid base64url text"},
      {h + "." + p + ".A", "malformed credentials: jwt sig b64: invalid base64url text"},
      {h + ".p*q.AAAA", "malformed credentials: jwt payload b64: invalid base64url text"},
      {"..", "credentials rejected: jwt: alg must be RS256"},
      {std::string(kMaxJwtLength + 1, 'a'), "malformed credentials: jwt: token too long"},
  };
  for (const Case& c : cases) EXPECT_EQ(check(c.token), c.expected) << c.token.substr(0, 80);
  EXPECT_EQ(outcome(validate_jwt(jwt_mode(), std::nullopt, kNow)), "missing credentials");
  EXPECT_EQ(outcome(validate_jwt(jwt_mode(), "Token abc", kNow)),
            "malformed credentials: expected `Bearer \u2026`");
}

TEST(Jwt, OneModeServesManyThreads) {
  const AuthMode mode{jwt_mode()};
  const std::string header = "Bearer " + make_jwt(kRs256, R"({"sub":"t"})");
  const std::string forged = "Bearer " + make_jwt(kRs256, R"({"sub":"t"})", TestKey(2048));
  std::atomic<int> accepted{0};
  std::atomic<int> refused{0};
  {
    std::vector<std::jthread> threads;
    for (int t = 0; t < 4; ++t) {
      threads.emplace_back([&] {
        for (int i = 0; i < 25; ++i) {
          if (mode.validate(AuthInput{std::string_view(header), {}, nullptr}, kNow)) ++accepted;
          if (!mode.validate(AuthInput{std::string_view(forged), {}, nullptr}, kNow)) ++refused;
        }
      });
    }
  }
  EXPECT_EQ(accepted.load(), 100);
  EXPECT_EQ(refused.load(), 100);
}

TEST(RsaPublicKey, AcceptsOnlyRsaKeysOfAllowedSize) {
  EXPECT_TRUE(RsaPublicKey::from_der(signing_key().spki_der()));
  EXPECT_TRUE(RsaPublicKey::from_der(signing_key().pkcs1_der()));

  const auto small = RsaPublicKey::from_der(TestKey(1024).spki_der());
  ASSERT_FALSE(small);
  EXPECT_EQ(small.error(), "RSA modulus of 1024 bits, expected 2048..8192");

  const auto ec = RsaPublicKey::from_der(TestKey(0, false).spki_der());
  ASSERT_FALSE(ec);
  EXPECT_EQ(ec.error(), "not an RSA key");

  std::vector<std::uint8_t> trailing = signing_key().spki_der();
  trailing.push_back(0);
  EXPECT_FALSE(RsaPublicKey::from_der(trailing));
  EXPECT_FALSE(RsaPublicKey::from_der({}));
  std::vector<std::uint8_t> truncated = signing_key().spki_der();
  truncated.resize(truncated.size() / 2);
  EXPECT_FALSE(RsaPublicKey::from_der(truncated));
}

TEST(SecretEquals, ComparesWholeSecrets) {
  EXPECT_TRUE(secret_equals("abc", "abc"));
  EXPECT_TRUE(secret_equals("", ""));
  EXPECT_FALSE(secret_equals("abc", "abd"));
  EXPECT_FALSE(secret_equals("abc", "abcd"));
  EXPECT_FALSE(secret_equals("", "a"));
  EXPECT_FALSE(secret_equals(std::string_view("a\0b", 3), "a"));
}

}  // namespace
}  // namespace kelvane::access
