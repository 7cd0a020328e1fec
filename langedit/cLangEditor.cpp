#include "langedit/cLangEditor.h"

#include "AppInfo.h"
#include "langedit/mFileSafety.h"
#include "langedit/mLangFiles.h"
#include "langedit/mLangFormat.h"
#include "langedit/mTools.h"
#include "locale/mLang.h"
#include "platform/ErrLog.h"
#include "platform/MsgBox.h"
#include "storage/mFileUtils.h"
#include "storage/mStringTools.h"
#include "storage/mTextFile.h"

using platform::MsgBox;

cLangEditor::cLangEditor() {
  ResetDocuments();
  langList_ = cXmlNode::New();
  toolAvailable_.assign(mTools::Tools().size(), false);
}

void cLangEditor::ResetDocuments() {
  loadedLangs_ = cXmlNode::New();
  treeDoc_ = cXmlNode::New();
}

void cLangEditor::SetSuiteRoot(TextView root) {
  suiteRoot_ = root.empty() ? Text() : mFileUtils::AddDirSep(root);
  RefreshToolAvailability();
}

bool cLangEditor::FindKSVRoot(TextView programFolder, const std::function<std::vector<Text>()>& runningImages) {
  Text root = mTools::FindKSVRoot(programFolder, runningImages);
  if (root.empty()) return false;
  SetSuiteRoot(root);
  return true;
}

bool cLangEditor::FindKSVRoot(const std::vector<Text>& firstTries, TextView programFolder,
                              const std::function<std::vector<Text>()>& runningImages) {
  for (const Text& folder : firstTries) {
    Text root = folder.empty() ? Text() : mTools::FindKSVRoot(folder, nullptr);
    if (root.empty()) continue;
    SetSuiteRoot(root);
    return true;
  }
  return FindKSVRoot(programFolder, runningImages);
}

bool cLangEditor::UseSuiteFolder(TextView folder) {
  Text root = mTools::FindKSVRoot(folder, nullptr);
  if (root.empty()) return false;
  ResetDocuments();
  langList_ = cXmlNode::New();
  selectedTool_ = 0;
  toolListed_ = false;
  openedFile_.clear();
  modified_ = false;
  SetSuiteRoot(root);
  TreeChanged.Raise();
  EditControlsReset.Raise();
  MenusChanged.Raise();
  CaptionChanged.Raise();
  return true;
}

void cLangEditor::RefreshToolAvailability() {
  const auto& tools = mTools::Tools();
  toolAvailable_.assign(tools.size(), false);
  if (suiteRoot_.empty()) return;
  for (size_t i = 0; i < tools.size(); ++i)
    toolAvailable_[i] = !mFileUtils::GetFileList(mTools::ToolPattern(suiteRoot_, tools[i])).empty();
}

Text cLangEditor::SelectedToolPattern() const {
  const auto& tools = mTools::Tools();
  if (selectedTool_ < 1 || selectedTool_ > static_cast<int>(tools.size())) return Text();
  return mTools::ToolPattern(suiteRoot_, tools[static_cast<size_t>(selectedTool_ - 1)]);
}

void cLangEditor::SetModified(bool m) {
  if (modified_ == m) return;
  modified_ = m;
  CaptionChanged.Raise();
}

void cLangEditor::LoadToolLangs(TextView pattern, bool keepDirty) {
  try {
    XmlNodePtr old = langList_;
    auto list = cXmlNode::New();
    Text folder = mFileUtils::FilePathOnly(pattern);
    for (const Text& name : mFileUtils::GetFileList(pattern)) {
      Text file = folder.empty() ? name : mFileUtils::AddDirSep(folder) + name;
      // Asked when a tool's files are first listed, not again at each re-listing after a save.
      if (!keepDirty) mFileSafety::OfferLeftovers(file);
      XmlNodePtr doc = mLangFiles::ReadXmlFile(file, true);
      XmlNodePtr languages = mLangFiles::FindLanguages(doc);
      if (!languages) continue;
      // Only the 0.2 step of the upgrade changes what the list shows (the English name);
      // newer files are merely relabelled, which would force a full parse of every file.
      if (mStringTools::NeedUpdate(languages->Attribut(u"version"), mLangFormat::kFormatVersion))
        mLangFormat::CheckVersionChanges(languages);
      long n = languages->ChildCount();
      for (long i = 1; i <= n; ++i) {
        XmlNodePtr lang = languages->Child(i);
        if (!lang) continue;
        XmlNodePtr entry = MakeLangEntry(lang, file);
        if (keepDirty && old) {
          if (XmlNodePtr prev = old->FindNode(u"a:id=" + lang->Name(), false, true))
            entry->Attribut(u"dirty", prev->Attribut(u"dirty"));
        }
        list->AddChild(entry);
      }
    }
    // Imports waiting for their first save have no file to be found in: keep them.
    if (keepDirty && old) {
      long no = old->ChildCount();
      for (long i = 1; i <= no; ++i) {
        XmlNodePtr e = old->Child(i);
        if (e && e->Attribut(u"file").empty() && !list->FindNode(u"a:id=" + e->Attribut(u"id"), false, true))
          list->AddChild(e->Clone());
      }
    }
    list->SortChilds(u"a:id");
    langList_ = list;
    toolListed_ = true;
    MenusChanged.Raise();
  } catch (const std::exception& e) {
    ErrLog::Exception("cLangEditor.LoadToolLangs", e.what());
  }
}

XmlNodePtr cLangEditor::FindLangEntry(TextView langId) {
  if (!langList_) return nullptr;
  return langList_->FindNode(u"a:id=" + Text(langId), false, true);
}

XmlNodePtr cLangEditor::MakeLangEntry(const XmlNodePtr& lang, TextView file) {
  auto entry = cXmlNode::New();
  entry->Name(u"Lang");
  entry->Attribut(u"id", lang->Name());
  entry->Attribut(u"name", lang->Attribut(u"name"));
  entry->Attribut(u"en_name", lang->Attribut(u"en_name"));
  entry->Attribut(u"file", file);
  return entry;
}

XmlNodePtr cLangEditor::AddPendingEntry(const XmlNodePtr& lang) {
  if (!lang) return nullptr;
  if (XmlNodePtr e = FindLangEntry(lang->Name())) return e;
  XmlNodePtr entry = MakeLangEntry(lang, openedFile_);
  langList_->AddChild(entry);
  langList_->SortChilds(u"a:id");
  MenusChanged.Raise();
  return entry;
}

bool cLangEditor::IsLangLoaded(TextView langId) {
  long n = loadedLangs_->ChildCount();
  for (long i = 1; i <= n; ++i)
    if (XmlNodePtr c = loadedLangs_->Child(i))
      if (txt::EqualsNoCase(c->Name(), langId)) return true;
  return false;
}

void cLangEditor::ClearNodeValues(const XmlNodePtr& node) {
  if (!node) return;
  // Iterative walk: language files can nest deeply.
  std::vector<XmlNodePtr> stack{node};
  while (!stack.empty()) {
    XmlNodePtr n = stack.back();
    stack.pop_back();
    long count = n->ChildCount();
    if (count == 0) {
      n->Value(Text());
      continue;
    }
    for (long i = count; i >= 1; --i) stack.push_back(n->Child(i));
  }
}

void cLangEditor::XmlMergeStruct(const XmlNodePtr& a, const XmlNodePtr& b) {
  if (!a || !b) return;
  // The two passes of the merge, with an explicit stack instead of recursion so a deeply
  // nested file cannot exhaust the stack. A pair already merged by the first pass is not
  // merged again by the second: after a merge both sides find a partner for every child,
  // so the repeat could change nothing and would only double the work at every level.
  struct Frame {
    XmlNodePtr a, b;
    int pass;
    long i, count;
    std::vector<std::pair<cXmlNode*, cXmlNode*>> merged;
  };
  std::vector<Frame> stack;
  stack.push_back({a, b, 1, 1, a->ChildCount(), {}});
  while (!stack.empty()) {
    Frame& f = stack.back();
    if (f.i > f.count) {
      if (f.pass == 1) {
        f.pass = 2;
        f.i = 1;
        f.count = f.b->ChildCount();
        continue;
      }
      stack.pop_back();
      continue;
    }
    XmlNodePtr from = f.pass == 1 ? f.a : f.b;
    XmlNodePtr to = f.pass == 1 ? f.b : f.a;
    XmlNodePtr c = from->Child(f.i++);
    if (!c) continue;
    XmlNodePtr found = to->FindNode(c->Name(), false, false);
    if (!found) {
      if (txt::EqualsNoCase(c->Name(), u"Contributors")) continue;
      // A deep copy (attributes kept), emptied; cloning avoids re-parsing its text.
      XmlNodePtr copy = c->Clone();
      ClearNodeValues(copy);
      to->AddChild(copy);
      continue;
    }
    if (f.pass == 1) {
      f.merged.emplace_back(c.get(), found.get());
    } else {
      bool done = false;
      for (auto& m : f.merged)
        if (m.first == found.get() && m.second == c.get()) done = true;
      if (done) continue;
    }
    stack.push_back({c, found, 1, 1, c->ChildCount(), {}});  // invalidates f
  }
}

bool cLangEditor::LoadLanguage(TextView fileName, TextView langId) {
  try {
    XmlNodePtr doc = mLangFiles::ReadXmlFile(fileName, false);
    XmlNodePtr languages = mLangFiles::FindLanguages(doc);
    if (!languages) {
      MsgBox(u"Tag <Languages> not found !", platform::vbCritical);
      return false;
    }
    if (languages->ChildCount() == 0) {
      MsgBox(u"No translation found in this file", platform::vbCritical);
      return false;
    }
    mLangFormat::CheckVersionChanges(languages);
    if (UpdateInfo) {
      Text announced = UpdateInfo->ChildValue(u"FormatVersion");
      if (mLangFormat::IsObsoleteFormat(fileName, languages->Attribut(u"version"), announced))
        MsgBox(mLangFormat::ObsoleteFormatMessage(), platform::vbCritical);
    }
    XmlNodePtr lang = languages->FindNode(langId, true, true);
    if (!lang) {
      MsgBox(Text(langId) + u" translation not found in this file", platform::vbCritical);
      return false;
    }
    XmlMergeStruct(treeDoc_, lang);
    auto temp = cXmlNode::New();
    temp->AddChild(lang->Clone());
    loadedLangs_->MergeXml(temp);
    TreeChanged.Raise();
    return true;
  } catch (const std::exception& e) {
    ErrLog::Exception("cLangEditor.LoadLanguage", e.what());
    return false;
  }
}

void cLangEditor::SelectTool(int index) {
  const auto& tools = mTools::Tools();
  if (index < 1 || index > static_cast<int>(tools.size()) || index == selectedTool_) return;
  std::vector<Text> remembered;
  long n = loadedLangs_->ChildCount();
  for (long i = 1; i <= n; ++i) remembered.push_back(loadedLangs_->Child(i)->Name());
  if (!ConfirmDiscard()) return;

  ResetDocuments();
  openedFile_.clear();
  TreeChanged.Raise();
  EditControlsReset.Raise();
  Text pattern = mTools::ToolPattern(suiteRoot_, tools[static_cast<size_t>(index - 1)]);
  LoadToolLangs(pattern, false);
  selectedTool_ = index;

  long count = langList_->ChildCount();
  for (long i = 1; i <= count; ++i) {
    XmlNodePtr e = langList_->Child(i);
    if (txt::EqualsNoCase(e->Attribut(u"id").substr(0, 2), u"en")) {
      LoadLanguage(e->Attribut(u"file"), e->Attribut(u"id"));
      break;
    }
  }
  for (const Text& id : remembered) {
    if (IsLangLoaded(id)) continue;
    if (XmlNodePtr e = FindLangEntry(id)) LoadLanguage(e->Attribut(u"file"), e->Attribut(u"id"));
  }
  modified_ = false;
  EditControlsReset.Raise();
  MenusChanged.Raise();
  CaptionChanged.Raise();
}

void cLangEditor::LoadLangListEntry(int index) {
  if (index < 1 || index > langList_->ChildCount()) return;
  XmlNodePtr e = langList_->Child(index);
  LoadLanguage(e->Attribut(u"file"), e->Attribut(u"id"));
  EditControlsReset.Raise();
  MenusChanged.Raise();
}

void cLangEditor::OpenLangFile(TextView path) {
  try {
    mFileSafety::OfferLeftovers(path);
    int mode = 0;
    Text text = mTextFile::LoadTextFile(path, false, true, mode);
    // Refused before anything is unloaded or parsed: the tree could not show it anyway.
    if (mFileSafety::NestsDeeperThan(text, mFileSafety::kMaxNesting)) {
      MsgBox(mFileSafety::TooDeepMessage(path), platform::vbCritical);
      return;
    }
    if (!ConfirmDiscard()) return;
    // Read first: a file that cannot be opened leaves the loaded languages as they were.
    if (text.empty()) return;
    auto doc = cXmlNode::New();
    doc->XmlData___NonRecursif(std::move(text));
    XmlNodePtr languages = mLangFiles::FindLanguages(doc);
    if (!languages) {
      MsgBox(mLangFormat::kMsgNoLanguagesTag, platform::vbCritical);
      return;
    }
    ResetDocuments();
    // The file's own element becomes the loaded-languages document.
    if (XmlNodePtr parent = languages->Parent()) parent->EmancipateChild(languages);
    loadedLangs_ = languages;
    mLangFormat::CheckVersionChanges(loadedLangs_);
    long n = loadedLangs_->ChildCount();
    for (long i = 1; i <= n; ++i) XmlMergeStruct(treeDoc_, loadedLangs_->Child(i)->Clone());
    treeDoc_->SortChilds(u"name", 0, 0);
    BecomeDocument(path);
    TreeChanged.Raise();
    EditControlsReset.Raise();
  } catch (const std::exception& e) {
    ErrLog::Exception("cLangEditor.OpenLangFile", e.what());
  }
}

void cLangEditor::BecomeDocument(TextView path) {
  openedFile_ = Text(path);
  selectedTool_ = 0;
  toolListed_ = true;
  auto list = cXmlNode::New();
  long n = loadedLangs_->ChildCount();
  for (long i = 1; i <= n; ++i)
    if (XmlNodePtr lang = loadedLangs_->Child(i)) list->AddChild(MakeLangEntry(lang, path));
  list->SortChilds(u"a:id");
  langList_ = list;
  modified_ = false;
  MenusChanged.Raise();
  CaptionChanged.Raise();
}

Text cLangEditor::Caption() const {
  Text c = Text(KSV_TITLE) + u" v" + txt::FromInt(KSV_VERSION_MAJOR) + u"." + txt::FromInt(KSV_VERSION_MINOR) +
           u"." + txt::FromInt(KSV_VERSION_REVISION) + u" beta";
  c += u" [" + suiteRoot_ + u"]";
  if (modified_) c += u" *";
  return c;
}

MenuState cLangEditor::Menus() {
  MenuState m;
  const auto& tools = mTools::Tools();
  for (size_t i = 0; i < tools.size(); ++i) {
    MenuItem it;
    it.caption = tools[i].name;
    it.tag = mTools::ToolPattern(suiteRoot_, tools[i]);
    it.enabled = i < toolAvailable_.size() && toolAvailable_[i];
    it.checked = static_cast<int>(i) + 1 == selectedTool_;
    if (it.enabled) m.submitEnabled = true;
    m.tools.push_back(it);
  }
  long nl = langList_->ChildCount();
  for (long i = 1; i <= nl; ++i) {
    XmlNodePtr e = langList_->Child(i);
    MenuItem it;
    it.caption = e->Attribut(u"en_name") + u" [" + e->Attribut(u"id") + u"]";
    it.tag = e->Attribut(u"id");
    it.enabled = !IsLangLoaded(it.tag);
    m.loadLangs.push_back(it);
    if (e->Attribut(u"dirty") == u"yes") {
      MenuItem s;
      s.caption = u"Save " + e->Attribut(u"en_name") + u" [" + e->Attribut(u"id") + u"]";
      s.tag = e->Attribut(u"id");
      m.saveLangs.push_back(s);
    }
  }
  m.loadPlaceholderVisible = nl == 0;
  long n = loadedLangs_->ChildCount();
  for (long i = 1; i <= n; ++i) {
    XmlNodePtr lang = loadedLangs_->Child(i);
    Text en = lang->Attribut(u"en_name");
    if (en.empty()) {
      en = mLang::GetISOLangName(lang->Name());
      lang->Attribut(u"en_name", en);
    }
    MenuItem it;
    it.caption = en.empty() ? lang->Name() : en + u" (" + lang->Name() + u")";
    it.tag = lang->Name();
    m.langs.push_back(it);
  }
  m.langPlaceholderVisible = n == 0;
  m.fillFindEnabled = n >= 2;
  m.saveAsExportEnabled = n >= 1;
  m.editionEnabled = toolListed_;
  m.saveAllEnabled = modified_;
  return m;
}

Text cLangEditor::GetString(TextView path) {
  XmlNodePtr n = loadedLangs_->GetChildNode(path, true, false, u".");
  return n ? n->Value() : Text();
}

Text cLangEditor::EncodeText(TextView text) const {
  Text t(text);
  for (size_t i = 0; i < storedForms_.size(); ++i) t = txt::Replace(t, editForms_[i], storedForms_[i]);
  return t;
}

Text cLangEditor::DecodeText(TextView text) const {
  Text t(text);
  for (size_t i = 0; i < storedForms_.size(); ++i) t = txt::Replace(t, storedForms_[i], editForms_[i]);
  return t;
}

bool cLangEditor::ConfirmDiscard() { return !modified_ || !SaveModifs || SaveModifs(); }

void cLangEditor::MarkDirty(TextView langId) {
  bool changed = false;
  if (XmlNodePtr e = FindLangEntry(langId)) {
    if (e->Attribut(u"dirty") != u"yes") {
      e->Attribut(u"dirty", u"yes");
      changed = true;
    }
  }
  if (!modified_) {
    modified_ = true;
    changed = true;
  }
  if (changed) {
    MenusChanged.Raise();
    CaptionChanged.Raise();
  }
}

void cLangEditor::UpdateDirtyFromInfos() {
  bool any = false;
  long n = langList_->ChildCount();
  for (long i = 1; i <= n && !any; ++i) any = langList_->Child(i)->Attribut(u"dirty") == u"yes";
  if (any != modified_) {
    modified_ = any;
    CaptionChanged.Raise();
  }
  MenusChanged.Raise();
}
