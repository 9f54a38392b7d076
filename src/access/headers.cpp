#include "access/headers.hpp"

#include "common/text.hpp"

namespace kelvane::access {

std::optional<std::string> extract_authorization_header(std::string_view request) {
  constexpr std::string_view kLineEnd = "\r\n";
  while (true) {
    const std::size_t end = request.find(kLineEnd);
    const std::string_view line = request.substr(0, end);
    const std::size_t colon = line.find(':');
    if (colon != std::string_view::npos &&
        equals_ignore_ascii_case(trim_ascii_space(line.substr(0, colon)), "authorization")) {
      return std::string(trim_ascii_space(line.substr(colon + 1)));
    }
    if (end == std::string_view::npos) return std::nullopt;
    request.remove_prefix(end + kLineEnd.size());
  }
}

}  // namespace kelvane::access
