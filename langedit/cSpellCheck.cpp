#include "langedit/cSpellCheck.h"

#include <hunspell/hunspell.hxx>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <unordered_map>

#include "AppInfo.h"
#include "langedit/mStrings.h"
#include "locale/mLang.h"
#include "platform/ErrLog.h"
#include "storage/mFileUtils.h"
#include "storage/mStringTools.h"
#include "storage/mTextFile.h"

namespace {

namespace fs = std::filesystem;

bool IsUpper(char16_t c) {
  if (c >= u'A' && c <= u'Z') return true;
  if (c >= 0xC0 && c <= 0xDE) return c != 0xD7;
  if (c >= 0x100 && c <= 0x17F) return c % 2 == 0;
  return (c >= 0x391 && c <= 0x3A9) || (c >= 0x400 && c <= 0x42F);
}

bool IsLower(char16_t c) {
  if (c >= u'a' && c <= u'z') return true;
  if (c >= 0xDF && c <= 0xFF) return c != 0xF7;
  if (c >= 0x100 && c <= 0x17F) return c % 2 == 1;
  return (c >= 0x3B1 && c <= 0x3C9) || (c >= 0x430 && c <= 0x45F);
}

bool IsDigit(char16_t c) {
  return (c >= u'0' && c <= u'9') || (c >= 0x660 && c <= 0x669) || (c >= 0x6F0 && c <= 0x6F9) ||
         (c >= 0x966 && c <= 0x96F) || (c >= 0xFF10 && c <= 0xFF19);
}

bool IsMark(char16_t c) { return c >= 0x300 && c <= 0x36F; }

// Letters of the alphabets a dictionary can hold; punctuation and symbol blocks, private
// use and the halves of characters beyond the basic plane (emoji, mostly) are not.
bool IsLetter(char16_t c) {
  if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z')) return true;
  if (c < 0xC0 || c == 0xD7 || c == 0xF7 || IsMark(c) || IsDigit(c)) return false;
  if (c == 0x37E || c == 0x387 || (c >= 0x55A && c <= 0x55F) || c == 0x589 || c == 0x5BE || c == 0x60C ||
      c == 0x61B || c == 0x61F || (c >= 0x66A && c <= 0x66D) || c == 0x6D4 || c == 0x964 || c == 0x965)
    return false;
  if (c >= 0x2000 && c <= 0x2BFF) return false;
  if (c >= 0x3000 && c <= 0x303F) return false;
  if (c >= 0xD800 && c <= 0xF8FF) return false;
  if (c >= 0xFE30 && c <= 0xFE4F) return false;
  return !(c >= 0xFF00 && c <= 0xFF65 && !(c >= 0xFF21 && c <= 0xFF3A) && !(c >= 0xFF41 && c <= 0xFF5A)) && c < 0xFFF0;
}

bool IsSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == 0xA0 || c == 0x202F; }
bool IsApostrophe(char16_t c) { return c == u'\'' || c == 0x2019; }
// Joins the parts of one word: "aujourd'hui", "peut-être", "e-mail".
bool IsJoiner(char16_t c) { return IsApostrophe(c) || c == u'-'; }

// Length of a printf or numbered placeholder at `i` ("%s", "%1$s", "%-5.2f", "%lld", "%1"), 0 when none.
size_t PlaceholderAt(TextView t, size_t i) {
  size_t j = i + 1, n = t.size();
  if (j < n && t[j] == u'%') return 2;
  size_t digitsStart = j;
  while (j < n && t[j] >= u'0' && t[j] <= u'9') ++j;
  bool leadingDigits = j > digitsStart;
  if (leadingDigits && j < n && t[j] == u'$') ++j;
  else if (leadingDigits && (j >= n || !IsLetter(t[j]))) return j - i;  // %1, %12
  else if (leadingDigits) j = digitsStart;  // width of a printf placeholder: read again below
  while (j < n && (t[j] == u'-' || t[j] == u'+' || t[j] == u' ' || t[j] == u'#' || t[j] == u'0' || t[j] == u'\'')) ++j;
  while (j < n && ((t[j] >= u'0' && t[j] <= u'9') || t[j] == u'*')) ++j;
  if (j < n && t[j] == u'.') {
    ++j;
    while (j < n && ((t[j] >= u'0' && t[j] <= u'9') || t[j] == u'*')) ++j;
  }
  static constexpr TextView lengths[] = {u"hh", u"ll", u"I64", u"I32", u"h", u"l", u"L", u"q", u"j", u"z", u"t", u"I"};
  for (TextView len : lengths)
    if (t.substr(j, len.size()) == len) {
      j += len.size();
      break;
    }
  if (j < n && TextView(u"diouxXeEfFgGaAcCsSpn@").find(t[j]) != TextView::npos) return j + 1 - i;
  return 0;
}

// Length of a brace placeholder at `i` ("{0}", "{name}", "{0:N2}"), 0 when none.
size_t BraceAt(TextView t, size_t i) {
  for (size_t j = i + 1; j < t.size() && j < i + 64; ++j) {
    if (t[j] == u'}') return j > i + 1 ? j + 1 - i : 0;
    if (t[j] == u'{' || IsSpace(t[j])) return 0;
  }
  return 0;
}

// Length of a tag ("<b>", "</a>", "<br/>", "<!-- -->") or an entity ("&amp;", "&#233;") at `i`.
size_t MarkupAt(TextView t, size_t i) {
  if (i + 1 >= t.size()) return 0;
  char16_t next = t[i + 1];
  if (t[i] == u'<') {
    if (!IsLetter(next) && next != u'/' && next != u'!' && next != u'?') return 0;
    size_t end = t.find(u'>', i);
    return end == TextView::npos ? 0 : end + 1 - i;
  }
  size_t j = i + 1;
  if (j < t.size() && t[j] == u'#') ++j;
  size_t start = j;
  while (j < t.size() && j < i + 12 && ((t[j] < 0x80 && IsLetter(t[j])) || IsDigit(t[j]))) ++j;
  return j > start && j < t.size() && t[j] == u';' ? j + 1 - i : 0;
}

// A run of text without spaces that is an address, not words: URLs, e-mail addresses, host
// and file names ("www.x.org", "me@x.org", "setup.exe").
bool IsAddress(TextView chunk) {
  if (chunk.find(u"://") != TextView::npos || chunk.find(u'@') != TextView::npos) return true;
  if (chunk.size() >= 4 && txt::EqualsNoCase(chunk.substr(0, 4), u"www.")) return true;
  for (size_t k = 1; k + 1 < chunk.size(); ++k)
    if (chunk[k] == u'.' && IsLetter(chunk[k - 1]) && IsLetter(chunk[k + 1])) return true;
  return false;
}

// Words a dictionary is not meant for: acronyms ("HTTP") and names with inner capitals
// ("KsvLangEditor", "iPhone"). One letter is no word to check; a run of letters longer than
// any word is no word either (and would only make the library's suggestions slow).
constexpr size_t kMaxWordLetters = 64;
bool WorthChecking(TextView word) {
  size_t letters = 0, upper = 0;
  bool innerCapital = false;
  char16_t prev = 0;
  for (char16_t c : word) {
    if (!IsLetter(c)) {
      prev = c;
      continue;
    }
    ++letters;
    if (IsUpper(c)) {
      ++upper;
      if (IsLower(prev)) innerCapital = true;
    }
    prev = c;
  }
  if (letters < 2 || letters > kMaxWordLetters || innerCapital) return false;
  return upper < 2 || upper < letters;
}

Text WithoutAccelerators(TextView word) {
  Text out;
  out.reserve(word.size());
  for (char16_t c : word)
    if (c != u'&') out += c;
  return out;
}

int CodePageOf(std::string encoding) {
  for (char& ch : encoding) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  if (encoding == "UTF-8" || encoding == "UTF8") return mStringTools::CP_UTF8_;
  if (encoding == "ISO8859-1" || encoding == "ISO-8859-1" || encoding == "LATIN1") return mStringTools::CP_LATIN1;
  if (encoding == "MICROSOFT-CP1252" || encoding == "CP1252" || encoding == "WINDOWS-1252")
    return mStringTools::CP_WINDOWS_1252;
  return 0;
}

// The region a language's own dictionary is named after when the ID gives none.
std::vector<Text> HomeRegions(const Text& lang) {
  static const std::map<Text, std::vector<Text>> table = {
      {u"en", {u"us", u"gb"}}, {u"pt", {u"pt", u"br"}}, {u"sv", {u"se"}}, {u"da", {u"dk"}}, {u"cs", {u"cz"}},
      {u"el", {u"gr"}},        {u"uk", {u"ua"}},        {u"nb", {u"no"}}, {u"ca", {u"es"}}, {u"sl", {u"si"}}};
  auto it = table.find(lang);
  return it != table.end() ? it->second : std::vector<Text>{lang};
}

// The Debian package holding a language's dictionary.
Text PackageOf(const Text& id) {
  size_t dash = id.find(u'-');
  Text lang = id.substr(0, dash);
  // These ship every region of the language in one package.
  static const std::set<Text> whole = {u"fr", u"es", u"it", u"nl", u"ru", u"pl", u"sv", u"hu", u"ro", u"uk"};
  // These name the region, the language's own when the ID gives none.
  static const std::map<Text, Text> regioned = {{u"de", u"de"}, {u"en", u"us"}, {u"pt", u"pt"}};
  if (whole.count(lang)) return u"hunspell-" + lang;
  if (dash != Text::npos) return u"hunspell-" + id;
  auto it = regioned.find(lang);
  return u"hunspell-" + lang + (it != regioned.end() ? u"-" + it->second : Text());
}

}  // namespace

struct cSpellCheck::Checker {
  std::unique_ptr<Hunspell> h;
  int codePage = 0;
  std::unordered_map<Text, bool> known;  // words looked up already
  std::set<Text> personal;

  std::string Encode(TextView word) const { return mStringTools::StrUnicodeToCodePage(word, codePage); }
};

std::vector<std::string> cSpellCheck::DefaultFolders() {
  std::vector<std::string> out;
  if (const char* env = std::getenv("DICPATH"))
    for (const Text& part : txt::Split(txt::FromUtf8(env), u":"))
      if (!part.empty()) out.push_back(txt::ToUtf8(part));
  out.push_back("/usr/share/hunspell");
  out.push_back("/usr/share/myspell/dicts");
  return out;
}

cSpellCheck::cSpellCheck(std::vector<std::string> folders, Text personalFolder)
    : folders_(std::move(folders)), personalFolder_(std::move(personalFolder)) {}

cSpellCheck::~cSpellCheck() = default;

Text cSpellCheck::NormalizeId(TextView langId) {
  Text id;
  for (char16_t c : langId) {
    if (IsSpace(c)) continue;
    if (c == u'_') c = u'-';
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    if (!((c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'-')) return Text();
    id += c;
  }
  size_t dash = id.find(u'-');
  size_t langLen = dash == Text::npos ? id.size() : dash;
  return langLen >= 2 && langLen <= 3 ? id : Text();
}

Text cSpellCheck::PersonalFile(TextView langId) const {
  Text id = NormalizeId(langId);
  if (personalFolder_.empty() || id.empty()) return Text();
  return mFileUtils::AddDirSep(personalFolder_) + KSV_EXE_NAME + u".spelling." + id + u".xml";
}

std::string cSpellCheck::FindDictionary(TextView langId) const {
  Text id = NormalizeId(langId);
  if (id.empty()) return {};
  size_t dash = id.find(u'-');
  Text lang = id.substr(0, dash);
  // Lower ranks win; then the name first in alphabetical order, then the folder named first.
  auto rank = [&](const Text& name) -> int {
    if (dash != Text::npos && name == id) return 0;
    std::vector<Text> home = HomeRegions(lang);
    for (size_t k = 0; k < home.size(); ++k)
      if (name == lang + u"-" + home[k]) return 1 + static_cast<int>(k);
    if (name == lang) return 10;
    if (name.size() > lang.size() && name.compare(0, lang.size() + 1, lang + u"-") == 0) return 11;
    return -1;
  };
  std::string best;
  int bestRank = -1;
  Text bestName;
  for (const std::string& folder : folders_) {
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
      const fs::path& p = it->path();
      if (p.extension() != ".aff") continue;
      Text name = NormalizeId(txt::FromUtf8(p.stem().string()));
      int r = name.empty() ? -1 : rank(name);
      if (r < 0 || (bestRank >= 0 && (r > bestRank || (r == bestRank && name >= bestName)))) continue;
      fs::path dic = p;
      dic.replace_extension(".dic");
      if (!fs::exists(dic, ec)) continue;
      best = (p.parent_path() / p.stem()).string();
      bestRank = r;
      bestName = name;
    }
  }
  return best;
}

Text cSpellCheck::MissingDictionaryNote(TextView langId) {
  Text id = NormalizeId(langId);
  Text name = mLang::GetISOLangName(id);
  if (name.empty()) name = Text(langId);
  if (id.empty()) return u"no " + name + u" dictionary installed";
  return u"no " + name + u" dictionary installed: apt install " + PackageOf(id);
}

cSpellCheck::Checker* cSpellCheck::Get(TextView langId) {
  Text id = NormalizeId(langId);
  if (id.empty()) return nullptr;
  auto it = checkers_.find(id);
  if (it != checkers_.end()) return it->second.get();
  std::unique_ptr<Checker> c;
  std::string base = FindDictionary(id);
  // The library reads what it can open and then knows no word at all: every word would be
  // marked. An unreadable dictionary is no dictionary.
  if (!base.empty() && (!std::ifstream(base + ".aff") || !std::ifstream(base + ".dic"))) {
    ErrLog::Line(u"Dictionary " + txt::FromUtf8(base) + u" cannot be read");
    base.clear();
  }
  if (!base.empty()) {
    try {
      auto h = std::make_unique<Hunspell>((base + ".aff").c_str(), (base + ".dic").c_str());
      int cp = CodePageOf(h->get_dict_encoding());
      if (cp != 0) {
        c = std::make_unique<Checker>();
        c->h = std::move(h);
        c->codePage = cp;
        LoadPersonal(*c, id);
      } else {
        ErrLog::Line(u"Dictionary " + txt::FromUtf8(base) + u" skipped: encoding " +
                     txt::FromUtf8(h->get_dict_encoding()) + u" is not supported");
      }
    } catch (const std::exception& e) {
      ErrLog::Exception("cSpellCheck.Get", e.what());
      c.reset();
    }
  }
  Checker* raw = c.get();
  checkers_[id] = std::move(c);
  return raw;
}

bool cSpellCheck::HasDictionary(TextView langId) { return Get(langId) != nullptr; }

bool cSpellCheck::LoadPersonal(Checker& c, const Text& id) {
  Text file = PersonalFile(id);
  if (file.empty() || !mFileUtils::FileExists(file)) return false;
  int mode = 0;
  XmlNodePtr doc = cXmlNode::New();
  doc->XmlData___NonRecursif(mTextFile::LoadTextFile(file, false, true, mode));
  for (long i = 1; i <= doc->ChildCount(); ++i) {
    XmlNodePtr w = doc->Child(i);
    Text word = w && w->Name() == u"Word" ? w->Value() : Text();
    if (word.empty() || !c.personal.insert(word).second) continue;
    c.h->add(c.Encode(word));
  }
  return true;
}

bool cSpellCheck::Correct(Checker& c, TextView word) {
  Text key(word);
  auto it = c.known.find(key);
  if (it != c.known.end()) return it->second;
  bool ok = c.h->spell(c.Encode(word));
  // Dictionaries differ in the apostrophe they list.
  if (!ok && key.find(0x2019) != Text::npos) ok = c.h->spell(c.Encode(txt::Replace(key, u"\u2019", u"'")));
  c.known.emplace(std::move(key), ok);
  return ok;
}

std::vector<cSpellCheck::Range> cSpellCheck::Words(TextView t) {
  std::vector<Range> out;
  size_t n = t.size(), i = 0;
  size_t chunkEnd = 0;  // end of the space-free run already found to be words
  while (i < n) {
    char16_t c = t[i];
    if (IsSpace(c)) {
      ++i;
      continue;
    }
    if (i >= chunkEnd) {
      size_t end = i;
      while (end < n && !IsSpace(t[end])) ++end;
      if (IsAddress(t.substr(i, end - i))) {
        i = end;
        continue;
      }
      chunkEnd = end;
    }
    size_t skip = 0;
    if (c == u'\\') skip = 2;  // escapes such as \n
    else if (c == u'%') skip = PlaceholderAt(t, i);
    else if (c == u'{') skip = BraceAt(t, i);
    else if (c == u'<') skip = MarkupAt(t, i);
    else if (c == u'&' && i + 1 < n && t[i + 1] == u'&') skip = 2;  // a literal "&"
    else if (c == u'&') skip = MarkupAt(t, i);
    if (skip > 0) {
      i += skip;
      continue;
    }
    bool starts = IsLetter(c) || (c == u'&' && i + 1 < n && IsLetter(t[i + 1]));
    if (!starts) {
      ++i;
      continue;
    }
    size_t j = i;
    bool skipWord = false;
    while (j < n) {
      char16_t d = t[j];
      bool nextLetter = j + 1 < n && IsLetter(t[j + 1]);
      if (IsLetter(d) || IsMark(d)) ++j;
      else if (IsDigit(d) || d == u'_') {
        skipWord = true;
        ++j;
      } else if ((d == u'&' || IsJoiner(d)) && nextLetter) ++j;
      else break;
    }
    if (!skipWord && WorthChecking(t.substr(i, j - i))) out.emplace_back(i, j - i);
    i = j;
  }
  return out;
}

std::vector<cSpellCheck::Range> cSpellCheck::Misspelt(TextView langId, TextView text, TextView english) {
  std::vector<Range> out;
  Checker* c = Get(langId);
  if (!c) return out;
  std::set<Text> kept;
  for (const Range& r : Words(english)) kept.insert(WithoutAccelerators(english.substr(r.first, r.second)));
  for (const Range& r : Words(text)) {
    TextView span = text.substr(r.first, r.second);
    Text word = WithoutAccelerators(span);
    if (kept.count(word) || ignored_.count(word) || Correct(*c, word)) continue;
    if (std::none_of(span.begin(), span.end(), IsJoiner)) {
      out.push_back(r);
      continue;
    }
    // A compound the dictionary does not list whole: only its unknown parts are wrong;
    // short elided parts ("l'", "qu'") stand for words of their own.
    size_t k = 0;
    while (k < span.size()) {
      size_t e = k;
      while (e < span.size() && !IsJoiner(span[e])) ++e;
      Text part = WithoutAccelerators(span.substr(k, e - k));
      bool elided = e < span.size() && IsApostrophe(span[e]);
      bool ok = part.size() < 2 || kept.count(part) || ignored_.count(part) || Correct(*c, part) ||
                (elided && (part.size() <= 2 || Correct(*c, part + u"'")));
      if (!ok) out.emplace_back(r.first + k, e - k);
      k = e + 1;
    }
  }
  return out;
}

std::vector<Text> cSpellCheck::Suggest(TextView langId, TextView word) {
  std::vector<Text> out;
  Checker* c = Get(langId);
  if (!c) return out;
  try {
    for (const std::string& s : c->h->suggest(c->Encode(WithoutAccelerators(word)))) {
      Text t = mStringTools::StrCodePageToUnicode(s, c->codePage);
      if (!t.empty() && std::find(out.begin(), out.end(), t) == out.end()) out.push_back(std::move(t));
      if (out.size() == kMaxSuggestions) break;
    }
  } catch (const std::exception& e) {
    ErrLog::Exception("cSpellCheck.Suggest", e.what());
  }
  return out;
}

Text cSpellCheck::Replacement(TextView original, TextView suggestion) {
  Text out(suggestion);
  size_t amp = original.find(u'&');
  if (amp != TextView::npos && amp < out.size()) out.insert(amp, 1, u'&');
  return out;
}

bool cSpellCheck::AddToDictionary(TextView langId, TextView word) {
  Checker* c = Get(langId);
  Text w = WithoutAccelerators(word);
  if (!c || w.empty()) return false;
  if (c->personal.insert(w).second) c->h->add(c->Encode(w));
  c->known[w] = true;
  Text file = PersonalFile(langId);
  if (file.empty()) return false;
  XmlNodePtr doc = cXmlNode::New();
  doc->Name(u"SpellingWords");
  doc->Attribut(u"lang", NormalizeId(langId));
  for (const Text& p : c->personal) {
    XmlNodePtr el = cXmlNode::New();
    el->Name(u"Word");
    el->Value(p);
    doc->AddChild(el);
  }
  mTextFile::SaveOutcome out = mTextFile::SaveFileOutcome(file, doc->XmlData());
  if (!out) ErrLog::Line(u"Personal dictionary not saved: " + file + u": " + mTextFile::SaveFailureReason(out));
  return out.ok();
}

void cSpellCheck::Ignore(TextView word) { ignored_.insert(WithoutAccelerators(word)); }

std::vector<CheckFinding> cSpellCheck::CheckString(TextView langId, TextView text, TextView english) {
  std::vector<CheckFinding> out;
  for (const Range& r : Misspelt(langId, text, english)) {
    CheckFinding f;
    f.kind = CheckKind::Spelling;
    f.severity = CheckSeverity::Warning;
    f.message = u"unknown word: " + WithoutAccelerators(text.substr(r.first, r.second));
    f.spans.push_back(r);
    out.push_back(std::move(f));
  }
  return out;
}

std::vector<StringFindings> cSpellCheck::CheckLanguage(const XmlNodePtr& lang, const XmlNodePtr& english) {
  cSpellRun run(*this, lang, english);
  run.Step(run.Total());
  return run.Findings();
}

std::vector<StringFindings> cSpellCheck::CheckLanguage(TextView langId,
                                                       const std::vector<std::pair<Text, Text>>& strings) {
  cSpellRun run(*this, langId, strings);
  run.Step(run.Total());
  return run.Findings();
}

namespace {
std::vector<std::pair<Text, Text>> StringsOf(const XmlNodePtr& lang) {
  std::vector<std::pair<Text, Text>> out;
  if (!lang) return out;
  std::unordered_map<Text, Text> values = mStrings::Values(lang);
  for (Text& path : mStrings::Paths(lang)) {
    auto it = values.find(path);
    if (it != values.end() && !it->second.empty()) out.emplace_back(std::move(path), std::move(it->second));
  }
  return out;
}
}  // namespace

cSpellRun::cSpellRun(cSpellCheck& spell, TextView langId, std::vector<std::pair<Text, Text>> strings)
    : spell_(spell), langId_(langId), strings_(std::move(strings)) {}

cSpellRun::cSpellRun(cSpellCheck& spell, const XmlNodePtr& lang, const XmlNodePtr& english)
    : spell_(spell), langId_(lang ? lang->Name() : Text()), strings_(StringsOf(lang)) {
  if (english && english != lang) english_ = mStrings::Values(english);
}

bool cSpellRun::Step(size_t count) {
  // Without a dictionary there is nothing to find: the run ends at once.
  if (!Done() && !spell_.HasDictionary(langId_)) next_ = strings_.size();
  size_t end = std::min(strings_.size(), next_ + count);
  for (; next_ < end; ++next_) {
    const auto& [path, text] = strings_[next_];
    auto en = english_.find(path);
    std::vector<CheckFinding> f = spell_.CheckString(langId_, text, en != english_.end() ? TextView(en->second) : TextView());
    if (!f.empty()) findings_.push_back(StringFindings{path, std::move(f)});
  }
  return Done();
}
