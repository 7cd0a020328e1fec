#include "platform/Text.h"

namespace txt {

Text FromBytes(BytesView b) {
  Text t;
  t.resize(b.size());
  for (size_t i = 0; i < b.size(); ++i) t[i] = static_cast<unsigned char>(b[i]);
  return t;
}

Bytes ToBytes(TextView t) {
  Bytes b;
  b.resize(t.size());
  for (size_t i = 0; i < t.size(); ++i) b[i] = static_cast<char>(t[i] & 0xFF);
  return b;
}

Text FromUtf8(std::string_view s) {
  Text out;
  out.reserve(s.size());
  size_t i = 0, n = s.size();
  while (i < n) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) { out.push_back(c); ++i; continue; }
    int len = (c >= 0xF0 && c <= 0xF4) ? 4 : (c >= 0xE0) && c < 0xF0 ? 3 : (c >= 0xC2 && c < 0xE0) ? 2 : 0;
    if (len == 0 || i + len > n) { out.push_back(0xFFFD); ++i; continue; }
    uint32_t cp = c & (len == 2 ? 0x1F : len == 3 ? 0x0F : 0x07);
    bool ok = true;
    for (int k = 1; k < len; ++k) {
      unsigned char cc = static_cast<unsigned char>(s[i + k]);
      if ((cc & 0xC0) != 0x80) { ok = false; break; }
      cp = (cp << 6) | (cc & 0x3F);
    }
    if (!ok || (len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF)) {
      out.push_back(0xFFFD); ++i; continue;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
    i += len;
  }
  return out;
}

std::string ToUtf8(TextView t) {
  std::string out;
  out.reserve(t.size());
  for (size_t i = 0; i < t.size(); ++i) {
    uint32_t cp = t[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < t.size() && t[i + 1] >= 0xDC00 && t[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (t[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

Text LCase(TextView t) {
  Text r(t);
  for (auto& c : r)
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
  return r;
}

Text UCase(TextView t) {
  Text r(t);
  for (auto& c : r)
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
  return r;
}

bool EqualsNoCase(TextView a, TextView b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char16_t x = a[i], y = b[i];
    if (x >= u'A' && x <= u'Z') x = static_cast<char16_t>(x + 32);
    if (y >= u'A' && y <= u'Z') y = static_cast<char16_t>(y + 32);
    if (x != y) return false;
  }
  return true;
}

Text FromInt(long long v) {
  std::string s = std::to_string(v);
  return Text(s.begin(), s.end());
}

long long ToInt(TextView t) {
  size_t i = 0;
  while (i < t.size() && (t[i] == u' ' || t[i] == u'\t')) ++i;
  bool neg = false;
  if (i < t.size() && (t[i] == u'-' || t[i] == u'+')) { neg = t[i] == u'-'; ++i; }
  long long v = 0;
  bool any = false;
  while (i < t.size() && t[i] >= u'0' && t[i] <= u'9') {
    if (v < (1LL << 58)) v = v * 10 + (t[i] - u'0');
    any = true;
    ++i;
  }
  if (!any) return 0;
  return neg ? -v : v;
}

std::vector<Text> Split(TextView t, TextView sep) {
  std::vector<Text> out;
  if (sep.empty()) return {Text(t)};
  size_t start = 0;
  while (true) {
    size_t p = t.find(sep, start);
    if (p == TextView::npos) {
      out.emplace_back(t.substr(start));
      return out;
    }
    out.emplace_back(t.substr(start, p - start));
    start = p + sep.size();
  }
}

Text Replace(TextView t, TextView what, TextView with) {
  if (what.empty()) return Text(t);
  Text r;
  r.reserve(t.size());
  size_t pos = 0;
  while (true) {
    size_t f = t.find(what, pos);
    if (f == TextView::npos) break;
    r.append(t.substr(pos, f - pos));
    r.append(with);
    pos = f + what.size();
  }
  r.append(t.substr(pos));
  return r;
}

}  // namespace txt
