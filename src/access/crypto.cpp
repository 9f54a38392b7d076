#include "access/crypto.hpp"

#include <openssl/crypto.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/x509.h>

#include <array>
#include <limits>
#include <optional>

namespace kelvane::access {

struct RsaPublicKey::Handle {
  explicit Handle(EVP_PKEY* k) : key(k) {}
  ~Handle() { EVP_PKEY_free(key); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  EVP_PKEY* key;
};

namespace {

using Digest = std::array<unsigned char, 32>;

// Fetched once and kept for the process: an implicit fetch on every call costs more than
// hashing a token.
const EVP_MD* sha256_md() {
  static const EVP_MD* const md = EVP_MD_fetch(nullptr, "SHA256", nullptr);
  return md;
}

std::optional<Digest> sha256(std::string_view text) {
  Digest digest{};
  unsigned int length = 0;
  if (EVP_Digest(text.data(), text.size(), digest.data(), &length, sha256_md(), nullptr) != 1) {
    ERR_clear_error();
    return std::nullopt;
  }
  return digest;
}

// Parses exactly `der` with `parse`; nullptr when it fails or leaves bytes over.
template <typename Parse>
EVP_PKEY* parse_whole(std::span<const std::uint8_t> der, Parse parse) {
  const unsigned char* cursor = der.data();
  EVP_PKEY* key = parse(&cursor, static_cast<long>(der.size()));
  if (key != nullptr && cursor != der.data() + der.size()) {
    EVP_PKEY_free(key);
    key = nullptr;
  }
  return key;
}

}  // namespace

std::expected<RsaPublicKey, std::string> RsaPublicKey::from_der(std::span<const std::uint8_t> der) {
  if (der.empty() || der.size() > static_cast<std::size_t>(std::numeric_limits<long>::max())) {
    return std::unexpected(std::string("not a DER public key"));
  }
  EVP_PKEY* key = parse_whole(der, [](const unsigned char** p, long n) { return d2i_PUBKEY(nullptr, p, n); });
  if (key == nullptr) {
    key = parse_whole(
        der, [](const unsigned char** p, long n) { return d2i_PublicKey(EVP_PKEY_RSA, nullptr, p, n); });
  }
  ERR_clear_error();
  if (key == nullptr) return std::unexpected(std::string("not a DER RSA public key"));
  auto handle = std::make_shared<const Handle>(key);
  if (EVP_PKEY_get_base_id(key) != EVP_PKEY_RSA) return std::unexpected(std::string("not an RSA key"));
  const int bits = EVP_PKEY_get_bits(key);
  if (bits < kMinRsaModulusBits || bits > kMaxRsaModulusBits) {
    return std::unexpected("RSA modulus of " + std::to_string(bits) + " bits, expected " +
                           std::to_string(kMinRsaModulusBits) + ".." + std::to_string(kMaxRsaModulusBits));
  }
  return RsaPublicKey(std::move(handle));
}

bool RsaPublicKey::verify_rs256(std::string_view message, std::span<const std::uint8_t> signature) const {
  EVP_MD_CTX* ctx = EVP_MD_CTX_new();
  if (ctx == nullptr) return false;
  // Default RSA padding for a digest signature is PKCS#1 v1.5.
  const bool ok =
      EVP_DigestVerifyInit(ctx, nullptr, sha256_md(), nullptr, handle_->key) == 1 &&
      EVP_DigestVerify(ctx, signature.data(), signature.size(),
                       reinterpret_cast<const unsigned char*>(message.data()), message.size()) == 1;
  EVP_MD_CTX_free(ctx);
  ERR_clear_error();
  return ok;
}

bool secret_equals(std::string_view presented, std::string_view expected) {
  const auto a = sha256(presented);
  const auto b = sha256(expected);
  // A failed digest (which the built-in provider never produces) must not compare equal.
  return a && b && CRYPTO_memcmp(a->data(), b->data(), a->size()) == 0;
}

}  // namespace kelvane::access
