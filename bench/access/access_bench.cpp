// Per-connection authentication cost and the per-sample ACL check of the sender threads.
#include <benchmark/benchmark.h>

#include <string>

#include "access/acl.hpp"
#include "access/auth.hpp"
#include "access/headers.hpp"
#include "test_keys.hpp"

namespace {

using namespace kelvane::access;

constexpr std::int64_t kNow = 1'800'000'000;

void BM_BearerValidate(benchmark::State& state) {
  AuthMode::Bearer bearer;
  for (int i = 0; i < state.range(0); ++i) {
    bearer.tokens.emplace("token-" + std::to_string(i) + "-0123456789abcdef", AuthSubject::named("svc"));
  }
  const AuthMode mode{bearer};
  const std::string header = "Bearer token-0-0123456789abcdef";
  for (auto _ : state) {
    auto result = mode.validate(AuthInput{std::string_view(header), {}, nullptr}, kNow);
    benchmark::DoNotOptimize(result);
  }
}
BENCHMARK(BM_BearerValidate)->Arg(1)->Arg(16);

void BM_JwtValidate(benchmark::State& state) {
  const kelvane::access::testing::TestKey key(static_cast<int>(state.range(0)));
  const AuthMode mode{AuthMode::Jwt{RsaPublicKey::from_der(key.spki_der()).value(), std::string("idp")}};
  const std::string header =
      "Bearer " + kelvane::access::testing::make_jwt(
                      R"({"alg":"RS256","typ":"JWT"})",
                      R"({"sub":"alice","iss":"idp","groups":["ops","dev"],"exp":1900000000}")", key);
  for (auto _ : state) {
    auto result = mode.validate(AuthInput{std::string_view(header), {}, nullptr}, kNow);
    benchmark::DoNotOptimize(result);
  }
}
BENCHMARK(BM_JwtValidate)->Arg(2048)->Arg(4096);

void BM_ExtractAuthorization(benchmark::State& state) {
  const std::string request =
      "GET /topics/sensors HTTP/1.1\r\nHost: localhost:8080\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
      "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n"
      "Authorization: Bearer abcdef\r\n\r\n";
  for (auto _ : state) {
    auto value = extract_authorization_header(request);
    benchmark::DoNotOptimize(value);
  }
}
BENCHMARK(BM_ExtractAuthorization);

void BM_AclCheck(benchmark::State& state) {
  Acl acl;
  for (int i = 0; i < 100; ++i) {
    acl.entries.emplace("Topic" + std::to_string(i), AclEntry{{"alice", "bob", "*group:ops*"}, {"alice"}});
  }
  const AuthSubject subject{"carol", {"dev", "ops"}, {}};
  for (auto _ : state) {
    benchmark::DoNotOptimize(acl.check(subject, Operation::Read, "Topic42"));
  }
}
BENCHMARK(BM_AclCheck);

}  // namespace
