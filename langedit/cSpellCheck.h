#pragma once
// Spelling of translations through the system's Hunspell dictionaries. One checker per
// language ID, loaded on first use and shared by every open language of that ID; a personal
// dictionary per ID beside the configuration; words ignored for the session. Only words are
// checked: placeholders, markup, accelerators, escapes, URLs, addresses, words with digits
// and all-capital or mixed-case names are skipped, and so are the words a translation keeps
// from its English text (product and feature names the translator rightly left as they are).
#include <cstddef>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "langedit/cQualityCheck.h"
#include "platform/Text.h"
#include "xml/cXmlNode.h"

class cSpellCheck {
 public:
  // (start, length) in UTF-16 units of the checked text.
  using Range = std::pair<size_t, size_t>;
  static constexpr size_t kMaxSuggestions = 8;

  // $DICPATH's folders, then the system's.
  static std::vector<std::string> DefaultFolders();
  // `personalFolder` empty: added words last for the session only.
  explicit cSpellCheck(std::vector<std::string> folders = DefaultFolders(), Text personalFolder = Text());
  ~cSpellCheck();
  cSpellCheck(const cSpellCheck&) = delete;
  cSpellCheck& operator=(const cSpellCheck&) = delete;

  // Where the personal dictionaries are kept; checkers already loaded keep their words.
  void PersonalFolder(TextView folder) { personalFolder_ = Text(folder); }
  // The personal dictionary file of a language ID.
  Text PersonalFile(TextView langId) const;

  // "pt-BR", "pt_br", " PT-br " all give "pt-br"; empty when it is no language ID.
  static Text NormalizeId(TextView langId);
  // The dictionary (path without ".aff"/".dic") the ID would use; empty when none is installed.
  std::string FindDictionary(TextView langId) const;
  // Loads the checker on first use; false when no usable dictionary is installed.
  bool HasDictionary(TextView langId);
  // "no French dictionary installed: apt install hunspell-fr"
  static Text MissingDictionaryNote(TextView langId);

  // The stretches of `text` a checker looks at, before any dictionary.
  static std::vector<Range> Words(TextView text);
  // The misspelt words of `text`; none without a dictionary. Words also found in `english`
  // (the string's English text) are not misspelt.
  std::vector<Range> Misspelt(TextView langId, TextView text, TextView english = {});
  // Up to kMaxSuggestions replacements, best first.
  std::vector<Text> Suggest(TextView langId, TextView word);
  // `suggestion` as it replaces `original`: an accelerator keeps its place ("Fi&lle" and
  // "File" give "Fi&le").
  static Text Replacement(TextView original, TextView suggestion);
  // Known from now on by every checker of the ID, and after a restart; false when the
  // personal dictionary could not be saved (the word is still known for the session).
  bool AddToDictionary(TextView langId, TextView word);
  // Not flagged again in this session, in any language.
  void Ignore(TextView word);

  // One Spelling warning per misspelt word ("unknown word: fote").
  std::vector<CheckFinding> CheckString(TextView langId, TextView text, TextView english = {});
  // Every string of a language element (its tag name is the ID), in tree order, each beside
  // the same string of `english` when given.
  std::vector<StringFindings> CheckLanguage(const XmlNodePtr& lang, const XmlNodePtr& english = nullptr);
  // The same over (dot path, text) pairs.
  std::vector<StringFindings> CheckLanguage(TextView langId, const std::vector<std::pair<Text, Text>>& strings);

 private:
  struct Checker;
  Checker* Get(TextView langId);
  bool Correct(Checker& c, TextView word);
  bool LoadPersonal(Checker& c, const Text& id);

  std::vector<std::string> folders_;
  Text personalFolder_;
  std::map<Text, std::unique_ptr<Checker>> checkers_;  // by normalized ID; null: none installed
  std::set<Text> ignored_;
};

// A whole-language check done a few strings at a time, so a window stays responsive.
class cSpellRun {
 public:
  cSpellRun(cSpellCheck& spell, TextView langId, std::vector<std::pair<Text, Text>> strings);
  cSpellRun(cSpellCheck& spell, const XmlNodePtr& lang, const XmlNodePtr& english = nullptr);
  // Checks up to `count` more strings; true once every string is done.
  bool Step(size_t count);
  bool Done() const { return next_ >= strings_.size(); }
  size_t Checked() const { return next_; }
  size_t Total() const { return strings_.size(); }
  const Text& LangId() const { return langId_; }
  const std::vector<StringFindings>& Findings() const { return findings_; }

 private:
  cSpellCheck& spell_;
  Text langId_;
  std::vector<std::pair<Text, Text>> strings_;
  std::unordered_map<Text, Text> english_;  // by path
  size_t next_ = 0;
  std::vector<StringFindings> findings_;
};
