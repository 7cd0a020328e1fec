#include "xml/mXmlText.h"

#include <algorithm>
#include <cstring>
#ifdef __SSE2__
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

#include "storage/mStringTools.h"

namespace mXmlText {
namespace {

// What a zero character is written as: no XML can hold one, and a zero byte in the file would
// make the next load take it for another encoding.
constexpr char16_t kNoChar = 0xFFFD;

inline char16_t Lower(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c; }

inline bool EqNoCaseAt(TextView t, size_t at, TextView what) {
  if (at > t.size() || t.size() - at < what.size()) return false;
  for (size_t i = 0; i < what.size(); ++i)
    if (Lower(t[at + i]) != Lower(what[i])) return false;
  return true;
}

inline bool IsHex(char16_t c) {
  return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

inline int HexVal(char16_t c) {
  if (c <= u'9') return c - u'0';
  return (Lower(c) - u'a') + 10;
}

// Appends the character for a numeric reference; false for a code that names none.
bool AppendCode(unsigned long code, Text& out) {
  if (code <= 0xFF) {
    if (code >= 0x80 && code <= 0x9F) {
      char b = static_cast<char>(code);
      Text c = mStringTools::StrCodePageToUnicode(BytesView(&b, 1), mStringTools::CP_WINDOWS_1252);
      if (c.size() != 1) return false;
      out += c;
    } else {
      out += static_cast<char16_t>(code);
    }
    return true;
  }
  if (code >= 0xD800 && code <= 0xDFFF) return false;
  if (code <= 0xFFFF) {
    out += static_cast<char16_t>(code);
    return true;
  }
  if (code > 0x10FFFF) return false;
  code -= 0x10000;
  out += static_cast<char16_t>(0xD800 + (code >> 10));
  out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
  return true;
}

}  // namespace

namespace {

#if defined(__x86_64__) && defined(__GNUC__)
#define KSV_WIDE_SCAN 1
const bool kWideScan = __builtin_cpu_supports("avx2");

// Sixteen characters a round. Returns the first `c` from `i` on, or the position where
// fewer than sixteen remain; `seen` gathers whether `other` stands before the `c` found.
__attribute__((target("avx2"))) size_t ScanWide(const char16_t* s, size_t n, size_t i, char16_t c,
                                                char16_t other, bool& seen, bool& found) {
  const __m256i vc = _mm256_set1_epi16(static_cast<short>(c));
  const __m256i vo = _mm256_set1_epi16(static_cast<short>(other));
  unsigned any = 0;
  for (; i + 16 <= n; i += 16) {
    __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + i));
    auto m = static_cast<unsigned>(_mm256_movemask_epi8(_mm256_cmpeq_epi16(v, vc)));
    auto o = static_cast<unsigned>(_mm256_movemask_epi8(_mm256_cmpeq_epi16(v, vo)));
    if (m != 0) {
      unsigned bit = static_cast<unsigned>(__builtin_ctz(m));
      any |= o & ((1u << bit) - 1);
      seen = seen || any != 0;
      found = true;
      return i + (bit >> 1);
    }
    any |= o;
  }
  seen = seen || any != 0;
  found = false;
  return i;
}
#endif

// First `c` at or after `from`, and whether `other` stands between `from` and it.
size_t Scan(TextView t, char16_t c, char16_t other, size_t from, bool& seen) {
  const size_t n = t.size();
  if (from >= n) return npos;
  const char16_t* s = t.data();
  size_t i = from;
#ifdef KSV_WIDE_SCAN
  if (kWideScan) {
    bool found = false;
    i = ScanWide(s, n, i, c, other, seen, found);
    if (found) return i;
  }
#endif
#ifdef __SSE2__
  const __m128i needle = _mm_set1_epi16(static_cast<short>(c));
  const __m128i also = _mm_set1_epi16(static_cast<short>(other));
  while (i + 8 <= n) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
    auto m = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi16(v, needle)));
    auto o = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi16(v, also)));
    if (m != 0) {
      unsigned bit = static_cast<unsigned>(__builtin_ctz(m));
      if (o & ((1u << bit) - 1)) seen = true;
      return i + (bit >> 1);
    }
    if (o != 0) seen = true;
    i += 8;
  }
#endif
  for (; i < n; ++i) {
    if (s[i] == c) return i;
    if (s[i] == other) seen = true;
  }
  return npos;
}

}  // namespace

size_t FindChar(TextView t, char16_t c, size_t from) {
  bool seen = false;
  return Scan(t, c, c, from, seen);
}

size_t FindCharNoting(TextView t, char16_t c, char16_t other, size_t from, bool& seen) {
  seen = false;
  return Scan(t, c, other, from, seen);
}

bool StartsWith(TextView t, size_t at, TextView what) {
  if (at > t.size() || t.size() - at < what.size()) return false;
  for (size_t i = 0; i < what.size(); ++i)
    if (t[at + i] != what[i]) return false;
  return true;
}

namespace {
// First i >= from with t[i] == a and t[i + 1] == b.
size_t FindPair(TextView t, char16_t a, char16_t b, size_t from) {
  const size_t n = t.size();
  if (n < 2 || from >= n - 1) return npos;
  const char16_t* s = t.data();
  size_t i = from;
#ifdef __SSE2__
  const __m128i va = _mm_set1_epi16(static_cast<short>(a));
  const __m128i vb = _mm_set1_epi16(static_cast<short>(b));
  while (i + 9 <= n) {
    __m128i x0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
    __m128i x1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i + 1));
    int m = _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi16(x0, va), _mm_cmpeq_epi16(x1, vb)));
    if (m != 0) return i + (static_cast<unsigned>(__builtin_ctz(static_cast<unsigned>(m))) >> 1);
    i += 8;
  }
#endif
  for (; i + 1 < n; ++i)
    if (s[i] == a && s[i + 1] == b) return i;
  return npos;
}
}  // namespace

void ScanMarkup(TextView t, bool& hasComment, bool& hasDeclaration, std::vector<size_t>* comments,
                std::vector<Range>* guarded) {
  hasComment = hasDeclaration = false;
  if (comments) comments->clear();
  if (guarded) guarded->clear();
  const size_t n = t.size();
  const char16_t* s = t.data();
  size_t i = 0;
  size_t stop = 0;  // the end of the last comment or section met
  // The end of the markup opened at p by a marker that closes with `close`.
  auto skip = [&](size_t p, TextView close) {
    size_t e = Find(t, close, p + 2);
    return e == npos ? n : e + close.size();
  };
  auto check = [&](size_t p) {
    if (StartsWith(t, p, u"<!--")) {
      hasComment = true;
      if (comments) comments->push_back(p);
      if (guarded && p >= stop) stop = skip(p, u"-->");
      return;
    }
    if (s[p + 1] == u'?' && StartsWith(t, p, u"<?xml")) hasDeclaration = true;
    if (!guarded || p < stop) return;
    // A document type declaration's quoted strings may hold comment markers of their own.
    if (StartsWith(t, p, u"<!DOCTYPE")) {
      stop = SkipDoctype(t, p);
      guarded->push_back({p, stop});
      return;
    }
    bool pi = s[p + 1] == u'?';
    if (!pi && !StartsWith(t, p, u"<![CDATA[")) return;
    stop = skip(p, pi ? TextView(u"?>") : TextView(u"]]>"));
    guarded->push_back({p, stop});
  };
  auto done = [&] { return !comments && hasComment && hasDeclaration; };
#ifdef __SSE2__
  const __m128i lt = _mm_set1_epi16(u'<');
  const __m128i bang = _mm_set1_epi16(u'!');
  const __m128i quest = _mm_set1_epi16(u'?');
  auto hits = [&](size_t at) {
    __m128i x0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + at));
    __m128i x1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + at + 1));
    __m128i second = _mm_or_si128(_mm_cmpeq_epi16(x1, bang), _mm_cmpeq_epi16(x1, quest));
    return _mm_and_si128(_mm_cmpeq_epi16(x0, lt), second);
  };
  // Sixteen characters a round, one mask bit per character.
  while (i + 17 <= n && !done()) {
    unsigned m = static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(hits(i), hits(i + 8))));
    while (m != 0) {
      check(i + static_cast<unsigned>(__builtin_ctz(m)));
      m &= m - 1;
    }
    i += 16;
  }
#endif
  for (; i + 1 < n && !done(); ++i)
    if (s[i] == u'<' && (s[i + 1] == u'!' || s[i + 1] == u'?')) check(i);
}

size_t Find(TextView t, TextView what, size_t from) {
  if (what.empty()) return from <= t.size() ? from : npos;
  if (what.size() == 1) return FindChar(t, what[0], from);
  size_t p = from;
  while ((p = FindPair(t, what[0], what[1], p)) != npos) {
    if (StartsWith(t, p, what)) return p;
    ++p;
  }
  return npos;
}

size_t FindNoCase(TextView t, TextView what, size_t from) {
  if (what.empty()) return from <= t.size() ? from : npos;
  char16_t first = what[0];
  bool letter = Lower(first) != first || (first >= u'a' && first <= u'z');
  if (!letter) {
    size_t p = from;
    while ((p = FindChar(t, first, p)) != npos) {
      if (EqNoCaseAt(t, p, what)) return p;
      ++p;
    }
    return npos;
  }
  for (size_t p = from; p < t.size(); ++p)
    if (Lower(t[p]) == Lower(first) && EqNoCaseAt(t, p, what)) return p;
  return npos;
}

bool KeptRanges(TextView text, TextView open, TextView close, std::vector<Range>& out,
                const std::vector<size_t>* openAt, const std::vector<Range>* guardedIn) {
  out.clear();
  if (open.empty() || close.empty()) return false;
  // CDATA sections and processing instructions may hold the opening marker as their own
  // text: such a marker opens nothing.
  std::vector<Range> guarded;
  if (guardedIn) guarded = *guardedIn;
  else if (Find(text, u"<![CDATA[", 0) != npos || Find(text, u"<?", 0) != npos) {
    size_t p = 0;
    while ((p = FindChar(text, u'<', p)) != npos) {
      TextView end = StartsWith(text, p, open) ? close
                     : StartsWith(text, p, u"<![CDATA[") ? TextView(u"]]>")
                     : StartsWith(text, p, u"<?") ? TextView(u"?>") : TextView();
      if (end.empty()) {
        ++p;
        continue;
      }
      size_t e = Find(text, end, p + 2);
      size_t stop = e == npos ? text.size() : e + end.size();
      if (end != close) guarded.push_back({p, stop});
      p = stop;
    }
  }
  // Next opening marker at or after `from`, from the known positions when given.
  auto findOpen = [&](size_t from) -> size_t {
    size_t p = from;
    while (true) {
      if (!openAt) {
        p = Find(text, open, p);
      } else {
        auto it = std::lower_bound(openAt->begin(), openAt->end(), p);
        p = it == openAt->end() ? npos : *it;
      }
      if (p == npos || guarded.empty()) return p;
      auto g = std::upper_bound(guarded.begin(), guarded.end(), p, [](size_t v, const Range& r) { return v < r.begin; });
      if (g == guarded.begin() || std::prev(g)->end <= p) return p;
      p = std::prev(g)->end;
    }
  };
  size_t first = findOpen(0);
  if (first == npos) return false;
  if (first > 0) out.push_back({0, first});
  size_t kept = first;  // characters in the output so far
  size_t i = first;     // next input position not yet taken
  bool atMarker = true;
  // The last `n` output characters (n <= kept), read back across pieces.
  auto tailOf = [&](size_t n) {
    Text t(n, u'\0');
    size_t k = out.size(), pos = n;
    while (pos > 0 && k > 0) {
      const Range& r = out[--k];
      size_t take = std::min(pos, r.end - r.begin);
      pos -= take;
      std::memcpy(t.data() + pos, text.data() + r.end - take, take * sizeof(char16_t));
    }
    return t;
  };
  auto dropLast = [&](size_t n) {
    kept -= n;
    while (n > 0 && !out.empty()) {
      Range& r = out.back();
      size_t take = std::min(n, r.end - r.begin);
      r.end -= take;
      n -= take;
      if (r.end == r.begin) out.pop_back();
    }
  };
  // Invariant: the output holds no complete opening marker, so the first marker of
  // output + text[i..] either spans the junction or lies wholly in text[i..].
  while (true) {
    size_t afterOpen = npos;
    if (atMarker) {
      afterOpen = i + open.size();
      atMarker = false;
    } else {
      Text tail = tailOf(std::min(kept, open.size() - 1));
      for (size_t s = 0; s < tail.size(); ++s) {
        size_t inRes = tail.size() - s;
        if (TextView(tail).substr(s) == open.substr(0, inRes) && StartsWith(text, i, open.substr(inRes))) {
          dropLast(inRes);
          afterOpen = i + (open.size() - inRes);
          break;
        }
      }
      if (afterOpen == npos) {
        size_t p = findOpen(i);
        if (p == npos) break;
        if (p > i) out.push_back({i, p});
        kept += p - i;
        afterOpen = p + open.size();
      }
    }
    size_t e = Find(text, close, afterOpen);
    if (e == npos) {
      i = text.size();
      break;
    }
    i = e + close.size();
  }
  if (i < text.size()) out.push_back({i, text.size()});
  return true;
}

namespace {

void Join(TextView text, const std::vector<Range>& ranges, Text& out) {
  size_t total = 0;
  for (const Range& r : ranges) total += r.end - r.begin;
  Text res;
  res.reserve(total);
  for (const Range& r : ranges) res.append(text.data() + r.begin, r.end - r.begin);
  out = std::move(res);
}

}  // namespace

bool DeleteRems(TextView text, TextView open, TextView close, Text& out) {
  std::vector<Range> ranges;
  if (!KeptRanges(text, open, close, ranges)) return false;
  Join(text, ranges, out);
  return true;
}

namespace {

bool CommentFreeRanges(TextView text, std::vector<Range>& ranges) {
  bool hasComment = false, hasDeclaration = false;
  std::vector<size_t> at;
  std::vector<Range> guarded;
  ScanMarkup(text, hasComment, hasDeclaration, &at, &guarded);
  return hasComment && KeptRanges(text, u"<!--", u"-->", ranges, &at, &guarded);
}

}  // namespace

bool StripComments(TextView text, Text& out) {
  std::vector<Range> ranges;
  if (!CommentFreeRanges(text, ranges)) return false;
  Join(text, ranges, out);
  return true;
}

bool StripComments(Text& text) {
  std::vector<Range> ranges;
  if (!CommentFreeRanges(text, ranges)) return false;
  // The kept pieces are in order and never overlap: each moves back onto freed room.
  size_t w = 0;
  for (const Range& r : ranges) {
    if (w != r.begin) std::memmove(text.data() + w, text.data() + r.begin, (r.end - r.begin) * sizeof(char16_t));
    w += r.end - r.begin;
  }
  text.resize(w);
  return true;
}

size_t FindNonSpace(TextView t, size_t start) {
  for (size_t i = start; i < t.size(); ++i)
    if (!IsWs(t[i])) return i;
  return start;
}

size_t FindSpaceChar(TextView t, size_t start) {
  for (size_t i = start; i < t.size(); ++i)
    if (IsWs(t[i])) return i;
  return npos;
}

bool IsXML(TextView t, size_t start) {
  for (size_t i = start; i < t.size(); ++i) {
    if (IsWs(t[i])) continue;
    if (t[i] != u'<') return false;
    return !(i + 1 < t.size() && t[i + 1] == u'!');
  }
  return false;
}

namespace {

// The "</name>" that closes an element, counting the opening tags of the same name met on
// the way: closing tags are searched from `closeFrom`, opening ones from `openFrom`. A CDATA
// section is text: tags inside it count for nothing.
size_t FindEnd(TextView t, size_t closeFrom, size_t openFrom, TextView name) {
  Text closeTag = u"</";
  closeTag.append(name);
  closeTag += u'>';
  Text openTag = u"<";
  openTag.append(name);
  long depth = 1;
  size_t from = closeFrom;
  size_t openPos = openFrom;
  size_t section = Find(t, u"<![CDATA[", closeFrom);
  // Opening tags of the same name in [openPos, limit) nest one level deeper.
  auto countOpenings = [&](size_t limit) {
    TextView head = t.substr(0, limit);
    size_t o;
    while ((o = FindNoCase(head, openTag, openPos)) != npos) {
      openPos = o + 1 + name.size();
      size_t after = o + openTag.size();
      if (after >= t.size()) continue;
      char16_t nc = t[after];
      if (!IsWs(nc) && nc != u'>') continue;
      size_t gt = FindChar(t, u'>', after);
      if (gt == npos || t[gt - 1] == u'/') continue;
      ++depth;
    }
  };
  while (true) {
    size_t close = FindNoCase(t, closeTag, from);
    if (close == npos) return npos;
    if (section != npos && section < close) {
      size_t end = Find(t, u"]]>", section + 9);
      if (end == npos) return npos;
      countOpenings(section);
      from = openPos = std::max(openPos, end + 3);
      section = Find(t, u"<![CDATA[", end + 3);
      continue;
    }
    countOpenings(close);
    if (--depth == 0) return close;
    from = close + 1;
    openPos = std::max(openPos, close + 1 + name.size());
  }
}

}  // namespace

size_t FindTagEnd(TextView t, size_t tagStart, TextView name) {
  return FindEnd(t, tagStart + 1, tagStart + 1 + name.size(), name);
}

size_t FindTagEndFrom(TextView t, size_t from, TextView name) { return FindEnd(t, from, from, name); }

size_t SkipDoctype(TextView t, size_t lt) {
  // Declarations of the internal subset ("<!ENTITY ...>") nest inside the document type's
  // own "<!" ... ">", so its end is the first ">" with no declaration open. Quoted strings,
  // comments and processing instructions may hold ">" and are skipped whole; "[" and "]"
  // need no reading of their own, which keeps a subset missing its "]" from swallowing
  // the document.
  size_t depth = 0;
  size_t i = lt + 2;
  // The position after `close` searched from `from`, or the end of the text.
  auto past = [&](TextView close, size_t from) {
    size_t e = Find(t, close, from);
    return e == npos ? t.size() : e + close.size();
  };
  while (i < t.size()) {
    char16_t c = t[i];
    if (c == u'"' || c == u'\'') {
      size_t q = FindChar(t, c, i + 1);
      i = q == npos ? t.size() : q + 1;
    } else if (c == u'<' && StartsWith(t, i, u"<!--")) {
      i = past(u"-->", i + 4);
    } else if (c == u'<' && StartsWith(t, i, u"<?")) {
      i = past(u"?>", i + 2);
    } else if (c == u'<' && StartsWith(t, i, u"<![")) {
      i = past(u"]]>", i + 3);
    } else if (c == u'<' && StartsWith(t, i, u"<!")) {
      ++depth;
      i += 2;
    } else if (c == u'>') {
      if (depth == 0) return i + 1;
      --depth;
      ++i;
    } else {
      ++i;
    }
  }
  return t.size();
}

size_t SkipMisc(TextView t, size_t pos, TextView* declaration) {
  const size_t n = t.size();
  // Stray text before a prolog item is passed over as readers do, as long as an element
  // follows; text that is all there is stays for the caller.
  size_t stray = npos;
  TextView decl;
  auto done = [&](size_t at, bool element) {
    if (!element && stray != npos) return stray;
    if (declaration && declaration->data() == nullptr) *declaration = decl;
    return at;
  };
  while (true) {
    while (pos < n && IsWs(t[pos])) ++pos;
    if (pos + 1 >= n) return done(pos, false);
    if (t[pos] != u'<') {
      size_t lt = FindChar(t, u'<', pos);
      if (lt == npos || lt + 1 >= n) return done(pos, false);
      if (t[lt + 1] != u'?' && !StartsWith(t, lt, u"<!--") && !StartsWith(t, lt, u"<!DOCTYPE")) return done(pos, true);
      if (stray == npos) stray = pos;
      pos = lt;
    }
    if (t[pos + 1] == u'?') {
      size_t e = Find(t, u"?>", pos + 2);
      if (e == npos) return done(pos, false);
      bool isDecl = StartsWith(t, pos, u"<?xml") && pos + 5 < n && (IsWs(t[pos + 5]) || t[pos + 5] == u'?');
      if (isDecl && decl.data() == nullptr) decl = t.substr(pos + 5, e - pos - 5);
      pos = e + 2;
    } else if (StartsWith(t, pos, u"<!--")) {
      size_t e = Find(t, u"-->", pos + 4);
      if (e == npos) return done(n, false);
      pos = e + 3;
    } else if (StartsWith(t, pos, u"<!DOCTYPE")) {
      pos = SkipDoctype(t, pos);
    } else {
      return done(pos, true);
    }
  }
}

size_t TrimMiscEnd(TextView t, size_t begin, size_t end) {
  while (true) {
    while (end > begin && IsWs(t[end - 1])) --end;
    TextView v = t.substr(begin, end - begin);
    size_t cut = npos;
    if (v.size() >= 2 && v[v.size() - 1] == u'>' && v[v.size() - 2] == u'?') cut = v.rfind(u"<?");
    else if (v.size() >= 3 && v.substr(v.size() - 3) == u"-->") cut = v.rfind(u"<!--");
    if (cut == npos || cut == 0) return end;
    end = begin + cut;
  }
}

bool ElementContent(TextView t, const cXmlTagEnds* known, size_t base) {
  size_t pos = 0, ts = 0, len = 0;
  bool any = false;
  Text name;
  while (true) {
    while (pos < t.size() && IsWs(t[pos])) ++pos;
    if (pos >= t.size()) return any;
    if (t[pos] != u'<' || pos + 1 >= t.size()) return false;
    if (t[pos + 1] == u'?' || StartsWith(t, pos, u"<!--")) {
      size_t e = t[pos + 1] == u'?' ? Find(t, u"?>", pos + 2) : Find(t, u"-->", pos + 4);
      if (e == npos) return false;
      pos = e + (t[pos + 1] == u'?' ? 2 : 3);
      any = true;
      continue;
    }
    if (t[pos + 1] == u'!' || t[pos + 1] == u'/') return false;
    if (!NextTag(t, pos, ts, len, name, known, base) || ts != pos) return false;
    pos = ts + len;
    any = true;
  }
}

bool NextTag(TextView t, size_t start, size_t& tagStart, size_t& length, Text& name,
             const cXmlTagEnds* known, size_t base) {
  size_t lt = FindChar(t, u'<', start);
  // Comments and processing instructions are no elements.
  while (lt != npos && (StartsWith(t, lt, u"<!--") || StartsWith(t, lt, u"<?"))) {
    bool pi = t[lt + 1] == u'?';
    size_t e = pi ? Find(t, u"?>", lt + 2) : Find(t, u"-->", lt + 4);
    if (e == npos) return false;
    lt = FindChar(t, u'<', e + (pi ? 2 : 3));
  }
  if (lt == npos) return false;
  size_t gt = FindChar(t, u'>', lt + 1);
  if (gt == npos) return false;
  if (StartsWith(t, lt, u"<![CDATA[") && gt >= 2 && t[gt - 1] == u']' && t[gt - 2] == u']') return false;
  bool selfClosing = t[gt - 1] == u'/' && gt - 1 > lt;
  size_t nameEnd = gt;
  for (size_t i = lt + 1; i < gt; ++i)
    if (IsWs(t[i])) {
      nameEnd = i;
      break;
    }
  if (nameEnd == gt && selfClosing) nameEnd = gt - 1;
  name.assign(t.data() + lt + 1, nameEnd > lt + 1 ? nameEnd - lt - 1 : 0);
  tagStart = lt;
  if (selfClosing) {
    length = gt - lt + 1;
    return true;
  }
  if (name.empty()) return false;
  size_t close = npos;
  if (known && known->Lookup(base, base + t.size(), base + lt, name.size(), close)) {
    if (close != npos) close -= base;
  } else {
    close = FindTagEnd(t, lt, name);
  }
  if (close == npos) return false;
  length = close + name.size() + 3 - lt;
  return true;
}

Text DecodeSpecialChars(TextView text) {
  size_t amp = FindChar(text, u'&', 0);
  if (amp == npos) return Text(text);
  Text out;
  out.reserve(text.size());
  size_t i = 0;
  while (amp != npos) {
    out.append(text.data() + i, amp - i);
    size_t semi = FindChar(text, u';', amp + 1);
    size_t end = semi == npos ? text.size() : semi;
    TextView ent = text.substr(amp + 1, end - amp - 1);
    bool numeric = false;
    unsigned long code = 0;
    if (ent.size() >= 3 && ent[0] == u'#' && ent[1] == u'x') {
      numeric = true;
      for (size_t k = 2; k < ent.size() && numeric; ++k) {
        if (!IsHex(ent[k])) numeric = false;
        else if (code <= 0x10FFFF) code = code * 16 + static_cast<unsigned long>(HexVal(ent[k]));
      }
    } else if (ent.size() >= 2 && ent[0] == u'#') {
      numeric = true;
      for (size_t k = 1; k < ent.size() && numeric; ++k) {
        if (ent[k] < u'0' || ent[k] > u'9') numeric = false;
        else if (code <= 0x10FFFF) code = code * 10 + static_cast<unsigned long>(ent[k] - u'0');
      }
    }
    if (numeric) {
      if (!AppendCode(code, out)) return Text(text);
    } else if (ent == u"amp") {
      out += u'&';
    } else if (ent == u"lt") {
      out += u'<';
    } else if (ent == u"gt") {
      out += u'>';
    } else if (ent == u"apos") {
      out += u'\'';
    } else if (ent == u"quot") {
      out += u'"';
    } else {
      out += u'?';
    }
    if (semi == npos) {
      i = text.size();
      break;
    }
    i = semi + 1;
    amp = FindChar(text, u'&', i);
  }
  if (i < text.size()) out.append(text.data() + i, text.size() - i);
  return out;
}

void EncodeSpecialChars(TextView text, Text& out, bool keepCData) {
  const size_t n = text.size();
  out.reserve(out.size() + n + n / 8);
  bool noMoreClose = !keepCData;  // once "]]>" was not found, it will not be found later either
  size_t i = 0;
  while (i < n) {
    char16_t c = text[i];
    switch (c) {
      case u'<':
        if (!noMoreClose && StartsWith(text, i, u"<![CDATA[")) {
          size_t e = Find(text, u"]]>", i + 9);
          if (e != npos) {
            size_t from = out.size();
            out.append(text.data() + i, e + 3 - i);
            std::replace(out.begin() + static_cast<long>(from), out.end(), u'\0', kNoChar);
            i = e + 3;
            continue;
          }
          noMoreClose = true;
        }
        out += u"&lt;";
        break;
      case u'>':
        out += u"&gt;";
        break;
      case u'\0':
        out += kNoChar;
        break;
      case u'&':
        out += u"&amp;";
        break;
      case u'\'':
        out += u"&apos;";
        break;
      case u'"':
        out += u"&quot;";
        break;
      case u'\r':
        if (i + 1 < n && text[i + 1] == u'\n') {
          out += u"\r\n";
          i += 2;
          // Indentation is the writer's, not the value's: dropping it all (up to the end)
          // keeps a value ending in a line break from growing on every save.
          while (i < n && (text[i] == u' ' || text[i] == u'\t')) ++i;
          continue;
        }
        out += c;
        break;
      default: {
        // Copy a run of ordinary characters at once.
        size_t j = i + 1;
        while (j < n) {
          char16_t d = text[j];
          if (d == u'<' || d == u'>' || d == u'&' || d == u'\'' || d == u'"' || d == u'\r' || d == u'\0') break;
          ++j;
        }
        out.append(text.data() + i, j - i);
        i = j;
        continue;
      }
    }
    ++i;
  }
}

void EncodeAttrValue(TextView text, Text& out) {
  out.reserve(out.size() + text.size());
  for (char16_t c : text) {
    switch (c) {
      case u'<': out += u"&lt;"; break;
      case u'>': out += u"&gt;"; break;
      case u'&': out += u"&amp;"; break;
      case u'\'': out += u"&apos;"; break;
      case u'"': out += u"&quot;"; break;
      case u'\t': out += u"&#9;"; break;
      case u'\n': out += u"&#10;"; break;
      case u'\r': out += u"&#13;"; break;
      case u'\0': out += kNoChar; break;
      default: out += c;
    }
  }
}

namespace {

bool NameStart(char32_t c) {
  if ((c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z') || c == U'_' || c == U':') return true;
  if (c < 0xC0) return false;
  return (c <= 0xD6) || (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF) || (c >= 0x370 && c <= 0x37D) ||
         (c >= 0x37F && c <= 0x1FFF) || c == 0x200C || c == 0x200D || (c >= 0x2070 && c <= 0x218F) ||
         (c >= 0x2C00 && c <= 0x2FEF) || (c >= 0x3001 && c <= 0xD7FF) || (c >= 0xF900 && c <= 0xFDCF) ||
         (c >= 0xFDF0 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0xEFFFF);
}

bool NameChar(char32_t c) {
  return NameStart(c) || c == U'-' || c == U'.' || (c >= U'0' && c <= U'9') || c == 0xB7 ||
         (c >= 0x300 && c <= 0x36F) || c == 0x203F || c == 0x2040;
}

}  // namespace

namespace {

bool AsciiNameChar(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'_' ||
         c == u':' || c == u'-' || c == u'.';
}

}  // namespace

bool IsPlainName(TextView name) {
  return !name.empty() && std::all_of(name.begin(), name.end(), AsciiNameChar) &&
         !(name[0] == u'-' || name[0] == u'.' || (name[0] >= u'0' && name[0] <= u'9'));
}

void AppendName(TextView name, Text& out) {
  if (IsPlainName(name)) {
    out.append(name);
    return;
  }
  const size_t mark = out.size();
  for (size_t i = 0; i < name.size(); ++i) {
    char32_t c = name[i];
    size_t width = 1;
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < name.size() && name[i + 1] >= 0xDC00 && name[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (name[i + 1] - 0xDC00);
      width = 2;
    }
    if (i == 0 && !NameStart(c) && NameChar(c)) out += u'_';
    if (NameChar(c)) out.append(name.data() + i, width);
    else out += u'_';
    i += width - 1;
  }
  if (out.size() == mark) out += u'_';
}

Text Indent(TextView text, long count, char16_t ch) {
  Text prefix(count > 0 ? static_cast<size_t>(count) : 0, ch);
  Text out;
  out.reserve(text.size() + prefix.size() * 8);
  bool inCData = false;
  size_t i = 0;
  while (true) {
    size_t e = Find(text, u"\r\n", i);
    TextView line = text.substr(i, (e == npos ? text.size() : e) - i);
    bool opens = Find(line, u"<![CDATA[", 0) != npos;
    bool closes = Find(line, u"]]>", 0) != npos;
    if (inCData) {
      out.append(line);
      if (closes) inCData = false;
    } else {
      out += prefix;
      out.append(line);
      if (opens && !closes) inCData = true;
    }
    if (e == npos) break;
    out += u"\r\n";
    i = e + 2;
  }
  return out;
}

}  // namespace mXmlText
