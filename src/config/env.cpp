#include "config/env.hpp"

#include <cstdlib>
#include <optional>

#include "common/utf8.hpp"
#include "config/text.hpp"

namespace kelvane::config {

namespace {

std::optional<std::string_view> lookup(const std::string& name) {
  // getenv cannot express names holding '=' or NUL; no such variable can exist.
  if (name.find_first_of(std::string_view("=\0", 2)) != std::string::npos) return std::nullopt;
  const char* value = std::getenv(name.c_str());
  if (value == nullptr) return std::nullopt;
  const std::string_view text(value);
  if (!is_valid_utf8(text)) return std::nullopt;
  return text;
}

}  // namespace

std::string expand_env_vars(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const bool opens = text[i] == '$' && i + 2 < text.size() && text[i + 1] == '{';
    const std::size_t close = opens ? text.find('}', i + 2) : std::string_view::npos;
    if (close == std::string_view::npos) {
      out.push_back(text[i]);
      ++i;
      continue;
    }
    const std::string_view inner = text.substr(i + 2, close - (i + 2));
    const std::size_t split = inner.find(":-");
    const std::string name(inner.substr(0, split));
    if (const auto value = lookup(name)) {
      out.append(*value);
    } else if (split != std::string_view::npos) {
      out.append(inner.substr(split + 2));
    }
    i = close + 1;
  }
  return out;
}

}  // namespace kelvane::config
