#pragma once
// Turns a toolkit list widget into a list whose rows the host paints: one DrawItem per row
// to paint, drawing operations in row coordinates, mouse events per row (row index and the
// position inside the row). Row indexes are the list's own, from 0.
#include <QImage>
#include <QPixmap>
#include <QPointer>
#include <QRect>
#include <functional>

#include "platform/Event.h"
#include "platform/Text.h"

class QListWidget;
class QPainter;
class QObject;
class QEvent;

// DrawText format flags (the Windows values).
namespace dt {
constexpr long Left = 0x0, Center = 0x1, Right = 0x2, VCenter = 0x4, Bottom = 0x8, WordBreak = 0x10,
               SingleLine = 0x20, NoPrefix = 0x800, EndEllipsis = 0x8000;
}

class cXListBox {
 public:
  cXListBox();
  ~cXListBox();
  cXListBox(const cXListBox&) = delete;
  cXListBox& operator=(const cXListBox&) = delete;

  QListWidget* ListBox() const { return list_.data(); }
  void ListBox(QListWidget* list);

  bool ShowBorder() const;
  void ShowBorder(bool on);
  long HorizontalExtend() const { return extent_; }
  void HorizontalExtend(long px);
  long HScrollPos() const;
  void HScrollPos(long px);
  long ItemHeight() const { return itemHeight_; }
  // Rows are all this tall (the list's fixed item height).
  void ItemHeight(long px);
  long FirstVisibile() const;
  void FirstVisibile(long index);
  long VisibileCount() const;
  bool IsItemVisible(long index) const;
  void EnsureVisible(long index);
  void RefreshItem(long index, long leftOffset = 0, long width = -1);
  QRect GetItemRect(long index) const;
  void Move(long left, long top, long width, long height, bool inTwips = false);
  long SysColorHighlight() const;
  long SysColorHighlightText() const;
  void LockRefresh(bool on) { lockRefresh_ = on; }

  // Drawing in the row being drawn; valid only during DrawItem.
  void FillRect(long x, long y, long width, long height, long color);
  void DrawBox(long x1, long y1, long x2, long y2, long lineColor, bool fill = false, long fillColor = 0);
  void DrawLine(long x1, long y1, long x2, long y2, long color = -1);
  void DrawFocusRect(long x, long y, long width, long height);
  void DrawText(TextView text, long color, long x, long y, long width, long height, long format = 0,
                long extraFlags = 0);
  void DrawIcon(const QImage& picture, long x, long y);
  void DrawIconHandle(const QPixmap& icon, long x, long y);
  void DrawPicture(const QImage& source, long x, long y, long width, long height, long srcX, long srcY);
  long TextWidth(TextView text) const;
  // The painter of the row being drawn (row coordinates), for drawing the operations above
  // do not offer; null outside DrawItem.
  QPainter* Painter() const { return dc_; }

  // hDC (the row's painter), Left, Top, Width, Height, Index, Focused, Selected, Action, Handled.
  Event<QPainter*, long, long, long, long, long, bool, bool, long, bool&> DrawItem;
  Event<long, int, int, long, long> ItemMouseMove;
  Event<long, int, int, long, long> ItemMouseDown;
  Event<long, int, int, long, long> ItemMouseUp;
  Event<long> HScroll;
  // A mark the host wants on a row (a colour as 0x00BBGGRR), or -1 for none; asked at
  // every paint of the row, so it never goes stale.
  std::function<long(long index)> RowMark;
  static constexpr int kMarkWidth = 4;

  // Item action code passed with DrawItem: the whole row.
  static constexpr long OdaDrawEntire = 1;

  // The row under a list position in pixels (x already including the horizontal scroll):
  // -1 when below the last row; inRowY receives the position inside the row.
  static long RowAt(long y, long firstVisible, long itemHeight, long count, long& inRowY);

 private:
  class Delegate;
  class Filter;
  friend class Delegate;
  friend class Filter;
  bool PaintRow(QPainter* p, const QRect& rect, long index, bool focused, bool selected);
  bool OnListEvent(QObject* o, QEvent* e);
  void PaintMark(QPainter* p, const QRect& rect, long index);

  QPointer<QListWidget> list_;
  QPointer<QObject> delegate_;
  QPointer<QObject> filter_;
  QPainter* dc_ = nullptr;
  QRect rc_;
  long extent_ = 0;
  long itemHeight_ = 16;
  bool lockRefresh_ = false;
};
