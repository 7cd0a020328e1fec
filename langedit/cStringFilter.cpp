#include "langedit/cStringFilter.h"

#include <algorithm>
#include <unordered_map>

#include "langedit/mStrings.h"
#include "platform/ErrLog.h"

namespace {

// Base letters of U+00C0..U+017F; 0 keeps the character (lower-cased where it has a pair).
constexpr char kLatin1[] =
    "aaaaaa\0ceeeeiiii\0nooooo\0ouuuuy\0\0"   // C0..DF
    "aaaaaa\0ceeeeiiii\0nooooo\0ouuuuy\0y";   // E0..FF

char16_t FoldChar(char16_t c) {
  if (c < 0x80) return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
  if (c >= 0xC0 && c <= 0xFF) {
    char b = kLatin1[c - 0xC0];
    if (b) return static_cast<char16_t>(b);
    return (c >= 0xC0 && c <= 0xDE && c != 0xD7) ? static_cast<char16_t>(c + 32) : c;
  }
  if (c >= 0x100 && c <= 0x17F) {
    // Pairs of upper and lower case share a base letter.
    static const struct { char16_t from, to; char base; } ranges[] = {
        {0x100, 0x105, 'a'}, {0x106, 0x10D, 'c'}, {0x10E, 0x111, 'd'}, {0x112, 0x11B, 'e'},
        {0x11C, 0x123, 'g'}, {0x124, 0x127, 'h'}, {0x128, 0x131, 'i'}, {0x134, 0x135, 'j'},
        {0x136, 0x138, 'k'}, {0x139, 0x142, 'l'}, {0x143, 0x149, 'n'}, {0x14C, 0x151, 'o'},
        {0x154, 0x159, 'r'}, {0x15A, 0x161, 's'}, {0x162, 0x167, 't'}, {0x168, 0x173, 'u'},
        {0x174, 0x175, 'w'}, {0x176, 0x178, 'y'}, {0x179, 0x17E, 'z'}, {0x17F, 0x17F, 's'}};
    for (const auto& r : ranges)
      if (c >= r.from && c <= r.to) return static_cast<char16_t>(r.base);
    return (c % 2 == 0) ? static_cast<char16_t>(c + 1) : c;  // IJ, Ŋ, Œ: lower-case only
  }
  if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return static_cast<char16_t>(c + 32);  // Greek
  if (c >= 0x410 && c <= 0x42F) return static_cast<char16_t>(c + 32);                 // Cyrillic
  if (c >= 0x400 && c <= 0x40F) c = static_cast<char16_t>(c + 80);
  if (c == 0x451) return 0x435;  // ё searches as е
  return c;
}

bool IsCombiningMark(char16_t c) { return c >= 0x300 && c <= 0x36F; }

}  // namespace

Text FoldForSearch(TextView text, std::vector<size_t>* origin) {
  Text out;
  out.reserve(text.size());
  if (origin) {
    origin->clear();
    origin->reserve(text.size());
  }
  for (size_t i = 0; i < text.size(); ++i) {
    char16_t c = text[i];
    if (IsCombiningMark(c)) continue;
    out.push_back(FoldChar(c));
    if (origin) origin->push_back(i);
  }
  return out;
}

void cStringFilter::Build(const XmlNodePtr& treeDoc, const XmlNodePtr& loadedLangs) {
  keys_.clear();
  index_.clear();
  langIds_.clear();
  values_.clear();
  try {
    for (Text& path : mStrings::Paths(treeDoc)) {
      index_.emplace(path, keys_.size());
      Text folded = FoldForSearch(path);
      keys_.push_back({std::move(path), std::move(folded)});
    }
    if (!loadedLangs) return;
    for (long l = 1; l <= loadedLangs->ChildCount(); ++l) {
      XmlNodePtr lang = loadedLangs->Child(l);
      if (!lang) continue;
      langIds_.push_back(lang->Name());
      std::vector<Text>& column = values_.emplace_back(keys_.size());
      for (auto& [path, value] : mStrings::Values(lang))
        if (auto it = index_.find(path); it != index_.end()) column[it->second] = FoldForSearch(value);
    }
  } catch (const std::exception& e) {
    ErrLog::Exception("cStringFilter.Build", e.what());
  }
}

long cStringFilter::LangColumn(TextView langId) const {
  for (size_t i = 0; i < langIds_.size(); ++i)
    if (txt::EqualsNoCase(langIds_[i], langId)) return static_cast<long>(i);
  return -1;
}

void cStringFilter::Update(TextView path, TextView langId, TextView value) {
  long column = LangColumn(langId);
  if (column < 0) return;
  if (!path.empty() && path[0] == u'.') path.remove_prefix(1);
  if (auto it = index_.find(Text(path)); it != index_.end()) values_[column][it->second] = FoldForSearch(value);
}

std::vector<size_t> cStringFilter::Filter(TextView query, const Options& options) const {
  std::vector<size_t> hits;
  Text q = FoldForSearch(query);
  long only = options.langId.empty() ? -1 : LangColumn(options.langId);
  if (!options.langId.empty() && only < 0 && !options.keysOnly) return hits;
  for (size_t i = 0; i < keys_.size(); ++i) {
    bool hit = q.empty() || keys_[i].folded.find(q) != Text::npos;
    for (size_t l = 0; !hit && !options.keysOnly && l < values_.size(); ++l)
      if (only < 0 || static_cast<long>(l) == only) hit = values_[l][i].find(q) != Text::npos;
    if (hit) hits.push_back(i);
  }
  return hits;
}

size_t cStringFilter::Step(const std::vector<size_t>& matches, size_t current, bool forward) const {
  if (matches.empty()) return Count();
  if (forward) {
    auto it = std::upper_bound(matches.begin(), matches.end(), current);
    return it == matches.end() ? matches.front() : *it;
  }
  auto it = std::lower_bound(matches.begin(), matches.end(), current);
  return it == matches.begin() ? matches.back() : *(it - 1);
}

std::vector<std::pair<size_t, size_t>> cStringFilter::MatchRanges(TextView text, TextView query) {
  std::vector<std::pair<size_t, size_t>> ranges;
  Text q = FoldForSearch(query);
  if (q.empty()) return ranges;
  std::vector<size_t> origin;
  Text folded = FoldForSearch(text, &origin);
  for (size_t at = folded.find(q); at != Text::npos; at = folded.find(q, at + q.size())) {
    size_t start = origin[at];
    size_t end = origin[at + q.size() - 1] + 1;
    // A combining mark right after the match belongs to its last letter.
    while (end < text.size() && IsCombiningMark(text[end])) ++end;
    ranges.emplace_back(start, end - start);
  }
  return ranges;
}
