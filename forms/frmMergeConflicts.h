#pragma once
// Strings changed both here and on disk since the language was loaded: one row per string
// with the loaded text, the file's and ours, and per row "Keep mine" or "Take theirs".
// OK answers every row; Cancel leaves the answers and the save alone.
#include <QDialog>
#include <functional>
#include <vector>

#include "langedit/cLangMerge.h"
#include "platform/Text.h"

class QLabel;
class QPushButton;
class QRadioButton;
class QTableWidget;

class frmMergeConflicts : public QDialog {
 public:
  frmMergeConflicts(QWidget* owner, TextView file, TextView langId, const std::vector<cLangMerge::Conflict>& conflicts);

  // Row (0-based) answered "Take theirs".
  bool TakesTheirs(int row) const;
  void SetTakeTheirs(int row, bool theirs);
  void SetAll(bool theirs);

  // Shows the dialog modally and writes the answers into `conflicts` on OK; false on
  // Cancel or closing, the conflicts untouched.
  static bool Resolve(QWidget* owner, TextView file, TextView langId, std::vector<cLangMerge::Conflict>& conflicts);
  // Tests answer the dialog: the handler runs in place of the modal loop and clicks; without
  // a click it counts as Cancel.
  using Handler = std::function<void(frmMergeConflicts&)>;
  static Handler SetShowHandler(Handler h);

  QLabel* lblInfo = nullptr;
  QTableWidget* tblConflicts = nullptr;
  QPushButton* cmdKeepAllMine = nullptr;
  QPushButton* cmdTakeAllTheirs = nullptr;
  QPushButton* cmdOK = nullptr;
  QPushButton* cmdCancel = nullptr;

 private:
  struct RowChoice {
    QRadioButton* mine;
    QRadioButton* theirs;
  };
  std::vector<RowChoice> rows_;
};
