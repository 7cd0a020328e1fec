#include "controls/VSplitterLogic.h"

#include <cmath>

bool VSplitterLogic::Layout(long innerWidth, long innerHeight) {
  LeftFrame = {0, 0, SplitLeft, innerHeight};
  Bar = {SplitLeft, 0, SplitWidth, innerHeight};
  long rightW = innerWidth - SplitLeft - SplitWidth;
  if (rightW < 1) return false;
  RightFrame = {SplitLeft + SplitWidth, 0, rightW, innerHeight};
  return true;
}

bool VSplitterLogic::SetSplitWidth(long w) {
  if (w <= 20) return false;
  SplitWidth = w;
  return true;
}

bool VSplitterLogic::LiveDown(long x) {
  if (SplitLocked) return false;
  dragging_ = true;
  dragStart_ = x;
  return true;
}

bool VSplitterLogic::LiveMove(long x, long innerWidth) {
  if (!dragging_ || x == dragStart_) return false;
  long old = SplitLeft;
  if (SplitLeft + (x - dragStart_) + 1 >= innerWidth - SplitWidth)
    SplitLeft = innerWidth - SplitWidth - 10;
  else
    SplitLeft += x - dragStart_;
  if (x + SplitLeft - dragStart_ < 0) SplitLeft = 0;
  // A control narrower than the bar would leave a negative position.
  if (SplitLeft < 0) SplitLeft = 0;
  return SplitLeft != old;
}

bool VSplitterLogic::BandDown(long screenX) {
  if (SplitLocked) return false;
  dragging_ = true;
  dragStart_ = screenX;
  return true;
}

void VSplitterLogic::BandConfine(long winLeftPx, long winRightPx, long offsetInBarPx, long barWidthPx, long& minX,
                                 long& maxX) {
  minX = winLeftPx + offsetInBarPx;
  maxX = winRightPx - barWidthPx;
  if (maxX < minX) maxX = minX;
}

void VSplitterLogic::BandUp(long screenX, long twipsPerPixel) {
  if (!dragging_) return;
  dragging_ = false;
  SplitLeft = (screenX - dragStart_) * twipsPerPixel + Bar.Left;
  if (SplitLeft < 0) SplitLeft = 0;
}

long GetMixColor(long startColor, long endColor, long x, long w) {
  if (w <= 0) return startColor & 0xFFFFFF;
  long out = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    double s = (startColor >> shift) & 0xFF;
    double e = (endColor >> shift) & 0xFF;
    double v = s + (e - s) * static_cast<double>(x) / static_cast<double>(w);
    long b = std::lround(v);
    if (b < 0) b = 0;
    if (b > 255) b = 255;
    out |= b << shift;
  }
  return out;
}
