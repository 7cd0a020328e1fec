// Shows the conflict dialog for French of a suite, with strings changed on both sides as a
// colleague and a translator would, and grabs it to PNG.
// Usage: ksv_merge_shot <suite root> <output file>
#include <QApplication>
#include <QElapsedTimer>
#include <QPixmap>
#include <cstdio>
#include <string>

#include "forms/frmMergeConflicts.h"
#include "langedit/mLangFiles.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s <suite root> <output file>\n", argv[0]);
    return 2;
  }
  Text file = txt::FromUtf8(std::string(argv[1]) + "/KestrovaTools/KestrovaMenu/Languages/KestrovaMenu_fr.xml");
  XmlNodePtr doc;
  XmlNodePtr languages = mLangFiles::ReadLanguagesFile(file, doc);
  XmlNodePtr base = languages ? languages->GetChildNode(u"fr", false, true) : nullptr;
  if (!base) {
    std::fprintf(stderr, "no French language in %s\n", txt::ToUtf8(file).c_str());
    return 1;
  }
  XmlNodePtr theirs = base->Clone(), ours = base->Clone();
  theirs->GetChildNode(u"Config.Labels.Title", true)->Value(u"Menu Kestrova");
  ours->GetChildNode(u"Config.Labels.Title", true)->Value(u"Le menu Kestrova");
  theirs->GetChildNode(u"Config.Labels.Welcome", true)->Value(u"Bienvenue !\\nChoisissez un outil.");
  ours->GetChildNode(u"Config.Labels.Welcome", true)->Value(u"Bienvenue dans Kestrova !\\nUn outil, ci-dessous.");
  theirs->GetChildNode(u"Menu.File.Quit", true)->Value(u"");
  ours->GetChildNode(u"Menu.File.Quit", true)->Value(u"Fermer");
  theirs->Attribut(u"version", u"3.1");
  ours->Attribut(u"version", u"3.0b");
  theirs->GetChildNode(u"Messages.Error", true)->Value(u"Erreur : %s");  // only theirs: merged, not asked
  cLangMerge merge(base, theirs, ours);
  merge.Conflicts()[1].takeTheirs = true;

  frmMergeConflicts dlg(nullptr, file, u"fr", merge.Conflicts());
  dlg.show();
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < 300) QApplication::processEvents(QEventLoop::AllEvents, 20);
  bool ok = dlg.grab().save(QString::fromUtf8(argv[2]));
  std::printf("%s %s (%zu conflicts)\n", ok ? "wrote" : "failed", argv[2], merge.Conflicts().size());
  return ok ? 0 : 1;
}
