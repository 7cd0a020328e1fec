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
