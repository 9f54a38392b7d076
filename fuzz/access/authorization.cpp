// The client-credential path: raw upgrade request -> Authorization header -> bearer and
// JWT validation, plus JWTs whose fuzzed header and claims carry a valid signature.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "access/auth.hpp"
#include "access/headers.hpp"
#include "access/json_fields.hpp"
#include "access/jwt.hpp"
#include "test_keys.hpp"

namespace {

using namespace kelvane::access;

constexpr std::int64_t kNow = 1'800'000'000;

const AuthMode& bearer_mode() {
  static const AuthMode mode{AuthMode::Bearer{{{"s3cret", AuthSubject::named("svc")}}}};
  return mode;
}

const AuthMode::Jwt& jwt_mode() {
  static const AuthMode::Jwt mode{RsaPublicKey::from_der(testing::signing_key().spki_der()).value(),
                                  std::string("idp")};
  return mode;
}

void consume(const std::expected<AuthSubject, AuthError>& result) {
  // Touch the result so every field is read (and checked by the sanitizers).
  volatile std::size_t sink =
      result ? result->name.size() + result->groups.size() : result.error().to_string().size();
  (void)sink;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  switch (data[0] % 3) {
    case 0: {
      const auto header = extract_authorization_header(text);
      const std::optional<std::string_view> authorization =
          header ? std::optional<std::string_view>(*header) : std::nullopt;
      consume(bearer_mode().validate(AuthInput{authorization, {}, nullptr}, kNow));
      consume(validate_jwt(jwt_mode(), authorization, kNow));
      break;
    }
    case 1: {
      // header NUL claims, signed for real.
      const std::size_t nul = text.find('\0');
      const std::string_view header =
          nul == std::string_view::npos ? R"({"alg":"RS256"})" : text.substr(0, nul);
      const std::string_view claims = nul == std::string_view::npos ? text : text.substr(nul + 1);
      consume(validate_jwt(jwt_mode(), "Bearer " + testing::make_jwt(header, claims), kNow));
      break;
    }
    default: {
      volatile bool eq = json_field_eq(text, "alg", "RS256");
      (void)eq;
      (void)json_field(text, "exp");
      (void)json_array(text, "groups");
      break;
    }
  }
  return 0;
}
