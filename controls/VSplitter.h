#pragma once
// A container split into a left and a right pane by a draggable vertical bar. Properties are
// in twips (the host's unit); controls placed in it with the tag "LeftFrame" or "RightFrame"
// (any case) follow their pane.
#include <QWidget>

#include "controls/VSplitterLogic.h"
#include "platform/Event.h"
#include "platform/Text.h"

class QRubberBand;

class VSplitter : public QWidget {
 public:
  explicit VSplitter(QWidget* parent = nullptr);
  ~VSplitter() override;

  long SplitLeft() const { return logic_.SplitLeft; }
  void SplitLeft(long twips);
  long SplitWidth() const { return logic_.SplitWidth; }
  void SplitWidth(long twips);
  bool LiveResizing() const { return logic_.LiveResizing; }
  void LiveResizing(bool on) { logic_.LiveResizing = on; }
  long SplitStartColor() const { return startColor_; }
  void SplitStartColor(long c);
  long SplitEndColor() const { return endColor_; }
  void SplitEndColor(long c);
  bool SplitLocked() const { return logic_.SplitLocked; }
  void SplitLocked(bool on);

  long LeftFrameLeft() const { return logic_.LeftFrame.Left; }
  long LeftFrameTop() const { return logic_.LeftFrame.Top; }
  long LeftFrameWidth() const { return logic_.LeftFrame.Width; }
  long LeftFrameHeight() const { return logic_.LeftFrame.Height; }
  long RightFrameLeft() const { return logic_.RightFrame.Left; }
  long RightFrameTop() const { return logic_.RightFrame.Top; }
  long RightFrameWidth() const { return logic_.RightFrame.Width; }
  long RightFrameHeight() const { return logic_.RightFrame.Height; }
  QWidget* hWnd() { return this; }

  // The bar and panes, by their names FrameGauche, Separateur, FrameDroite.
  QWidget* Bar() const { return bar_; }
  QWidget* LeftPane() const { return left_; }
  QWidget* RightPane() const { return right_; }

  // The tag a contained control carries (a dynamic property "Tag").
  static void SetTag(QWidget* w, TextView tag);
  static Text Tag(const QWidget* w);

  Event<long&, long&> ResizeLeftFrame;
  Event<long&, long&> ResizeRightFrame;

 protected:
  void resizeEvent(QResizeEvent* e) override;
  bool eventFilter(QObject* o, QEvent* e) override;

 private:
  class BarWidget;
  void DoLayout();
  void PaneResized(bool leftPane);
  int Tpp() const;
  long PxToTw(long px) const { return px * Tpp(); }
  int TwToPx(long tw) const { return static_cast<int>(tw / Tpp()); }

  VSplitterLogic logic_;
  long startColor_ = 0xE0E0E0;
  long endColor_ = 0xC0C0C0;
  bool inLayout_ = false;
  QWidget* left_ = nullptr;
  QWidget* bar_ = nullptr;
  QWidget* right_ = nullptr;
  QRubberBand* band_ = nullptr;
  long bandMin_ = 0, bandMax_ = 0;
  long barStartPx_ = 0;
  long grabOffsetPx_ = 0;
};
