#pragma once
// Writing languages back to their files, a service on the editing state: each save re-reads
// the file from disk, replaces only that language's element and writes the file through the
// protected save, so the other languages of the file stay as they are on disk.
#include "platform/Text.h"
#include "xml/cXmlNode.h"

class cLangEditor;

class cLangSaver {
 public:
  explicit cLangSaver(cLangEditor& ed) : ed_(ed) {}

  enum class Result { Written, Declined, Failed };

  // Asks "Save changes in <id> ?" and saves that language. A language that could not be
  // written stays dirty, and the message names its file.
  Result Save(TextView langId);
  bool SaveLang(TextView langId) { return Save(langId) == Result::Written; }
  // Saves every dirty language, in languages-list order, each with its own question, then
  // recomputes Modified. False when a write failed.
  bool SaveChanges();
  // "Changes have not been saved." with Yes (save everything), No and Cancel; false means
  // the command that asked must stop: Cancel, or a write that failed after Yes.
  bool SaveModifs();
  // Writes every loaded language, prepared as a save prepares it, into one new file with a
  // "Languages" root; that file then holds the loaded languages (the opened document).
  bool SaveAs(TextView path);

  // The language element as it is written: every level sorted by name, "Contributors"
  // last, no empty elements, "date" today. Works on the element in place.
  static void PrepareLang(const XmlNodePtr& lang);
  // The new text of `file` with `lang` (prepared) in place of its element; empty when the
  // file cannot be read or has no "Languages" element.
  static Text MergeIntoFile(TextView file, const XmlNodePtr& lang);

 private:
  cLangEditor& ed_;
};
