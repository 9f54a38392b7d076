#include "rtps/wire_format_error.hpp"

#include "common/encoding.hpp"

namespace kelvane::rtps {

std::string to_string(const WireFormatError& error) {
  return std::visit(
      [](const auto& e) -> std::string {
        using T = std::decay_t<decltype(e)>;
        if constexpr (std::is_same_v<T, WireFormatError::UnexpectedEof>) {
          return "UnexpectedEof { needed: " + std::to_string(e.needed) + ", offset: " + std::to_string(e.offset) +
                 " }";
        } else if constexpr (std::is_same_v<T, WireFormatError::BadMagic>) {
          return "BadMagic(" + to_hex(e.found) + ")";
        } else if constexpr (std::is_same_v<T, WireFormatError::UnknownLocatorKind>) {
          return "UnknownLocatorKind(" + std::to_string(e.kind) + ")";
        } else if constexpr (std::is_same_v<T, WireFormatError::ValueOutOfRange>) {
          return "ValueOutOfRange(\"" + std::string(e.text) + "\")";
        } else if constexpr (std::is_same_v<T, WireFormatError::UnsupportedEncapsulation>) {
          return "UnsupportedEncapsulation(" + to_hex(e.representation) + ")";
        } else {
          return "Unsupported(\"" + std::string(e.text) + "\")";
        }
      },
      error.value);
}

}  // namespace kelvane::rtps
