#include "common/text.hpp"

namespace kelvane {

namespace {

// The white-space characters above U+007F: U+0085, U+00A0 (two bytes); U+1680,
// U+2000..U+200A, U+2028, U+2029, U+202F, U+205F, U+3000 (three bytes).
std::size_t multibyte_white_space_length(const unsigned char* p, std::size_t avail) {
  if (avail >= 2 && p[0] == 0xC2 && (p[1] == 0x85 || p[1] == 0xA0)) return 2;
  if (avail < 3) return 0;
  if (p[0] == 0xE1 && p[1] == 0x9A && p[2] == 0x80) return 3;
  if (p[0] == 0xE2 && p[1] == 0x80 &&
      ((p[2] >= 0x80 && p[2] <= 0x8A) || p[2] == 0xA8 || p[2] == 0xA9 || p[2] == 0xAF))
    return 3;
  if (p[0] == 0xE2 && p[1] == 0x81 && p[2] == 0x9F) return 3;
  if (p[0] == 0xE3 && p[1] == 0x80 && p[2] == 0x80) return 3;
  return 0;
}

// Length of the white-space character that ends text, 0 when there is none. Every
// encoding above starts with a byte that cannot continue another sequence, so the one
// that ends text is found by trying each length.
std::size_t trailing_white_space_length(std::string_view text) {
  for (std::size_t length = 1; length <= 3 && length <= text.size(); ++length) {
    if (white_space_length_at(text, text.size() - length) == length) return length;
  }
  return 0;
}

char ascii_lower_char(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

std::size_t white_space_length_at(std::string_view text, std::size_t pos) {
  if (pos >= text.size()) return 0;
  if (is_ascii_space(text[pos])) return 1;
  return multibyte_white_space_length(reinterpret_cast<const unsigned char*>(text.data()) + pos, text.size() - pos);
}

std::string_view trim_white_space_end(std::string_view text) {
  while (const std::size_t length = trailing_white_space_length(text)) text.remove_suffix(length);
  return text;
}

std::string_view trim_white_space(std::string_view text) {
  while (const std::size_t length = white_space_length_at(text, 0)) text.remove_prefix(length);
  return trim_white_space_end(text);
}

std::vector<std::string_view> split_white_space(std::string_view text) {
  std::vector<std::string_view> tokens;
  std::size_t pos = 0;
  while (pos < text.size()) {
    if (const std::size_t length = white_space_length_at(text, pos)) {
      pos += length;
      continue;
    }
    const std::size_t start = pos;
    while (pos < text.size() && white_space_length_at(text, pos) == 0) ++pos;
    tokens.push_back(text.substr(start, pos - start));
  }
  return tokens;
}

std::string_view trim_ascii_space(std::string_view text) {
  while (!text.empty() && is_ascii_space(text.front())) text.remove_prefix(1);
  while (!text.empty() && is_ascii_space(text.back())) text.remove_suffix(1);
  return text;
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

}  // namespace kelvane
