#include <gtest/gtest.h>

#include <QListWidget>
#include <QPainter>
#include <vector>

#include "ControlsTestUtil.h"
#include "controls/cXListBox.h"
#include "tests/common/TestUtil.h"

namespace {

struct Fixture {
  QListWidget list;
  cXListBox xl;
  explicit Fixture(int rows, int height = 16 * 6 + 4) {
    for (int i = 0; i < rows; ++i) list.addItem(QString("row %1").arg(i));
    list.setFrameShape(QFrame::NoFrame);
    list.resize(200, height);
    xl.ListBox(&list);
    xl.ItemHeight(16);
    list.show();
    QApplication::processEvents();
  }
};

// Presses carry Shift, so the shift state reaches the events as 1.
void Press(QWidget* w, QEvent::Type type, int x, int y, Qt::MouseButton b = Qt::LeftButton) {
  ctltest::SendMouse(w, type, x, y, b, Qt::ShiftModifier);
}

}  // namespace

TEST(XListBox, RowUnderPointer) {
  struct Case {
    long y, first, count, index, inRow;
  } cases[] = {
      {20, 10, 30, 11, 4},  // scrolled to item 10, 20 px down
      {0, 0, 3, 0, 0},      {47, 0, 3, 2, 15},
      {48, 0, 3, -1, 0},  // below the last row
      {-1, 0, 3, -1, 0},  {5, 0, 0, -1, 0},
  };
  for (const auto& c : cases) {
    long inRow = -7;
    EXPECT_EQ(cXListBox::RowAt(c.y, c.first, 16, c.count, inRow), c.index) << c.y;
    EXPECT_EQ(inRow, c.inRow) << c.y;
  }
}

TEST(XListBox, DrawItemPerVisibleRowInRowCoordinates) {
  Fixture f(20);
  std::vector<long> drawn;
  auto c = f.xl.DrawItem.Subscribe([&](QPainter*, long, long top, long w, long h, long index, bool, bool selected,
                                       long action, bool& handled) {
    drawn.push_back(index);
    EXPECT_EQ(h, 16);
    EXPECT_GT(w, 0);
    EXPECT_EQ(top, (index - f.xl.FirstVisibile()) * 16);
    EXPECT_EQ(action, cXListBox::OdaDrawEntire);
    // Row coordinates: (0,0) is the row's top-left corner, whatever the row.
    handled = index != 3;  // row 3 keeps the list's own drawing
    if (!handled) return;
    f.xl.FillRect(0, 0, w, h, selected ? 0x0000FF : 0x00FF00);
    f.xl.DrawBox(1, 1, 5, 5, 0xFF0000);
  });
  f.list.setCurrentRow(1);
  QImage im = f.list.viewport()->grab().toImage();
  // Rows 0..6 are (partly) visible: each drawn, none beyond.
  ASSERT_FALSE(drawn.empty());
  EXPECT_LE(*std::max_element(drawn.begin(), drawn.end()), 6);
  EXPECT_EQ(im.pixelColor(50, 8), QColor(0, 255, 0));       // row 0, plain
  EXPECT_EQ(im.pixelColor(50, 16 + 8), QColor(255, 0, 0));  // row 1, selected (0x0000FF is red)
  EXPECT_EQ(im.pixelColor(1, 32 + 1), QColor(0, 0, 255));   // box corner in row 2's coordinates
  EXPECT_NE(im.pixelColor(50, 48 + 8), QColor(0, 255, 0));  // row 3 not handled: default drawing
}

TEST(XListBox, EmptyListDrawsNothingAndClicksBelowRowsAreSilent) {
  Fixture f(0);
  int draws = 0;
  auto c = f.xl.DrawItem.Subscribe([&](QPainter*, long, long, long, long, long, bool, bool, long, bool&) { ++draws; });
  f.list.viewport()->grab();
  EXPECT_EQ(draws, 0);

  Fixture g(3);
  std::vector<std::vector<long>> downs, ups;
  auto d = g.xl.ItemMouseDown.Subscribe(
      [&](long i, int b, int s, long x, long y) { downs.push_back({i, b, s, x, y}); });
  auto u = g.xl.ItemMouseUp.Subscribe([&](long i, int b, int s, long x, long y) { ups.push_back({i, b, s, x, y}); });
  Press(g.list.viewport(), QEvent::MouseButtonPress, 30, 60);  // below row 2
  EXPECT_TRUE(downs.empty());
  Press(g.list.viewport(), QEvent::MouseButtonPress, 30, 20, Qt::RightButton);
  Press(g.list.viewport(), QEvent::MouseButtonRelease, 31, 21, Qt::RightButton);
  ASSERT_EQ(downs.size(), 1u);
  EXPECT_EQ(downs[0], (std::vector<long>{1, 2, 1, 30, 4}));
  ASSERT_EQ(ups.size(), 1u);
  EXPECT_EQ(ups[0], (std::vector<long>{1, 2, 1, 31, 5}));
}

TEST(XListBox, ScrolledPressAndVisibility) {
  Fixture f(40);  // 100 px tall: 6 visible rows
  EXPECT_EQ(f.xl.VisibileCount(), 6);
  f.xl.FirstVisibile(10);
  std::vector<long> got;
  auto d = f.xl.ItemMouseDown.Subscribe([&](long i, int, int, long, long y) { got = {i, y}; });
  Press(f.list.viewport(), QEvent::MouseButtonPress, 5, 20);
  EXPECT_EQ(got, (std::vector<long>{11, 4}));

  EXPECT_TRUE(f.xl.IsItemVisible(10));
  EXPECT_TRUE(f.xl.IsItemVisible(15));
  EXPECT_FALSE(f.xl.IsItemVisible(16));
  EXPECT_FALSE(f.xl.IsItemVisible(9));
  f.xl.EnsureVisible(25);  // below: becomes the last visible row
  EXPECT_EQ(f.xl.FirstVisibile(), 20);
  f.xl.EnsureVisible(3);  // above: becomes the first
  EXPECT_EQ(f.xl.FirstVisibile(), 3);
  f.xl.EnsureVisible(5);  // already visible: nothing moves
  EXPECT_EQ(f.xl.FirstVisibile(), 3);
}

TEST(XListBox, RefreshItemRedrawsOnlyThatRowAndHScrollReports) {
  Fixture f(10);
  std::vector<long> drawn;
  long colour = 0x00FF00;
  auto c = f.xl.DrawItem.Subscribe([&](QPainter*, long, long, long w, long h, long index, bool, bool, long,
                                       bool& handled) {
    drawn.push_back(index);
    f.xl.FillRect(0, 0, w, h, colour);
    EXPECT_GT(f.xl.TextWidth(u"[fr]"), 0);
    handled = true;
  });
  f.list.viewport()->grab();
  drawn.clear();
  f.xl.RefreshItem(2);
  EXPECT_EQ(drawn, (std::vector<long>{2}));
  drawn.clear();
  f.xl.RefreshItem(50);  // not a visible row
  EXPECT_TRUE(drawn.empty());

  std::vector<long> scrolls;
  auto h = f.xl.HScroll.Subscribe([&](long pos) { scrolls.push_back(pos); });
  f.xl.HorizontalExtend(1000);
  QApplication::processEvents();
  f.xl.HScrollPos(40);
  EXPECT_EQ(f.xl.HScrollPos(), 40);
  EXPECT_EQ(scrolls, (std::vector<long>{40}));
  // The position inside the row includes the horizontal scroll.
  long x = -1;
  auto d = f.xl.ItemMouseDown.Subscribe([&](long, int, int, long px, long) { x = px; });
  Press(f.list.viewport(), QEvent::MouseButtonPress, 5, 5);
  EXPECT_EQ(x, 45);
}
