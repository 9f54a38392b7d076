#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// RSA keys made with OpenSSL at test time, and JWTs signed with them.
namespace kelvane::access::testing {

class TestKey {
 public:
  // A fresh RSA key of `bits` bits, or (rsa = false) a P-256 EC key.
  explicit TestKey(int bits, bool rsa = true);

  [[nodiscard]] std::vector<std::uint8_t> spki_der() const;   // SubjectPublicKeyInfo
  [[nodiscard]] std::vector<std::uint8_t> pkcs1_der() const;  // RSAPublicKey
  [[nodiscard]] std::vector<std::uint8_t> sign_rs256(std::string_view message) const;

 private:
  std::shared_ptr<void> key_;  // EVP_PKEY
};

// The process-wide 2048-bit RSA key the JWT tests sign with (made once: generation is slow).
const TestKey& signing_key();

[[nodiscard]] std::string b64url(std::string_view bytes);
[[nodiscard]] std::string b64url(const std::vector<std::uint8_t>& bytes);

// header "." payload "." signature, each Base64url without padding, signed with `key`.
[[nodiscard]] std::string make_jwt(std::string_view header_json, std::string_view payload_json,
                                   const TestKey& key = signing_key());

}  // namespace kelvane::access::testing
