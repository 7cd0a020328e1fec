#include "storage/mStringTools.h"

#include <algorithm>
#include <cstring>
#include <vector>
#ifdef __SSE2__
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define KSV_VECTOR_UTF8 1
#endif

namespace mStringTools {
namespace {

// Windows-1252 bytes 0x80..0x9F. The five slots the code page leaves undefined map to the
// control character of the same value, as the system converter does, so every byte
// round-trips through text.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

inline char16_t Cp1252ToChar(unsigned char b) {
  return (b >= 0x80 && b <= 0x9F) ? kCp1252High[b - 0x80] : static_cast<char16_t>(b);
}

// -1 when the character has no byte in code page 1252.
inline int CharToCp1252(char16_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return c;
  for (int i = 0; i < 32; ++i)
    if (kCp1252High[i] == c) return 0x80 + i;
  return -1;
}

inline uint64_t Load8(const unsigned char* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}

#ifdef KSV_VECTOR_UTF8
// (GCC's own intrinsics start vectors from an undefined value, which its flow analysis
// reports as uninitialised.)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
// Text of ASCII and two-byte sequences (Latin, Greek, Cyrillic, Hebrew, Arabic ...) sixteen
// bytes a round: every byte becomes a 32-bit lane holding the character it starts, the lanes
// of continuation bytes are squeezed out, and the rest is narrowed to UTF-16. A round holding
// anything else (a longer or broken sequence) ends the run and is left to the byte-wise
// decoder. Returns the bytes consumed; `o` moves past the characters written. Up to sixteen
// characters are stored from `o`, so the output needs the room the input has.
__attribute__((target("avx512f"))) size_t DecodeTwoByteRuns(const unsigned char* s, size_t n, char16_t*& o) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i contBelow = _mm_set1_epi8(-64);   // 0x80..0xBF are -128..-65
  const __m128i leadAbove = _mm_set1_epi8(-63);   // 0xC2..0xDF are -62..-33
  const __m128i leadBelow = _mm_set1_epi8(-32);
  const __m512i low5 = _mm512_set1_epi32(0x1F);
  const __m512i low6 = _mm512_set1_epi32(0x3F);
  size_t i = 0;
  // Every round takes sixteen bytes, so the next load never waits on this round's result. A
  // lead byte closing a round is decoded there with the byte after it, which the next round
  // then skips as a continuation (`carry`).
  unsigned carry = 0;
  while (i + 17 <= n) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
    unsigned high = static_cast<unsigned>(_mm_movemask_epi8(v));
    if (high == 0) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm_unpacklo_epi8(v, zero));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 8), _mm_unpackhi_epi8(v, zero));
      o += 16;
      i += 16;
      carry = 0;
      continue;
    }
    unsigned cont = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmplt_epi8(v, contBelow)));
    unsigned lead = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_and_si128(_mm_cmpgt_epi8(v, leadAbove), _mm_cmplt_epi8(v, leadBelow))));
    // C0, C1 or the lead of a longer sequence; a continuation byte that follows no lead; a
    // lead without its continuation.
    if ((high & ~(cont | lead)) != 0 || cont != (((lead << 1) | carry) & 0xFFFFu) ||
        ((lead & 0x8000u) && (s[i + 16] & 0xC0) != 0x80))
      return i + carry;
    __m512i b = _mm512_cvtepu8_epi32(v);
    __m512i next = _mm512_cvtepu8_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i + 1)));
    __m512i two = _mm512_or_si512(_mm512_slli_epi32(_mm512_and_si512(b, low5), 6), _mm512_and_si512(next, low6));
    __m512i chars = _mm512_mask_blend_epi32(static_cast<__mmask16>(lead), b, two);
    auto keep = static_cast<__mmask16>(~cont & 0xFFFFu);
    __m512i packed = _mm512_maskz_compress_epi32(keep, chars);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(o), _mm512_cvtepi32_epi16(packed));
    o += __builtin_popcount(keep);
    i += 16;
    carry = lead >> 15;
  }
  return i + carry;
}
#pragma GCC diagnostic pop

const bool kVectorUtf8 = __builtin_cpu_supports("avx512f");
#endif

// Decodes UTF-8 into `out` (pre-sized by the caller to at least n characters); returns the
// number of characters written. Invalid or truncated sequences give one U+FFFD per byte.
// Stops at a zero byte when stopAtZero is set.
size_t DecodeUtf8Into(const unsigned char* s, size_t n, char16_t* out, bool stopAtZero) {
  char16_t* o = out;
  size_t i = 0;
  while (i < n) {
    // ASCII runs sixteen bytes at a time.
    if (!stopAtZero) {
#ifdef KSV_VECTOR_UTF8
      if (kVectorUtf8) i += DecodeTwoByteRuns(s + i, n - i, o);
#endif
#ifdef __SSE2__
      const __m128i zero = _mm_setzero_si128();
      while (i + 16 <= n) {
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        unsigned high = static_cast<unsigned>(_mm_movemask_epi8(v));
        // All sixteen are widened; only those before the first non-ASCII byte count (the
        // output has room: it never runs ahead of the input).
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm_unpacklo_epi8(v, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 8), _mm_unpackhi_epi8(v, zero));
        size_t ascii = high == 0 ? 16 : static_cast<size_t>(__builtin_ctz(high));
        o += ascii;
        i += ascii;
        if (high != 0) break;
      }
#endif
      while (i + 8 <= n && (Load8(s + i) & 0x8080808080808080ULL) == 0) {
        for (int k = 0; k < 8; ++k) o[k] = s[i + k];
        o += 8;
        i += 8;
      }
      if (i >= n) break;
    }
    unsigned char c = s[i];
    if (c < 0x80) {
      if (c == 0 && stopAtZero) break;
      *o++ = c;
      ++i;
      continue;
    }
    // The common two-byte case (Latin accents) without the general checks.
    if (c >= 0xC2 && c <= 0xDF && i + 1 < n && (s[i + 1] & 0xC0) == 0x80) {
      *o++ = static_cast<char16_t>(((c & 0x1F) << 6) | (s[i + 1] & 0x3F));
      i += 2;
      continue;
    }
    uint32_t cp;
    int len;
    if (c >= 0xC2 && c <= 0xDF) { len = 2; cp = c & 0x1F; }
    else if (c >= 0xE0 && c <= 0xEF) { len = 3; cp = c & 0x0F; }
    else if (c >= 0xF0 && c <= 0xF4) { len = 4; cp = c & 0x07; }
    else { *o++ = 0xFFFD; ++i; continue; }
    if (i + len > n) { *o++ = 0xFFFD; ++i; continue; }
    bool ok = true;
    for (int k = 1; k < len; ++k) {
      unsigned char cc = s[i + k];
      if ((cc & 0xC0) != 0x80) { ok = false; break; }
      cp = (cp << 6) | (cc & 0x3F);
    }
    if (!ok || (len == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) ||
        (len == 4 && (cp < 0x10000 || cp > 0x10FFFF))) {
      *o++ = 0xFFFD;
      ++i;
      continue;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      *o++ = static_cast<char16_t>(0xD800 + (cp >> 10));
      *o++ = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      *o++ = static_cast<char16_t>(cp);
    }
    i += len;
  }
  return static_cast<size_t>(o - out);
}

// U+FFFD or a zero character.
bool HoldsSuspect(const char16_t* s, size_t n) {
  size_t i = 0;
#ifdef __SSE2__
  const __m128i rc = _mm_set1_epi16(static_cast<short>(0xFFFD));
  const __m128i zero = _mm_setzero_si128();
  for (; i + 8 <= n; i += 8) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
    if (_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi16(v, rc), _mm_cmpeq_epi16(v, zero))) != 0) return true;
  }
#endif
  for (; i < n; ++i)
    if (s[i] == 0xFFFD || s[i] == 0) return true;
  return false;
}

// Decoded straight into the text's own storage, which is never cleared first, a block at a
// time so that the check for U+FFFD and zero characters reads what was just written.
// `replaced`, when given, tells whether the text holds either.
Text DecodeUtf8(BytesView data, bool stopAtZero, bool* replaced = nullptr) {
  Text out;
  if (replaced) *replaced = false;
  // Nothing after a zero byte is read: decoding up to it gives the same text.
  if (stopAtZero) data = data.substr(0, std::min(data.size(), data.find('\0')));
  if (data.empty()) return out;
  const auto* s = reinterpret_cast<const unsigned char*>(data.data());
  const size_t n = data.size();
  // Never more characters than bytes; the decoder relies on that room.
  out.resize_and_overwrite(n, [&](char16_t* o, size_t) {
    constexpr size_t kBlock = 4096;
    size_t i = 0, w = 0;
    while (i < n) {
      size_t end = std::min(n, i + kBlock);
      // A block never ends inside a sequence: it stops before the lead byte. (Every byte
      // that is no continuation byte starts a step of the decoder, so the result is
      // unchanged.)
      size_t e = end;
      for (int k = 0; k < 3 && e < n && e > i && (s[e] & 0xC0) == 0x80; ++k) --e;
      if (e > i && (e == n || (s[e] & 0xC0) != 0x80)) end = e;
      size_t got = DecodeUtf8Into(s + i, end - i, o + w, false);
      if (replaced && !*replaced) *replaced = HoldsSuspect(o + w, got);
      w += got;
      i = end;
    }
    return w;
  });
  return out;
}

Text DecodeCp1252(BytesView data, bool stopAtZero = true) {
  size_t n = data.size();
  size_t z = stopAtZero ? data.find('\0') : BytesView::npos;
  if (z != BytesView::npos) n = z;
  Text out;
  out.resize(n);
  for (size_t i = 0; i < n; ++i) out[i] = Cp1252ToChar(static_cast<unsigned char>(data[i]));
  return out;
}

const char kB64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

struct B64Table {
  int8_t v[256];
  B64Table() {
    std::fill(std::begin(v), std::end(v), -1);
    for (int i = 0; i < 64; ++i) v[static_cast<unsigned char>(kB64[i])] = static_cast<int8_t>(i);
  }
};
const B64Table kB64Dec;

}  // namespace

Text EncodingModeName(int mode) {
  switch (mode) {
    case 0: return u"AutoDetect";
    case 1: return u"UNICODE";
    case 2: return u"UTF8";
    case 3: return u"ANSI";
  }
  static const char* hex = "0123456789ABCDEF";
  uint32_t v = static_cast<uint32_t>(mode);
  Text h;
  do {
    h.insert(h.begin(), static_cast<char16_t>(hex[v & 15]));
    v >>= 4;
  } while (v);
  return u"0x" + h;
}

Bytes TextToUTF16LE(TextView text) {
  Bytes b;
  b.resize(text.size() * 2);
  for (size_t i = 0; i < text.size(); ++i) {
    b[2 * i] = static_cast<char>(text[i] & 0xFF);
    b[2 * i + 1] = static_cast<char>(text[i] >> 8);
  }
  return b;
}

Text UTF16LEToText(BytesView data) {
  Text t;
  t.resize(data.size() / 2);
  for (size_t i = 0; i < t.size(); ++i)
    t[i] = static_cast<char16_t>(static_cast<unsigned char>(data[2 * i]) |
                                 (static_cast<unsigned char>(data[2 * i + 1]) << 8));
  return t;
}

Text StrCodePageToUnicode(BytesView data, int codePage) {
  if (data.empty()) return Text();
  switch (codePage) {
    case CP_WINDOWS_1252: return DecodeCp1252(data);
    case CP_UTF8_: return DecodeUtf8(data, true);
    case CP_LATIN1: {
      size_t n = std::min(data.size(), data.find('\0'));
      return txt::FromBytes(data.substr(0, n));
    }
  }
  return Text();
}

Bytes StrUnicodeToCodePage(TextView text, int codePage) {
  if (text.empty()) return Bytes();
  switch (codePage) {
    case CP_WINDOWS_1252: {
      // A surrogate pair is one character: one "?" for both halves.
      Bytes out;
      out.reserve(text.size());
      for (size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        if (c >= 0xDC00 && c <= 0xDFFF && i > 0 && text[i - 1] >= 0xD800 && text[i - 1] <= 0xDBFF) continue;
        int v = CharToCp1252(c);
        out.push_back(static_cast<char>(v < 0 ? '?' : v));
      }
      return out;
    }
    case CP_UTF8_: return UTF8_EncodeBytes(text);
    case CP_LATIN1: {
      Bytes b;
      b.reserve(text.size());
      for (char16_t c : text) b.push_back(static_cast<char>(c <= 0xFF ? c : '?'));
      return b;
    }
  }
  return Bytes();
}

bool IsUnicode(BytesView data) {
  size_t n = data.size();
  if (n < 2) return false;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(data.data());
  if (p[0] == 0xFF && p[1] == 0xFE) return true;
  if (p[0] == 0xFE && p[1] == 0xFF) return false;  // big-endian mark: not this program's UTF-16
  if (n & 1) return false;
  // Statistics: Latin-script UTF-16LE has a zero high byte in most characters and almost no
  // zero low bytes; single-byte text almost never has zero bytes at all.
  size_t pairs = n / 2, oddZero = 0, evenZero = 0;
  for (size_t i = 0; i + 1 < n; i += 2) {
    if (p[i] == 0) ++evenZero;
    if (p[i + 1] == 0) ++oddZero;
  }
  return oddZero * 10 >= pairs * 4 && evenZero * 10 <= pairs;
}

bool IsUTF8(BytesView data) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(data.data());
  size_t n = data.size(), i = 0;
  bool multi = false;
  while (i < n) {
#ifdef __SSE2__
    while (i + 16 <= n &&
           _mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i))) == 0)
      i += 16;
#endif
    while (i + 8 <= n && (Load8(p + i) & 0x8080808080808080ULL) == 0) i += 8;
    if (i >= n) break;
    unsigned char c = p[i];
    if (c < 0x80) { ++i; continue; }
    int follow;
    if ((c & 0xE0) == 0xC0) follow = 1;
    else if ((c & 0xF0) == 0xE0) follow = 2;
    else if ((c & 0xF8) == 0xF0) follow = 3;
    else if ((c & 0xFC) == 0xF8) follow = 4;
    else if ((c & 0xFE) == 0xFC) follow = 5;
    else return false;
    if (i + follow >= n) return false;
    for (int k = 1; k <= follow; ++k)
      if ((p[i + k] & 0xC0) != 0x80) return false;
    multi = true;
    i += follow + 1;
  }
  return multi;
}

Text StrDataToUnicode(BytesView data, int& mode, int codePage, bool keepMark, bool* markChanged) {
  if (markChanged) *markChanged = false;
  if (data.empty()) return Text();
  try {
    if (mode == ModeAutoDetect) {
      if (IsUnicode(data)) mode = ModeUnicode;
      else if (IsUTF8(data)) mode = ModeUTF8;
      else mode = ModeANSI;
    }
    Text t;
    switch (mode) {
      case ModeUnicode: t = UTF16LEToText(data); break;
      case ModeUTF8: t = DecodeUtf8(data, false); break;
      case ModeANSI: t = StrCodePageToUnicode(data, codePage); break;
      default: return Text();
    }
    if (!t.empty()) {
      bool hasMark = t[0] == 0xFEFF;
      if (hasMark && !keepMark) {
        t.erase(0, 1);
        if (markChanged) *markChanged = true;
      } else if (!hasMark && keepMark) {
        t.insert(t.begin(), char16_t(0xFEFF));
        if (markChanged) *markChanged = true;
      }
    }
    return t;
  } catch (...) {
    return Text();
  }
}

Bytes UTF8_EncodeBytes(TextView text) {
  Bytes out;
  if (text.empty()) return out;
  out.resize(text.size() * 3);
  unsigned char* o = reinterpret_cast<unsigned char*>(out.data());
  const char16_t* s = text.data();
  size_t n = text.size(), i = 0;
  while (i < n) {
#ifdef __SSE2__
    // Eight ASCII characters at a time: all below 0x80 means the packed bytes are the UTF-8.
    while (i + 8 <= n) {
      __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
      if (_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(v, _mm_set1_epi16(static_cast<short>(0xFF80))),
                                            _mm_setzero_si128())) != 0xFFFF)
        break;
      _mm_storel_epi64(reinterpret_cast<__m128i*>(o), _mm_packus_epi16(v, v));
      o += 8;
      i += 8;
    }
    if (i >= n) break;
#endif
    uint32_t c = s[i];
    if (c < 0x80) { *o++ = static_cast<unsigned char>(c); ++i; continue; }
    if (c < 0x800) {
      *o++ = static_cast<unsigned char>(0xC0 | (c >> 6));
      *o++ = static_cast<unsigned char>(0x80 | (c & 0x3F));
      ++i;
      continue;
    }
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
      uint32_t cp = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      *o++ = static_cast<unsigned char>(0xF0 | (cp >> 18));
      *o++ = static_cast<unsigned char>(0x80 | ((cp >> 12) & 0x3F));
      *o++ = static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F));
      *o++ = static_cast<unsigned char>(0x80 | (cp & 0x3F));
      i += 2;
      continue;
    }
    if (c >= 0xD800 && c <= 0xDFFF) c = 0xFFFD;  // lone surrogate
    *o++ = static_cast<unsigned char>(0xE0 | (c >> 12));
    *o++ = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
    *o++ = static_cast<unsigned char>(0x80 | (c & 0x3F));
    ++i;
  }
  out.resize(static_cast<size_t>(o - reinterpret_cast<unsigned char*>(out.data())));
  return out;
}

Text UTF8_Encode(TextView text, bool raw) {
  Bytes b = UTF8_EncodeBytes(text);
  if (raw) return txt::FromBytes(b);
  Text t;
  t.resize(b.size());
  for (size_t i = 0; i < b.size(); ++i) t[i] = Cp1252ToChar(static_cast<unsigned char>(b[i]));
  return t;
}

Text UTF8_DecodeBytes(BytesView data) { return DecodeUtf8(data, true); }

Text UTF8_DecodeChecked(BytesView data, bool& suspect) { return DecodeUtf8(data, false, &suspect); }

size_t UTF8_DecodePiece(BytesView data, bool last, char16_t* out, size_t& used, bool& suspect) {
  const auto* s = reinterpret_cast<const unsigned char*>(data.data());
  const size_t n = data.size();
  size_t end = n;
  // The piece stops before the last lead byte of its last four bytes. Every byte that is no
  // continuation byte starts a step of the decoder, so stopping there changes nothing; and no
  // sequence reaching the end can start earlier.
  if (!last)
    for (size_t k = 1; k <= 4 && k <= n; ++k) {
      unsigned char c = s[n - k];
      if ((c & 0xC0) == 0x80) continue;
      if (c >= 0x80) end = n - k;
      break;
    }
  size_t got = DecodeUtf8Into(s, end, out, false);
  if (!suspect) suspect = HoldsSuspect(out, got);
  used = end;
  return got;
}

Text UTF8_Decode(TextView text, int mode) {
  if (text.empty()) return Text();
  if (mode == ModeAutoDetect) mode = IsUnicode(TextToUTF16LE(text)) ? ModeUTF8 : ModeUnicode;
  if (mode == ModeUTF8) {
    Bytes b;
    b.resize(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
      int v = CharToCp1252(text[i]);
      b[i] = static_cast<char>(v < 0 ? '?' : v);
    }
    return DecodeUtf8(b, true);
  }
  return DecodeUtf8(TextToUTF16LE(text), true);
}

long ReadByteBits(uint8_t value, uint8_t mask) {
  return ReadLongBits(value, mask);
}

long ReadLongBits(uint32_t value, uint32_t mask) {
  long r = 0;
  int bit = 0;
  for (int i = 0; i < 32; ++i) {
    if (mask & (1u << i)) {
      if (value & (1u << i)) r |= (1L << bit);
      ++bit;
    }
  }
  return r;
}

Bytes Base64_EncodeData(BytesView data) {
  Bytes out;
  size_t n = data.size();
  if (n == 0) return out;
  out.resize((n + 2) / 3 * 4);
  const unsigned char* p = reinterpret_cast<const unsigned char*>(data.data());
  char* o = out.data();
  size_t i = 0;
  for (; i + 3 <= n; i += 3) {
    uint32_t v = (p[i] << 16) | (p[i + 1] << 8) | p[i + 2];
    *o++ = kB64[v >> 18];
    *o++ = kB64[(v >> 12) & 63];
    *o++ = kB64[(v >> 6) & 63];
    *o++ = kB64[v & 63];
  }
  if (i < n) {
    uint32_t v = p[i] << 16;
    if (i + 1 < n) v |= p[i + 1] << 8;
    *o++ = kB64[v >> 18];
    *o++ = kB64[(v >> 12) & 63];
    *o++ = (i + 1 < n) ? kB64[(v >> 6) & 63] : '=';
    *o++ = '=';
  }
  return out;
}

Bytes Base64_DecodeData(BytesView text) {
  size_t n = text.size();
  if (n == 0 || n % 4 != 0) return Bytes();
  Bytes out;
  out.resize(n / 4 * 3);
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text.data());
  char* o = out.data();
  for (size_t i = 0; i < n; i += 4) {
    uint32_t v = 0;
    for (int k = 0; k < 4; ++k) {
      int d = kB64Dec.v[p[i + k]];
      v = (v << 6) | static_cast<uint32_t>(d < 0 ? 0 : d);  // "=" and foreign characters count as zero bits
    }
    *o++ = static_cast<char>(v >> 16);
    *o++ = static_cast<char>((v >> 8) & 0xFF);
    *o++ = static_cast<char>(v & 0xFF);
  }
  size_t eq = text.find('=');
  if (eq != BytesView::npos) {
    size_t cut = n - eq;  // length - p + 1 with p 1-based
    out.resize(cut >= out.size() ? 0 : out.size() - cut);
  }
  return out;
}

Text Base64_Encode(TextView data, int inMode, int /*outMode*/) {
  if (data.empty()) return Text();
  if (inMode == 0) inMode = IsUnicode(TextToUTF16LE(data)) ? 2 : 1;
  Bytes bytes = inMode == 2 ? StrUnicodeToCodePage(data, CP_WINDOWS_1252) : TextToUTF16LE(data);
  // The encoded characters are ASCII, so byte data and text carry the same values.
  return txt::FromBytes(Base64_EncodeData(bytes));
}

Text Base64_Decode(TextView text, int inMode, int outMode) {
  if (text.empty() || text.size() % 4 != 0) return Text();
  Bytes chars = inMode == 2 ? txt::ToBytes(text) : StrUnicodeToCodePage(text, CP_WINDOWS_1252);
  // Characters beyond one byte are foreign to the alphabet; keep them foreign.
  if (inMode == 2)
    for (size_t i = 0; i < text.size(); ++i)
      if (text[i] > 0xFF) chars[i] = '!';
  Bytes b = Base64_DecodeData(chars);
  if (outMode == 2) return DecodeCp1252(b, false);
  return txt::FromBytes(b);
}

bool NeedUpdate(TextView current, TextView offered) {
  if (current == offered) return false;
  auto normalise = [](TextView s) {
    Text r;
    int prev = -1;  // -1 none, 0 non-digit, 1 digit
    for (char16_t c : s) {
      if (c == u'.') {
        r.push_back(c);
        prev = -1;
        continue;
      }
      int kind = (c >= u'0' && c <= u'9') ? 1 : 0;
      if (prev != -1 && prev != kind) r.push_back(u'.');
      r.push_back(c);
      prev = kind;
    }
    return txt::LCase(r);
  };

  auto allDigits = [](const Text& s) {
    if (s.empty()) return false;
    for (char16_t c : s)
      if (c < u'0' || c > u'9') return false;
    return true;
  };
  std::vector<Text> a = txt::Split(normalise(current), u"."), b = txt::Split(normalise(offered), u".");
  size_t n = std::max(a.size(), b.size());
  a.resize(n);
  b.resize(n);
  for (size_t i = 0; i < n; ++i) {
    if (a[i] == b[i]) continue;
    if (allDigits(a[i]) && allDigits(b[i])) {
      // Compare as numbers of any length: strip leading zeros, then length, then digits.
      auto strip = [](const Text& s) {
        size_t k = s.find_first_not_of(u'0');
        return k == Text::npos ? Text() : s.substr(k);
      };
      Text x = strip(a[i]), y = strip(b[i]);
      if (x == y) continue;
      if (x.size() != y.size()) return y.size() > x.size();
      return y > x;
    }
    return b[i] > a[i];  // code-unit order; an empty part is smaller than any other
  }
  return false;
}

Text SplitLines(TextView text, long width) {
  if (text.empty()) return Text();
  if (width < 1) width = 1;
  Text r;
  size_t w = static_cast<size_t>(width);
  r.reserve(text.size() + (text.size() / w + 1) * 2);
  for (size_t i = 0; i < text.size(); i += w) {
    r.append(text.substr(i, w));
    r.append(u"\r\n");
  }
  return r;
}

Text xTrim(TextView text) {
  auto ws = [](char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; };
  size_t b = 0, e = text.size();
  while (b < e && ws(text[b])) ++b;
  while (e > b && ws(text[e - 1])) --e;
  return Text(text.substr(b, e - b));
}

}  // namespace mStringTools
