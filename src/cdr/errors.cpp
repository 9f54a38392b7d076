#include "cdr/errors.hpp"

#include <type_traits>

namespace kelvane::cdr {

DecodeError::LimitExceeded limit_exceeded(std::uint64_t a) { return {{a, 0, 0}, 1}; }
DecodeError::LimitExceeded limit_exceeded(std::uint64_t a, std::uint64_t b) { return {{a, b, 0}, 2}; }
DecodeError::LimitExceeded limit_exceeded(std::uint64_t a, std::uint64_t b, std::uint64_t c) {
  return {{a, b, c}, 3};
}

std::string to_string(const DecodeError& error) {
  return std::visit(
      [](const auto& e) -> std::string {
        using T = std::decay_t<decltype(e)>;
        if constexpr (std::is_same_v<T, DecodeError::UnexpectedEof>) {
          return "UnexpectedEof { needed: " + std::to_string(e.needed) + ", offset: " + std::to_string(e.offset) +
                 " }";
        } else if constexpr (std::is_same_v<T, DecodeError::InvalidUtf8>) {
          return "InvalidUtf8 { offset: " + std::to_string(e.offset) + " }";
        } else if constexpr (std::is_same_v<T, DecodeError::InvalidString>) {
          return "InvalidString { offset: " + std::to_string(e.offset) + ", reason: \"" + std::string(e.reason) +
                 "\" }";
        } else if constexpr (std::is_same_v<T, DecodeError::LimitExceeded>) {
          std::string text = "LimitExceeded(";
          for (std::size_t i = 0; i < e.count && i < e.values.size(); ++i) {
            if (i > 0) text += ", ";
            text += std::to_string(e.values[i]);
          }
          return text + ")";
        } else {
          return "InvalidValue(" + std::to_string(e.value) + ")";
        }
      },
      error.value);
}

std::string to_string(const EncodeError& error) { return "ValueTooLarge(\"" + std::string(error.value.text) + "\")"; }

}  // namespace kelvane::cdr
