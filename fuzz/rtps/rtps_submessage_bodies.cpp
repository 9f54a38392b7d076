// Submessage body decoders on arbitrary bodies: byte 0 picks the kind, byte 1 is the flag
// byte, the rest is the body. Never crashes; whatever decodes re-encodes to an equal record.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <type_traits>

#include "rtps/header_extension.hpp"
#include "rtps/submessages.hpp"

using namespace kelvane::rtps;

namespace {

template <typename Record>
Record round_trip(const Record& record, bool little) {
  const auto again = record.write_body(little);
  auto back = Record::read_body(std::span<const std::uint8_t>(again.bytes), again.flags);
  if (!back) std::abort();
  return std::move(*back);
}

template <typename Record>
void decode_and_round_trip(std::span<const std::uint8_t> body, std::uint8_t flags) {
  auto record = Record::read_body(body, flags);
  if (!record) return;
  const bool little = (flags & FLAG_E) != 0;
  const Record back = round_trip(*record, little);
  if constexpr (std::is_same_v<Record, DataSubmessage>) {
    // Writing a DATA may announce its body padding in the payload's encapsulation
    // options; after that first write the record is stable.
    if (!(round_trip(back, little) == back)) std::abort();
  } else {
    if (!(back == *record)) std::abort();
  }
}

template <typename Record>
void decode_only(std::span<const std::uint8_t> body, std::uint8_t flags) {
  auto record = Record::read_body(body, flags);
  static_cast<void>(record);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::uint8_t flags = data[1];
  const std::span<const std::uint8_t> body(data + 2, size - 2);
  switch (data[0] % 11) {
    case 0: decode_and_round_trip<DataSubmessage>(body, flags); break;
    case 1: decode_and_round_trip<DataFragSubmessage>(body, flags); break;
    case 2: decode_and_round_trip<HeartbeatSubmessage>(body, flags); break;
    case 3: decode_and_round_trip<AckNackSubmessage>(body, flags); break;
    case 4: decode_and_round_trip<GapSubmessage>(body, flags); break;
    case 5: decode_and_round_trip<NackFragSubmessage>(body, flags); break;
    case 6: decode_only<HeartbeatFragSubmessage>(body, flags); break;
    case 7: decode_only<InfoTimestamp>(body, flags); break;
    case 8: decode_only<InfoSource>(body, flags); break;
    case 9: decode_only<InfoReplySubmessage>(body, flags); break;
    default: {
      auto he = HeaderExtension::decode_body(body, flags);
      static_cast<void>(he);
      break;
    }
  }
  return 0;
}
