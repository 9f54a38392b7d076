#include "access/json_fields.hpp"

#include "common/text.hpp"

namespace kelvane::access {

namespace {

// The text after the ':' that follows the first quoted occurrence of `name`, with
// leading white space skipped.
std::optional<std::string_view> value_start(std::string_view json, std::string_view name) {
  std::string quoted;
  quoted.reserve(name.size() + 2);
  quoted.push_back('"');
  quoted.append(name);
  quoted.push_back('"');
  const std::size_t at = json.find(quoted);
  if (at == std::string_view::npos) return std::nullopt;
  const std::size_t colon = json.find(':', at + quoted.size());
  if (colon == std::string_view::npos) return std::nullopt;
  std::string_view rest = json.substr(colon + 1);
  while (!rest.empty() && is_ascii_space(rest.front())) rest.remove_prefix(1);
  return rest;
}

}  // namespace

std::optional<std::string_view> json_field(std::string_view json, std::string_view name) {
  const auto rest = value_start(json, name);
  if (!rest) return std::nullopt;
  if (!rest->empty() && rest->front() == '"') {
    const std::size_t close = rest->find('"', 1);
    if (close == std::string_view::npos) return std::nullopt;
    return rest->substr(1, close - 1);
  }
  std::size_t end = 0;
  while (end < rest->size() && !is_ascii_space((*rest)[end]) && (*rest)[end] != ',' && (*rest)[end] != '}')
    ++end;
  return rest->substr(0, end);
}

bool json_field_eq(std::string_view json, std::string_view name, std::string_view expected) {
  const auto value = json_field(json, name);
  return value && *value == expected;
}

std::optional<std::vector<std::string>> json_array(std::string_view json, std::string_view name) {
  const auto rest = value_start(json, name);
  if (!rest || rest->empty() || rest->front() != '[') return std::nullopt;
  const std::size_t close = rest->find(']');
  if (close == std::string_view::npos) return std::nullopt;
  std::string_view contents = rest->substr(1, close - 1);
  std::vector<std::string> elements;
  while (true) {
    const std::size_t comma = contents.find(',');
    std::string_view element = trim_ascii_space(contents.substr(0, comma));
    while (!element.empty() && element.front() == '"') element.remove_prefix(1);
    while (!element.empty() && element.back() == '"') element.remove_suffix(1);
    // "[]" and stray commas would otherwise yield nameless groups.
    if (!element.empty()) elements.emplace_back(element);
    if (comma == std::string_view::npos) break;
    contents.remove_prefix(comma + 1);
  }
  return elements;
}

}  // namespace kelvane::access
