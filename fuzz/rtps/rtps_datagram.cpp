// decode_datagram on arbitrary bytes: never crashes; the borrowed and the shared entry
// points agree; every decoded DATA and DATA_FRAG survives a body round trip.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "rtps/datagram.hpp"

using namespace kelvane::rtps;

namespace {

template <typename Record>
Record rewritten(const Record& record, bool little) {
  const auto body = record.write_body(little);
  auto back = Record::read_body(std::span<const std::uint8_t>(body.bytes), body.flags);
  if (!back) std::abort();
  return std::move(*back);
}

template <typename Record>
void check_round_trip(const Record& record) {
  for (const bool little : {true, false}) {
    if (!(rewritten(record, little) == record)) std::abort();
  }
}

// Writing a DATA may announce the body's alignment padding in the payload's encapsulation
// options (byte 3); nothing else changes, and a second round trip changes nothing.
void check_data_round_trip(const DataSubmessage& data) {
  for (const bool little : {true, false}) {
    const DataSubmessage once = rewritten(data, little);
    const auto a = data.serialized_payload.span();
    const auto b = once.serialized_payload.span();
    if (a.size() != b.size()) std::abort();
    for (std::size_t i = 0; i < a.size(); ++i) {
      if (a[i] != b[i] && i != 3) std::abort();
    }
    DataSubmessage same_payload = once;
    same_payload.serialized_payload = data.serialized_payload;
    if (!(same_payload == data)) std::abort();
    check_round_trip(once);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  auto borrowed = decode_datagram(bytes);
  auto shared = decode_datagram(kelvane::SharedBytes::copy_of(bytes));
  if (borrowed.has_value() != shared.has_value()) std::abort();
  if (!borrowed) {
    if (!(borrowed.error() == shared.error())) std::abort();
    return 0;
  }
  if (borrowed->submessages.size() != shared->submessages.size()) std::abort();
  for (std::size_t i = 0; i < borrowed->submessages.size(); ++i) {
    if (!(borrowed->submessages[i] == shared->submessages[i])) std::abort();
    if (const auto* d = std::get_if<DataSubmessage>(&borrowed->submessages[i])) check_data_round_trip(*d);
    if (const auto* f = std::get_if<DataFragSubmessage>(&borrowed->submessages[i])) check_round_trip(*f);
  }
  return 0;
}
