#include "langedit/cLangSaver.h"

#include "langedit/cLangManager.h"

#include "langedit/cLangEditor.h"
#include "langedit/mLangFormat.h"
#include "platform/ErrLog.h"
#include "platform/MsgBox.h"
#include "storage/VbDate.h"
#include "storage/mTextFile.h"

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
  lang->Attribut(u"date", vbdate::Format(vbdate::Today(), u"yyyy-mm-dd"));
}

Text cLangSaver::MergeIntoFile(TextView file, const XmlNodePtr& lang) {
  try {
    if (!lang) return Text();
    XmlNodePtr doc = cLangEditor::ReadXmlFile(file, false);
    XmlNodePtr languages = cLangEditor::FindLanguages(doc);
    if (!languages) return Text();
    mLangFormat::CheckVersionChanges(languages);
    // The element keeps its place among the file's languages; the others are untouched.
    XmlNodePtr copy = lang->Clone();
    if (XmlNodePtr old = languages->GetChildNode(lang->Name(), false, true)) {
      languages->AddChild(copy, old->Index());
      languages->DelChild(old);
    } else {
      languages->AddChild(copy);
    }
    return doc->XmlData();
  } catch (const std::exception& e) {
    ErrLog::Exception("cLangSaver.MergeIntoFile", e.what());
    return Text();
  }
}

bool cLangSaver::SaveLang(TextView langId) {
  try {
    Text id(langId);
    if (platform::MsgBox(u"Save changes in " + id + u" ?", platform::vbYesNo | platform::vbQuestion) != platform::vbYes)
      return false;
    XmlNodePtr lang = ed_.LoadedLangs()->GetChildNode(id, false, true);
    if (!lang) return false;
    PrepareLang(lang);
    XmlNodePtr entry = ed_.FindLangEntry(id);
    if (!entry) return false;
    Text file = entry->Attribut(u"file");
    bool newFile = file.empty();
    Text data;
    if (newFile) {
      // An imported language the tool had no file for: its file is made as adding a
      // language makes one (pattern with the ID, then ID_2, ID_3... while taken).
      file = cLangManager::NewLangFilePath(ed_.SelectedToolPattern(), id);
      if (file.empty()) return false;
      data = cLangManager::NewLangFileText(lang);
    } else {
      data = MergeIntoFile(file, lang);
    }
    if (data.empty()) return false;  // file gone or without "Languages": stays dirty, no message
    if (auto out = mTextFile::SaveFileOutcome(file, data, true, 2, false, 1252, 0, false, u"", 0, 5); !out) {
      // The protected save put the old file back; the edits stay in memory and dirty.
      platform::MsgBox(u"The language " + id + u" could not be saved in the file\r\n" + file + u": " +
                           mTextFile::SaveFailureReason(out),
                       platform::vbCritical);
      return false;
    }
    entry->Attribut(u"dirty", u"");
    if (newFile) {
      entry->Attribut(u"file", file);
      ed_.LoadToolLangs(ed_.SelectedToolPattern(), true);
    }
    return true;
  } catch (const std::exception& e) {
    ErrLog::Exception("cLangSaver.SaveLang", e.what());
    return false;
  }
}

void cLangSaver::SaveChanges() {
  try {
    // The ids first: a save may not reorder the list, but the list is read only once.
    std::vector<Text> dirty;
    const XmlNodePtr& list = ed_.LangList();
    long n = list->ChildCount();
    for (long i = 1; i <= n; ++i)
      if (XmlNodePtr e = list->Child(i))
        if (e->Attribut(u"dirty") == u"yes") dirty.push_back(e->Attribut(u"id"));
    for (const Text& id : dirty) SaveLang(id);
  } catch (const std::exception& e) {
    ErrLog::Exception("cLangSaver.SaveChanges", e.what());
  }
  ed_.UpdateDirtyFromInfos();
}
