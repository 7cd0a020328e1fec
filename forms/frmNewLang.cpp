#include "forms/frmNewLang.h"
#include "forms/frmOkCancel.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "controls/ctlTextEdit.h"
#include "forms/frmLangSelect.h"
#include "platform/AppIcon.h"
#include "platform/ErrLog.h"
#include "platform/QtText.h"
#include "storage/mStringTools.h"

using qtxt::FromQ;
using qtxt::ToQ;

namespace {
frmNewLang::Handler& ShowHandler() {
  static frmNewLang::Handler h;
  return h;
}
}  // namespace

frmNewLang::frmNewLang(QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("frmNewLang"));
  platform::SetAppIcon(this);
  setWindowTitle(QStringLiteral("Add language"));
  setModal(true);
  auto* grid = new QGridLayout(this);
  lblLangID = new QLabel(QStringLiteral("Language ID :"), this);
  txtLangID = new QLineEdit(this);
  txtLangID->setObjectName(QStringLiteral("txtLangID"));
  cmdSelectLang = new QPushButton(QStringLiteral("..."), this);
  cmdSelectLang->setObjectName(QStringLiteral("cmdSelectLang"));
  cmdSelectLang->setToolTip(QStringLiteral("Language selection"));
  cmdSelectLang->setFixedWidth(cmdSelectLang->fontMetrics().horizontalAdvance(QStringLiteral("...")) + 24);
  lblEnName = new QLabel(QStringLiteral("English name :"), this);
  txtEnLAngName = new ctlTextEdit(this);
  txtEnLAngName->setObjectName(QStringLiteral("txtEnLAngName"));
  lblLangID->setBuddy(txtLangID);

  grid->addWidget(lblLangID, 0, 0);
  auto* idRow = new QHBoxLayout();
  idRow->addWidget(txtLangID, 1);
  idRow->addWidget(cmdSelectLang);
  grid->addLayout(idRow, 0, 1);
  grid->addWidget(lblEnName, 1, 0);
  grid->addWidget(txtEnLAngName, 1, 1);

  QHBoxLayout* buttons = MakeOkCancelRow(this, cmdOK, cmdCancel);
  grid->addLayout(buttons, 2, 0, 1, 2);
  grid->setColumnStretch(1, 1);

  connect(cmdSelectLang, &QPushButton::clicked, this, [this] { cmdSelectLang_Click(); });
  connect(txtLangID, &QLineEdit::textChanged, this, [this] { txtLangID_Change(); });
  txtLangID_Change();
  resize(340, sizeHint().height());
}

void frmNewLang::txtLangID_Change() {
  cmdOK->setEnabled(!mStringTools::xTrim(FromQ(txtLangID->text())).empty());
}

void frmNewLang::cmdSelectLang_Click() {
  try {
    XmlNodePtr rec = frmLangSelect::Choose(this);
    if (!rec) return;
    txtLangID->setText(ToQ(rec->Attribut(u"ISO")));
    txtEnLAngName->SetText(rec->Attribut(u"LNAME"));
  } catch (const std::exception& e) {
    ErrLog::Exception("frmNewLang.cmdSelectLang_Click", e.what());
  }
}

bool frmNewLang::Ask(QWidget* owner, Text& langId, Text& enName) {
  try {
    frmNewLang dlg(owner);
    dlg.txtLangID->setText(ToQ(langId));
    dlg.txtEnLAngName->SetText(enName);
    if (auto& h = ShowHandler()) {
      dlg.setResult(QDialog::Rejected);
      h(dlg);
    } else {
      dlg.exec();
    }
    // A click on a disabled OK cannot happen in the window; keep the rule for scripts too.
    if (dlg.result() != QDialog::Accepted || !dlg.cmdOK->isEnabled()) return false;
    langId = FromQ(dlg.txtLangID->text());
    enName = dlg.txtEnLAngName->GetText();
    return true;
  } catch (const std::exception& e) {
    ErrLog::Exception("frmNewLang.Ask", e.what());
    return false;
  }
}

frmNewLang::Handler frmNewLang::SetShowHandler(Handler h) {
  Handler old = ShowHandler();
  ShowHandler() = std::move(h);
  return old;
}
