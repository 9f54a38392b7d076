#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "bridge/router.hpp"

namespace kelvane::bridge {
namespace {

using namespace std::chrono_literals;
using Status = Mpsc<RouterMsg>::PopStatus;

SharedBytes bytes(std::string_view text) {
  return SharedBytes::copy_of(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

// Takes every queued message without waiting.
std::vector<RouterMsg> drain(QueueReceiver& rx) {
  std::vector<RouterMsg> out;
  while (auto msg = rx.channel.try_pop()) out.push_back(std::move(*msg));
  return out;
}

struct Connection {
  QueueReceiver rx;
  explicit Connection(Router& router, ConnectionId id, std::size_t max_bytes = kMaxQueuedBytes,
                      std::size_t max_messages = kMaxQueuedMessages)
      : rx([&] {
          auto queue = make_connection_queue(max_bytes, max_messages);
          router.register_connection(id, std::move(queue.sender));
          return std::move(queue.receiver);
        }()) {}
};

TEST(Router, DispatchReachesEachSubscriberOnceSharingThePayload) {
  Router router;
  Connection a(router, 1), b(router, 2), c(router, 3);
  router.subscribe(1, "T");
  router.subscribe(2, "T");
  router.subscribe(2, "T");  // a second subscribe does not duplicate
  router.subscribe(3, "U");

  const SharedBytes payload = bytes("sample");
  EXPECT_EQ(router.dispatch("T", payload), 2u);
  for (auto* conn : {&a, &b}) {
    auto msgs = drain(conn->rx);
    ASSERT_EQ(msgs.size(), 1u);
    const auto& sample = std::get<RouterMsg::Sample>(msgs[0].value);
    EXPECT_EQ(sample.topic, "T");
    EXPECT_EQ(sample.payload.data(), payload.data()) << "payload buffer must be shared, not copied";
    EXPECT_EQ(sample.payload.size(), payload.size());
  }
  EXPECT_TRUE(drain(c.rx).empty());
  EXPECT_EQ(router.dispatch("nobody", payload), 0u);
  EXPECT_EQ(router.subscribers("nobody"), nullptr);
}

TEST(Router, UnsubscribeKeepsEmptyTopicEntry) {
  Router router;
  Connection a(router, 1);
  router.unsubscribe(1, "T");  // no entry: nothing happens
  EXPECT_EQ(router.subscribers("T"), nullptr);
  router.subscribe(1, "T");
  router.unsubscribe(1, "T");
  ASSERT_NE(router.subscribers("T"), nullptr);
  EXPECT_TRUE(router.subscribers("T")->empty());
  EXPECT_EQ(router.dispatch("T", bytes("x")), 0u);
}

TEST(Router, DeregisterDisconnectsQueueAndDropsSubscriptions) {
  Router router;
  Connection a(router, 1), b(router, 2);
  router.subscribe(1, "T");
  router.subscribe(2, "T");
  router.subscribe(1, "U");
  router.deregister_connection(1);
  EXPECT_FALSE(router.is_registered(1));
  EXPECT_EQ(*router.subscribers("T"), std::vector<ConnectionId>{2});
  EXPECT_TRUE(router.subscribers("U")->empty());
  EXPECT_EQ(a.rx.channel.pop_for(0ms).status, Status::Disconnected);
  EXPECT_EQ(router.dispatch("T", bytes("x")), 1u);
}

TEST(Router, ReRegisterReplacesTheOldQueue) {
  Router router;
  Connection first(router, 1);
  Connection second(router, 1);
  router.subscribe(1, "T");
  EXPECT_EQ(first.rx.channel.pop_for(0ms).status, Status::Disconnected);
  EXPECT_EQ(router.dispatch("T", bytes("x")), 1u);
  EXPECT_EQ(drain(second.rx).size(), 1u);
}

TEST(Router, GoneReceiverIsRemovedOnNextDispatch) {
  Router router;
  Connection kept(router, 2);
  {
    Connection gone(router, 1);
    router.subscribe(1, "T");
    router.subscribe(2, "T");
  }  // the sender thread ended: its receiving end is dropped
  EXPECT_EQ(router.dispatch("T", bytes("x")), 1u);
  EXPECT_FALSE(router.is_registered(1));
  // The id stays subscribed until the connection deregisters.
  EXPECT_EQ(*router.subscribers("T"), (std::vector<ConnectionId>{1, 2}));
}

TEST(Router, BroadcastShutdownReachesEveryConnectionIncludingUnsubscribed) {
  Router router;
  Connection a(router, 1), b(router, 2);
  router.subscribe(1, "T");
  router.broadcast_shutdown();
  for (auto* conn : {&a, &b}) {
    auto msgs = drain(conn->rx);
    ASSERT_EQ(msgs.size(), 1u);
    EXPECT_TRUE(std::holds_alternative<RouterMsg::Shutdown>(msgs[0].value));
  }
}

TEST(Router, SlowConsumerOverflowsItsOwnQueueOnly) {
  const struct {
    std::size_t max_bytes;
    std::size_t max_messages;
    std::size_t accepted;  // samples of 10 bytes queued before the bound
  } cases[] = {{1000, 3, 3}, {25, 100, 2}, {10, 1, 1}};
  for (const auto& c : cases) {
    Router router;
    Connection slow(router, 1, c.max_bytes, c.max_messages);
    Connection fast(router, 2);
    router.subscribe(1, "T");
    router.subscribe(2, "T");
    const SharedBytes payload = bytes("0123456789");
    for (std::size_t i = 0; i < c.accepted; ++i) EXPECT_EQ(router.dispatch("T", payload), 2u);
    EXPECT_FALSE(slow.rx.budget->overflowed());
    EXPECT_EQ(router.dispatch("T", payload), 1u);  // one over the bound
    EXPECT_TRUE(slow.rx.budget->overflowed());
    EXPECT_FALSE(router.is_registered(1));
    EXPECT_EQ(router.dispatch("T", payload), 1u);
    EXPECT_EQ(drain(slow.rx).size(), c.accepted);
    EXPECT_EQ(drain(fast.rx).size(), c.accepted + 2);
    EXPECT_FALSE(fast.rx.budget->overflowed());
  }
}

TEST(QueueBudget, ReleasingMakesRoomAgain) {
  QueueBudget budget(20, 2);
  EXPECT_TRUE(budget.try_reserve(10));
  EXPECT_TRUE(budget.try_reserve(10));
  budget.release(10);
  EXPECT_TRUE(budget.try_reserve(10));
  EXPECT_FALSE(budget.overflowed());
  EXPECT_FALSE(budget.try_reserve(1));
  EXPECT_TRUE(budget.overflowed());
  budget.release(10);
  EXPECT_FALSE(budget.try_reserve(1)) << "an overflowed queue stays overflowed";
}

}  // namespace
}  // namespace kelvane::bridge
