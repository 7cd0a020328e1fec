#include <gtest/gtest.h>

#include <vector>

#include "platform/EventLoop.h"
#include "platform/cTimeOut.h"
#include "platform/cTimer.h"

TEST(Timer, EnabledFollowsTheIntervalAndStoppingFromItsOwnTickIsSafe) {
  cTimer t;
  t.Enabled(true);  // Interval 0: stays off
  EXPECT_FALSE(t.Enabled());
  int ticks = 0, stopAt = 3;
  auto c = t.Timer.Subscribe([&] {
    if (++ticks == stopAt) t.Enabled(false);
  });
  t.Interval(5);
  t.Enabled(true);
  EXPECT_TRUE(t.Enabled());
  platform::WaitMs(120);
  EXPECT_EQ(ticks, 3);
  EXPECT_FALSE(t.Enabled());
}

TEST(TimeOut, TicksThenTimesOutAndStops) {
  cTimeOut to;
  std::vector<float> elapsed;
  int timeouts = 0;
  auto c1 = to.Tick.Subscribe([&](float e) { elapsed.push_back(e); });
  auto c2 = to.TimeOut.Subscribe([&] { ++timeouts; });
  // Scaled down from 1000/3000 ms: the counting is the same.
  to.TickIntervall(20);
  to.TimeOutIntervall(60);
  to.Enabled(true);
  ASSERT_TRUE(platform::WaitUntil([&] { return timeouts == 1; }, 3000));
  EXPECT_EQ(elapsed, (std::vector<float>{0, 20, 40}));
  EXPECT_FALSE(to.Enabled());
  platform::WaitMs(80);
  EXPECT_EQ(timeouts, 1);

  // A new tick interval applies to a running counter at once.
  to.TickIntervall(5000);
  to.TimeOutIntervall(0);
  to.Enabled(true);
  to.TickIntervall(10);
  EXPECT_TRUE(platform::WaitUntil([&] { return elapsed.size() >= 6; }, 1000));
}
