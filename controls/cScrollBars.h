#pragma once
// Standard scroll bars for a window: range, page, position, line step and wheel, reported
// as events. The arithmetic lives here without widgets; Create binds it to a window.
#include <memory>

#include "platform/Event.h"

class QWidget;

class cScrollBars {
 public:
  enum Bar { sbHorizontal = 0, sbVertical = 1 };
  enum OrientationMode { efsHorizontal = 0, efsVertical = 1, efsBoth = 2 };
  enum StyleMode { esRegular = 0, esFlat = 1 };
  // Scroll requests, with the Windows SB_ numbers.
  enum Request { LineUp = 0, LineDown = 1, PageUp = 2, PageDown = 3, ThumbPosition = 4, ThumbTrack = 5, Top = 6,
                 Bottom = 7, EndScroll = 8 };

  cScrollBars();
  ~cScrollBars();
  cScrollBars(const cScrollBars&) = delete;
  cScrollBars& operator=(const cScrollBars&) = delete;

  int Orientation() const { return orientation_; }
  void Orientation(int o);
  int Style() const { return style_; }
  // Only the regular style exists on this toolkit; others are refused with the log line.
  void Style(int s);
  bool CanBeFlat() const { return false; }

  bool Visible(int bar) const;
  void Visible(int bar, bool on);
  bool Enabled(int bar) const;
  void Enabled(int bar, bool on);
  long Min(int bar) const;
  void Min(int bar, long v);
  // The highest position (the native maximum minus the page).
  long Max(int bar) const;
  void Max(int bar, long v);
  long Value(int bar) const;
  void Value(int bar, long v);
  long SmallChange(int bar) const;
  void SmallChange(int bar, long v);
  // The page size; setting it keeps Max.
  long LargeChange(int bar) const;
  void LargeChange(int bar, long v);
  // The highest position a set or a drag reaches: one past Max, as the native bar allows
  // the page to end on the range's last unit. Line and page steps stop at Max.
  long TopPosition(int bar) const;
  // Whether the bar is shown: visible and with a range larger than its page.
  bool Shown(int bar) const;

  // Attaches the bars to a window: scroll bar widgets at its edges, wheel and presses.
  bool Create(QWidget* window);
  // Thickness of a shown bar in pixels (0 when not shown or not attached).
  int Thickness(int bar) const;

  // Input, as the window messages would bring it.
  void HandleScroll(int bar, int request, long trackPos = 0);
  void HandleWheel(int delta, int wheelLines);
  void HandleNcPress(int bar, int button);

  Event<int, int> ScrollClick;  // bar, button (1 left, 2 right)
  Event<int> Scroll;            // bar
  Event<int> Change;            // bar
  Event<int, long&> MouseWheel;  // bar, amount

 private:
  struct BarState {
    bool visible = true;
    bool enabled = true;
    long min = 0;
    long nativeMax = 100;
    long value = 0;
    long small = 1;
    long page = 0;
    long lastReported = 0;
  };
  class Binder;
  BarState& At(int bar) { return bars_[bar == sbHorizontal ? 0 : 1]; }
  const BarState& At(int bar) const { return bars_[bar == sbHorizontal ? 0 : 1]; }
  long Clamp(int bar, long v) const;
  void Report(int bar);
  void Sync();

  BarState bars_[2];
  int orientation_ = efsBoth;
  int style_ = esRegular;
  std::unique_ptr<Binder> binder_;
};
