#pragma once
// The language picker: a list of languages, each row remembering the index its caller gave
// it; OK hands that index back. The caption is the caller's.
#include <QDialog>
#include <functional>
#include <utility>
#include <vector>

#include "platform/Text.h"

class QLabel;
class QListWidget;
class QPushButton;

class frmLangSelector : public QDialog {
 public:
  explicit frmLangSelector(QWidget* owner);

  // Adds a row showing `caption` that answers `index` when chosen.
  void AddLang(TextView caption, long index);
  // The remembered index of the selected row, 0 when none.
  long SelectedIndex() const;

  // Shows the picker modally with `rows` (caption, index); the chosen row's index, or 0 on
  // Cancel, on closing the window, or on OK without a selection.
  static long Choose(QWidget* owner, TextView caption, const std::vector<std::pair<Text, long>>& rows);

  // Tests answer the picker instead of a person: the handler runs in place of the modal
  // loop and may select a row and click OK or "&Cancel"; without a click it counts as Cancel.
  using Handler = std::function<void(frmLangSelector&)>;
  static Handler SetShowHandler(Handler h);

  QLabel* lblLanguages = nullptr;
  QListWidget* lstLanguages = nullptr;
  QPushButton* cmdOK = nullptr;
  QPushButton* cmdCancel = nullptr;
};
