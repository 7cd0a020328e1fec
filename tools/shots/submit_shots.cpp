// Opens the submission dialog on a suite, grabs each page to PNG and packs one language
// through the ZIP button. Usage: ksv_submit_shots <suite root> <output folder> [language id]
#include <QApplication>
#include <QComboBox>
#include <QListWidget>
#include <QPixmap>
#include <cstdio>
#include <string>

#include "app/mConfig.h"
#include "controls/ctlTextEdit.h"
#include "platform/MsgBox.h"
#include "platform/QtText.h"
#include "forms/frmSubmit.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s <suite root> <output folder> [language id]\n", argv[0]);
    return 2;
  }
  Text root = txt::FromUtf8(std::string(argv[1]) + "/");
  std::string out = argv[2];
  Text lang = txt::FromUtf8(argc > 3 ? argv[3] : "fr");
  mConfig::SetConfigPath(txt::FromUtf8(out + "/KsvLangEditor.xml"));

  Text archiveMessage;
  platform::SetMsgBoxHandler([&](const platform::MsgBoxRequest& r) {
    std::printf("message: %s\n", txt::ToUtf8(r.text).c_str());
    archiveMessage = r.text;
    return static_cast<int>(platform::vbOK);
  });

  frmSubmit f;
  f.Submission().ProgramFolder(txt::FromUtf8(out + "/"));
  f.Form_Load(root);
  f.show();
  for (int i = 0; i < f.cmbLangs->count(); ++i)
    if (f.cmbLangs->itemText(i).endsWith(QStringLiteral("[") + qtxt::ToQ(lang) + QStringLiteral("]")))
      f.cmbLangs->setCurrentIndex(i);
  f.cmbLangs_Click();
  f.txtAuthorName->SetText(u"Anne Martin");
  f.txtAuthorEmail->SetText(u"anne@example.org");
  f.txtAuthorID->SetText(u"T-42");
  f.txtComments->SetText(u"Relu deux fois.\r\nMerci !");
  app.processEvents();

  f.ShowZipPage();
  app.processEvents();
  f.grab().save(QString::fromStdString(out + "/submit_zip_page.png"));
  f.ShowSubmitPage();
  app.processEvents();
  f.grab().save(QString::fromStdString(out + "/submit_upload_page.png"));

  f.ShowZipPage();
  f.cmdZIP_Click();
  Text prefix = u"The files have been compressed in the following archive:\r\n\r\n";
  if (archiveMessage.rfind(prefix, 0) != 0) return 1;
  std::printf("archive: %s\n", txt::ToUtf8(archiveMessage.substr(prefix.size())).c_str());
  return 0;
}
