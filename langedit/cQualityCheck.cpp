#include "langedit/cQualityCheck.h"

#include <unordered_map>

#include "langedit/mStrings.h"

namespace {

// What the scanner recognises; placeholders of different families never stand for each other.
enum class TokKind : uint8_t { Printf, Numbered, Brace, Tag };

struct Token {
  TokKind kind;
  Text key;  // what must match ("d" for "%5d", "{name}", "</b>")
  size_t pos;
  size_t len;
};

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
bool IsAsciiLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }
bool IsNameChar(char16_t c) { return IsAsciiLetter(c) || IsDigit(c) || c == u'_'; }
char16_t Lower(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; }

bool IsSpace(char16_t c) {
  return c == u' ' || c == u'\t' || c == 0x00A0 || c == 0x202F || c == 0x2007 || c == 0x3000;
}

// A letter of some script, roughly: enough to tell "Kestrova" from "%s: %d" or "---".
bool IsLetter(char16_t c) {
  if (c < 0x80) return IsAsciiLetter(c);
  if (c < 0xC0 || c == 0xD7 || c == 0xF7) return false;
  if (c >= 0x2000 && c <= 0x2BFF) return false;  // punctuation, symbols, arrows, boxes
  if (c >= 0x3000 && c <= 0x303F) return false;  // CJK punctuation
  if (c >= 0xFF00 && c <= 0xFF20) return false;  // full-width punctuation and digits
  return true;
}

// printf: %[n$][flags][width][.prec][length]conv. A space is not taken as a flag, so
// "100% sure" stays text; "%%" is a literal percent sign.
bool ScanPrintf(TextView t, size_t i, Token& tok) {
  size_t j = i + 1, n = t.size();
  size_t digits = j;
  while (j < n && IsDigit(t[j])) ++j;
  bool hasDigits = j > digits;
  bool positional = hasDigits && j < n && t[j] == u'$';
  if (positional) ++j;
  if (!positional) j = digits;  // the digits were a width, or a numbered placeholder
  while (j < n && (t[j] == u'-' || t[j] == u'+' || t[j] == u'#' || t[j] == u'0' || t[j] == u'\'')) ++j;
  if (j < n && t[j] == u'*') ++j;
  else while (j < n && IsDigit(t[j])) ++j;
  if (j < n && t[j] == u'.') {
    ++j;
    if (j < n && t[j] == u'*') ++j;
    else while (j < n && IsDigit(t[j])) ++j;
  }
  size_t lenStart = j;
  if (t.substr(j, 3) == u"I64" || t.substr(j, 3) == u"I32") j += 3;
  else if (t.substr(j, 2) == u"hh" || t.substr(j, 2) == u"ll") j += 2;
  else if (j < n && TextView(u"hlLqjztI").find(t[j]) != TextView::npos) ++j;
  if (j >= n || TextView(u"diouxXeEfFgGaAcCsSpn@").find(t[j]) == TextView::npos) return false;
  char16_t conv = t[j] == u'i' ? u'd' : t[j];
  // "50%off", "100%ige": a bare conversion glued to a number before and a word after is a
  // percent sign, not a placeholder.
  if (j == i + 1 && i > 0 && IsDigit(t[i - 1]) && j + 1 < n && IsLetter(t[j + 1])) return false;
  tok = {TokKind::Printf, Text(t.substr(lenStart, j - lenStart)) + conv, i, j + 1 - i};
  return true;
}

// "%1" .. "%99" as numbered arguments, unless the digits start a printf width ("%10d").
bool ScanNumbered(TextView t, size_t i, Token& tok) {
  size_t j = i + 1;
  while (j < t.size() && IsDigit(t[j]) && j - i <= 2) ++j;
  if (j == i + 1 || t[i + 1] == u'0') return false;
  tok = {TokKind::Numbered, Text(t.substr(i, j - i)), i, j - i};
  return true;
}

// "{0}", "{name}", "{0:N2}", "{count,5}"; "{{" is a literal brace.
bool ScanBrace(TextView t, size_t i, Token& tok) {
  size_t j = i + 1, n = t.size();
  while (j < n && (IsNameChar(t[j]) || t[j] == u'.')) ++j;
  if (j == i + 1) return false;
  size_t nameEnd = j;
  if (j < n && (t[j] == u':' || t[j] == u',' || t[j] == u'!'))
    while (j < n && t[j] != u'}' && t[j] != u'{' && j - i < 64) ++j;
  if (j >= n || t[j] != u'}') return false;
  tok = {TokKind::Brace, u"{" + Text(t.substr(i + 1, nameEnd - i - 1)) + u"}", i, j + 1 - i};
  return true;
}

// Tags of the markup the suite's texts carry. Anything else in angle brackets is text, such
// as a key name ("Press <Enter>") a translator rightly translates.
bool IsMarkupName(TextView name) {
  static constexpr const char16_t* kNames[] = {
      u"a", u"b", u"big", u"blockquote", u"body", u"br", u"center", u"code", u"div", u"em", u"font", u"h1", u"h2",
      u"h3", u"h4", u"h5", u"h6", u"head", u"hr", u"html", u"i", u"img", u"kbd", u"li", u"nobr", u"ol", u"p", u"pre",
      u"q", u"s", u"small", u"span", u"strike", u"strong", u"sub", u"sup", u"table", u"td", u"th", u"title", u"tr",
      u"tt", u"u", u"ul"};
  for (const char16_t* n : kNames)
    if (name == n) return true;
  return false;
}

// "<b>", "</b>", "<br/>", "<a href=\"x\">": attributes must be quoted, so "a <b and c> d"
// in plain text is no tag.
bool ScanTag(TextView t, size_t i, Token& tok) {
  size_t j = i + 1, n = t.size();
  bool closing = j < n && t[j] == u'/';
  if (closing) ++j;
  if (j >= n || !IsAsciiLetter(t[j])) return false;
  Text name;
  while (j < n && (IsNameChar(t[j]) || t[j] == u'-' || t[j] == u':')) name += Lower(t[j++]);
  bool selfClosing = false;
  for (;;) {
    while (j < n && IsSpace(t[j])) ++j;
    if (j >= n) return false;
    if (t[j] == u'>') break;
    if (t[j] == u'/' && !closing && j + 1 < n && t[j + 1] == u'>') {
      selfClosing = true;
      ++j;
      break;
    }
    if (closing || j == 0 || !IsSpace(t[j - 1]) || !IsAsciiLetter(t[j])) return false;
    while (j < n && (IsNameChar(t[j]) || t[j] == u'-' || t[j] == u':')) ++j;
    if (j + 1 >= n || t[j] != u'=' || (t[j + 1] != u'"' && t[j + 1] != u'\'')) return false;
    size_t close = t.find(t[j + 1], j + 2);
    if (close == TextView::npos) return false;
    j = close + 1;
  }
  if (!IsMarkupName(name)) return false;
  Text key = closing ? u"</" + name + u">" : selfClosing ? u"<" + name + u"/>" : u"<" + name + u">";
  tok = {TokKind::Tag, std::move(key), i, j + 1 - i};
  return true;
}

void Scan(TextView t, std::vector<Token>& out) {
  out.clear();
  for (size_t i = 0; i < t.size(); ++i) {
    Token tok;
    char16_t c = t[i];
    if (c == u'%') {
      if (i + 1 < t.size() && t[i + 1] == u'%') {
        ++i;
        continue;
      }
      if (!ScanPrintf(t, i, tok) && !ScanNumbered(t, i, tok)) continue;
    } else if (c == u'{') {
      if (i + 1 < t.size() && t[i + 1] == u'{') {
        ++i;
        continue;
      }
      if (!ScanBrace(t, i, tok)) continue;
    } else if (c == u'<') {
      if (!ScanTag(t, i, tok)) continue;
    } else {
      continue;
    }
    i += tok.len - 1;
    out.push_back(std::move(tok));
  }
}

// A token's text for a one-line message.
Text Shown(TextView t, const Token& tok) {
  Text s(t.substr(tok.pos, tok.len < 40 ? tok.len : 40));
  for (char16_t& c : s)
    if (c < 0x20) c = u' ';
  return tok.len < 40 ? s : s + u"\u2026";
}

CheckFinding Finding(CheckKind kind, Text message, std::vector<std::pair<size_t, size_t>> spans = {}) {
  bool error = kind == CheckKind::Placeholders || kind == CheckKind::Markup || kind == CheckKind::Orphan;
  return {kind, error ? CheckSeverity::Error : CheckSeverity::Warning, std::move(message), std::move(spans)};
}

// Placeholders and tags compared as multisets per family: order may change in a translation,
// count and kind may not. A missing and an extra one of the same family read as a change.
void CompareTokens(TextView english, const std::vector<Token>& e, TextView target, const std::vector<Token>& t,
                   std::vector<CheckFinding>& out) {
  std::vector<bool> usedE(e.size()), usedT(t.size());
  for (size_t k = 0; k < t.size(); ++k)
    for (size_t m = 0; m < e.size(); ++m)
      if (!usedE[m] && e[m].kind == t[k].kind && e[m].key == t[k].key) {
        usedE[m] = usedT[k] = true;
        break;
      }
  for (size_t m = 0; m < e.size(); ++m) {
    if (usedE[m]) continue;
    bool tag = e[m].kind == TokKind::Tag;
    CheckKind kind = tag ? CheckKind::Markup : CheckKind::Placeholders;
    const char16_t* what = tag ? u"tag " : u"placeholder ";
    size_t k = 0;
    while (k < t.size() && (usedT[k] || t[k].kind != e[m].kind)) ++k;
    if (k < t.size()) {
      usedT[k] = true;
      out.push_back(Finding(kind, what + Shown(english, e[m]) + u" changed to " + Shown(target, t[k]),
                            {{t[k].pos, t[k].len}}));
    } else {
      out.push_back(Finding(kind, what + Shown(english, e[m]) + u" missing"));
    }
  }
  for (size_t k = 0; k < t.size(); ++k) {
    if (usedT[k]) continue;
    bool tag = t[k].kind == TokKind::Tag;
    out.push_back(Finding(tag ? CheckKind::Markup : CheckKind::Placeholders,
                          (tag ? u"extra tag " : u"extra placeholder ") + Shown(target, t[k]), {{t[k].pos, t[k].len}}));
  }
}

bool InToken(const std::vector<Token>& toks, size_t i) {
  for (const Token& tok : toks)
    if (i >= tok.pos && i < tok.pos + tok.len) return true;
  return false;
}

// The first "&x" that marks an accelerator: not "&&", not "& " and not an entity ("&amp;").
size_t Accelerator(TextView t) {
  for (size_t i = 0; i + 1 < t.size(); ++i) {
    if (t[i] != u'&') continue;
    char16_t c = t[i + 1];
    if (c == u'&') {
      ++i;
      continue;
    }
    if (IsSpace(c) || c == u'\r' || c == u'\n') continue;
    size_t j = i + 1;
    if (j < t.size() && t[j] == u'#') ++j;
    while (j < t.size() && IsNameChar(t[j])) ++j;
    if (j > i + 1 && j < t.size() && t[j] == u';') continue;
    return i;
  }
  return TextView::npos;
}

// Line breaks as stored ("\n") and as typed (CR LF, LF or CR), each counted once.
std::vector<std::pair<size_t, size_t>> LineBreaks(TextView t) {
  std::vector<std::pair<size_t, size_t>> r;
  for (size_t i = 0; i < t.size(); ++i) {
    if (t[i] == u'\\' && i + 1 < t.size() && t[i + 1] == u'n') {
      r.emplace_back(i++, 2);
    } else if (t[i] == u'\r') {
      bool crlf = i + 1 < t.size() && t[i + 1] == u'\n';
      r.emplace_back(i, crlf ? 2 : 1);
      if (crlf) ++i;
    } else if (t[i] == u'\n') {
      r.emplace_back(i, 1);
    }
  }
  return r;
}

struct EndMark {
  char16_t mark = 0;  // '.', ':', '!', '?', U+2026, or 0 for none
  size_t pos = 0, len = 0;
  char16_t last = 0;  // the character it looked at
};

char16_t MarkClass(char16_t c) {
  switch (c) {
    case u'.': case 0x3002: case 0xFF0E: case 0x0964: case 0x0965: case 0x06D4: case 0x0589: case 0x1362: return u'.';
    case u':': case 0xFF1A: return u':';
    case u'!': case 0xFF01: return u'!';
    case u'?': case 0xFF1F: case 0x061F: case 0x037E: return u'?';
    case 0x2026: return 0x2026;
    default: return 0;
  }
}

// The punctuation a text ends on, looking past trailing spaces, line breaks, closing quotes
// and brackets, and closing tags: "Done.</b>\n" ends on ".".
EndMark EndOf(TextView t) {
  size_t end = t.size();
  for (;;) {
    while (end > 0 && (IsSpace(t[end - 1]) || t[end - 1] == u'\r' || t[end - 1] == u'\n')) --end;
    if (end >= 2 && t[end - 2] == u'\\' && t[end - 1] == u'n') {
      end -= 2;
      continue;
    }
    if (end > 0 && TextView(u")]\"'\u00BB\u201D\u2019\u300D\u300F\uFF09").find(t[end - 1]) != TextView::npos) {
      --end;
      continue;
    }
    if (end > 0 && t[end - 1] == u'>') {
      size_t open = t.rfind(u"</", end - 1);
      Token tok;
      if (open != TextView::npos && ScanTag(t, open, tok) && open + tok.len == end) {
        end = open;
        continue;
      }
    }
    break;
  }
  if (end >= 3 && t.substr(end - 3, 3) == u"...") return {0x2026, end - 3, 3, u'.'};
  if (end == 0) return {};
  char16_t m = MarkClass(t[end - 1]);
  return m ? EndMark{m, end - 1, 1, t[end - 1]} : EndMark{0, 0, 0, t[end - 1]};
}

Text MarkText(char16_t m) { return m ? Text(1, m) : Text(); }

// Display width in character cells: East Asian wide characters count double, so a Chinese
// or Japanese translation is not "much shorter" merely for being dense.
size_t Width(TextView t) {
  size_t w = 0;
  for (char16_t c : t) {
    if (c >= 0xDC00 && c <= 0xDFFF) continue;  // the second half of a pair
    bool wide = (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) || (c >= 0xAC00 && c <= 0xD7A3) ||
                (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFF00 && c <= 0xFF60) || (c >= 0xD800 && c <= 0xDBFF);
    w += wide ? 2 : 1;
  }
  return w;
}

size_t LeadingSpaces(TextView t) {
  size_t n = 0;
  while (n < t.size() && IsSpace(t[n])) ++n;
  return n;
}

size_t TrailingSpaces(TextView t) {
  size_t n = 0;
  while (n < t.size() && IsSpace(t[t.size() - 1 - n])) ++n;
  return n;
}

void CompareSpaces(bool leading, size_t e, size_t t, size_t targetSize, std::vector<CheckFinding>& out) {
  if (e == t) return;
  Text where = leading ? u"leading" : u"trailing";
  std::vector<std::pair<size_t, size_t>> spans;
  if (t > 0) spans.emplace_back(leading ? 0 : targetSize - t, t);
  Text msg = t == 0 ? where + u" space missing" : e == 0 ? u"extra " + where + u" space" : where + u" spaces differ";
  out.push_back(Finding(CheckKind::Spaces, std::move(msg), std::move(spans)));
}

Text Count(size_t n, const char16_t* one) { return txt::FromInt(static_cast<long long>(n)) + u" " + one + (n == 1 ? u"" : u"s"); }

void CheckPair(TextView english, const std::vector<Token>& e, TextView target, std::vector<Token>& t,
               std::vector<CheckFinding>& out) {
  if (target.empty()) return;
  if (target == english) {
    for (size_t i = 0; i < english.size(); ++i)
      if (IsLetter(english[i]) && !InToken(e, i)) {
        out.push_back(Finding(CheckKind::Untranslated, u"same as the English", {{0, target.size()}}));
        break;
      }
    return;
  }
  Scan(target, t);
  CompareTokens(english, e, target, t, out);

  bool accE = Accelerator(english) != TextView::npos;
  size_t accT = Accelerator(target);
  if (accE && accT == TextView::npos) out.push_back(Finding(CheckKind::Accelerator, u"accelerator & missing"));
  if (!accE && accT != TextView::npos)
    out.push_back(Finding(CheckKind::Accelerator, u"extra accelerator &", {{accT, 2}}));

  CompareSpaces(true, LeadingSpaces(english), LeadingSpaces(target), target.size(), out);
  if (LeadingSpaces(english) < english.size() && LeadingSpaces(target) < target.size())
    CompareSpaces(false, TrailingSpaces(english), TrailingSpaces(target), target.size(), out);

  size_t breaksE = LineBreaks(english).size();
  auto breaksT = LineBreaks(target);
  if (breaksE != breaksT.size()) {
    Text msg = Count(breaksT.size(), u"line break") + u", English has " + txt::FromInt(static_cast<long long>(breaksE));
    out.push_back(Finding(CheckKind::LineBreaks, std::move(msg), std::move(breaksT)));
  }

  EndMark endE = EndOf(english), endT = EndOf(target);
  // A Greek question ends on a semicolon.
  bool same = endE.mark == endT.mark || (endE.mark == u'?' && endT.last == u';');
  if (!same) {
    std::vector<std::pair<size_t, size_t>> spans;
    if (endT.mark) spans.emplace_back(endT.pos, endT.len);
    Text msg = endT.mark == 0   ? u"end punctuation \"" + MarkText(endE.mark) + u"\" missing"
               : endE.mark == 0 ? u"extra end punctuation \"" + MarkText(endT.mark) + u"\""
                                : u"ends with \"" + MarkText(endT.mark) + u"\", English with \"" + MarkText(endE.mark) + u"\"";
    out.push_back(Finding(CheckKind::EndPunctuation, std::move(msg), std::move(spans)));
  }

  // A width of 10 needs at least 5 units: most strings are settled without measuring.
  size_t we = english.size() >= 5 ? Width(english) : 0, wt = we >= 10 ? Width(target) : 0;
  if (we >= 10 && wt > 3 * we) out.push_back(Finding(CheckKind::Length, u"over three times as long as the English"));
  if (we >= 10 && 3 * wt < we) out.push_back(Finding(CheckKind::Length, u"under a third of the English length"));
}

}  // namespace

const char* CheckName(CheckKind kind) {
  switch (kind) {
    case CheckKind::Placeholders: return "placeholders";
    case CheckKind::Markup: return "markup";
    case CheckKind::Orphan: return "orphan";
    case CheckKind::Accelerator: return "accelerator";
    case CheckKind::Spaces: return "spaces";
    case CheckKind::LineBreaks: return "line-breaks";
    case CheckKind::EndPunctuation: return "end-punctuation";
    case CheckKind::Length: return "length";
    case CheckKind::Untranslated: return "untranslated";
    case CheckKind::NeedsReview: return "needs-review";
    case CheckKind::Spelling: return "spelling";
  }
  return "unknown";
}

std::vector<CheckFinding> CheckTranslation(TextView english, TextView target) {
  std::vector<CheckFinding> out;
  std::vector<Token> e, t;
  Scan(english, e);
  CheckPair(english, e, target, t, out);
  return out;
}

std::vector<StringFindings> CheckLanguage(const XmlNodePtr& english, const XmlNodePtr& lang) {
  std::vector<StringFindings> result;
  if (!lang) return result;
  auto entries = mStrings::Entries(lang);
  auto englishEntries = mStrings::Entries(english);
  // Views into the entries, which outlive the maps.
  std::unordered_map<TextView, const Text*> values, englishValues;
  for (const auto& [path, value] : entries) values.emplace(path, &value);
  for (const auto& [path, value] : englishEntries) englishValues.emplace(path, &value);
  std::vector<Token> e, t;
  std::vector<CheckFinding> found;
  for (const auto& [path, en] : englishEntries) {
    auto it = values.find(path);
    if (it == values.end() || it->second->empty()) continue;
    const Text& target = *it->second;
    found.clear();
    if (en.empty()) {
      found.push_back(Finding(CheckKind::Orphan, u"no English text", {{0, target.size()}}));
    } else {
      Scan(en, e);
      CheckPair(en, e, target, t, found);
    }
    if (!found.empty()) result.push_back({path, found});
  }
  // Strings English lacks: a translation nobody will ever see, or a key renamed in English.
  for (const auto& [path, value] : entries)
    if (!value.empty() && !englishValues.count(path))
      result.push_back({path, {Finding(CheckKind::Orphan, u"not in English", {{0, value.size()}})}});
  return result;
}
