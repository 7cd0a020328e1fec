#include "forms/frmReadme.h"

#include <QPushButton>
#include <QVBoxLayout>

#include "controls/ctlTextEdit.h"
#include "platform/AppIcon.h"
#include "platform/QtText.h"

namespace {
frmReadme::Handler& ShowHandler() {
  static frmReadme::Handler h;
  return h;
}
}  // namespace

Text frmReadme::ReadmeText() {
  static const char16_t* const lines[] = {
      u"Kestrova Translation Instructions (Last Updated 2010-09-15)",
      u"",
      u"1. Copy KsvLangEditor.exe available in this archive file in the KestrovaTools directory",
      u"",
      u"2. Before starting any translation, you should be sure to have the last release of Kestrova installed "
      u"(which contains last language files)",
      u"",
      u"3. Launch KsvLangEditor.exe",
      u"Under the File menu, all files to translate are listed (Kestrova Menu, Kestrova Setup etc.)",
      u"By default, English language files are loaded",
      u"",
      u"You have two possibilities :",
      u"",
      u"A - Add a new language (only if it doesn't already exist)",
      u"Go to Edition Menu, Add Language (fill all fields for the new language, you can later complete fields in "
      u"the menu Edition, Language Properties).",
      u"When the language is added, if you select a software to translate in the File Menu, for each line to "
      u"translate, red mean still not transtaled in your new language, orange: same string than original language "
      u"(default english), black: translated.",
      u"",
      u"B - Modify an existing translation (to improve it or to complete not translated parts)",
      u"Go to Edition Menu, Load Language and select the language to modify.",
      u"Go to File Menu, select the software which need translation modification, Save all changes",
      u"",
      u"4. Share the translation.",
      u"Go to Tools, Submit your translation",
      u"To be published in Kestrova, you agree that your contribution can be used in all environnements "
      u"(commercial or non commercial use).",
      u"Credits about your translation will be displayed in Kestrova.",
  };
  Text t;
  for (size_t i = 0; i < std::size(lines); ++i) {
    if (i) t += u"\r\n";
    t += lines[i];
  }
  return t;
}

frmReadme::frmReadme(QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("frmReadme"));
  platform::SetAppIcon(this);
  setWindowTitle(QStringLiteral("Read Me"));
  setModal(true);
  auto* layout = new QVBoxLayout(this);
  txtReadMe = new ctlTextEdit(this);
  txtReadMe->MultiLine(true);
  txtReadMe->ScrollBars(2);
  txtReadMe->Locked(true);
  txtReadMe->SetText(ReadmeText());
  layout->addWidget(txtReadMe, 1);
  cmdOK = new QPushButton(QStringLiteral("I have read and understood the instructions above"), this);
  cmdOK->setDefault(true);
  connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);
  layout->addWidget(cmdOK, 0, Qt::AlignHCenter);
  resize(620, 440);
}

void frmReadme::ShowModal(QWidget* owner) {
  frmReadme dlg(owner);
  if (auto& h = ShowHandler()) {
    h(dlg);
    return;
  }
  dlg.exec();
}

frmReadme::Handler frmReadme::SetShowHandler(Handler h) {
  Handler old = ShowHandler();
  ShowHandler() = std::move(h);
  return old;
}
