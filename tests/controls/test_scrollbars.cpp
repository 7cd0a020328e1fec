#include <gtest/gtest.h>

#include <vector>

#include "controls/cScrollBars.h"

namespace {
constexpr int V = cScrollBars::sbVertical;
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

  const std::pair<int, long> steps[] = {
      {cScrollBars::LineDown, 16}, {cScrollBars::PageDown, 116}, {cScrollBars::PageDown, 216},
      {cScrollBars::PageDown, 250}, {cScrollBars::LineDown, 250}, {cScrollBars::Top, 0},
      {cScrollBars::LineUp, 0}, {cScrollBars::Bottom, 250}, {cScrollBars::PageUp, 150},
  };
  for (const auto& [request, expected] : steps) {
    sb.HandleScroll(V, request, 0);
    EXPECT_EQ(sb.Value(V), expected) << request;
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
}
