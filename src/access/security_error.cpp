#include "access/security_error.hpp"

namespace kelvane::access {

std::string TlsConfigError::to_string() const {
  switch (kind) {
    case Kind::CertFileRead:
      return "cert file read: " + path + ": " + detail;
    case Kind::KeyFileRead:
      return "key file read: " + path + ": " + detail;
    case Kind::NoCertificate:
      return "PEM had no CERTIFICATE block";
    case Kind::NoPrivateKey:
      return "PEM had no PKCS#8 / RSA / EC private key";
    case Kind::Build:
      return "openssl: " + detail;
  }
  return "openssl: unknown error kind";
}

std::string SecurityError::to_string() const {
  switch (kind) {
    case Kind::Tls:
      return "tls: " + tls.to_string();
    case Kind::UnknownAuthMode:
      return "unknown auth-mode: " + text;
    case Kind::MissingAuthInput:
      return "missing auth input: " + text;
    case Kind::InvalidAuthInput:
      return "invalid auth input: " + text;
    case Kind::TlsFilesRequired:
      return "tls.enabled=true requires cert_file + key_file";
  }
  return "unknown security error kind";
}

}  // namespace kelvane::access
