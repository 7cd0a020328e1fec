#pragma once
// Writing languages back to their files: each save re-reads the file from disk, replaces
// only that language's element and writes the file through the protected save, so the
// other languages of the file stay as they are on disk.
#include "platform/Text.h"
#include "xml/cXmlNode.h"

class cLangEditor;

class cLangSaver {
 public:
  explicit cLangSaver(cLangEditor& ed) : ed_(ed) {}

  // Asks "Save changes in <id> ?" and saves that language; true when the file was written.
  // A language that could not be written stays dirty; a failed write is reported.
  bool SaveLang(TextView langId);
  // Saves every dirty language, in languages-list order, each with its own question.
  void SaveChanges();

  // The language element as it is written: every level sorted by name, "Contributors"
  // last, no empty elements, "date" today. Works on the element in place.
  static void PrepareLang(const XmlNodePtr& lang);
  // The new text of `file` with `lang` (prepared) in place of its element; empty when the
  // file cannot be read or has no "Languages" element.
  static Text MergeIntoFile(TextView file, const XmlNodePtr& lang);

 private:
  cLangEditor& ed_;
};
