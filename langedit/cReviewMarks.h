#pragma once
// Which translations need another look: strings filled from another language, imported
// ones, and those whose English text changed since the translation was confirmed. For each
// tool, language and key the store keeps the English text the translation was confirmed
// against and the pending mark. It lives in a file of the editor's own, never in the
// language files; a missing or broken file only means that nothing is remembered.
#include <map>
#include <vector>

#include "langedit/cQualityCheck.h"
#include "platform/Text.h"
#include "xml/cXmlNode.h"

class cReviewMarks {
 public:
  enum class Reason : uint8_t { None, Filled, Imported, EnglishChanged };

  struct Record {
    Text english;  // as stored in the English language when last confirmed
    Reason review = Reason::None;
  };

  // Reads `file`; a missing or unreadable one gives no marks and is kept as it is until a
  // mark is set or cleared.
  void Load(TextView file);
  // Writes the file through the protected save when something worth keeping changed; true
  // when nothing had to be written or the write succeeded.
  bool Save();
  const Text& File() const { return file_; }
  bool Broken() const { return broken_; }

  // Compares the strings of `lang` with `english` (language elements): a translated key seen
  // for the first time is recorded as confirmed; one whose English changed is marked.
  // Returns how many were newly marked.
  size_t Reconcile(TextView tool, TextView langId, const XmlNodePtr& english, const XmlNodePtr& lang);
  void Mark(TextView tool, TextView langId, TextView key, TextView english, Reason why);
  // The translation was looked at: it is now confirmed against `english`.
  void Confirm(TextView tool, TextView langId, TextView key, TextView english);
  Reason Pending(TextView tool, TextView langId, TextView key) const;
  const Record* Find(TextView tool, TextView langId, TextView key) const;

  // The pending marks of a language as findings, for its strings that have a text, in the
  // order of `lang`'s tree.
  std::vector<StringFindings> Findings(TextView tool, TextView langId, const XmlNodePtr& lang) const;
  static Text Message(Reason why);

 private:
  using Strings = std::map<Text, Record>;
  Strings* LangOf(TextView tool, TextView langId, bool create);
  const Strings* LangOf(TextView tool, TextView langId) const;

  // tool -> lower-case language ID -> key
  std::map<Text, std::map<Text, Strings>> tools_;
  Text file_;
  bool broken_ = false;
  bool dirty_ = false;     // anything differs from the file
  bool marksMoved_ = false;  // a mark was set or cleared since the last save
};
