#include "controls/cScrollBars.h"

#include <QApplication>
#include <QEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QScrollBar>
#include <QWheelEvent>
#include <QWidget>

#include <algorithm>

#include "platform/ErrLog.h"

// Keeps the toolkit's scroll bar widgets in step with the arithmetic and turns their
// actions into scroll requests.
class cScrollBars::Binder : public QObject {
 public:
  Binder(cScrollBars* owner, QWidget* window) : owner_(owner), window_(window) {
    for (int i = 0; i < 2; ++i) {
      auto* sb = new QScrollBar(i == 0 ? Qt::Horizontal : Qt::Vertical, window);
      sb->hide();
      sb->installEventFilter(this);
      int bar = i == 0 ? sbHorizontal : sbVertical;
      connect(sb, &QAbstractSlider::actionTriggered, this, [this, sb, bar](int action) { OnAction(sb, bar, action); });
      connect(sb, &QAbstractSlider::sliderReleased, this, [this, bar] { owner_->HandleScroll(bar, EndScroll); });
      bars_[i] = sb;
    }
    window->installEventFilter(this);
  }
  ~Binder() override {
    if (window_) window_->removeEventFilter(this);
    for (auto& b : bars_) delete b.data();
  }

  void Sync() {
    if (!window_) return;
    syncing_ = true;
    for (int i = 0; i < 2; ++i) {
      QScrollBar* sb = bars_[i];
      if (!sb) continue;
      int bar = i == 0 ? sbHorizontal : sbVertical;
      const BarState& s = owner_->At(bar);
      sb->setRange(static_cast<int>(s.min), static_cast<int>(owner_->TopPosition(bar)));
      sb->setPageStep(static_cast<int>(std::max<long>(s.page, 1)));
      sb->setSingleStep(static_cast<int>(std::max<long>(s.small, 1)));
      sb->setValue(static_cast<int>(s.value));
      sb->setEnabled(s.enabled);
      sb->setVisible(owner_->Shown(bar));
    }
    Place();
    syncing_ = false;
  }

  int Thickness(int bar) const {
    QScrollBar* sb = bars_[bar == sbHorizontal ? 0 : 1];
    if (!sb || !owner_->Shown(bar)) return 0;
    return bar == sbHorizontal ? sb->sizeHint().height() : sb->sizeHint().width();
  }

 protected:
  bool eventFilter(QObject* o, QEvent* e) override {
    try {
      if (o == window_ && e->type() == QEvent::Resize) Place();
      if (o == window_ && e->type() == QEvent::Wheel) {
        auto* we = static_cast<QWheelEvent*>(e);
        owner_->HandleWheel(we->angleDelta().y(), QApplication::wheelScrollLines());
        return true;
      }
      if (e->type() == QEvent::MouseButtonPress && (o == bars_[0] || o == bars_[1])) {
        auto* me = static_cast<QMouseEvent*>(e);
        int button = me->button() == Qt::LeftButton ? 1 : me->button() == Qt::RightButton ? 2 : 0;
        if (button) owner_->HandleNcPress(o == bars_[0] ? sbHorizontal : sbVertical, button);
      }
    } catch (const std::exception& ex) {
      ErrLog::Exception("cScrollBars.Event", ex.what());
    }
    return false;
  }

 private:
  void OnAction(QScrollBar* sb, int bar, int action) {
    if (syncing_) return;
    switch (action) {
      case QAbstractSlider::SliderSingleStepAdd: owner_->HandleScroll(bar, LineDown); break;
      case QAbstractSlider::SliderSingleStepSub: owner_->HandleScroll(bar, LineUp); break;
      case QAbstractSlider::SliderPageStepAdd: owner_->HandleScroll(bar, PageDown); break;
      case QAbstractSlider::SliderPageStepSub: owner_->HandleScroll(bar, PageUp); break;
      case QAbstractSlider::SliderToMinimum: owner_->HandleScroll(bar, Top); break;
      case QAbstractSlider::SliderToMaximum: owner_->HandleScroll(bar, Bottom); break;
      case QAbstractSlider::SliderMove: owner_->HandleScroll(bar, ThumbTrack, sb->sliderPosition()); break;
      default: return;
    }
    // The widget applies its own step after this signal: make it ours.
    sb->setSliderPosition(static_cast<int>(owner_->Value(bar)));
  }

  void Place() {
    if (!window_) return;
    int w = window_->width(), h = window_->height();
    int vw = Thickness(sbVertical), hh = Thickness(sbHorizontal);
    if (bars_[1]) bars_[1]->setGeometry(w - vw, 0, vw, h - hh);
    if (bars_[0]) bars_[0]->setGeometry(0, h - hh, w - vw, hh);
  }

  cScrollBars* owner_;
  QPointer<QWidget> window_;
  QPointer<QScrollBar> bars_[2];
  bool syncing_ = false;
};

cScrollBars::cScrollBars() = default;
cScrollBars::~cScrollBars() = default;

void cScrollBars::Orientation(int o) {
  if (o < efsHorizontal || o > efsBoth) return;
  orientation_ = o;
  Sync();
}

void cScrollBars::Style(int s) {
  if (s != esRegular && !CanBeFlat()) {
    ErrLog::Line(u"Can't set non-regular style mode on this system - COMCTL32.DLL version < 4.71.");
    return;
  }
  style_ = s;
}

bool cScrollBars::Visible(int bar) const { return At(bar).visible; }
void cScrollBars::Visible(int bar, bool on) {
  At(bar).visible = on;
  Sync();
}
bool cScrollBars::Enabled(int bar) const { return At(bar).enabled; }
void cScrollBars::Enabled(int bar, bool on) {
  At(bar).enabled = on;
  Sync();
}
long cScrollBars::Min(int bar) const { return At(bar).min; }
void cScrollBars::Min(int bar, long v) {
  At(bar).min = v;
  Value(bar, At(bar).value);
  Sync();
}
long cScrollBars::Max(int bar) const { return At(bar).nativeMax - At(bar).page; }
void cScrollBars::Max(int bar, long v) {
  At(bar).nativeMax = v + At(bar).page;
  Value(bar, At(bar).value);
  Sync();
}
long cScrollBars::Value(int bar) const { return At(bar).value; }
void cScrollBars::Value(int bar, long v) {
  v = Clamp(bar, v);
  if (v == At(bar).value) {
    Sync();
    return;
  }
  At(bar).value = v;
  Sync();
  Report(bar);
}
long cScrollBars::SmallChange(int bar) const { return At(bar).small; }
void cScrollBars::SmallChange(int bar, long v) {
  At(bar).small = v;
  Sync();
}
long cScrollBars::LargeChange(int bar) const { return At(bar).page; }
void cScrollBars::LargeChange(int bar, long v) {
  long max = Max(bar);
  At(bar).page = v < 0 ? 0 : v;
  At(bar).nativeMax = max + At(bar).page;
  Value(bar, At(bar).value);
  Sync();
}

long cScrollBars::TopPosition(int bar) const {
  const BarState& s = At(bar);
  long top = s.nativeMax - std::max<long>(s.page - 1, 0);
  return top < s.min ? s.min : top;
}

bool cScrollBars::Shown(int bar) const {
  if (!At(bar).visible) return false;
  if (bar == sbVertical && orientation_ == efsHorizontal) return false;
  if (bar == sbHorizontal && orientation_ == efsVertical) return false;
  return At(bar).nativeMax - At(bar).min + 1 > At(bar).page;
}

long cScrollBars::Clamp(int bar, long v) const {
  long mx = TopPosition(bar), mn = Min(bar);
  if (v > mx) v = mx;
  if (v < mn) v = mn;
  return v;
}

void cScrollBars::Report(int bar) {
  if (At(bar).value == At(bar).lastReported) return;
  At(bar).lastReported = At(bar).value;
  Change.Raise(bar);
}

void cScrollBars::Sync() {
  if (binder_) binder_->Sync();
}

bool cScrollBars::Create(QWidget* window) {
  try {
    binder_.reset();
    if (!window) return false;
    binder_ = std::make_unique<Binder>(this, window);
    binder_->Sync();
    return true;
  } catch (const std::exception& e) {
    ErrLog::Exception("cScrollBars.Create", e.what());
  }
  return false;
}

int cScrollBars::Thickness(int bar) const { return binder_ ? binder_->Thickness(bar) : 0; }

void cScrollBars::HandleScroll(int bar, int request, long trackPos) {
  BarState& s = At(bar);
  long v = s.value;
  switch (request) {
    case LineUp: v -= s.small; break;
    case LineDown: v = std::min(v + s.small, Max(bar)); break;
    case PageUp: v -= s.page; break;
    case PageDown: v = std::min(v + s.page, Max(bar)); break;
    case Top: v = s.min; break;
    case Bottom: v = Max(bar); break;
    case ThumbTrack:
      s.value = Clamp(bar, trackPos);
      Sync();
      Scroll.Raise(bar);
      return;
    case ThumbPosition: v = trackPos; break;
    case EndScroll:
      Report(bar);
      return;
    default: return;
  }
  s.value = Clamp(bar, v);
  Sync();
  Report(bar);
}

void cScrollBars::HandleWheel(int delta, int wheelLines) {
  long amount = -static_cast<long>(static_cast<double>(delta) / 120.0 * wheelLines * SmallChange(sbVertical));
  MouseWheel.Raise(sbVertical, amount);
  if (amount != 0) Value(sbVertical, Value(sbVertical) + amount);
}

void cScrollBars::HandleNcPress(int bar, int button) {
  if (button == 1 || button == 2) ScrollClick.Raise(bar, button);
}
