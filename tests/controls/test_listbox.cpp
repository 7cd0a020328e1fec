#include <gtest/gtest.h>

#include <QListWidget>
#include <QPainter>
#include <vector>

#include "ControlsTestUtil.h"
#include "controls/TextCut.h"
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

TEST(XListBox, ScrolledPressAndVisibility) {
  Fixture f(40);  // 100 px tall: 6 visible rows
  EXPECT_EQ(f.xl.VisibileCount(), 6);
  f.xl.FirstVisibile(10);
  std::vector<long> got;
  auto d = f.xl.ItemMouseDown.Subscribe([&](long i, int, int, long, long y) { got = {i, y}; });
  Press(f.list.viewport(), QEvent::MouseButtonPress, 5, 20);
  EXPECT_EQ(got, (std::vector<long>{11, 4}));

  EXPECT_TRUE(f.xl.IsItemVisible(15));
  EXPECT_FALSE(f.xl.IsItemVisible(16));
  f.xl.EnsureVisible(25);  // below: becomes the last visible row
  EXPECT_EQ(f.xl.FirstVisibile(), 20);
  f.xl.EnsureVisible(3);  // above: becomes the first
  EXPECT_EQ(f.xl.FirstVisibile(), 3);
}

// A 20 MB value or name is cut to what a row can show before it is measured or drawn.
TEST(XListBox, HugeTextsAreCutBeforeMeasuringAndDrawing) {
  const Text huge = u"N" + Text(20u << 20, u'x');
  Fixture f(3);
  long measured = f.xl.TextWidth(huge);
  EXPECT_GT(measured, 0);
  EXPECT_LE(measured, f.xl.TextWidth(Text(32768, u'N')) + f.xl.TextWidth(u"\u2026"));
  bool drawn = false;
  auto c = f.xl.DrawItem.Subscribe([&](QPainter*, long, long, long w, long h, long index, bool, bool, long, bool& handled) {
    if (index != 0) return;
    f.xl.DrawText(huge, 0, 0, 0, w, h, dt::SingleLine);
    drawn = handled = true;
  });
  f.list.viewport()->grab();
  EXPECT_TRUE(drawn);
  struct Case { Text in; long width; size_t size; } cuts[] = {{u"short", 300, 5}, {Text(400, u'a'), 300, 302}, {Text(10, u'a'), 2, 10}};
  for (auto& c2 : cuts) EXPECT_EQ(textcut::ForWidth(c2.in, c2.width).size(), c2.size);
  Text pair = Text(300, u'a') + u"\U0001F600";  // the cut would fall inside the pair
  EXPECT_EQ(textcut::ForWidth(pair, 300).substr(0, 300), Text(300, u'a'));
  EXPECT_EQ(textcut::ForWidth(pair, 300).size(), 301u);
}
