#pragma once

#include <string>

namespace kelvane::access {

// Why the TLS server configuration could not be built.
struct TlsConfigError {
  enum class Kind { CertFileRead, KeyFileRead, NoCertificate, NoPrivateKey, Build };

  Kind kind = Kind::Build;
  std::string path;    // CertFileRead, KeyFileRead: the file
  std::string detail;  // the OS or PEM error text; for Build the library's (or our) message

  [[nodiscard]] std::string to_string() const;

  bool operator==(const TlsConfigError&) const = default;
};

// Why the security context could not be set up; the daemon stops with this text.
struct SecurityError {
  enum class Kind {
    Tls,               // tls
    UnknownAuthMode,   // text: the mode
    MissingAuthInput,  // text: the missing input's name
    InvalidAuthInput,  // text: the input's name and what is wrong with it
    TlsFilesRequired,  // TLS enabled without both certificate and key file
  };

  Kind kind = Kind::Tls;
  TlsConfigError tls;
  std::string text;

  [[nodiscard]] std::string to_string() const;

  bool operator==(const SecurityError&) const = default;
};

}  // namespace kelvane::access
