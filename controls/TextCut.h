#pragma once
// Texts are cut to what a row can show before they are measured or drawn: every visible
// character takes at least one pixel, so no more than `widthPx` of them can appear, and a
// 20 MB name costs no more to draw than a short one.
#include "platform/Text.h"

namespace textcut {

inline Text ForWidth(TextView text, long widthPx) {
  size_t keep = widthPx < 16 ? 16 : static_cast<size_t>(widthPx) + 1;
  if (text.size() <= keep) return Text(text);
  // Never end on the first half of a surrogate pair.
  if (text[keep - 1] >= 0xD800 && text[keep - 1] <= 0xDBFF) --keep;
  return Text(text.substr(0, keep)) + u"\u2026";
}

}  // namespace textcut
