// Counts heap allocations made while decoding, through a replacement of the global
// operator new that only counts on the thread that asks for it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <vector>

#include "rtps/datagram.hpp"
#include "rtps/message_builder.hpp"

namespace {
thread_local bool g_counting = false;
thread_local std::size_t g_allocations = 0;
}  // namespace

void* operator new(std::size_t size) {
  if (g_counting) ++g_allocations;
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace kelvane::rtps {
namespace {

std::vector<std::uint8_t> one_kib_data_datagram() {
  const DataSubmessage data{0, make_entity_id(0, 0, 0x12, EntityKind::UserReaderNoKey),
                            make_entity_id(0, 0, 0x13, EntityKind::UserWriterNoKey), 42, std::nullopt,
                            SharedBytes::copy_of(std::vector<std::uint8_t>(1024, 0x61)), true, false, false};
  const DataSubmessage datas[] = {data};
  return encode_data_datagram(MessageHeader{}, datas).value();
}

TEST(Allocations, DecodingADataDatagramAllocatesOnlyTheSharedCopy) {
  const auto bytes = one_kib_data_datagram();
  g_allocations = 0;
  g_counting = true;
  auto decoded = decode_datagram(bytes);
  g_counting = false;
  ASSERT_TRUE(decoded);
  EXPECT_EQ(std::get<DataSubmessage>(decoded->submessages[0]).serialized_payload.size(), 1024U);
  EXPECT_EQ(g_allocations, 1U);

  // Already shared: nothing at all.
  const SharedBytes shared = SharedBytes::copy_of(bytes);
  g_allocations = 0;
  g_counting = true;
  auto again = decode_datagram(shared);
  g_counting = false;
  ASSERT_TRUE(again);
  EXPECT_EQ(g_allocations, 0U);
}

TEST(Allocations, EncodingADataDatagramAllocatesOnce) {
  const DataSubmessage datas[] = {DataSubmessage{0, ENTITYID_UNKNOWN, ENTITYID_SPDP_BUILTIN_PARTICIPANT_ANNOUNCER, 1,
                                                 std::nullopt,
                                                 SharedBytes::copy_of(std::vector<std::uint8_t>(1024, 1)), true,
                                                 false, false}};
  g_allocations = 0;
  g_counting = true;
  auto bytes = encode_data_datagram(MessageHeader{}, datas);
  g_counting = false;
  ASSERT_TRUE(bytes);
  EXPECT_EQ(g_allocations, 1U);
}

}  // namespace
}  // namespace kelvane::rtps
