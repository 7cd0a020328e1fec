#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/ErrLog.h"
#include "platform/Event.h"
#include "platform/EventLoop.h"
#include "platform/FileWatch.h"
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

TEST(FileWatch, ChangesInPlaceByRenameAndAfterDeletionAreReportedOnce) {
  testutil::TempDir dir;
  std::string a = dir.file("a.xml"), b = dir.file("b.xml");
  testutil::WriteAll(a, "1");
  testutil::WriteAll(b, "1");
  platform::FileWatch w;
  w.DelayMs(50);
  std::vector<std::string> seen;
  w.Changed = [&](const Text& p) { seen.push_back(txt::ToUtf8(p)); };
  w.SetFiles({txt::FromUtf8(a), txt::FromUtf8(b)});
  auto expectReport = [&](const char* what, const std::function<void()>& change) {
    seen.clear();
    change();
    EXPECT_TRUE(platform::WaitUntil([&] { return !seen.empty(); }, 3000)) << what;
    platform::WaitMs(150);
    EXPECT_EQ(seen, std::vector<std::string>{a}) << what;
  };
  expectReport("written in place", [&] { testutil::WriteAll(a, "22"); });
  expectReport("renamed over", [&] {
    testutil::WriteAll(a + ".tmp", "333");
    std::filesystem::rename(a + ".tmp", a);
  });
  expectReport("changed again after the rename", [&] { testutil::WriteAll(a, "4444"); });
  expectReport("deleted", [&] { std::filesystem::remove(a); });
  expectReport("written anew", [&] { testutil::WriteAll(a, "5"); });

  w.SetFiles({});
  seen.clear();
  testutil::WriteAll(a, "66");
  platform::WaitMs(200);
  EXPECT_TRUE(seen.empty());
}
