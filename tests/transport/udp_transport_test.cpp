#include <gtest/gtest.h>
#include <net/if.h>

#include <chrono>
#include <cstdint>
#include <string_view>
#include <thread>
#include <vector>

#include "observability/component_metrics.hpp"
#include "transport/udp_transport.hpp"

namespace kelvane::transport {
namespace {

using namespace std::chrono_literals;

constexpr Ipv4 kLoopback = {127, 0, 0, 1};
constexpr Ipv4 kAny = {0, 0, 0, 0};
constexpr Ipv4 kGroup = {239, 255, 0, 1};

// The five process-wide counters, read together so a test can compare before and after.
struct Counts {
  std::uint64_t packets_sent, packets_received, bytes_sent, bytes_received, send_errors;
  friend bool operator==(const Counts&, const Counts&) = default;
};

Counts counts() {
  const auto& c = observability::udp_counters();
  return {c.packets_sent->get(), c.packets_received->get(), c.bytes_sent->get(), c.bytes_received->get(),
          c.send_errors->get()};
}

UdpTransport bound(Ipv4 address = kLoopback, std::optional<std::chrono::nanoseconds> timeout = 5s) {
  auto t = UdpTransport::bind_v4(address, 0);
  EXPECT_TRUE(t.has_value()) << t.error().message();
  auto timed = UdpTransport::with_timeout(std::move(*t), timeout);
  EXPECT_TRUE(timed.has_value()) << timed.error().message();
  return std::move(*timed);
}

// Multicast must never leave the machine: only run where loopback is the sole interface
// (the private network namespace the dds-labelled tests run in).
bool only_loopback() {
  struct if_nameindex* names = ::if_nameindex();
  if (names == nullptr) return false;
  bool only_lo = true;
  for (const struct if_nameindex* n = names; n->if_index != 0; ++n) {
    only_lo = only_lo && std::string_view(n->if_name) == "lo";
  }
  ::if_freenameindex(names);
  return only_lo;
}

TEST(UdpTransport, BindRecordsTheChosenPort) {
  const UdpTransport t = bound();
  EXPECT_EQ(t.local().kind, rtps::LOCATOR_KIND_UDPv4);
  EXPECT_NE(t.local().port, 0u);
  EXPECT_EQ(t.local(), rtps::Locator::udpv4(kLoopback, t.local().port));
}

TEST(UdpTransport, SendAndReceiveOverLoopbackCountTraffic) {
  const UdpTransport a = bound();
  const UdpTransport b = bound();
  const std::vector<std::uint8_t> payload = {'R', 'T', 'P', 'S', 0x02, 0x05, 0x01, 0xF0};
  const Counts before = counts();

  ASSERT_TRUE(a.send(b.local(), payload).has_value());
  const auto got = b.recv();
  ASSERT_TRUE(got.has_value());
  EXPECT_EQ(std::vector<std::uint8_t>(got->data.span().begin(), got->data.span().end()), payload);
  EXPECT_EQ(got->source, a.local());

  Counts expected = before;
  expected.packets_sent += 1;
  expected.bytes_sent += payload.size();
  expected.packets_received += 1;
  expected.bytes_received += payload.size();
  EXPECT_EQ(counts(), expected);
}

TEST(UdpTransport, EmptyAndLargestDatagramsPass) {
  const UdpTransport a = bound();
  const UdpTransport b = bound();
  const std::vector<std::uint8_t> largest(kMaxDatagramSize, 0xAB);
  const Counts before = counts();

  ASSERT_TRUE(a.send(b.local(), {}).has_value());
  const auto empty = b.recv();
  ASSERT_TRUE(empty.has_value());
  EXPECT_EQ(empty->data.size(), 0u);

  ASSERT_TRUE(a.send(b.local(), largest).has_value());
  const auto big = b.recv();
  ASSERT_TRUE(big.has_value());
  EXPECT_TRUE(big->data == SharedBytes::copy_of(largest));

  const Counts after = counts();
  EXPECT_EQ(after.packets_sent - before.packets_sent, 2u);
  EXPECT_EQ(after.packets_received - before.packets_received, 2u);
  EXPECT_EQ(after.bytes_received - before.bytes_received, kMaxDatagramSize);
}

TEST(UdpTransport, RefusedSendsCountNothing) {
  const UdpTransport a = bound();
  const rtps::Locator good = a.local();
  rtps::Locator v6 = good;
  v6.kind = rtps::LOCATOR_KIND_UDPv6;
  rtps::Locator reserved = good;
  reserved.kind = rtps::LOCATOR_KIND_RESERVED;
  rtps::Locator big_port = good;
  big_port.port = 70000;
  const std::vector<std::uint8_t> too_large(kMaxDatagramSize + 1);
  const std::vector<std::uint8_t> none;

  struct Case {
    rtps::Locator to;
    const std::vector<std::uint8_t>& bytes;
    SendError error;
  };
  const Case cases[] = {
      {v6, none, {SendError::Kind::UnsupportedLocator}},
      {reserved, none, {SendError::Kind::UnsupportedLocator}},
      {big_port, none, {SendError::Kind::UnsupportedLocator}},
      {big_port, too_large, {SendError::Kind::UnsupportedLocator}},
      {good, too_large, {SendError::Kind::MessageTooLarge, kMaxDatagramSize + 1, kMaxDatagramSize}},
  };
  const Counts before = counts();
  for (const Case& c : cases) {
    const auto result = a.send(c.to, c.bytes);
    ASSERT_FALSE(result.has_value());
    EXPECT_EQ(result.error(), c.error);
  }
  EXPECT_EQ(counts(), before);
}

TEST(UdpTransport, FailedSendIsAnIoErrorAndCounted) {
  const UdpTransport a = bound(kAny);
  const Counts before = counts();
  // Broadcast without SO_BROADCAST is refused by the kernel before anything is sent.
  const auto result = a.send(rtps::Locator::udpv4({255, 255, 255, 255}, 7400), std::vector<std::uint8_t>{1});
  ASSERT_FALSE(result.has_value());
  EXPECT_EQ(result.error(), (SendError{SendError::Kind::Io, 0, 0, "udp send_to failed"}));
  Counts expected = before;
  expected.send_errors += 1;
  EXPECT_EQ(counts(), expected);
}

TEST(UdpTransport, ReceiveTimeOuts) {
  const UdpTransport short_wait = bound(kLoopback, 20ms);
  const Counts before = counts();
  const auto result = short_wait.recv();
  ASSERT_FALSE(result.has_value());
  EXPECT_EQ(result.error().kind, RecvError::Kind::Timeout);
  EXPECT_EQ(counts(), before);

  // Below a microsecond is rounded up, not taken as "no time-out".
  const UdpTransport tiny = bound(kLoopback, 1ns);
  ASSERT_FALSE(tiny.recv().has_value());

  auto zero = UdpTransport::with_timeout(bound(), 0ns);
  ASSERT_FALSE(zero.has_value());
  EXPECT_EQ(zero.error().message(), "cannot set a 0 duration timeout");
}

TEST(UdpTransport, WithoutTimeOutReceiveWaitsForData) {
  const UdpTransport receiver = bound(kLoopback, std::nullopt);
  const UdpTransport sender = bound();
  std::jthread late([&] {
    std::this_thread::sleep_for(100ms);
    EXPECT_TRUE(sender.send(receiver.local(), std::vector<std::uint8_t>{7}).has_value());
  });
  const auto got = receiver.recv();
  ASSERT_TRUE(got.has_value());
  EXPECT_EQ(got->data.size(), 1u);
}

TEST(UdpTransport, BindErrorsCarryTheOsError) {
  const UdpTransport taken = bound();
  const auto again = UdpTransport::bind_v4(kLoopback, static_cast<std::uint16_t>(taken.local().port));
  ASSERT_FALSE(again.has_value());
  EXPECT_EQ(again.error().code.value(), EADDRINUSE);
  EXPECT_EQ(again.error().message(), "Address already in use (os error 98)");
}

TEST(UdpMulticast, TwoMembersOfOneGroupAndPortBothReceive) {
  if (!only_loopback()) GTEST_SKIP() << "multicast tests run only inside a private network namespace";
  auto first = UdpTransport::bind_multicast_v4(kGroup, 0, kAny);
  ASSERT_TRUE(first.has_value()) << first.error().message();
  const auto port = static_cast<std::uint16_t>(first->local().port);
  EXPECT_EQ(first->local(), rtps::Locator::udpv4(kGroup, port));
  auto second = UdpTransport::bind_multicast_v4(kGroup, port, kAny);
  ASSERT_TRUE(second.has_value()) << second.error().message();
  auto a = UdpTransport::with_timeout(std::move(*first), 5s);
  auto b = UdpTransport::with_timeout(std::move(*second), 5s);
  ASSERT_TRUE(a.has_value() && b.has_value());

  const UdpTransport sender = bound(kAny);
  const std::vector<std::uint8_t> payload = {'S', 'P', 'D', 'P'};
  ASSERT_TRUE(sender.send(rtps::Locator::udpv4(kGroup, port), payload).has_value());
  for (const UdpTransport* member : {&*a, &*b}) {
    const auto got = member->recv();
    ASSERT_TRUE(got.has_value());
    EXPECT_TRUE(got->data == SharedBytes::copy_of(payload));
  }
}

TEST(UdpMulticast, PortHeldWithoutReuseFailsAfterRetries) {
  if (!only_loopback()) GTEST_SKIP() << "multicast tests run only inside a private network namespace";
  const UdpTransport holder = bound(kAny);
  const auto result = UdpTransport::bind_multicast_v4(kGroup, static_cast<std::uint16_t>(holder.local().port), kAny);
  ASSERT_FALSE(result.has_value());
  EXPECT_EQ(result.error().code.value(), EADDRINUSE);
}

TEST(UdpMulticast, OtherFailuresAreNotRetried) {
  if (!only_loopback()) GTEST_SKIP() << "multicast tests run only inside a private network namespace";
  // Joining a unicast address as a group is refused by the kernel.
  const auto result = UdpTransport::bind_multicast_v4(kLoopback, 0, kAny);
  ASSERT_FALSE(result.has_value());
  EXPECT_EQ(result.error().code.value(), EINVAL);
}

}  // namespace
}  // namespace kelvane::transport
