#include "controls/cXListBox.h"

#include "controls/ColorRef.h"
#include "controls/TextCut.h"

#include <QApplication>
#include <QFontMetrics>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QStyledItemDelegate>

#include "platform/Desktop.h"
#include "platform/ErrLog.h"
#include "platform/KeyCodes.h"
#include "platform/QtText.h"

namespace {
int I(long v) { return static_cast<int>(v); }

using ErrLog::Trap;
}  // namespace

class cXListBox::Delegate : public QStyledItemDelegate {
 public:
  Delegate(cXListBox* owner, QObject* parent) : QStyledItemDelegate(parent), owner_(owner) {}
  void paint(QPainter* p, const QStyleOptionViewItem& opt, const QModelIndex& idx) const override {
    QListWidget* list = owner_->ListBox();
    bool selected = (opt.state & QStyle::State_Selected) != 0;
    bool focused = (opt.state & QStyle::State_HasFocus) != 0 ||
                   (list && !list->hasFocus() && list->currentIndex() == idx);
    if (!owner_->PaintRow(p, opt.rect, idx.row(), focused, selected)) QStyledItemDelegate::paint(p, opt, idx);
    owner_->PaintMark(p, opt.rect, idx.row());
  }
  QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override {
    return QSize(static_cast<int>(owner_->extent_), static_cast<int>(owner_->itemHeight_));
  }

 private:
  cXListBox* owner_;
};

class cXListBox::Filter : public QObject {
 public:
  Filter(cXListBox* owner, QObject* parent) : QObject(parent), owner_(owner) {}
  bool eventFilter(QObject* o, QEvent* e) override { return owner_->OnListEvent(o, e); }

 private:
  cXListBox* owner_;
};

cXListBox::cXListBox() = default;

cXListBox::~cXListBox() {
  if (list_) {
    if (filter_) list_->viewport()->removeEventFilter(filter_);
    if (delegate_) list_->setItemDelegate(new QStyledItemDelegate(list_));
  }
  delete delegate_.data();
  delete filter_.data();
}

void cXListBox::ListBox(QListWidget* list) {
  Trap("cXListBox.ListBox", [&] {
    if (list_ == list) return;
    if (list_ && filter_) list_->viewport()->removeEventFilter(filter_);
    delete filter_.data();
    delete delegate_.data();
    list_ = list;
    if (!list) return;
    itemHeight_ = QFontMetrics(list->font()).height() + 2;
    list->setUniformItemSizes(true);
    list->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    list->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    auto* d = new Delegate(this, list);
    list->setItemDelegate(d);
    delegate_ = d;
    auto* f = new Filter(this, list);
    list->viewport()->installEventFilter(f);
    list->viewport()->setMouseTracking(true);
    filter_ = f;
    QObject::connect(list->horizontalScrollBar(), &QScrollBar::valueChanged, f, [this](int v) {
      Trap("cXListBox.HScroll", [&] { HScroll.Raise(v); });
    });
  });
}

bool cXListBox::ShowBorder() const { return list_ && list_->frameShape() != QFrame::NoFrame; }
void cXListBox::ShowBorder(bool on) {
  if (list_) list_->setFrameShape(on ? QFrame::StyledPanel : QFrame::NoFrame);
}

void cXListBox::HorizontalExtend(long px) {
  extent_ = px < 0 ? 0 : px;
  if (list_) list_->doItemsLayout();
}

long cXListBox::HScrollPos() const { return list_ ? list_->horizontalScrollBar()->value() : 0; }
void cXListBox::HScrollPos(long px) {
  if (list_) list_->horizontalScrollBar()->setValue(static_cast<int>(px));
}

void cXListBox::ItemHeight(long px) {
  if (px < 1) return;
  itemHeight_ = px;
  if (list_) list_->doItemsLayout();
}

long cXListBox::FirstVisibile() const { return list_ ? list_->verticalScrollBar()->value() : 0; }
void cXListBox::FirstVisibile(long index) {
  if (list_) list_->verticalScrollBar()->setValue(static_cast<int>(index));
}

long cXListBox::VisibileCount() const {
  if (!list_ || itemHeight_ < 1) return 0;
  return list_->height() / itemHeight_;
}

bool cXListBox::IsItemVisible(long index) const {
  long first = FirstVisibile();
  return first <= index && index <= first + VisibileCount() - 1;
}

void cXListBox::EnsureVisible(long index) {
  if (!list_ || IsItemVisible(index)) return;
  if (index >= FirstVisibile()) {
    long top = index - VisibileCount() + 1;
    FirstVisibile(top < 0 ? 0 : top);
  } else {
    FirstVisibile(index);
  }
}

void cXListBox::RefreshItem(long index, long leftOffset, long width) {
  Trap("cXListBox.RefreshItem", [&] {
    if (!list_ || !IsItemVisible(index)) return;
    QRect r = GetItemRect(index);
    if (r.isEmpty()) return;
    r.setLeft(r.left() + static_cast<int>(leftOffset));
    if (width >= 0) r.setWidth(static_cast<int>(width));
    list_->viewport()->repaint(r);
  });
}

QRect cXListBox::GetItemRect(long index) const {
  if (!list_ || index < 0 || index >= list_->count()) return {};
  return list_->visualItemRect(list_->item(static_cast<int>(index)));
}

void cXListBox::Move(long left, long top, long width, long height, bool inTwips) {
  if (!list_) return;
  if (inTwips) {
    long tx = platform::TwipsPerPixelX(), ty = platform::TwipsPerPixelY();
    left /= tx;
    width /= tx;
    top /= ty;
    height /= ty;
  }
  list_->setUpdatesEnabled(false);
  list_->setGeometry(static_cast<int>(left), static_cast<int>(top), static_cast<int>(width), static_cast<int>(height));
  list_->setUpdatesEnabled(true);
}

long cXListBox::SysColorHighlight() const {
  return colorref::FromQColor(QApplication::palette().color(QPalette::Highlight));
}
long cXListBox::SysColorHighlightText() const {
  return colorref::FromQColor(QApplication::palette().color(QPalette::HighlightedText));
}

long cXListBox::RowAt(long y, long firstVisible, long itemHeight, long count, long& inRowY) {
  inRowY = 0;
  if (itemHeight < 1 || y < 0) return -1;
  long row = y / itemHeight;
  long index = firstVisible + row;
  if (index >= count) return -1;
  inRowY = y - row * itemHeight;
  return index;
}

bool cXListBox::PaintRow(QPainter* p, const QRect& rect, long index, bool focused, bool selected) {
  if (!list_ || index < 0 || index >= list_->count() || !DrawItem.HasSubscribers()) return false;
  bool handled = false;
  p->save();
  p->setClipRect(rect);
  p->translate(rect.topLeft());
  QPainter* prevDc = dc_;
  QRect prevRc = rc_;
  dc_ = p;
  rc_ = rect;
  Trap("cXListBox.DrawItem", [&] {
    DrawItem.Raise(p, rect.left(), rect.top(), rect.width(), rect.height(), index, focused, selected, OdaDrawEntire,
                   handled);
  });
  dc_ = prevDc;
  rc_ = prevRc;
  p->restore();
  return handled;
}

void cXListBox::PaintMark(QPainter* p, const QRect& rect, long index) {
  if (!RowMark) return;
  long color = -1;
  Trap("cXListBox.RowMark", [&] { color = RowMark(index); });
  if (color < 0 || rect.height() < 4) return;
  // A bar at the row's right end, where the host's own drawing rarely reaches.
  p->fillRect(QRect(rect.right() - kMarkWidth, rect.top() + 2, kMarkWidth, rect.height() - 4),
              colorref::ToQColor(color));
}

bool cXListBox::OnListEvent(QObject*, QEvent* e) {
  bool press = e->type() == QEvent::MouseButtonPress, release = e->type() == QEvent::MouseButtonRelease;
  bool move = e->type() == QEvent::MouseMove;
  if (!list_ || !(press || release || move)) return false;
  Trap("cXListBox.Mouse", [&] {
    auto* me = static_cast<QMouseEvent*>(e);
    long x = static_cast<long>(me->position().x()) + HScrollPos();
    long inRow = 0;
    long index = RowAt(static_cast<long>(me->position().y()), FirstVisibile(), itemHeight_, list_->count(), inRow);
    if (index < 0) return;
    int shift = vk::ShiftFromQt(me->modifiers());
    int button = move ? vk::ButtonsFromQt(me->buttons()) : vk::ButtonsFromQt(me->button());
    if (press) ItemMouseDown.Raise(index, button, shift, x, inRow);
    if (release) ItemMouseUp.Raise(index, button, shift, x, inRow);
    if (move) ItemMouseMove.Raise(index, button, shift, x, inRow);
  });
  return false;
}

void cXListBox::FillRect(long x, long y, long width, long height, long color) {
  if (dc_) dc_->fillRect(QRect(I(x), I(y), I(width), I(height)), colorref::ToQColor(color));
}

void cXListBox::DrawBox(long x1, long y1, long x2, long y2, long lineColor, bool fill, long fillColor) {
  if (!dc_) return;
  if (fill) {
    // From one pixel inside the top-left corner to the row's far edges moved by x2, y2.
    QRect r(QPoint(I(x1 + 1), I(y1 + 1)), QPoint(I(rc_.width() + x2 - 2), I(rc_.height() + y2 - 2)));
    dc_->fillRect(r, colorref::ToQColor(fillColor));
  }
  dc_->save();
  dc_->setPen(QPen(colorref::ToQColor(lineColor), 1));
  dc_->drawLine(I(x1), I(y1), I(x2), I(y1));
  dc_->drawLine(I(x2), I(y1), I(x2), I(y2));
  dc_->drawLine(I(x2), I(y2), I(x1), I(y2));
  dc_->drawLine(I(x1), I(y1), I(x1), I(y2));
  dc_->restore();
}

void cXListBox::DrawLine(long x1, long y1, long x2, long y2, long color) {
  if (!dc_) return;
  if (color >= 0) dc_->setPen(QPen(colorref::ToQColor(color), 1));
  dc_->drawLine(I(x1), I(y1), I(x2), I(y2));
}

void cXListBox::DrawFocusRect(long x, long y, long width, long height) {
  if (!dc_ || !list_) return;
  QStyleOptionFocusRect o;
  o.initFrom(list_->viewport());
  o.rect = QRect(I(x), I(y), I(width), I(height));
  list_->style()->drawPrimitive(QStyle::PE_FrameFocusRect, &o, dc_, list_->viewport());
}

void cXListBox::DrawText(TextView text, long color, long x, long y, long width, long height, long format,
                         long extraFlags) {
  if (!dc_) return;
  long f = format | extraFlags;
  int flags = 0;
  flags |= (f & dt::Center) ? Qt::AlignHCenter : (f & dt::Right) ? Qt::AlignRight : Qt::AlignLeft;
  if (f & dt::SingleLine) {
    flags |= Qt::TextSingleLine;
    flags |= (f & dt::VCenter) ? Qt::AlignVCenter : (f & dt::Bottom) ? Qt::AlignBottom : Qt::AlignTop;
  } else {
    flags |= Qt::AlignTop;
  }
  if (f & dt::WordBreak) flags |= Qt::TextWordWrap;
  if (!(f & dt::NoPrefix)) flags |= Qt::TextShowMnemonic;
  QRect r(I(x), I(y), I(width), I(height));
  QString s = qtxt::ToQ(textcut::ForWidth(text, dc_->device() ? dc_->device()->width() : width));
  if (f & dt::EndEllipsis) s = dc_->fontMetrics().elidedText(s, Qt::ElideRight, r.width());
  dc_->save();
  dc_->setPen(colorref::ToQColor(color));
  dc_->setBackgroundMode(Qt::TransparentMode);
  dc_->drawText(r, flags, s);
  dc_->restore();
}

void cXListBox::DrawIcon(const QImage& picture, long x, long y) {
  if (dc_ && !picture.isNull()) dc_->drawImage(QPoint(I(x), I(y)), picture);
}

void cXListBox::DrawIconHandle(const QPixmap& icon, long x, long y) {
  if (dc_ && !icon.isNull()) dc_->drawPixmap(QPoint(I(x), I(y)), icon);
}

void cXListBox::DrawPicture(const QImage& source, long x, long y, long width, long height, long srcX, long srcY) {
  if (!dc_ || source.isNull()) return;
  dc_->save();
  dc_->setCompositionMode(QPainter::CompositionMode_Source);
  dc_->drawImage(QPoint(I(x), I(y)), source, QRect(I(srcX), I(srcY), I(width), I(height)));
  dc_->restore();
}

long cXListBox::TextWidth(TextView text) const {
  // Past the widest coordinate the toolkit draws, the exact width no longer matters.
  QString s = qtxt::ToQ(textcut::ForWidth(text, 32767));
  if (dc_) return dc_->fontMetrics().horizontalAdvance(s);
  if (list_) return QFontMetrics(list_->font()).horizontalAdvance(s);
  return 0;
}
