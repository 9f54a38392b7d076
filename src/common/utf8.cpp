#include "common/utf8.hpp"

namespace kelvane {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

bool is_continuation(std::uint8_t byte) { return (byte & 0xC0) == 0x80; }

// Checks the sequence starting at bytes[0]; on success returns its length, otherwise the
// error relative to the start of the sequence.
struct Step {
  std::size_t length = 0;                 // valid sequence length, 0 on error
  std::optional<std::size_t> error_len;   // with length 0: as in Utf8Error
};

Step check_sequence(std::span<const std::uint8_t> bytes) {
  const std::uint8_t lead = bytes[0];
  if (lead < 0x80) return {1, {}};
  std::size_t width = 0;
  std::uint8_t second_low = 0x80;
  std::uint8_t second_high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    width = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    width = 3;
    if (lead == 0xE0) second_low = 0xA0;   // overlong
    if (lead == 0xED) second_high = 0x9F;  // surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    width = 4;
    if (lead == 0xF0) second_low = 0x90;   // overlong
    if (lead == 0xF4) second_high = 0x8F;  // above U+10FFFF
  } else {
    return {0, 1};
  }
  for (std::size_t i = 1; i < width; ++i) {
    if (i >= bytes.size()) return {0, std::nullopt};
    const std::uint8_t byte = bytes[i];
    const bool ok = i == 1 ? (byte >= second_low && byte <= second_high) : is_continuation(byte);
    if (!ok) return {0, i};
  }
  return {width, {}};
}

}  // namespace

std::optional<Utf8Error> find_utf8_error(std::span<const std::uint8_t> bytes) {
  std::size_t i = 0;
  while (i < bytes.size()) {
    if (bytes[i] < 0x80) {
      ++i;
      continue;
    }
    const Step step = check_sequence(bytes.subspan(i));
    if (step.length == 0) return Utf8Error{i, step.error_len};
    i += step.length;
  }
  return std::nullopt;
}

std::string describe(const Utf8Error& error) {
  if (error.error_len) {
    return "invalid utf-8 sequence of " + std::to_string(*error.error_len) + " bytes from index " +
           std::to_string(error.valid_up_to);
  }
  return "incomplete utf-8 byte sequence from index " + std::to_string(error.valid_up_to);
}

std::string utf8_lossy(std::span<const std::uint8_t> bytes) {
  std::string out;
  out.reserve(bytes.size());
  while (!bytes.empty()) {
    const auto error = find_utf8_error(bytes);
    const std::size_t valid = error ? error->valid_up_to : bytes.size();
    out.append(reinterpret_cast<const char*>(bytes.data()), valid);
    if (!error) break;
    out.append(kReplacement);
    if (!error->error_len) break;  // the input ended inside a sequence
    bytes = bytes.subspan(valid + *error->error_len);
  }
  return out;
}

}  // namespace kelvane
