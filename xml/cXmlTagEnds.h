#pragma once
// cXmlTagEnds: where the elements of one immutable text end, learnt by single forward scans
// of ranges of it. Walking a deep document one level at a time would otherwise search each
// element's whole text again for its closing tag at every level.
//
// The answers are exactly those of mXmlText::FindTagEnd on any view lying inside a learnt
// range: an element closes at the first "</name>" (ASCII case ignored) where the opening
// tags of the same name met since its own are all closed. Names holding "<", ">", "/" or
// whitespace are not learnt; their lookups report "unknown" and the caller searches.
// Positions are offsets into the whole text.
#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

#include "platform/Text.h"

class cXmlTagEnds {
 public:
  static constexpr size_t npos = TextView::npos;

  // Scans [begin, end) of `text` once, recording the end of every element opened there.
  // Does nothing when the range overlaps one learnt before, or on a text too long for the
  // table's 32-bit offsets. False when nothing was learnt.
  bool Learn(TextView text, size_t begin, size_t end);
  // True when [begin, end) lies inside one learnt range.
  bool Covers(size_t begin, size_t end) const;
  // The element whose "<" is at `open`, searched for inside [begin, end): true when the
  // answer is known, with `close` the position of its "</name>" or npos when that closing
  // tag does not lie wholly inside the range. False when unknown.
  bool Lookup(size_t begin, size_t end, size_t open, size_t nameLen, size_t& close) const;
  // Recorded elements (diagnostics and tests).
  size_t Size() const;
  void Clear() { spans_.clear(); }

 private:
  struct Entry {
    uint32_t open;
    uint32_t close;  // kNone: no closing tag inside the learnt range
  };
  struct Span {
    size_t end = 0;
    std::vector<Entry> entries;  // ascending by open
  };
  static constexpr uint32_t kNone = UINT32_MAX;
  const Span* spanFor(size_t begin, size_t end) const;

  std::map<size_t, Span> spans_;  // by range start; ranges never overlap
};
