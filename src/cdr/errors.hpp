#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

namespace kelvane::cdr {

// Error of every BufferReader operation and of the decoders built on top of it.
struct DecodeError {
  // Fewer than `needed` bytes remain at `offset`.
  struct UnexpectedEof {
    std::size_t needed = 0;
    std::size_t offset = 0;
    friend bool operator==(const UnexpectedEof&, const UnexpectedEof&) = default;
  };
  // The string bytes starting at `offset` (read position + 4) are not valid UTF-8.
  struct InvalidUtf8 {
    std::size_t offset = 0;
    friend bool operator==(const InvalidUtf8&, const InvalidUtf8&) = default;
  };
  // The length field or terminator of the string read at `offset` is wrong.
  struct InvalidString {
    std::size_t offset = 0;
    std::string_view reason;  // static text
    friend bool operator==(const InvalidString&, const InvalidString&) = default;
  };
  // A nesting or presence limit was exceeded; up to three values describe it
  // (for example the limit and the position).
  struct LimitExceeded {
    std::array<std::uint64_t, 3> values{};
    std::size_t count = 0;
    friend bool operator==(const LimitExceeded&, const LimitExceeded&) = default;
  };
  // A kind, discriminator or length byte outside its allowed set.
  struct InvalidValue {
    std::uint8_t value = 0;
    friend bool operator==(const InvalidValue&, const InvalidValue&) = default;
  };

  using Variant = std::variant<UnexpectedEof, InvalidUtf8, InvalidString, LimitExceeded, InvalidValue>;

  template <typename T>
    requires std::is_constructible_v<Variant, T>
  DecodeError(T v) : value(std::move(v)) {}  // NOLINT: implicit by design, errors are built from their variants

  template <typename T>
  [[nodiscard]] const T* get_if() const {
    return std::get_if<T>(&value);
  }

  friend bool operator==(const DecodeError&, const DecodeError&) = default;

  Variant value;
};

// Builds a LimitExceeded from one to three values.
[[nodiscard]] DecodeError::LimitExceeded limit_exceeded(std::uint64_t a);
[[nodiscard]] DecodeError::LimitExceeded limit_exceeded(std::uint64_t a, std::uint64_t b);
[[nodiscard]] DecodeError::LimitExceeded limit_exceeded(std::uint64_t a, std::uint64_t b, std::uint64_t c);

// Debugging form, e.g. "UnexpectedEof { needed: 4, offset: 4 }".
[[nodiscard]] std::string to_string(const DecodeError& error);

// Error of the encoding operations; the text is static.
struct EncodeError {
  struct ValueTooLarge {
    std::string_view text;
    friend bool operator==(const ValueTooLarge&, const ValueTooLarge&) = default;
  };

  EncodeError(ValueTooLarge v) : value(v) {}  // NOLINT: implicit by design

  friend bool operator==(const EncodeError&, const EncodeError&) = default;

  ValueTooLarge value;
};

[[nodiscard]] std::string to_string(const EncodeError& error);

inline constexpr std::string_view kStringTooLongText = "CDR string length exceeds u32::MAX";

}  // namespace kelvane::cdr
