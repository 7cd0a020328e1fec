#pragma once
// "Add language": the new language's ID (typed, or picked from the known locales) and its
// English name.
#include <QDialog>
#include <functional>

#include "platform/Text.h"

class QLabel;
class QLineEdit;
class QPushButton;
class ctlTextEdit;

class frmNewLang : public QDialog {
 public:
  explicit frmNewLang(QWidget* owner);

  // Shows the dialog on the given values; on OK they receive the boxes' texts and the
  // result is true. Cancel and closing the window give false.
  static bool Ask(QWidget* owner, Text& langId, Text& enName);
  // Tests answer the dialog: the handler runs in place of the modal loop and may fill the
  // boxes and click OK or "&Cancel"; without a click it counts as Cancel.
  using Handler = std::function<void(frmNewLang&)>;
  static Handler SetShowHandler(Handler h);

  // OK is offered only while the trimmed ID is not empty.
  void txtLangID_Change();
  // Opens the language selection and copies the chosen tag and language name.
  void cmdSelectLang_Click();

  QLabel* lblLangID = nullptr;
  QLineEdit* txtLangID = nullptr;
  QPushButton* cmdSelectLang = nullptr;
  QLabel* lblEnName = nullptr;
  ctlTextEdit* txtEnLAngName = nullptr;
  QPushButton* cmdOK = nullptr;
  QPushButton* cmdCancel = nullptr;
};
