#include "xml/cXmlTagEnds.h"

#include <algorithm>
#include <exception>
#include <unordered_map>

#include "platform/ErrLog.h"
#include "xml/mXmlText.h"

namespace {

inline char16_t Lower(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c; }

// Names compare as the closing-tag search compares them: ASCII letters ignoring case.
struct NoCaseHash {
  size_t operator()(TextView s) const {
    size_t h = 1469598103934665603ull;
    for (char16_t c : s) h = (h ^ Lower(c)) * 1099511628211ull;
    return h;
  }
};
struct NoCaseEq {
  bool operator()(TextView a, TextView b) const {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
      if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
  }
};

// The first `c` at or after a position that only grows, so a run of "<" without any `c`
// is searched once rather than once per "<".
class NextOf {
 public:
  NextOf(TextView t, char16_t c) : t_(t), c_(c) {}
  size_t At(size_t from) {
    if (!known_ || (at_ != mXmlText::npos && at_ < from)) {
      at_ = mXmlText::FindChar(t_, c_, from);
      known_ = true;
    }
    return at_;
  }

 private:
  TextView t_;
  char16_t c_;
  size_t at_ = mXmlText::npos;
  bool known_ = false;
};

}  // namespace

bool cXmlTagEnds::Learn(TextView text, size_t begin, size_t end) {
  try {
    if (begin >= end || end > text.size() || text.size() >= kNone) return false;
    auto after = spans_.lower_bound(end);
    if (after != spans_.begin() && std::prev(after)->second.end > begin) return false;
    // Searches stop at the range's end, as a search inside that element's text would.
    const TextView t = text.substr(0, end);
    Span span;
    span.end = end;
    std::unordered_map<TextView, std::vector<uint32_t>, NoCaseHash, NoCaseEq> open;
    NextOf gt(t, u'>'), space(t, u' '), tab(t, u'\t'), cr(t, u'\r'), lf(t, u'\n'), slash(t, u'/');
    size_t i = mXmlText::FindChar(t, u'<', begin);
    while (i != npos) {
      // A CDATA section is text: nothing inside it opens or closes.
      if (mXmlText::StartsWith(t, i, u"<![CDATA[")) {
        size_t e = mXmlText::Find(t, u"]]>", i + 9);
        if (e == npos) break;
        i = mXmlText::FindChar(t, u'<', e + 3);
        continue;
      }
      const size_t next = mXmlText::FindChar(t, u'<', i + 1);
      const size_t limit = next == npos ? end : next;  // a learnt name holds no "<"
      if (i + 1 < end && t[i + 1] == u'/') {
        // "</name>": the name runs to the first ">".
        const size_t a = i + 2;
        const size_t g = gt.At(a);
        if (g != npos && g > a && g < limit && space.At(a) > g && slash.At(a) > g) {
          auto f = open.find(t.substr(a, g - a));
          if (f != open.end() && !f->second.empty()) {
            span.entries[f->second.back()].close = static_cast<uint32_t>(i);
            f->second.pop_back();
          }
        }
      } else {
        // "<name" followed by whitespace or ">"; "<name .../>" closes itself and is not counted.
        const size_t a = i + 1;
        const size_t g = gt.At(a);
        const size_t stop = std::min({space.At(a), tab.At(a), cr.At(a), lf.At(a), g});
        if (g != npos && stop > a && stop < limit && slash.At(a) > stop && t[g - 1] != u'/') {
          open[t.substr(a, stop - a)].push_back(static_cast<uint32_t>(span.entries.size()));
          span.entries.push_back({static_cast<uint32_t>(i), kNone});
        }
      }
      i = next;
    }
    spans_.emplace(begin, std::move(span));
    return true;
  } catch (const std::exception& e) {
    ErrLog::Error(7, txt::FromUtf8(e.what()), "cXmlTagEnds", "Learn", ErrLog::Kind::Function);
    return false;
  }
}

const cXmlTagEnds::Span* cXmlTagEnds::spanFor(size_t begin, size_t end) const {
  auto it = spans_.upper_bound(begin);
  if (it == spans_.begin()) return nullptr;
  --it;
  if (end > it->second.end) return nullptr;
  return &it->second;
}

bool cXmlTagEnds::Covers(size_t begin, size_t end) const { return spanFor(begin, end) != nullptr; }

bool cXmlTagEnds::Lookup(size_t begin, size_t end, size_t open, size_t nameLen, size_t& close) const {
  close = npos;
  if (open < begin || open >= end) return false;
  const Span* s = spanFor(begin, end);
  if (!s) return false;
  auto it = std::lower_bound(s->entries.begin(), s->entries.end(), open,
                             [](const Entry& e, size_t o) { return e.open < o; });
  if (it == s->entries.end() || it->open != open) return false;
  if (it->close != kNone && static_cast<size_t>(it->close) + nameLen + 3 <= end) close = it->close;
  return true;
}

size_t cXmlTagEnds::Size() const {
  size_t n = 0;
  for (const auto& s : spans_) n += s.second.entries.size();
  return n;
}
