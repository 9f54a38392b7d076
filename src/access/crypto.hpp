#pragma once

#include <cstdint>
#include <expected>
#include <memory>
#include <span>
#include <string>
#include <string_view>

// The OpenSSL pieces of client authentication.
namespace kelvane::access {

inline constexpr int kMinRsaModulusBits = 2048;
inline constexpr int kMaxRsaModulusBits = 8192;

// An RSA public key accepted for RS256 (RSA PKCS#1 v1.5 with SHA-256). Immutable; one
// key may verify on several threads at once.
class RsaPublicKey {
 public:
  // DER of a SubjectPublicKeyInfo or of a PKCS#1 RSAPublicKey, nothing after it, with a
  // modulus of kMinRsaModulusBits..kMaxRsaModulusBits bits. The error says what is wrong.
  [[nodiscard]] static std::expected<RsaPublicKey, std::string> from_der(std::span<const std::uint8_t> der);

  [[nodiscard]] bool verify_rs256(std::string_view message, std::span<const std::uint8_t> signature) const;

 private:
  struct Handle;
  explicit RsaPublicKey(std::shared_ptr<const Handle> handle) : handle_(std::move(handle)) {}
  std::shared_ptr<const Handle> handle_;
};

// Equality of two secrets in time that depends on neither their contents nor the length
// of `expected`: both sides are reduced to SHA-256 digests first and the digests are
// compared with CRYPTO_memcmp.
[[nodiscard]] bool secret_equals(std::string_view presented, std::string_view expected);

}  // namespace kelvane::access
