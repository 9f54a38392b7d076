#pragma once

#include <cstdint>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace kelvane::rtps::testing {

inline const char* const kCaptureNames[] = {"cc", "ff", "cf", "fc"};

// The datagrams of tests/fixtures/captures/<name>.rtps (u32 LE length + bytes, repeated).
inline std::vector<std::vector<std::uint8_t>> read_capture_fixture(const std::string& name) {
  const std::string path = std::string(KELVANE_SOURCE_DIR) + "/tests/fixtures/captures/" + name + ".rtps";
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("missing fixture " + path);
  const std::vector<std::uint8_t> all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::vector<std::uint8_t>> datagrams;
  std::size_t at = 0;
  while (at < all.size()) {
    if (all.size() - at < 4) throw std::runtime_error("truncated fixture " + path);
    const std::size_t n = all[at] | (all[at + 1] << 8) | (all[at + 2] << 16) | (std::size_t{all[at + 3]} << 24);
    at += 4;
    if (all.size() - at < n) throw std::runtime_error("truncated fixture " + path);
    datagrams.emplace_back(all.begin() + static_cast<std::ptrdiff_t>(at),
                           all.begin() + static_cast<std::ptrdiff_t>(at + n));
    at += n;
  }
  return datagrams;
}

}  // namespace kelvane::rtps::testing
