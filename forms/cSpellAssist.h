#pragma once
// Spelling in the main window's edit box: the misspelt words of the language being edited
// are underlined as the translator types, the box's context menu offers corrections,
// "Add to dictionary" and "Ignore", Ctrl+. takes the first correction, and a language without
// a dictionary is named once in the status bar. "Check spelling" lists the strings with
// unknown words of whole languages in the Problems panel, kept up to date as the translator
// types. The checking is cSpellCheck's.
#include <memory>
#include <set>
#include <vector>

#include "langedit/cSpellCheck.h"
#include "platform/Event.h"
#include "platform/Text.h"

class QAction;
class QMenu;
class QShortcut;
class QTimer;
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
  // "Check spelling": the language being edited, or every loaded one when no row is
  // selected, checked in slices between events; the panel then shows their findings.
  void CheckLanguages();
  QAction* mnuCheckSpelling = nullptr;

 private:
  // The language of the row being edited; empty when the box takes no typing.
  Text EditedLang() const;
  void AddMenuItems(QMenu* menu, long pos);
  // Puts `with` in place of the misspelt word at `r` if the box still shows `word` there.
  void Replace(cSpellCheck::Range r, const Text& word, const Text& with);
  // Queues a whole-language check of `langId`; false when it has no dictionary (told once).
  bool QueueLanguage(const Text& langId);
  void StepRuns();
  // Languages listed in the panel are checked again: the words known changed, or the
  // panel checked everything again.
  void RecheckListed();
  void StringChecked(const Text& langId, const Text& path);
  bool NoteMissing(const Text& langId);

  frmMain& w_;
  cSpellCheck spell_;
  std::vector<cSpellCheck::Range> misspelt_;  // in the box's text, counted as SelStart counts
  std::set<Text> noted_;                      // IDs whose missing dictionary was told
  std::vector<Connection> conns_;
  QShortcut* fix_ = nullptr;
  // Whole-language checks under way, the first one stepping; `show` opens the panel on
  // `showLangs` when the last one ends.
  std::vector<std::unique_ptr<cSpellRun>> runs_;
  std::vector<Text> showLangs_;
  bool show_ = false;
  std::set<Text> listed_;  // normalised IDs whose spelling findings the panel holds
  std::unique_ptr<QTimer> stepper_;
};
