#include "langedit/cLangManager.h"

#include "langedit/cLangProperties.h"
#include "langedit/cStringFilter.h"
#include "langedit/mLangFiles.h"
#include "langedit/mLangFormat.h"
#include "locale/mLang.h"
#include "platform/ErrLog.h"
#include "platform/FileDialog.h"
#include "platform/MsgBox.h"
#include "storage/mStringTools.h"

using platform::MsgBox;

namespace {

constexpr char16_t kMsgBadID[] =
    u"A language ID may hold only letters, digits, \"-\" and \"_\" (at most 20 characters), "
    u"for example \"pt-BR\".";
constexpr char16_t kMsgNoTool[] =
    u"Select a Kestrova tool first: the new language file is created in that tool's folder.";
constexpr char16_t kMsgWriteFailed[] = u"The file could not be written:\r\n";

bool SaveText(TextView path, TextView text) {
  auto out = mLangFiles::WriteLangFile(path, text);
  if (out) return true;
  MsgBox(Text(kMsgWriteFailed) + Text(path) + u": " + mTextFile::SaveFailureReason(out), platform::vbCritical);
  return false;
}

}  // namespace

cLangManager::cLangManager(cLangEditor& ed) : ed_(ed) {
  SaveLang = [this](TextView id) { return cLangSaver(ed_).Save(id); };
}

bool cLangManager::IsValidLangID(TextView id) {
  if (id.empty() || id.size() > kMaxLangIDLength) return false;
  for (char16_t c : id) {
    bool ok = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'-' ||
              c == u'_';
    if (!ok) return false;
  }
  return true;
}

XmlNodePtr cLangManager::NewLangElement(TextView langId, TextView enName, TextView today) {
  auto lang = cXmlNode::New();
  lang->Name(Text(langId));
  lang->Attribut(mLangFormat::kAttrEnName, enName);
  lang->Attribut(mLangFormat::kAttrIcon, mLangFormat::IconFileName(langId));
  lang->Attribut(mLangFormat::kAttrDate, today);
  return lang;
}

Text cLangManager::SelectorRow(const XmlNodePtr& lang) {
  if (!lang) return Text();
  Text en = lang->Attribut(mLangFormat::kAttrEnName);
  if (en.empty()) {
    en = mLang::GetISOLangName(lang->Name());
    if (!en.empty()) lang->Attribut(mLangFormat::kAttrEnName, en);
  }
  return en.empty() ? lang->Name() : en + u" (" + lang->Name() + u")";
}

XmlNodePtr cLangManager::ExportDocument(const XmlNodePtr& loadedRoot, const XmlNodePtr& lang) {
  if (!loadedRoot || !lang) return nullptr;
  XmlNodePtr root = mLangFiles::NewLanguagesRoot(mLangFormat::kFormatVersion, lang);
  if (!loadedRoot->Name().empty()) {
    root->Name(loadedRoot->Name());
    root->ClearAttributs();
    for (long i = 1; i <= loadedRoot->AttrCount(); ++i) root->Attribut(loadedRoot->AttrName(i), loadedRoot->AttrValue(i));
  }
  return root;
}

XmlNodePtr cLangManager::BuildLocaleTree(TextView userLcid, XmlNodePtr* selected, TextView filter) {
  auto doc = cXmlNode::New();
  if (selected) *selected = nullptr;
  try {
    // Every word of the filter must appear in one of the record's fields.
    std::vector<Text> words;
    for (Text& w : txt::Split(FoldForSearch(filter), u" "))
      if (!w.empty()) words.push_back(std::move(w));
    XmlNodePtr firstMatch;
    std::vector<std::pair<Text, XmlNodePtr>> groups;
    for (const Text& record : mLang::Get_LCDI_ISO_AllLangList()) {
      std::vector<Text> f = txt::Split(record, u"|");
      if (f.size() < 4 || f[2].empty()) continue;
      Text native = mLang::GetISONativeName(f[0]);
      if (!words.empty()) {
        Text fields = FoldForSearch(f[0] + u"|" + f[2] + u"|" + f[3] + u"|" + native);
        bool all = true;
        for (const Text& w : words) all = all && fields.find(w) != Text::npos;
        if (!all) continue;
      }
      // "isiZulu" sorts with the other I languages.
      Text letter = txt::UCase(f[2].substr(0, 1));
      XmlNodePtr group;
      for (auto& g : groups)
        if (g.first == letter) group = g.second;
      if (!group) {
        group = cXmlNode::New();
        group->Name(IsValidLangID(letter) ? letter : Text(u"_"));
        group->Attribut(u"name", u" --  " + letter + u"  -- ");
        if (!words.empty()) group->Attribut(u"expanded", u"yes");
        doc->AddChild(group);
        groups.emplace_back(letter, group);
      }
      auto rec = cXmlNode::New();
      rec->Name(u"Lang");
      rec->Attribut(u"name", f[2] + u"-" + f[3] + u" [" + f[0] + u"]");
      rec->Attribut(u"ISO", f[0]);
      rec->Attribut(u"LCID", f[1]);
      rec->Attribut(u"LNAME", f[2]);
      group->AddChild(rec);
      if (!firstMatch) firstMatch = rec;
      if (selected && !*selected && !userLcid.empty() && txt::EqualsNoCase(f[1], userLcid)) {
        group->Attribut(u"expanded", u"yes");
        *selected = rec;
      }
    }
    // While searching, the first match is ready for Enter when the user's own is not among them.
    if (selected && !*selected && !words.empty()) *selected = firstMatch;
  } catch (const std::exception& e) {
    ErrLog::Exception("cLangManager.BuildLocaleTree", e.what());
  }
  return doc;
}

Text cLangManager::CreateLangFile(const XmlNodePtr& lang) {
  Text pattern = ed_.SelectedToolPattern();
  Text path = mLangFiles::NewLangFilePath(pattern, lang->Name());
  if (path.empty()) return Text();
  if (!SaveText(path, mLangFiles::NewLangFileText(lang))) return Text();
  ed_.LoadToolLangs(pattern, true);
  return path;
}

bool cLangManager::AddLanguage() {
  try {
    if (ed_.SelectedToolPattern().empty()) {
      MsgBox(kMsgNoTool, platform::vbExclamation);
      return false;
    }
    Text id, enName;
    while (true) {
      if (!AskNewLang || !AskNewLang(id, enName)) return false;
      Text trimmed = mStringTools::xTrim(id);
      if (!IsValidLangID(trimmed)) {
        MsgBox(kMsgBadID, platform::vbExclamation);
        continue;
      }
      if (ed_.IsLangLoaded(trimmed)) {
        MsgBox(u"This language is already loaded.", platform::vbInformation);
        continue;
      }
      if (XmlNodePtr entry = ed_.FindLangEntry(trimmed)) {
        MsgBox(u"This language already exists in the file \r\n" + entry->Attribut(u"file"), platform::vbInformation);
        continue;
      }
      id = trimmed;
      break;
    }
    XmlNodePtr lang = NewLangElement(id, enName, mLangFiles::Today());
    ed_.LoadedLangs()->AddChild(lang);
    cLangEditor::XmlMergeStruct(ed_.TreeDoc(), lang);
    ed_.TreeChanged.Raise();
    ed_.SetModified(true);
    ed_.EditControlsReset.Raise();
    ed_.MenusChanged.Raise();

    cLangProperties::ClearChanged(lang);
    if (EditProperties) EditProperties(lang);
    // What the properties dialog changed goes into the new file with the rest.
    return !CreateLangFile(lang).empty();
  } catch (const std::exception& e) {
    ErrLog::Exception("cLangManager.AddLanguage", e.what());
    return false;
  }
}

bool cLangManager::UnloadLanguage(long index) {
  try {
    XmlNodePtr langs = ed_.LoadedLangs();
    if (index < 1 || index > langs->ChildCount()) return false;
    XmlNodePtr lang = langs->Child(index);
    Text id = lang->Name();
    if (XmlNodePtr entry = ed_.FindLangEntry(id)) {
      if (entry->Attribut(u"dirty") == u"yes") {
        // The translator was told the save failed: unloading now would drop the edits.
        if (SaveLang && SaveLang(id) == cLangSaver::Result::Failed) return false;
        entry->Attribut(u"dirty", u"");
      }
    }
    langs->DelChild(lang);
    if (langs->ChildCount() == 0) {
      ed_.TreeDoc()->DelChilds();
      ed_.TreeChanged.Raise();
    }
    ed_.EditControlsReset.Raise();
    ed_.UpdateDirtyFromInfos();
    ed_.CaptionChanged.Raise();
    return true;
  } catch (const std::exception& e) {
    ErrLog::Exception("cLangManager.UnloadLanguage", e.what());
    return false;
  }
}

bool cLangManager::ImportLanguage() {
  try {
    Text path = platform::ShowOpenFile(u"Select the file containing the language to be imported",
                                       u"XML files (*.xml)|*.xml|All files|*.*");
    if (path.empty()) return false;
    XmlNodePtr doc = mLangFiles::ReadXmlFile(path, false);
    XmlNodePtr languages = mLangFiles::FindLanguages(doc);
    if (!languages) {
      MsgBox(mLangFormat::kMsgNoLanguagesTag, platform::vbCritical);
      return false;
    }
    if (languages->ChildCount() == 0) {
      MsgBox(mLangFormat::kMsgNoTranslation, platform::vbCritical);
      return false;
    }
    mLangFormat::CheckVersionChanges(languages);
    std::vector<Text> rows;
    long n = languages->ChildCount();
    for (long i = 1; i <= n; ++i) rows.push_back(SelectorRow(languages->Child(i)));
    long chosenIndex = ChooseLang ? ChooseLang(kImportCaption, rows) : 0;
    if (chosenIndex < 1 || chosenIndex > n) return false;
    XmlNodePtr chosen = languages->Child(chosenIndex);

    // Values first, then the structure of the merged result: completing the imported
    // element beforehand would carry its empty strings over the loaded values.
    auto temp = cXmlNode::New();
    temp->AddChild(chosen->Clone());
    ed_.LoadedLangs()->MergeXml(temp);
    XmlNodePtr loaded = ed_.LoadedLangs()->FindNode(chosen->Name(), false, true);
    cLangEditor::XmlMergeStruct(ed_.TreeDoc(), loaded ? loaded : chosen);
    ed_.TreeChanged.Raise();

    // An import must reach a file: a language the tool has no file for is listed without
    // one, and its first save creates the file as adding a language does.
    Text id = chosen->Name();
    if (!ed_.FindLangEntry(id) && IsValidLangID(id) && (ed_.IsDocument() || !ed_.SelectedToolPattern().empty()))
      ed_.AddPendingEntry(chosen);
    ed_.SetModified(true);
    ed_.MarkDirty(id);
    ed_.EditControlsReset.Raise();
    ed_.MenusChanged.Raise();
    return true;
  } catch (const std::exception& e) {
    ErrLog::Exception("cLangManager.ImportLanguage", e.what());
    return false;
  }
}

bool cLangManager::ExportLanguage() {
  try {
    XmlNodePtr langs = ed_.LoadedLangs();
    long n = langs->ChildCount();
    if (n == 0) return false;
    std::vector<Text> rows;
    for (long i = 1; i <= n; ++i) rows.push_back(SelectorRow(langs->Child(i)));
    long chosenIndex = ChooseLang ? ChooseLang(kExportCaption, rows) : 0;
    if (chosenIndex < 1 || chosenIndex > n) return false;
    XmlNodePtr lang = langs->Child(chosenIndex);
    Text path = platform::ShowSaveFile(u"Save the language file as...", u"XML Files (*.xml)|*.xml|All files|*.*",
                                       u".xml");
    if (path.empty()) return false;
    return SaveText(path, ExportDocument(langs, lang)->XmlData());
  } catch (const std::exception& e) {
    ErrLog::Exception("cLangManager.ExportLanguage", e.what());
    return false;
  }
}

void cLangManager::LangProperties(long index) {
  try {
    XmlNodePtr langs = ed_.LoadedLangs();
    if (index < 1 || index > langs->ChildCount()) return;
    XmlNodePtr lang = langs->Child(index);
    cLangProperties::ClearChanged(lang);
    if (EditProperties) EditProperties(lang);
    if (lang->ItemData() == 0) return;
    ed_.MarkDirty(lang->Name());
    ed_.UpdateDirtyFromInfos();
    ed_.CaptionChanged.Raise();
  } catch (const std::exception& e) {
    ErrLog::Exception("cLangManager.LangProperties", e.what());
  }
}
