#include "langedit/cReviewMarks.h"

#include <exception>

#include "langedit/mStrings.h"
#include "platform/ErrLog.h"
#include "storage/mFileUtils.h"
#include "storage/mTextFile.h"

namespace {

constexpr char16_t kRoot[] = u"KsvReviewMarks";
constexpr char16_t kEndTag[] = u"</KsvReviewMarks>";

struct ReasonName {
  cReviewMarks::Reason reason;
  const char16_t* name;
};
constexpr ReasonName kReasons[] = {{cReviewMarks::Reason::Filled, u"filled"},
                                   {cReviewMarks::Reason::Imported, u"imported"},
                                   {cReviewMarks::Reason::EnglishChanged, u"english-changed"}};

cReviewMarks::Reason ReasonOf(TextView name) {
  for (const ReasonName& r : kReasons)
    if (name == r.name) return r.reason;
  return cReviewMarks::Reason::None;
}

const char16_t* NameOf(cReviewMarks::Reason why) {
  for (const ReasonName& r : kReasons)
    if (r.reason == why) return r.name;
  return u"";
}

XmlNodePtr NewElement(TextView name) {
  XmlNodePtr n = cXmlNode::New();
  n->Name(Text(name));
  return n;
}

}  // namespace

Text cReviewMarks::Message(Reason why) {
  switch (why) {
    case Reason::Filled: return u"copied by \"Fill empty strings\": needs review";
    case Reason::Imported: return u"imported: needs review";
    case Reason::EnglishChanged: return u"the English text changed since this was confirmed";
    case Reason::None: break;
  }
  return {};
}

void cReviewMarks::Load(TextView file) {
  tools_.clear();
  file_ = Text(file);
  broken_ = dirty_ = marksMoved_ = false;
  if (!mFileUtils::FileExists(file)) return;
  try {
    int mode = 0;
    Text text = mTextFile::LoadTextFile(file, false, true, mode);
    // The reader forgives a cut-off file; we do not: half a file is not "no marks yet".
    size_t end = text.find_last_not_of(u" \t\r\n");
    bool complete = end != Text::npos && TextView(text).substr(0, end + 1).ends_with(kEndTag);
    XmlNodePtr doc = cXmlNode::New();
    doc->XmlData___NonRecursif(std::move(text));
    if (!complete || doc->Name() != kRoot) {
      broken_ = true;
      return;
    }
    for (long t = 1; t <= doc->ChildCount(); ++t) {
      XmlNodePtr tool = doc->Child(t);
      Text toolName = tool->Attribut(u"name");
      if (toolName.empty()) continue;
      for (long l = 1; l <= tool->ChildCount(); ++l) {
        XmlNodePtr lang = tool->Child(l);
        Text id = lang->Attribut(u"id");
        if (id.empty()) continue;
        Strings* strings = LangOf(toolName, id, true);
        for (long s = 1; s <= lang->ChildCount(); ++s) {
          XmlNodePtr str = lang->Child(s);
          Text key = str->Attribut(u"key");
          if (!key.empty()) (*strings)[key] = Record{str->Value(), ReasonOf(str->Attribut(u"review"))};
        }
      }
    }
  } catch (const std::exception& e) {
    ErrLog::Exception("cReviewMarks.Load", e.what());
    tools_.clear();
    broken_ = true;
  }
}

bool cReviewMarks::Save() {
  // A broken file may still be worth something to whoever looks at it: first-seen records
  // alone do not replace it.
  if (file_.empty() || !dirty_ || (broken_ && !marksMoved_)) return true;
  mTextFile::SaveOutcome out{mTextFile::SaveStep::Prepare, ENOMEM};
  try {
    XmlNodePtr doc = NewElement(kRoot);
    doc->Attribut(u"version", u"1");
    for (const auto& [toolName, langs] : tools_) {
      XmlNodePtr tool = NewElement(u"Tool");
      tool->Attribut(u"name", toolName);
      for (const auto& [id, strings] : langs) {
        if (strings.empty()) continue;
        XmlNodePtr lang = NewElement(u"Lang");
        lang->Attribut(u"id", id);
        for (const auto& [key, rec] : strings) {
          XmlNodePtr s = NewElement(u"S");
          s->Attribut(u"key", key);
          if (rec.review != Reason::None) s->Attribut(u"review", NameOf(rec.review));
          s->Value(rec.english);
          lang->AddChild(s);
        }
        tool->AddChild(lang);
      }
      doc->AddChild(tool);
    }
    Text folder = mFileUtils::FilePathOnly(file_);
    if (!folder.empty() && !mFileUtils::FolderExists(folder)) (void)mFileUtils::CreateFolderPath(folder);
    out = mTextFile::SaveFileOutcome(file_, doc->XmlData());
  } catch (const std::exception& e) {
    ErrLog::Exception("cReviewMarks.Save", e.what());
  }
  if (!out.ok()) return false;
  dirty_ = marksMoved_ = broken_ = false;
  return true;
}

cReviewMarks::Strings* cReviewMarks::LangOf(TextView tool, TextView langId, bool create) {
  auto t = tools_.find(Text(tool));
  if (t == tools_.end()) {
    if (!create) return nullptr;
    t = tools_.emplace(Text(tool), std::map<Text, Strings>()).first;
  }
  Text id = txt::LCase(langId);
  auto l = t->second.find(id);
  if (l == t->second.end()) {
    if (!create) return nullptr;
    l = t->second.emplace(id, Strings()).first;
  }
  return &l->second;
}

const cReviewMarks::Strings* cReviewMarks::LangOf(TextView tool, TextView langId) const {
  auto t = tools_.find(Text(tool));
  if (t == tools_.end()) return nullptr;
  auto l = t->second.find(txt::LCase(langId));
  return l == t->second.end() ? nullptr : &l->second;
}

size_t cReviewMarks::Reconcile(TextView tool, TextView langId, const XmlNodePtr& english, const XmlNodePtr& lang) {
  if (!english || !lang || tool.empty()) return 0;
  std::unordered_map<Text, Text> en = mStrings::Values(english);
  Strings* strings = LangOf(tool, langId, true);
  size_t marked = 0;
  for (const auto& [key, value] : mStrings::Values(lang)) {
    auto e = en.find(key);
    if (value.empty() || e == en.end()) continue;
    auto [it, added] = strings->try_emplace(key, Record{e->second, Reason::None});
    if (added) {
      dirty_ = true;
    } else if (it->second.english != e->second && it->second.review == Reason::None) {
      it->second.review = Reason::EnglishChanged;
      dirty_ = marksMoved_ = true;
      ++marked;
    }
  }
  return marked;
}

void cReviewMarks::Mark(TextView tool, TextView langId, TextView key, TextView english, Reason why) {
  if (tool.empty() || key.empty() || why == Reason::None) return;
  Record& r = (*LangOf(tool, langId, true))[Text(key)];
  r.english = Text(english);
  r.review = why;
  dirty_ = marksMoved_ = true;
}

void cReviewMarks::Confirm(TextView tool, TextView langId, TextView key, TextView english) {
  if (tool.empty() || key.empty()) return;
  Record& r = (*LangOf(tool, langId, true))[Text(key)];
  if (r.review == Reason::None && r.english == english) return;
  if (r.review != Reason::None) marksMoved_ = true;
  r = Record{Text(english), Reason::None};
  dirty_ = true;
}

const cReviewMarks::Record* cReviewMarks::Find(TextView tool, TextView langId, TextView key) const {
  const Strings* s = LangOf(tool, langId);
  if (!s) return nullptr;
  auto it = s->find(Text(key));
  return it == s->end() ? nullptr : &it->second;
}

cReviewMarks::Reason cReviewMarks::Pending(TextView tool, TextView langId, TextView key) const {
  const Record* r = Find(tool, langId, key);
  return r ? r->review : Reason::None;
}

std::vector<StringFindings> cReviewMarks::Findings(TextView tool, TextView langId, const XmlNodePtr& lang) const {
  std::vector<StringFindings> out;
  const Strings* s = LangOf(tool, langId);
  if (!s || !lang) return out;
  for (const Text& path : mStrings::Paths(lang)) {
    auto it = s->find(path);
    if (it == s->end() || it->second.review == Reason::None) continue;
    XmlNodePtr el = lang->GetChildNode(path, false, true);
    if (!el || el->Value().empty()) continue;
    CheckFinding f;
    f.kind = CheckKind::NeedsReview;
    f.severity = CheckSeverity::Warning;
    f.message = Message(it->second.review);
    out.push_back(StringFindings{path, {std::move(f)}});
  }
  return out;
}
