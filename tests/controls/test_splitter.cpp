#include <gtest/gtest.h>

#include <QLabel>

#include "ControlsTestUtil.h"
#include "controls/VSplitter.h"
#include "platform/Desktop.h"
#include "tests/common/TestUtil.h"

using ctltest::SendMouse;

TEST(VSplitterLogic, LayoutAndWidthLimit) {
  VSplitterLogic l;
  ASSERT_TRUE(l.Layout(6000, 3000));
  EXPECT_EQ(l.LeftFrame, (SplitRect{0, 0, 1000, 3000}));
  EXPECT_EQ(l.Bar, (SplitRect{1000, 0, 80, 3000}));
  EXPECT_EQ(l.RightFrame, (SplitRect{1080, 0, 4920, 3000}));

  EXPECT_FALSE(l.SetSplitWidth(20));
  EXPECT_EQ(l.SplitWidth, 80);
  EXPECT_TRUE(l.SetSplitWidth(21));
  EXPECT_EQ(l.SplitWidth, 21);

  // No room for the right pane: it keeps its old place.
  l.SplitLeft = 5990;
  EXPECT_FALSE(l.Layout(6000, 3000));
  EXPECT_EQ(l.RightFrame, (SplitRect{1080, 0, 4920, 3000}));
}

TEST(VSplitterLogic, LiveDragLimits) {
  struct Case {
    long startLeft, down, move, expected;
  } cases[] = {
      {1000, 30, 330, 1300},   // plain move
      {1000, 30, 9000, 5910},  // far right: 10 short of the right pane vanishing (6000 - 80 - 10)
      {1000, 30, -5000, 0},    // past the left edge
      {0, 40, 10, 0},
  };
  for (const auto& c : cases) {
    VSplitterLogic l;
    l.LiveResizing = true;
    l.SplitLeft = c.startLeft;
    ASSERT_TRUE(l.LiveDown(c.down));
    l.LiveMove(c.move, 6000);
    EXPECT_EQ(l.SplitLeft, c.expected) << c.move;
  }
  VSplitterLogic locked;
  locked.SplitLocked = true;
  EXPECT_FALSE(locked.LiveDown(10));
  EXPECT_FALSE(locked.LiveMove(500, 6000));
  EXPECT_EQ(locked.SplitLeft, 1000);
}

TEST(VSplitterLogic, RubberBandResultAndConfinement) {
  VSplitterLogic l;
  l.Layout(6000, 3000);
  ASSERT_TRUE(l.BandDown(500));
  l.BandUp(520, 15);
  EXPECT_EQ(l.SplitLeft, 1000 + 20 * 15);
  l.Layout(6000, 3000);
  l.BandDown(500);
  l.BandUp(100, 15);
  EXPECT_EQ(l.SplitLeft, 0);
  long mn = 0, mx = 0;
  VSplitterLogic::BandConfine(100, 500, 3, 5, mn, mx);
  EXPECT_EQ(mn, 103);
  EXPECT_EQ(mx, 495);
}

TEST(VSplitterLogic, GradientColumns) {
  // Columns of a plain ramp are checked on pixels below.
  EXPECT_EQ(GetMixColor(0x0000FF, 0xFF0000, 2, 4), 0x800080);  // each channel on its own
  EXPECT_EQ(GetMixColor(0x123456, 0x654321, 0, 0), 0x123456);  // no width: no division
}

TEST(VSplitter, PanesTagsEventsAndPixels) {
  const int tpp = platform::TwipsPerPixelX();
  VSplitter sp;
  sp.resize(400, 200);
  QLabel tagged(&sp), other(&sp), rightOne(&sp);
  VSplitter::SetTag(&tagged, u"leftframe");
  VSplitter::SetTag(&rightOne, u"RIGHTFRAME");
  other.setGeometry(5, 6, 7, 8);
  std::vector<std::pair<long, long>> leftSizes, rightSizes;
  auto c1 = sp.ResizeLeftFrame.Subscribe([&](long& w, long& h) { leftSizes.emplace_back(w, h); });
  auto c2 = sp.ResizeRightFrame.Subscribe([&](long& w, long& h) { rightSizes.emplace_back(w, h); });
  sp.SplitLeft(100 * tpp);
  sp.SplitWidth(8 * tpp);
  sp.SplitStartColor(0x000000);
  sp.SplitEndColor(0x000080);
  sp.show();
  QApplication::processEvents();

  EXPECT_EQ(tagged.geometry(), QRect(0, 0, 100, 200));
  EXPECT_EQ(rightOne.geometry(), QRect(108, 0, 292, 200));
  EXPECT_EQ(other.geometry(), QRect(5, 6, 7, 8));
  ASSERT_FALSE(leftSizes.empty());
  EXPECT_EQ(leftSizes.back(), std::make_pair(100L * tpp, 200L * tpp));
  EXPECT_EQ(rightSizes.back(), std::make_pair(292L * tpp, 200L * tpp));
  EXPECT_EQ(sp.RightFrameLeft(), 108 * tpp);

  QImage im = sp.grab().toImage();
  for (int x = 0; x < 8; ++x) {
    QColor c = im.pixelColor(100 + x, 50);
    EXPECT_EQ(c.red(), 16 * x) << x;
    EXPECT_EQ(c.green(), 0);
    EXPECT_EQ(c.blue(), 0);
  }
}

TEST(VSplitter, MouseDragLiveAndBandAndLocked) {
  const int tpp = platform::TwipsPerPixelX();
  VSplitter sp;
  sp.resize(400, 200);
  sp.SplitLeft(100 * tpp);
  sp.show();
  QApplication::processEvents();
  QWidget* bar = sp.Bar();

  // Rubber band: nothing moves until the button is released.
  SendMouse(bar, QEvent::MouseButtonPress, 2, 10);
  SendMouse(bar, QEvent::MouseMove, 32, 10);
  EXPECT_EQ(sp.SplitLeft(), 100 * tpp);
  SendMouse(bar, QEvent::MouseButtonRelease, 32, 10);
  EXPECT_EQ(sp.SplitLeft(), 130 * tpp);

  sp.LiveResizing(true);
  SendMouse(bar, QEvent::MouseButtonPress, 2, 10);
  SendMouse(bar, QEvent::MouseMove, 12, 10);
  EXPECT_EQ(sp.SplitLeft(), 140 * tpp);
  SendMouse(bar, QEvent::MouseButtonRelease, 12, 10);

  sp.SplitLocked(true);
  EXPECT_EQ(bar->cursor().shape(), Qt::ForbiddenCursor);
  SendMouse(bar, QEvent::MouseButtonPress, 2, 10);
  SendMouse(bar, QEvent::MouseMove, 50, 10);
  SendMouse(bar, QEvent::MouseButtonRelease, 50, 10);
  EXPECT_EQ(sp.SplitLeft(), 140 * tpp);
  sp.SplitLocked(false);
  EXPECT_EQ(bar->cursor().shape(), Qt::SplitHCursor);
}
