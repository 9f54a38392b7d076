#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>

namespace kelvane::rtps {

// Error of the RTPS codecs: submessages, datagrams, parameter lists, discovery records.
struct WireFormatError {
  // A field runs past the end of its body.
  struct UnexpectedEof {
    std::size_t needed = 0;
    std::size_t offset = 0;
    friend bool operator==(const UnexpectedEof&, const UnexpectedEof&) = default;
  };
  // The message does not start with "RTPS"; carries the four bytes found.
  struct BadMagic {
    std::array<std::uint8_t, 4> found{};
    friend bool operator==(const BadMagic&, const BadMagic&) = default;
  };
  // A locator kind outside the accepted set.
  struct UnknownLocatorKind {
    std::uint32_t kind = 0;
    friend bool operator==(const UnknownLocatorKind&, const UnknownLocatorKind&) = default;
  };
  // A count, length or flag combination the codec refuses (static text).
  struct ValueOutOfRange {
    std::string_view text;
    friend bool operator==(const ValueOutOfRange&, const ValueOutOfRange&) = default;
  };
  // A serialized payload in an encoding the codec cannot read.
  struct UnsupportedEncapsulation {
    std::array<std::uint8_t, 2> representation{};
    friend bool operator==(const UnsupportedEncapsulation&, const UnsupportedEncapsulation&) = default;
  };
  // A valid but unsupported construct (static text).
  struct Unsupported {
    std::string_view text;
    friend bool operator==(const Unsupported&, const Unsupported&) = default;
  };

  using Variant =
      std::variant<UnexpectedEof, BadMagic, UnknownLocatorKind, ValueOutOfRange, UnsupportedEncapsulation, Unsupported>;

  template <typename T>
    requires std::is_constructible_v<Variant, T>
  WireFormatError(T v) : value(std::move(v)) {}  // NOLINT: implicit by design, errors are built from their variants

  template <typename T>
  [[nodiscard]] const T* get_if() const {
    return std::get_if<T>(&value);
  }

  friend bool operator==(const WireFormatError&, const WireFormatError&) = default;

  Variant value;
};

// Debugging form, e.g. "ValueOutOfRange(\"...\")" or "UnexpectedEof { needed: 4, offset: 20 }".
[[nodiscard]] std::string to_string(const WireFormatError& error);

}  // namespace kelvane::rtps
