#include "app/mSuiteCheck.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <memory>
#include <set>
#include <unordered_map>
#include <unordered_set>

#include "AppInfo.h"
#include "app/mConfig.h"
#include "langedit/mLangFiles.h"
#include "langedit/mLangFormat.h"
#include "langedit/cSpellCheck.h"
#include "langedit/mStrings.h"
#include "langedit/mTools.h"
#include "platform/ProcessTools.h"
#include "platform/RunningProcesses.h"
#include "storage/mFileUtils.h"

namespace mSuiteCheck {
namespace {

// One line of the report.
struct Row {
  Text tool, lang, key;
  std::string check;  // a check's name, or "file" for a file that could not be checked
  CheckSeverity severity;
  Text message;
};

struct Lang {
  Text id;
  XmlNodePtr element;
};

// The language a file stands for by its name: what the pattern's "*" matched.
Text IdFromFileName(TextView pattern, TextView name) {
  Text pat = mFileUtils::FileNameOnly(pattern);
  size_t star = pat.find(u'*');
  if (star == Text::npos || name.size() < pat.size()) return Text(name);
  return Text(name.substr(star, name.size() - (pat.size() - 1)));
}

bool LessNoCase(const Lang& a, const Lang& b) { return txt::LCase(a.id) < txt::LCase(b.id); }

// The engine's findings with the extra check's, in the engine's order: English's strings,
// then the orphans.
std::vector<StringFindings> WithExtra(std::vector<StringFindings> found, const XmlNodePtr& english,
                                      const XmlNodePtr& lang, TextView langId, const ExtraCheck& extra) {
  std::unordered_map<Text, std::vector<CheckFinding>> more;
  std::unordered_map<Text, Text> source = mStrings::Values(english);
  for (auto& [path, value] : mStrings::Values(lang)) {
    if (value.empty()) continue;
    auto en = source.find(path);
    if (std::vector<CheckFinding> f = extra(langId, value, en != source.end() ? TextView(en->second) : TextView()); !f.empty())
      more.emplace(path, std::move(f));
  }
  if (more.empty()) return found;
  std::unordered_map<Text, size_t> index;
  for (size_t i = 0; i < found.size(); ++i) index.emplace(found[i].path, i);
  std::vector<Text> order = mStrings::Paths(english);
  std::unordered_set<Text> inEnglish(order.begin(), order.end());
  for (Text& p : mStrings::Paths(lang))
    if (!inEnglish.count(p)) order.push_back(std::move(p));
  std::vector<StringFindings> result;
  for (const Text& path : order) {
    auto i = index.find(path);
    auto m = more.find(path);
    if (i == index.end() && m == more.end()) continue;
    StringFindings s = i != index.end() ? std::move(found[i->second]) : StringFindings{path, {}};
    if (m != more.end()) s.findings.insert(s.findings.end(), m->second.begin(), m->second.end());
    result.push_back(std::move(s));
  }
  return result;
}

void AppendJson(std::string& out, TextView t) {
  out += '"';
  for (unsigned char c : txt::ToUtf8(t)) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c == 0x7F) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  out += '"';
}

// One line of text: a control character would split a finding over two lines.
std::string OneLine(TextView t) {
  std::string s = txt::ToUtf8(t);
  for (char& c : s)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  return s;
}

const char* SeverityName(CheckSeverity s) { return s == CheckSeverity::Error ? "error" : "warning"; }

std::string Plural(size_t n, const char* one) {
  return std::to_string(n) + " " + one + (n == 1 ? "" : "s");
}

}  // namespace

int Run(const Options& o, std::string& out, std::string& err) {
  const std::string exe = txt::ToUtf8(KSV_EXE_NAME) + ": ";
  if (!o.lang.empty() && mLangFormat::IsReferenceLangID(o.lang)) {
    err += exe + "'" + OneLine(o.lang) + "' is English, which the other languages are checked against\n";
    return kNoSuite;
  }
  std::vector<Row> rows;
  size_t toolCount = 0, langCount = 0;
  bool anyFiles = false;
  for (const mTools::Tool& tool : mTools::Tools()) {
    if (!o.tool.empty() && !txt::EqualsNoCase(tool.name, o.tool)) continue;
    Text pattern = mTools::ToolPattern(o.suiteRoot, tool);
    std::vector<Text> names = mFileUtils::GetFileList(pattern);
    if (names.empty()) continue;
    anyFiles = true;
    size_t langsBefore = langCount;
    std::sort(names.begin(), names.end());
    // Every language of every file, the documents kept alive while their elements are used.
    std::vector<XmlNodePtr> docs;
    std::vector<Lang> langs;
    for (const Text& name : names) {
      XmlNodePtr doc;
      XmlNodePtr languages = mLangFiles::ReadLanguagesFile(mFileUtils::AddDirSep(mFileUtils::FilePathOnly(pattern)) + name, doc);
      if (!languages || languages->ChildCount() == 0) {
        // Told, and the other files are still checked; a broken English is told whatever
        // language was asked for, as it is why that language goes unchecked.
        Text id = IdFromFileName(pattern, name);
        bool english = mLangFormat::IsReferenceLangID(id);
        if (!o.lang.empty() && !txt::EqualsNoCase(id, o.lang) && !english) continue;
        langCount += !english;
        rows.push_back({tool.name, id, Text(), "file", CheckSeverity::Error,
                        name + (languages ? u": " + Text(mLangFormat::kMsgNoTranslation)
                                          : Text(u": not a complete language file, or it cannot be read"))});
        continue;
      }
      docs.push_back(doc);
      for (long i = 1; i <= languages->ChildCount(); ++i)
        if (XmlNodePtr l = languages->Child(i)) langs.push_back({l->Name(), l});
    }
    std::stable_sort(langs.begin(), langs.end(), LessNoCase);
    // The window's English: the first reference language in the list's order.
    auto english = std::find_if(langs.begin(), langs.end(), [](const Lang& l) { return mLangFormat::IsReferenceLangID(l.id); });
    for (const Lang& l : langs) {
      if (mLangFormat::IsReferenceLangID(l.id)) continue;
      if (!o.lang.empty() && !txt::EqualsNoCase(l.id, o.lang)) continue;
      ++langCount;
      if (english == langs.end()) {
        rows.push_back({tool.name, l.id, Text(), "file", CheckSeverity::Error, u"no English to check against"});
        continue;
      }
      std::vector<StringFindings> found = CheckLanguage(english->element, l.element);
      if (o.extra) found = WithExtra(std::move(found), english->element, l.element, l.id, o.extra);
      for (const StringFindings& s : found)
        for (const CheckFinding& f : s.findings) rows.push_back({tool.name, l.id, s.path, CheckName(f.kind), f.severity, f.message});
    }
    toolCount += langCount > langsBefore;
  }
  if (!anyFiles) {
    err += exe + "no language files " + (o.tool.empty() ? std::string() : "of " + OneLine(o.tool) + " ") +
           "in the suite at '" + OneLine(o.suiteRoot) + "'\n";
    return kNoSuite;
  }
  if (langCount == 0 && !o.lang.empty()) {
    err += exe + "no language '" + OneLine(o.lang) + "' in the suite at '" + OneLine(o.suiteRoot) + "'\n";
    return kNoSuite;
  }

  size_t errors = 0;
  for (const Row& r : rows) errors += r.severity == CheckSeverity::Error;
  std::string summary = Plural(langCount, "language") + " of " + Plural(toolCount, "tool") + " checked: " +
                        Plural(errors, "error") + ", " + Plural(rows.size() - errors, "warning") + "\n";
  if (o.json) {
    out += "[";
    for (size_t i = 0; i < rows.size(); ++i) {
      const Row& r = rows[i];
      out += i ? ",\n" : "\n";
      out += "{\"tool\":";
      AppendJson(out, r.tool);
      out += ",\"lang\":";
      AppendJson(out, r.lang);
      out += ",\"key\":";
      AppendJson(out, r.key);
      out += ",\"check\":\"" + r.check + "\",\"severity\":\"" + SeverityName(r.severity) + "\",\"message\":";
      AppendJson(out, r.message);
      out += "}";
    }
    out += rows.empty() ? "]\n" : "\n]\n";
    err += summary;
  } else {
    for (const Row& r : rows)
      out += OneLine(r.tool + u"/" + r.lang + (r.key.empty() ? Text() : u"/" + r.key)) + ": " +
             SeverityName(r.severity) + ": " + OneLine(r.message) + "\n";
    out += summary;
  }
  return errors ? kErrors : kClean;
}

int Main(const mCmdLine::Options& cmd, const ExtraCheck& extra, std::string& out, std::string& err) {
  Options o;
  o.suiteRoot = cmd.suiteRoot;
  o.tool = cmd.checkTool;
  o.lang = cmd.checkLang;
  o.json = cmd.checkJson;
  o.extra = extra;
  // --spelling: unknown words of the system's dictionaries and the translator's own words
  // are warnings beside the other findings; a language without a dictionary is named once.
  std::unique_ptr<cSpellCheck> spell;
  std::set<Text> unchecked;
  if (cmd.checkSpelling) {
    spell = std::make_unique<cSpellCheck>(cSpellCheck::DefaultFolders(), mFileUtils::FilePathOnly(mConfig::ConfigPath()));
    o.extra = [&](TextView langId, TextView text, TextView english) {
      std::vector<CheckFinding> found = extra ? extra(langId, text, english) : std::vector<CheckFinding>();
      if (!spell->HasDictionary(langId)) {
        if (unchecked.insert(cSpellCheck::NormalizeId(langId)).second)
          err += txt::ToUtf8(KSV_EXE_NAME) + ": " + txt::ToUtf8(cSpellCheck::MissingDictionaryNote(langId)) + "\n";
        return found;
      }
      for (CheckFinding& f : spell->CheckString(langId, text, english)) found.push_back(std::move(f));
      return found;
    };
  }
  if (o.suiteRoot.empty()) {
    mConfig::LoadConfig();
    Text remembered = mConfig::GetConfig(mConfig::kSuiteFolderKey);
    if (!remembered.empty()) o.suiteRoot = mTools::FindKSVRoot(remembered, nullptr);
    if (o.suiteRoot.empty())
      o.suiteRoot = mTools::FindKSVRoot(txt::FromUtf8(platform::proc::ExecutableFolder()),
                                        [] { return platform::RunningImagePaths(); });
  }
  if (o.suiteRoot.empty()) {
    err += txt::ToUtf8(KSV_EXE_NAME) + ": Kestrova not found: name the suite's folder (the one holding " +
           txt::ToUtf8(mTools::kLauncher) + ")\n";
    return kNoSuite;
  }
  try {
    return Run(o, out, err);
  } catch (const std::exception& e) {
    // An extra check that throws, or memory running out on a huge suite: told, never a crash.
    err += txt::ToUtf8(KSV_EXE_NAME) + ": the check stopped: " + e.what() + "\n";
    return kNoSuite;
  }
}

}  // namespace mSuiteCheck
