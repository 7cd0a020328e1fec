#include "controls/VSplitter.h"

#include <QMouseEvent>
#include <algorithm>
#include <QPainter>
#include <QRubberBand>
#include <QVariant>

#include "controls/ColorRef.h"
#include "platform/Desktop.h"
#include "platform/ErrLog.h"
#include "platform/QtText.h"

class VSplitter::BarWidget : public QWidget {
 public:
  BarWidget(VSplitter* owner) : QWidget(owner), owner_(owner) {}

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    int w = width();
    for (int x = 0; x < w; ++x) {
      p.setPen(colorref::ToQColor(GetMixColor(owner_->startColor_, owner_->endColor_, x, w)));
      p.drawLine(x, 0, x, height() - 1);
    }
  }

 private:
  VSplitter* owner_;
};

VSplitter::VSplitter(QWidget* parent) : QWidget(parent) {
  left_ = new QWidget(this);
  left_->setObjectName("FrameGauche");
  bar_ = new BarWidget(this);
  bar_->setObjectName("Separateur");
  right_ = new QWidget(this);
  right_->setObjectName("FrameDroite");
  bar_->setCursor(Qt::SplitHCursor);
  bar_->installEventFilter(this);
  left_->installEventFilter(this);
  right_->installEventFilter(this);
  band_ = new QRubberBand(QRubberBand::Line, this);
  DoLayout();
}

VSplitter::~VSplitter() = default;

int VSplitter::Tpp() const { return platform::TwipsPerPixelX(); }

void VSplitter::SplitLeft(long twips) {
  logic_.SplitLeft = twips;
  DoLayout();
}

void VSplitter::SplitWidth(long twips) {
  if (logic_.SetSplitWidth(twips)) DoLayout();
}

void VSplitter::SplitStartColor(long c) {
  startColor_ = c;
  bar_->update();
}

void VSplitter::SplitEndColor(long c) {
  endColor_ = c;
  bar_->update();
}

void VSplitter::SplitLocked(bool on) {
  logic_.SplitLocked = on;
  bar_->setCursor(on ? Qt::ForbiddenCursor : Qt::SplitHCursor);
}

void VSplitter::SetTag(QWidget* w, TextView tag) {
  if (w) w->setProperty("Tag", qtxt::ToQ(tag));
}

Text VSplitter::Tag(const QWidget* w) { return w ? qtxt::FromQ(w->property("Tag").toString()) : Text(); }

void VSplitter::resizeEvent(QResizeEvent*) { DoLayout(); }

void VSplitter::DoLayout() {
  if (inLayout_) return;
  inLayout_ = true;
  try {
    bool right = logic_.Layout(PxToTw(width()), PxToTw(height()));
    auto place = [this](QWidget* w, const SplitRect& r) {
      w->setGeometry(TwToPx(r.Left), TwToPx(r.Top), TwToPx(r.Width), TwToPx(r.Height));
    };
    place(left_, logic_.LeftFrame);
    place(bar_, logic_.Bar);
    if (right) place(right_, logic_.RightFrame);
    // Panes react to their own size changes; a pane whose size did not change still owes
    // its contents the new place when the bar moved.
    PaneResized(true);
    if (right) PaneResized(false);
  } catch (const std::exception& e) {
    ErrLog::Exception("VSplitter.Layout", e.what());
  }
  inLayout_ = false;
}

void VSplitter::PaneResized(bool leftPane) {
  QWidget* pane = leftPane ? left_ : right_;
  const char16_t* tag = leftPane ? u"LeftFrame" : u"RightFrame";
  for (QObject* o : children()) {
    auto* w = qobject_cast<QWidget*>(o);
    if (!w || w == left_ || w == right_ || w == bar_ || w == band_) continue;
    if (!txt::EqualsNoCase(Tag(w), tag)) continue;
    w->setGeometry(pane->geometry());
    w->raise();
  }
  const SplitRect& r = leftPane ? logic_.LeftFrame : logic_.RightFrame;
  long w = r.Width, h = r.Height;
  if (leftPane)
    ResizeLeftFrame.Raise(w, h);
  else
    ResizeRightFrame.Raise(w, h);
}

bool VSplitter::eventFilter(QObject* o, QEvent* e) {
  if (o != bar_) return QWidget::eventFilter(o, e);
  try {
    switch (e->type()) {
      case QEvent::MouseButtonPress: {
        auto* me = static_cast<QMouseEvent*>(e);
        if (me->button() != Qt::LeftButton || logic_.SplitLocked) return true;
        long xIn = static_cast<long>(me->position().x());
        if (logic_.LiveResizing) {
          logic_.LiveDown(PxToTw(xIn));
        } else {
          long sx = static_cast<long>(me->globalPosition().x());
          logic_.BandDown(sx);
          grabOffsetPx_ = xIn;
          barStartPx_ = bar_->x();
          QPoint tl = mapToGlobal(QPoint(0, 0));
          VSplitterLogic::BandConfine(tl.x(), tl.x() + width(), xIn, bar_->width(), bandMin_, bandMax_);
          band_->setGeometry(bar_->geometry());
          band_->show();
          band_->raise();
        }
        return true;
      }
      case QEvent::MouseMove: {
        auto* me = static_cast<QMouseEvent*>(e);
        if (!logic_.Dragging()) return false;
        if (logic_.LiveResizing) {
          if (logic_.LiveMove(PxToTw(static_cast<long>(me->position().x())), PxToTw(width()))) DoLayout();
        } else {
          long sx = std::clamp(static_cast<long>(me->globalPosition().x()), bandMin_, bandMax_);
          QRect g = bar_->geometry();
          g.moveLeft(static_cast<int>(barStartPx_ + sx - logic_.DragStart()));
          band_->setGeometry(g);
        }
        return true;
      }
      case QEvent::MouseButtonRelease: {
        auto* me = static_cast<QMouseEvent*>(e);
        if (me->button() != Qt::LeftButton || !logic_.Dragging()) return false;
        if (logic_.LiveResizing) {
          logic_.LiveUp();
        } else {
          band_->hide();
          long sx = std::clamp(static_cast<long>(me->globalPosition().x()), bandMin_, bandMax_);
          logic_.BandUp(sx, Tpp());
          DoLayout();
        }
        return true;
      }
      default: break;
    }
  } catch (const std::exception& ex) {
    ErrLog::Exception("VSplitter.Bar", ex.what());
  }
  return QWidget::eventFilter(o, e);
}
