#pragma once
// Spelling in the main window's edit box: the misspelt words of the language being edited
// are underlined as the translator types, the box's context menu offers corrections,
// "Add to dictionary" and "Ignore", Ctrl+. takes the first correction, and a language without
// a dictionary is named once in the status bar. The checking is cSpellCheck's.
#include <set>
#include <vector>

#include "langedit/cSpellCheck.h"
#include "platform/Event.h"
#include "platform/Text.h"

class QMenu;
class QShortcut;
class frmMain;

class cSpellAssist {
 public:
  explicit cSpellAssist(frmMain& w);
  ~cSpellAssist();
  cSpellAssist(const cSpellAssist&) = delete;
  cSpellAssist& operator=(const cSpellAssist&) = delete;

  // Shared with the checks of whole languages, so both know the same added and ignored words.
  cSpellCheck& Checker() { return spell_; }
  // Underlines the box's text again.
  void Recheck();
  // Replaces the misspelt word at or before the caret with its first suggestion; false when
  // there is no such word or no suggestion.
  bool FixWordAtCaret();

 private:
  // The language of the row being edited; empty when the box takes no typing.
  Text EditedLang() const;
  void AddMenuItems(QMenu* menu, long pos);
  // Puts `with` in place of the misspelt word at `r` if the box still shows `word` there.
  void Replace(cSpellCheck::Range r, const Text& word, const Text& with);

  frmMain& w_;
  cSpellCheck spell_;
  std::vector<cSpellCheck::Range> misspelt_;  // in the box's text, counted as SelStart counts
  std::set<Text> noted_;                      // IDs whose missing dictionary was told
  std::vector<Connection> conns_;
  QShortcut* fix_ = nullptr;
};
