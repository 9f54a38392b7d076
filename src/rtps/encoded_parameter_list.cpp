#include "rtps/encoded_parameter_list.hpp"

#include <algorithm>
#include <iterator>

#include "cdr/byte_order.hpp"

namespace kelvane::rtps {
namespace {

// Sorted, for binary search.
constexpr std::uint16_t kUnderstoodIds[] = {
    0x0001, 0x0002, 0x0005, 0x0006, 0x0007, 0x000F, 0x0015, 0x0016, 0x001A, 0x001B, 0x001D,
    0x001F, 0x0023, 0x0029, 0x002B, 0x002C, 0x002D, 0x002E, 0x0031, 0x0032, 0x0033, 0x0035,
    0x0048, 0x0050, 0x0056, 0x0057, 0x0058, 0x0059, 0x005A, 0x0060, 0x0061, 0x0062, 0x0063,
    0x0064, 0x0070, 0x0071, 0x0073, 0x0074, 0x0075, 0x0080, 0x0081, 0x0082, 0x0083, 0x1001,
    0x1002, 0x1004, 0x1005, 0x1006, 0x1010, 0x1011, 0x1012, 0x1013, 0x3F03,
};

// Calls f(pid, offset of value, length) for every parameter before the sentinel,
// PID_IGNORE included; the list must have been checked by parse.
template <typename F>
void walk(std::span<const std::uint8_t> bytes, bool little_endian, F&& f) {
  std::size_t p = 0;
  while (bytes.size() - p >= 4) {
    const std::uint16_t pid = cdr::load_u16(bytes.data() + p, little_endian);
    const std::uint16_t length = cdr::load_u16(bytes.data() + p + 2, little_endian);
    if (pid == PID_SENTINEL || bytes.size() - p - 4 < length) return;
    if (!f(pid, p + 4, static_cast<std::size_t>(length))) return;
    p += 4 + length;
  }
}

}  // namespace

bool is_understood_parameter_id(std::uint16_t pid) {
  if ((pid & PID_FLAG_MUST_UNDERSTAND) == 0 || (pid & PID_FLAG_VENDOR_SPECIFIC) != 0) return true;
  const auto id = static_cast<std::uint16_t>(pid & 0x3FFF);
  return std::binary_search(std::begin(kUnderstoodIds), std::end(kUnderstoodIds), id);
}

std::expected<EncodedParameterList, WireFormatError> EncodedParameterList::parse(const SharedBytes& source,
                                                                                  std::size_t offset,
                                                                                  bool little_endian) {
  const auto bytes = source.span();
  const std::size_t n = bytes.size();
  std::size_t p = offset > n ? n : offset;
  const std::size_t start = p;
  std::size_t stored = 0;
  for (;;) {
    if (n - p < 4) return std::unexpected(WireFormatError::UnexpectedEof{4, p});
    const std::uint16_t pid = cdr::load_u16(bytes.data() + p, little_endian);
    const std::uint16_t length = cdr::load_u16(bytes.data() + p + 2, little_endian);
    if (pid == PID_SENTINEL) return EncodedParameterList{source.slice(start, p + 4 - start), little_endian};
    if (length % 4 != 0) return std::unexpected(WireFormatError::ValueOutOfRange{"ParameterList length not 4-byte aligned"});
    if (n - p - 4 < length) return std::unexpected(WireFormatError::UnexpectedEof{length, p + 4});
    if (pid != PID_IGNORE) {
      if (stored == MAX_PARAMETERS) {
        return std::unexpected(WireFormatError::ValueOutOfRange{"ParameterList exceeds MAX_PARAMETERS cap"});
      }
      ++stored;
    }
    p += 4 + length;
  }
}

std::optional<std::span<const std::uint8_t>> EncodedParameterList::find(std::uint16_t pid) const {
  const auto all = bytes.span();
  std::optional<std::span<const std::uint8_t>> found;
  walk(all, little_endian, [&](std::uint16_t id, std::size_t at, std::size_t length) {
    if (id != pid || id == PID_IGNORE) return true;
    found = all.subspan(at, length);
    return false;
  });
  return found;
}

std::expected<void, WireFormatError> EncodedParameterList::validate_must_understand() const {
  bool ok = true;
  walk(bytes.span(), little_endian, [&](std::uint16_t id, std::size_t, std::size_t) {
    if (id == PID_IGNORE) return true;
    ok = is_understood_parameter_id(id);
    return ok;
  });
  if (!ok) return std::unexpected(WireFormatError::ValueOutOfRange{"ParameterList contains unknown must-understand PID"});
  return {};
}

}  // namespace kelvane::rtps
