#pragma once

#include <cstdint>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace kelvane::rtps::testing {

// "01 0a ff" (spaces, '|' and newlines ignored) to bytes; throws on a malformed fixture.
inline std::vector<std::uint8_t> hex(std::string_view text) {
  std::vector<std::uint8_t> out;
  int high = -1;
  for (const char c : text) {
    int v = -1;
    if (c >= '0' && c <= '9') v = c - '0';
    else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
    else if (c == ' ' || c == '\n' || c == '|') continue;
    else throw std::invalid_argument("bad hex fixture");
    if (high < 0) {
      high = v;
    } else {
      out.push_back(static_cast<std::uint8_t>(high * 16 + v));
      high = -1;
    }
  }
  if (high >= 0) throw std::invalid_argument("odd hex fixture");
  return out;
}

inline std::vector<std::uint8_t> concat(std::initializer_list<std::vector<std::uint8_t>> parts) {
  std::vector<std::uint8_t> out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

}  // namespace kelvane::rtps::testing
