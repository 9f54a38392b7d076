#include "rtps/header_extension.hpp"

#include <cstring>

#include "cdr/byte_order.hpp"
#include "rtps/submessage_ids.hpp"

namespace kelvane::rtps {

namespace {

// `shared` is the body as shared bytes when the caller has them; otherwise the
// parameters, the only part kept by reference, are copied.
std::expected<HeaderExtension, WireFormatError> decode(std::span<const std::uint8_t> body, const SharedBytes* shared,
                                                       std::uint8_t flags) {
  const std::size_t n = body.size();
  if (n > MAX_HE_LENGTH) return std::unexpected(WireFormatError::ValueOutOfRange{"HE body exceeds MAX_HE_LENGTH"});
  const bool little = (flags & FLAG_E) != 0;
  const std::uint8_t* p = body.data();
  std::size_t at = 0;
  // Checks that `size` bytes remain for the next field.
  auto need = [&](std::size_t size) -> std::expected<void, WireFormatError> {
    if (n - at < size) return std::unexpected(WireFormatError::UnexpectedEof{size, at});
    return {};
  };

  HeaderExtension he;
  he.little_endian = little;
  if ((flags & HE_FLAG_L) != 0) {
    if (auto ok = need(4); !ok) return std::unexpected(ok.error());
    he.message_length = cdr::load_u32(p + at, little);
    at += 4;
  }
  if ((flags & HE_FLAG_W) != 0) {
    if (auto ok = need(8); !ok) return std::unexpected(ok.error());
    he.timestamp = RtpsTime{static_cast<std::int32_t>(cdr::load_u32(p + at, little)), cdr::load_u32(p + at + 4, little)};
    at += 8;
  }
  if ((flags & HE_FLAG_U) != 0) {
    if (auto ok = need(4); !ok) return std::unexpected(ok.error());
    std::array<std::uint8_t, 4> raw{};
    std::memcpy(raw.data(), p + at, 4);
    he.u_extension4 = raw;
    at += 4;
  }
  if ((flags & HE_FLAG_V) != 0) {
    if (auto ok = need(8); !ok) return std::unexpected(ok.error());
    std::array<std::uint8_t, 8> raw{};
    std::memcpy(raw.data(), p + at, 8);
    he.w_extension8 = raw;
    at += 8;
  }
  switch ((flags & HE_CHECKSUM_MASK) >> 5) {
    case 1:
      if (auto ok = need(4); !ok) return std::unexpected(ok.error());
      he.checksum = HeaderExtension::Crc32{cdr::load_u32(p + at, little)};
      at += 4;
      break;
    case 2:
      if (auto ok = need(8); !ok) return std::unexpected(ok.error());
      he.checksum = HeaderExtension::Crc64{cdr::load_u64(p + at, little)};
      at += 8;
      break;
    case 3: {
      if (auto ok = need(16); !ok) return std::unexpected(ok.error());
      HeaderExtension::Md5 md5{};
      std::memcpy(md5.data(), p + at, 16);
      he.checksum = md5;
      at += 16;
      break;
    }
    default:
      break;
  }
  if ((flags & HE_FLAG_P) != 0) {
    auto params = shared != nullptr ? EncodedParameterList::parse(*shared, at, little)
                                    : EncodedParameterList::parse(SharedBytes::copy_of(body), at, little);
    if (!params) return std::unexpected(params.error());
    he.parameters = std::move(*params);
  } else if (at < n) {
    return std::unexpected(WireFormatError::ValueOutOfRange{"HE trailing bytes without P-flag"});
  }
  return he;
}

}  // namespace

std::expected<HeaderExtension, WireFormatError> HeaderExtension::decode_body(const SharedBytes& body,
                                                                             std::uint8_t flags) {
  return decode(body.span(), &body, flags);
}

std::expected<HeaderExtension, WireFormatError> HeaderExtension::decode_body(std::span<const std::uint8_t> body,
                                                                             std::uint8_t flags) {
  return decode(body, nullptr, flags);
}

}  // namespace kelvane::rtps
