#include "langedit/cLangSaver.h"

#include "langedit/cLangEditor.h"
#include "langedit/mLangFiles.h"
#include "langedit/mLangFormat.h"
#include "platform/ErrLog.h"
#include "platform/MsgBox.h"
#include "storage/mFileUtils.h"

namespace {
// Deep enough for any real file; the sort's depth counts levels below the element.
constexpr long kAllLevels = 1L << 20;
}  // namespace

void cLangSaver::PrepareLang(const XmlNodePtr& lang) {
  if (!lang) return;
  lang->SortChilds(u"name", 0, kAllLevels);
  if (XmlNodePtr contributors = lang->GetChildNode(u"Contributors", true, true)) {
    lang->EmancipateChild(contributors);
    lang->AddChild(contributors);
  }
  lang->DeleteEmptyChilds(true);
  lang->Attribut(mLangFormat::kAttrDate, mLangFiles::Today());
}

Text cLangSaver::ReplaceLang(const XmlNodePtr& languages, const XmlNodePtr& lang) {
  if (!languages || !lang) return Text();
  // The element keeps its place among the file's languages; the others are untouched.
  XmlNodePtr copy = lang->Clone();
  if (XmlNodePtr old = languages->GetChildNode(lang->Name(), false, true)) {
    languages->AddChild(copy, old->Index());
    languages->DelChild(old);
  } else {
    languages->AddChild(copy);
  }
  return mLangFiles::LangFileText(languages->RootNode(), languages);
}

Text cLangSaver::RewriteText(const XmlNodePtr& lang) {
  if (!ed_.IsDocument()) return mLangFiles::NewLangFileText(lang);
  XmlNodePtr root = mLangFiles::NewLanguagesRoot(mLangFormat::kFormatVersion, nullptr);
  const XmlNodePtr& langs = ed_.LoadedLangs();
  for (long i = 1; i <= langs->ChildCount(); ++i) {
    XmlNodePtr l = langs->Child(i);
    if (l == lang) {
      root->AddChild(lang->Clone());
      continue;
    }
    // The others as they stand, cleaned as a save cleans them but keeping their own date.
    XmlNodePtr copy = l->Clone();
    PrepareLang(copy);
    copy->Attribut(mLangFormat::kAttrDate, l->Attribut(mLangFormat::kAttrDate));
    root->AddChild(copy);
  }
  return root->XmlData();
}

Text cLangSaver::SetAside(const Text& file) {
  Text aside = file + u".unreadable";
  for (long n = 2; mFileUtils::FileExists(aside) && n < 1000; ++n) aside = file + u".unreadable_" + txt::FromInt(n);
  return mFileUtils::MoveFileTo(file, aside) ? aside : Text();
}

cLangSaver::DiskCheck cLangSaver::MergeFromDisk(const Text& id, const Text& file, const XmlNodePtr& lang,
                                                XmlNodePtr& doc, XmlNodePtr& languages, bool& merged) {
  languages = mLangFiles::ReadLanguagesFile(file, doc);
  if (!languages) {
    // Someone deleted, moved or spoiled the file: ask before putting it back, and keep
    // whatever is there now.
    bool exists = mFileUtils::FileExists(file);
    Text question = exists ? u"The file\r\n" + file + u"\r\ncan no longer be read as a language file.\r\n\r\nWrite " + id +
                                 u" into it again ? What the file holds now is kept beside it."
                           : u"The file\r\n" + file + u"\r\nhas been deleted or moved.\r\n\r\nWrite " + id +
                                 u" into it again ?";
    if (platform::MsgBox(question, platform::vbYesNo | platform::vbExclamation) != platform::vbYes) return DiskCheck::Stop;
    if (exists) {
      Text aside = SetAside(file);
      if (aside.empty()) {
        platform::MsgBox(u"The file\r\n" + file + u"\r\ncould not be kept aside; " + id + u" was not saved.",
                         platform::vbCritical);
        return DiskCheck::Stop;
      }
      ed_.StatusNote.Raise(u"The unreadable file was kept as " + aside);
    }
    return DiskCheck::Rewrite;
  }
  XmlNodePtr theirs = languages->GetChildNode(id, false, true);
  const cLangEditor::LangBase* base = ed_.Base(id);
  // Without a base from this very file there is nothing to merge against.
  if (!theirs || !base || !base->lang || base->file != file) return DiskCheck::Ready;
  cLangMerge merge(base->lang, theirs, lang);
  if (!merge.TheirsChanged()) return DiskCheck::Ready;
  if (!merge.Conflicts().empty() && (!ResolveConflicts || !ResolveConflicts(file, id, merge.Conflicts())))
    return DiskCheck::Stop;
  merge.Apply(lang);
  merged = true;
  return DiskCheck::Ready;
}

cLangSaver::Result cLangSaver::Save(TextView langId) {
  try {
    Text id(langId);
    if (platform::MsgBox(u"Save changes in " + id + u" ?", platform::vbYesNo | platform::vbQuestion) != platform::vbYes)
      return Result::Declined;
    XmlNodePtr lang = ed_.LoadedLangs()->GetChildNode(id, false, true);
    if (!lang) return Result::Failed;
    XmlNodePtr entry = ed_.FindLangEntry(id);
    if (!entry) return Result::Failed;
    Text file = entry->Attribut(u"file");
    bool newFile = file.empty();
    bool merged = false;
    Text data;
    if (newFile) {
      // An imported language the tool had no file for: its file is made as adding a
      // language makes one (pattern with the ID, then ID_2, ID_3... while taken).
      file = mLangFiles::NewLangFilePath(ed_.SelectedToolPattern(), id);
      if (file.empty()) return Result::Failed;
      PrepareLang(lang);
      data = mLangFiles::NewLangFileText(lang);
    } else {
      XmlNodePtr doc, languages;
      DiskCheck check = MergeFromDisk(id, file, lang, doc, languages, merged);
      if (check == DiskCheck::Stop) return Result::Declined;  // nothing written, still dirty
      PrepareLang(lang);
      data = check == DiskCheck::Rewrite ? RewriteText(lang) : ReplaceLang(languages, lang);
    }
    if (data.empty()) {
      platform::MsgBox(u"The language " + id + u" could not be saved: the file\r\n" + file +
                           u"\r\ncannot be read or holds no <Languages> element.",
                       platform::vbCritical);
      return Result::Failed;
    }
    if (auto out = mLangFiles::WriteLangFile(file, data); !out) {
      // The protected save put the old file back; the edits stay in memory and dirty.
      platform::MsgBox(u"The language " + id + u" could not be saved in the file\r\n" + file + u": " +
                           mTextFile::SaveFailureReason(out),
                       platform::vbCritical);
      return Result::Failed;
    }
    entry->Attribut(u"dirty", u"");
    ed_.SetBase(id, file, lang->Clone(), mLangFiles::FileStamp(file));
    if (merged) {
      ed_.LangContentChanged(id);
      ed_.StatusNote.Raise(id + u" saved with the changes another program made to " + file);
    }
    if (newFile) {
      entry->Attribut(u"file", file);
      ed_.LoadToolLangs(ed_.SelectedToolPattern(), true);
    }
    return Result::Written;
  } catch (const std::exception& e) {
    ErrLog::Exception("cLangSaver.Save", e.what());
    return Result::Failed;
  }
}

bool cLangSaver::SaveChanges() {
  bool ok = true;
  try {
    // The ids first: a save may not reorder the list, but the list is read only once.
    std::vector<Text> dirty;
    const XmlNodePtr& list = ed_.LangList();
    long n = list->ChildCount();
    for (long i = 1; i <= n; ++i)
      if (XmlNodePtr e = list->Child(i))
        if (e->Attribut(u"dirty") == u"yes") dirty.push_back(e->Attribut(u"id"));
    for (const Text& id : dirty)
      if (Save(id) == Result::Failed) ok = false;
  } catch (const std::exception& e) {
    ErrLog::Exception("cLangSaver.SaveChanges", e.what());
    ok = false;
  }
  ed_.UpdateDirtyFromInfos();
  return ok;
}

bool cLangSaver::SaveModifs() {
  int answer = platform::MsgBox(u"Changes have not been saved.\r\n\r\nSave now ?",
                                platform::vbYesNoCancel | platform::vbQuestion);
  if (answer == platform::vbCancel) return false;
  if (answer == platform::vbYes) return SaveChanges();
  return true;
}

bool cLangSaver::SaveAs(TextView path) {
  try {
    const XmlNodePtr& langs = ed_.LoadedLangs();
    XmlNodePtr root = mLangFiles::NewLanguagesRoot(mLangFormat::kFormatVersion, nullptr);
    // An opened file's root keeps its attributes; its version is the current one anyway.
    if (!langs->Name().empty())
      for (long i = 1; i <= langs->AttrCount(); ++i) root->Attribut(langs->AttrName(i), langs->AttrValue(i));
    long n = langs->ChildCount();
    for (long i = 1; i <= n; ++i) {
      XmlNodePtr lang = langs->Child(i);
      PrepareLang(lang);
      root->AddChild(lang->Clone());
    }
    if (auto out = mLangFiles::WriteLangFile(path, root->XmlData()); !out) {
      platform::MsgBox(u"The languages could not be saved in the file\r\n" + Text(path) + u": " +
                           mTextFile::SaveFailureReason(out),
                       platform::vbCritical);
      return false;
    }
    ed_.BecomeDocument(path);
    return true;
  } catch (const std::exception& e) {
    ErrLog::Exception("cLangSaver.SaveAs", e.what());
    return false;
  }
}
