#include "websocket/text.hpp"

#include <array>

namespace kelvane::websocket {
namespace {

bool is_ascii_white_space(char c) { return (c >= '\t' && c <= '\r') || c == ' '; }

// UTF-8 forms of the white-space characters above U+007F.
constexpr std::array<std::string_view, 19> kWideWhiteSpace = {
    "\xC2\x85",     "\xC2\xA0",     "\xE1\x9A\x80", "\xE2\x80\x80", "\xE2\x80\x81",
    "\xE2\x80\x82", "\xE2\x80\x83", "\xE2\x80\x84", "\xE2\x80\x85", "\xE2\x80\x86",
    "\xE2\x80\x87", "\xE2\x80\x88", "\xE2\x80\x89", "\xE2\x80\x8A", "\xE2\x80\xA8",
    "\xE2\x80\xA9", "\xE2\x80\xAF", "\xE2\x81\x9F", "\xE3\x80\x80",
};

// Byte length of the white-space character text starts (or, with at_end, ends) with; 0 if none.
std::size_t white_space_at(std::string_view text, bool at_end) {
  if (text.empty()) return 0;
  if (is_ascii_white_space(at_end ? text.back() : text.front())) return 1;
  const auto matches = [&](std::string_view ws) { return at_end ? text.ends_with(ws) : text.starts_with(ws); };
  for (std::string_view ws : kWideWhiteSpace) {
    if (matches(ws)) return ws.size();
  }
  return 0;
}

char ascii_lower_char(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

std::string_view trim_white_space(std::string_view text) {
  while (const std::size_t n = white_space_at(text, false)) text.remove_prefix(n);
  while (const std::size_t n = white_space_at(text, true)) text.remove_suffix(n);
  return text;
}

std::vector<std::string_view> split_white_space(std::string_view text) {
  std::vector<std::string_view> tokens;
  text = trim_white_space(text);
  while (!text.empty()) {
    std::size_t end = 0;
    while (end < text.size() && white_space_at(text.substr(end), false) == 0) ++end;
    tokens.push_back(text.substr(0, end));
    text = trim_white_space(text.substr(end));
  }
  return tokens;
}

std::string ascii_lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = ascii_lower_char(c);
  return out;
}

bool equals_ignore_ascii_case(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (ascii_lower_char(a[i]) != ascii_lower_char(b[i])) return false;
  }
  return true;
}

}  // namespace kelvane::websocket
