// Shows the language-management dialogs on a suite and grabs each to PNG.
// Usage: ksv_manage_shots <suite root> <output folder>
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <cstdio>
#include <string>

#include "langedit/cLangEditor.h"
#include "langedit/mLangFiles.h"
#include "forms/frmLangProperties.h"
#include "forms/frmLangSelect.h"
#include "forms/frmNewLang.h"
#include "platform/QtText.h"

namespace {
bool Grab(QWidget& w, const std::string& path) {
  w.show();
  // Let the tree's resize timer run its layout before the picture is taken.
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < 300) QApplication::processEvents(QEventLoop::AllEvents, 20);
  bool ok = w.grab().save(QString::fromStdString(path));
  std::printf("%s %s\n", ok ? "wrote" : "failed", path.c_str());
  return ok;
}
}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s <suite root> <output folder>\n", argv[0]);
    return 2;
  }
  std::string root = std::string(argv[1]) + "/";
  std::string out = argv[2];
  bool ok = true;

  frmLangSelect select(nullptr);
  select.LoadLocales(u"040C");
  ok &= Grab(select, out + "/frmLangSelect.png");
  select.txtSearch->setText(QStringLiteral("isi"));
  ok &= Grab(select, out + "/frmLangSelect_search.png");

  frmNewLang add(nullptr);
  ok &= Grab(add, out + "/frmNewLang.png");

  Text file = txt::FromUtf8(root + "KestrovaTools/KestrovaMenu/Languages/KestrovaMenu_fr.xml");
  XmlNodePtr languages = mLangFiles::FindLanguages(mLangFiles::ReadXmlFile(file, false));
  XmlNodePtr fr = languages ? languages->FindNode(u"fr", false, true) : nullptr;
  if (!fr) {
    std::fprintf(stderr, "no French language in %s\n", txt::ToUtf8(file).c_str());
    return 1;
  }
  frmLangProperties props(nullptr, txt::FromUtf8(root));
  props.EditLangProperties(fr);
  ok &= Grab(props, out + "/frmLangProperties.png");
  props.lstContributors->setCurrentRow(1);
  ok &= Grab(props, out + "/frmLangProperties_second.png");
  return ok ? 0 : 1;
}
