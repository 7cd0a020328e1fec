#pragma once
// The splitter's geometry and drag arithmetic, in the host's unit (twips), without widgets.

struct SplitRect {
  long Left = 0, Top = 0, Width = 0, Height = 0;
  bool operator==(const SplitRect&) const = default;
};

class VSplitterLogic {
 public:
  long SplitLeft = 1000;
  long SplitWidth = 80;
  bool LiveResizing = false;
  bool SplitLocked = false;

  SplitRect LeftFrame, Bar, RightFrame;

  // Places the panes for the inner size; the right pane keeps its old place when there is
  // no room left for it. Returns false in that case.
  bool Layout(long innerWidth, long innerHeight);

  // Accepts widths above 20 only.
  bool SetSplitWidth(long w);

  // Live dragging; x is the pointer inside the bar. Move returns true when SplitLeft changed.
  bool LiveDown(long x);
  bool LiveMove(long x, long innerWidth);
  void LiveUp() { dragging_ = false; }

  // Rubber-band dragging: pointer positions on the screen in pixels; the final SplitLeft
  // comes from the pointer's travel and the bar's position when the drag began.
  bool BandDown(long screenX);
  // The pointer range the drag confines to, given the control's screen span (pixels) and
  // the pointer's offset inside the bar.
  static void BandConfine(long winLeftPx, long winRightPx, long offsetInBarPx, long barWidthPx, long& minX,
                          long& maxX);
  void BandUp(long screenX, long twipsPerPixel);

  bool Dragging() const { return dragging_; }
  long DragStart() const { return dragStart_; }

 private:
  bool dragging_ = false;
  long dragStart_ = 0;
};

// Colour of column x of a bar W columns wide, blending two Windows colour values channel by
// channel (start + (end - start) * x / W, rounded to the nearest byte).
long GetMixColor(long startColor, long endColor, long x, long w);
