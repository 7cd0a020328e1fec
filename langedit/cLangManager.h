#pragma once
// Whole-language commands, a service on the editing state: add a language (which creates its file),
// unload, import from a file, export to a file, and the properties of a language. The
// dialogs are reached through the functions below, which the window fills in and tests
// script; messages and file dialogs go through the platform's routines.
#include <functional>
#include <vector>

#include "langedit/cLangEditor.h"
#include "langedit/cLangSaver.h"
#include "platform/Text.h"
#include "xml/cXmlNode.h"

class cLangManager {
 public:
  explicit cLangManager(cLangEditor& ed);

  // The add-language dialog, opened on the current ID and English name; false: cancelled.
  std::function<bool(Text& langId, Text& enName)> AskNewLang;
  // The properties dialog on a language element (modal).
  std::function<void(const XmlNodePtr& lang)> EditProperties;
  // The language picker: caption and rows; the 1-based row chosen, 0 when cancelled.
  std::function<long(const Text& caption, const std::vector<Text>& rows)> ChooseLang;
  // Saves one language (asks first).
  std::function<cLangSaver::Result(TextView langId)> SaveLang;

  bool AddLanguage();
  // index: 1-based among the loaded languages. A dirty language whose save was confirmed
  // but failed stays loaded and dirty.
  bool UnloadLanguage(long index);
  bool ImportLanguage();
  bool ExportLanguage();
  void LangProperties(long index);

  // Letters, digits, "-" and "_", at most kMaxLangIDLength: an ID becomes an element name
  // and part of a file name, so nothing may reach outside the tool's folder.
  static bool IsValidLangID(TextView id);
  static constexpr size_t kMaxLangIDLength = 20;
  // A new language element with its English name, icon and date.
  static XmlNodePtr NewLangElement(TextView langId, TextView enName, TextView today);
  // A row of the language picker (the missing English name filled in first).
  static Text SelectorRow(const XmlNodePtr& lang);
  // The root of an exported file: the loaded root's name and attributes (a root without a
  // name, as when the languages came from a tool, becomes a current-format "Languages")
  // holding a copy of the element as it is in memory.
  static XmlNodePtr ExportDocument(const XmlNodePtr& loadedRoot, const XmlNodePtr& lang);
  // The locale tree of the language selection: groups by first letter of the language
  // name (any case), one "Lang" per record; the user's record, if any, is returned in
  // `selected` and its group is expanded. A `filter` keeps the records whose tag, English
  // names or native name contain it (case and accents ignored), every group open, and
  // selects the first match unless the user's record is among them.
  static XmlNodePtr BuildLocaleTree(TextView userLcid, XmlNodePtr* selected, TextView filter = {});

  static constexpr char16_t kImportCaption[] = u"Import language";
  static constexpr char16_t kExportCaption[] = u"Export language";

 private:
  // Writes a new file for a language of the selected tool and lists it; "" on failure.
  Text CreateLangFile(const XmlNodePtr& lang);

  cLangEditor& ed_;
};
