#pragma once
// Writing languages back to their files, a service on the editing state: each save re-reads
// the file from disk, replaces only that language's element and writes the file through the
// protected save, so the other languages of the file stay as they are on disk.
#include <functional>
#include <vector>

#include "langedit/cLangMerge.h"
#include "platform/Text.h"
#include "xml/cXmlNode.h"

class cLangEditor;

class cLangSaver {
 public:
  explicit cLangSaver(cLangEditor& ed) : ed_(ed) {}

  enum class Result { Written, Declined, Failed };

  // Asks "Save changes in <id> ?" and saves that language. A language that could not be
  // written stays dirty, and the message names its file. When its file changed on disk
  // since it was loaded, the changes there are merged in first; a vanished or unreadable
  // file is written again only when the user agrees.
  Result Save(TextView langId);

  // Answers the conflicts of a merge (file, language ID, conflicts to mark takeTheirs);
  // false cancels the save, nothing written. Unset, a save with conflicts is cancelled.
  std::function<bool(TextView file, TextView langId, std::vector<cLangMerge::Conflict>&)> ResolveConflicts;
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
  // The new text of the file read into `languages`, with `lang` (prepared) in place of
  // its element.
  static Text ReplaceLang(const XmlNodePtr& languages, const XmlNodePtr& lang);

 private:
  enum class DiskCheck { Ready, Rewrite, Stop };
  // Merges what changed in the file since loading into `lang`; reads the file once into
  // `doc` and `languages` (null when it is gone or unreadable, then asks whether to write
  // it again).
  DiskCheck MergeFromDisk(const Text& id, const Text& file, const XmlNodePtr& lang, XmlNodePtr& doc,
                          XmlNodePtr& languages, bool& merged);
  // The text of a file written anew: the language alone, or for an opened document every
  // loaded language, as the file held them all.
  Text RewriteText(const XmlNodePtr& lang);
  // Keeps an unreadable file's bytes under a free name beside it; empty when that failed.
  static Text SetAside(const Text& file);

  cLangEditor& ed_;
};
