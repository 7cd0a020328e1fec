#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/ErrLog.h"
#include "platform/Event.h"
#include "platform/EventLoop.h"
#include "tests/common/TestUtil.h"

TEST(Event, OrderUnsubscribeAndReentrancy) {
  Event<int, bool&> ev;
  std::vector<std::string> calls;
  auto c1 = ev.Subscribe([&](int v, bool& cancel) {
    calls.push_back("a" + std::to_string(v));
    cancel = true;
  });
  Connection c2 = ev.Subscribe([&](int v, bool&) { calls.push_back("b" + std::to_string(v)); });
  bool cancel = false;
  ev.Raise(1, cancel);
  EXPECT_TRUE(cancel);
  EXPECT_EQ(calls, (std::vector<std::string>{"a1", "b1"}));
  c2.Disconnect();  // an unsubscribed handler is not called again

  // A handler that drops a later handler's connection stops that handler at once.
  Connection later;
  auto c3 = ev.Subscribe([&](int, bool&) { later.Disconnect(); });
  later = ev.Subscribe([&](int, bool&) { calls.push_back("never"); });
  calls.clear();
  ev.Raise(3, cancel);
  EXPECT_EQ(calls, (std::vector<std::string>{"a3"}));
}

TEST(Event, OwnerDestroyedInsideHandlerAndThrowingHandler) {
  auto ev = std::make_unique<Event<>>();
  int after = 0;
  auto c1 = ev->Subscribe([&] { ev.reset(); });
  auto c2 = ev->Subscribe([&] { ++after; });
  ev->Raise();  // the event dies inside its own raise
  EXPECT_EQ(after, 1);
  // The connections outlive the event without harm.
  c1.Disconnect();

  Event<> e2;
  std::vector<Text> lines;
  ErrLog::SetSink([&](const Text& l) { lines.push_back(l); });
  auto t = e2.Subscribe([] { throw std::runtime_error("boom"); });
  int ran = 0;
  auto u = e2.Subscribe([&] { ++ran; });
  e2.Raise();
  ErrLog::SetSink(nullptr);
  EXPECT_EQ(ran, 1);
  ASSERT_EQ(lines.size(), 1u);
}

TEST(EventLoop, PostedCallsRunInOrderAndTimersStop) {
  std::vector<int> order;
  for (int i = 0; i < 5; ++i) platform::PostCall([&order, i] { order.push_back(i); });
  ASSERT_TRUE(platform::WaitUntil([&] { return order.size() == 5; }, 1000));
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4}));

  EXPECT_EQ(platform::StartTimer(0, [] {}), 0u);
  int ticks = 0;
  platform::TimerId id = platform::StartTimer(5, [&] { ++ticks; });
  ASSERT_NE(id, 0u);
  ASSERT_TRUE(platform::WaitUntil([&] { return ticks >= 2; }, 1000));
  platform::StopTimer(id);
  platform::StopTimer(id);  // twice is harmless; no tick after a stop is the timer test's
  EXPECT_FALSE(platform::TimerActive(id));
}
