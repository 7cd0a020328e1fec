#pragma once
// The translator's aids around the main window: the find bar filtering the tree, undo and
// redo across strings, the keyboard moves between strings, the progress in the status bar
// and on the tree's groups, and the layout and recent files kept in the configuration.
// The work is done by cStringFilter, cUndoHistory and cLangStats; this class wires them to
// the window's widgets and the editor's changes.
#include <functional>
#include <map>
#include <memory>
#include <unordered_set>
#include <vector>

#include "langedit/cLangStats.h"
#include "langedit/cStringFilter.h"
#include "langedit/cUndoHistory.h"
#include "platform/Text.h"
#include "xml/cXmlNode.h"

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QObject;
class QShortcut;
class QToolBar;
class frmMain;

class cWorkbench {
 public:
  explicit cWorkbench(frmMain& w);
  ~cWorkbench();
  cWorkbench(const cWorkbench&) = delete;
  cWorkbench& operator=(const cWorkbench&) = delete;

  QToolBar* FindBar = nullptr;
  QLineEdit* txtFind = nullptr;
  QCheckBox* chkKeysOnly = nullptr;
  QComboBox* cboFindLang = nullptr;
  QLabel* lblStatus = nullptr;
  QAction* mnuFind = nullptr;
  QAction* mnuUndo = nullptr;
  QAction* mnuRedo = nullptr;
  QAction* mnuNextString = nullptr;
  QAction* mnuPrevString = nullptr;
  QAction* mnuNextEmpty = nullptr;
  QAction* mnuPrevEmpty = nullptr;
  QAction* mnuCopyEnglish = nullptr;
  QMenu* mnuRecent = nullptr;

  cStringFilter& Filter() { return filter_; }
  cLangStats& Stats() { return stats_; }
  cUndoHistory& History() { return history_; }

  // --- hooks of the window ---------------------------------------------------------------
  // The tree was rebuilt from the editor: indexes and counts follow the loaded languages.
  void TreeRebuilt();
  // True while the find bar limits the tree; `el` is then shown when it or a string below
  // it matches.
  bool Filtering() const { return filtering_; }
  bool Shows(const cXmlNode* el) const { return shown_.count(el) > 0; }
  // A value stored from the edit box (path without the leading dot).
  void ValueStored(TextView langId, TextView path, TextView before, TextView after, bool existed);
  // Runs a command that may change whole languages and records what it changed as one step.
  bool RecordLangs(cUndoHistory::Kind kind, const std::function<bool()>& command);
  // After saving: clean languages are at their saved state.
  void Saved();
  // Another tool or a directly opened file: nothing of the former history applies.
  void DocumentChanged() { history_.Clear(); }
  void Undo() { UndoRedo(true); }
  void Redo() { UndoRedo(false); }
  // The next or previous string in tree order (of the shown ones while filtering).
  void StepString(bool forward);
  // The next or previous empty or missing string of the language being edited.
  void StepEmpty(bool forward);
  void CopyEnglish();
  void OpenFind();
  void CloseFind();
  void StepMatch(bool forward);
  // The language whose row is selected (else the one edited last), empty when none.
  Text EditedLang() const;
  void UpdateStatus();
  // Selects the string at `path` (below the language elements) and the row of `langId`.
  void SelectString(TextView path, TextView langId);

  // --- layout and recent files -----------------------------------------------------------
  void RestoreLayout();
  void SaveLayout();
  // The tool and languages to reload at start; false when nothing was remembered.
  bool RestoreWork();
  void AddRecent(TextView path);
  std::vector<Text> RecentFiles() const;
  static constexpr size_t kMaxRecent = 10;

 private:
  void BuildUi();
  void RebuildLangCombo();
  // Works out the shown strings; with `show` the tree is redrawn from them.
  void ApplyFilter(bool show = true);
  void UndoRedo(bool undo);
  void RebuildRecentMenu();
  void RefreshGroups();
  std::vector<Text> ShownPaths() const;
  Text SelectedPath() const;

  frmMain& w_;
  cStringFilter filter_;
  cLangStats stats_;
  cUndoHistory history_;
  bool filtering_ = false;
  std::unordered_set<const cXmlNode*> shown_;
  std::vector<size_t> matches_;
  std::vector<Text> loadedIds_;
  QShortcut* escFind_ = nullptr;
  std::unique_ptr<QObject> ctx_;
};
