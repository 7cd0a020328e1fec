#pragma once
// The Problems panel of the main window and what feeds it: the checks of every loaded
// language against English, the review marks (kept beside the configuration), and any other
// source that reports findings per language. Marks the strings with findings in the tree and
// the value list, counts them in the status bar, and gates the submission.
#include <QObject>
#include <map>
#include <memory>
#include <vector>

#include "langedit/cProblemList.h"
#include "langedit/cReviewMarks.h"
#include "langedit/cUndoHistory.h"
#include "platform/Event.h"
#include "platform/Text.h"
#include "xml/cXmlNode.h"

class QAction;
class QComboBox;
class QDockWidget;
class QLabel;
class QShortcut;
class QTimer;
class QTreeWidget;
class frmMain;
class frmSubmit;

class cProblemsPanel {
 public:
  explicit cProblemsPanel(frmMain& w);
  ~cProblemsPanel();
  cProblemsPanel(const cProblemsPanel&) = delete;
  cProblemsPanel& operator=(const cProblemsPanel&) = delete;

  QDockWidget* Dock = nullptr;
  QComboBox* cboLang = nullptr;
  QComboBox* cboSeverity = nullptr;
  QTreeWidget* lstProblems = nullptr;
  QLabel* lblCounts = nullptr;  // in the status bar
  QAction* mnuProblems = nullptr;

  cProblemList& List() { return list_; }
  cReviewMarks& Marks() { return marks_; }
  // The key the review marks file the current work under: the tool's name, or the file
  // opened directly.
  Text WorkKey() const;

  // --- hooks of the window ---------------------------------------------------------------
  // Languages were loaded, unloaded or replaced: everything is checked again.
  void Rebuild();
  // A value typed in the edit box (`before`: the stored value it replaced): that string
  // alone is checked again, and the translation counts as looked at.
  void StringEdited(TextView langId, TextView path, TextView before);
  // After an undo or redo: a mark that typing cleared comes back with the text it was on.
  void UndoneOrRedone();
  // Ctrl+Enter on the selected string: its translation is confirmed as it stands.
  void ConfirmSelected();
  // A command changed whole languages; `before` is null for a language it brought in.
  void LangChanged(cUndoHistory::Kind kind, TextView langId, const XmlNodePtr& before, const XmlNodePtr& now);
  void SaveMarks();

  // Findings of another source (spelling...) for a language, or for one string of it;
  // replaced at each call. Such a source listens to the two events below to report again.
  void SetExtraFindings(TextView langId, TextView source, std::vector<StringFindings> findings);
  void SetExtraString(TextView langId, TextView source, TextView path, std::vector<CheckFinding> findings);
  Event<> Rechecked;                              // every loaded language was checked again
  Event<const Text&, const Text&> StringChecked;  // language ID, path: one string was

  // Shows the panel limited to `langs` (all when empty).
  void ShowFor(const std::vector<Text>& langs);
  void Toggle();
  // F8: opens the panel, or selects the next problem when it is open.
  void Next();
  // The string of a listed problem, selected in the tree with its language row.
  void Activate(int row);

  // Counts of the checks over the files of `langId` in the submission's `tools`; shown
  // before packing. False when the translator chose to review first.
  bool CheckSubmission(frmSubmit& dlg, const Text& langId, const std::vector<long>& tools);
  // Languages the last submission check asked to review (empty when none).
  std::vector<Text> TakeReviewRequest();

 private:
  void BuildUi();
  void RecheckLang(const XmlNodePtr& english, const XmlNodePtr& lang);
  void RecheckString(const XmlNodePtr& english, const XmlNodePtr& lang, TextView path);
  void Changed();
  void Refill();
  void RebuildLangCombo();
  void EnsureMarksLoaded();
  XmlNodePtr English() const;
  cProblemList::Filter CurrentFilter() const;

  frmMain& w_;
  cProblemList list_;
  cReviewMarks marks_;
  std::vector<Text> reviewRequest_;
  // Marks cleared by typing in this session, with the text they were on: key is the work
  // key, language and path joined by a separator no name holds.
  struct Cleared {
    Text work, langId, path, value;
    cReviewMarks::Record record;
  };
  std::map<Text, Cleared> cleared_;
  std::vector<Text> filterLangs_;  // a set given by ShowFor when it is not one language
  std::vector<cProblemList::Row> rows_;
  uint64_t shownVersion_ = ~0ull;
  QTimer* refill_ = nullptr;
  QShortcut* f8_ = nullptr;
  std::unique_ptr<QObject> ctx_;
};
