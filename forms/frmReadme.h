#pragma once
// The translation instructions, shown modally at every start and from "&Read me".
#include <QDialog>
#include <functional>

#include "platform/Text.h"

class ctlTextEdit;
class QPushButton;

class frmReadme : public QDialog {
 public:
  explicit frmReadme(QWidget* owner);

  static Text ReadmeText();
  // Shows the dialog modally; tests replace the way it is shown (nothing may wait for a person).
  static void ShowModal(QWidget* owner);
  using Handler = std::function<void(frmReadme&)>;
  static Handler SetShowHandler(Handler h);

  ctlTextEdit* txtReadMe = nullptr;
  QPushButton* cmdOK = nullptr;
};
