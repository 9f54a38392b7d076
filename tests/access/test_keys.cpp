#include "test_keys.hpp"

#include <openssl/ec.h>
#include <openssl/evp.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>

#include <stdexcept>

#include "common/encoding.hpp"

namespace kelvane::access::testing {

namespace {

EVP_PKEY* raw(const std::shared_ptr<void>& key) { return static_cast<EVP_PKEY*>(key.get()); }

template <typename Encode>
std::vector<std::uint8_t> encode(EVP_PKEY* key, Encode i2d) {
  const int length = i2d(key, nullptr);
  if (length <= 0) throw std::runtime_error("key encoding failed");
  std::vector<std::uint8_t> out(static_cast<std::size_t>(length));
  unsigned char* cursor = out.data();
  i2d(key, &cursor);
  return out;
}

}  // namespace

TestKey::TestKey(int bits, bool rsa) {
  EVP_PKEY* key = rsa ? EVP_RSA_gen(static_cast<unsigned int>(bits)) : EVP_EC_gen("P-256");
  if (key == nullptr) throw std::runtime_error("key generation failed");
  key_ = std::shared_ptr<void>(key, [](void* k) { EVP_PKEY_free(static_cast<EVP_PKEY*>(k)); });
}

std::vector<std::uint8_t> TestKey::spki_der() const {
  return encode(raw(key_), [](EVP_PKEY* k, unsigned char** out) { return i2d_PUBKEY(k, out); });
}

std::vector<std::uint8_t> TestKey::pkcs1_der() const {
  return encode(raw(key_), [](EVP_PKEY* k, unsigned char** out) { return i2d_PublicKey(k, out); });
}

std::vector<std::uint8_t> TestKey::sign_rs256(std::string_view message) const {
  EVP_MD_CTX* ctx = EVP_MD_CTX_new();
  std::size_t length = 0;
  std::vector<std::uint8_t> signature;
  const auto* data = reinterpret_cast<const unsigned char*>(message.data());
  if (EVP_DigestSignInit(ctx, nullptr, EVP_sha256(), nullptr, raw(key_)) == 1 &&
      EVP_DigestSign(ctx, nullptr, &length, data, message.size()) == 1) {
    signature.resize(length);
    if (EVP_DigestSign(ctx, signature.data(), &length, data, message.size()) != 1) signature.clear();
    signature.resize(length);
  }
  EVP_MD_CTX_free(ctx);
  if (signature.empty()) throw std::runtime_error("signing failed");
  return signature;
}

const TestKey& signing_key() {
  static const TestKey key(2048);
  return key;
}

std::string b64url(std::string_view bytes) {
  std::string text = base64_encode({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()});
  while (!text.empty() && text.back() == '=') text.pop_back();
  for (char& c : text) {
    if (c == '+') c = '-';
    if (c == '/') c = '_';
  }
  return text;
}

std::string b64url(const std::vector<std::uint8_t>& bytes) {
  return b64url(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

std::string make_jwt(std::string_view header_json, std::string_view payload_json, const TestKey& key) {
  const std::string signed_part = b64url(header_json) + "." + b64url(payload_json);
  return signed_part + "." + b64url(key.sign_rs256(signed_part));
}

}  // namespace kelvane::access::testing
