#include <gtest/gtest.h>

#include <vector>

#include "controls/cScrollBars.h"

namespace {
constexpr int V = cScrollBars::sbVertical;
}

TEST(ScrollBars, MaxIsNativeMaxMinusPageAndLargeChangeKeepsIt) {
  cScrollBars sb;
  sb.LargeChange(V, 100);
  sb.Max(V, 400);
  EXPECT_EQ(sb.Max(V), 400);
  sb.LargeChange(V, 50);
  EXPECT_EQ(sb.Max(V), 400);
  EXPECT_TRUE(sb.Shown(V));
  // A tree as tall as the page (or shorter) needs no bar.
  sb.Max(V, -1);
  EXPECT_FALSE(sb.Shown(V));
  sb.Max(V, 0);
  EXPECT_TRUE(sb.Shown(V));
}

TEST(ScrollBars, RequestsClampAndReportOnlyRealChanges) {
  cScrollBars sb;
  sb.SmallChange(V, 16);
  sb.LargeChange(V, 100);
  sb.Max(V, 250);
  std::vector<long> changes;
  int scrolls = 0;
  auto c1 = sb.Change.Subscribe([&](int bar) { changes.push_back(sb.Value(bar)); });
  auto c2 = sb.Scroll.Subscribe([&](int) { ++scrolls; });

  struct Step {
    int request;
    long track;
    long expected;
  } steps[] = {
      {cScrollBars::LineDown, 0, 16},  {cScrollBars::PageDown, 0, 116}, {cScrollBars::PageDown, 0, 216},
      {cScrollBars::PageDown, 0, 250}, {cScrollBars::LineDown, 0, 250}, {cScrollBars::Top, 0, 0},
      {cScrollBars::LineUp, 0, 0},     {cScrollBars::Bottom, 0, 250},   {cScrollBars::PageUp, 0, 150},
  };
  for (const auto& s : steps) {
    sb.HandleScroll(V, s.request, s.track);
    EXPECT_EQ(sb.Value(V), s.expected) << s.request;
  }
  EXPECT_EQ(changes, (std::vector<long>{16, 116, 216, 250, 0, 250, 150}));

  // Tracking moves and reports Scroll; the end of scrolling reports the change once. A drag
  // (or a set) may end the page on the range's last unit, one past Max, as the native bar
  // does; line and page steps stop at Max.
  sb.HandleScroll(V, cScrollBars::ThumbTrack, 40);
  sb.HandleScroll(V, cScrollBars::ThumbTrack, 999);
  EXPECT_EQ(sb.Value(V), 251);
  EXPECT_EQ(scrolls, 2);
  sb.HandleScroll(V, cScrollBars::EndScroll);
  EXPECT_EQ(changes.size(), 8u);
  EXPECT_EQ(changes.back(), 251);  // 150 -> 251
  sb.HandleScroll(V, cScrollBars::EndScroll);
  EXPECT_EQ(changes.size(), 8u);
  sb.HandleScroll(V, cScrollBars::LineDown);
  EXPECT_EQ(sb.Value(V), 250);
  // Setting the same value again reports nothing.
  sb.Value(V, 250);
  EXPECT_EQ(changes.size(), 9u);
}

TEST(ScrollBars, WheelAmountCanBeChangedByTheHost) {
  cScrollBars sb;
  sb.SmallChange(V, 16);
  sb.LargeChange(V, 100);
  sb.Max(V, 1000);
  sb.Value(V, 500);
  long seen = 0;
  auto c = sb.MouseWheel.Subscribe([&](int, long& amount) { seen = amount; });
  sb.HandleWheel(-120, 3);  // one notch towards the user
  EXPECT_EQ(seen, 48);
  EXPECT_EQ(sb.Value(V), 548);
  sb.HandleWheel(240, 3);
  EXPECT_EQ(sb.Value(V), 452);

  auto zero = sb.MouseWheel.Subscribe([&](int, long& amount) { amount = 0; });
  sb.HandleWheel(-120, 3);
  EXPECT_EQ(sb.Value(V), 452);

  std::vector<std::pair<int, int>> clicks;
  auto cc = sb.ScrollClick.Subscribe([&](int bar, int button) { clicks.emplace_back(bar, button); });
  sb.HandleNcPress(V, 2);
  sb.HandleNcPress(V, 4);  // middle: not reported
  EXPECT_EQ(clicks, (std::vector<std::pair<int, int>>{{V, 2}}));
}
