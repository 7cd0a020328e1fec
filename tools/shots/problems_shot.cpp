// Grabs the main window with the Problems panel open on a copy of the demo suite: French,
// German and Brazilian Portuguese loaded, French's empty strings filled from English (so
// review marks show beside the checks), the first problem selected; then, when a second png
// is named, after "Check spelling" over every loaded language:
// problems_shot <demo suite folder> <png> [<spelling png>]
#include <QApplication>
#include <QDockWidget>
#include <QListWidget>
#include <QPushButton>
#include <QTreeWidget>
#include <cstdio>
#include <filesystem>

#include "controls/ctlXmlTree.h"
#include "forms/cProblemsPanel.h"
#include "forms/cSpellAssist.h"
#include "forms/frmLangSelector.h"
#include "forms/frmMain.h"
#include "platform/MsgBox.h"
#include "platform/QtText.h"
#include "tools/shots/ShotWindow.h"

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  QApplication app(argc, argv);
  std::string root = shots::CopySuite(argv[1], "ksv_problems_shot", platform::vbOK);
  int rc = 1;
  {
    frmMain w;
    if (shots::Start(w, root)) {
      shots::LoadLangs(w, {u"fr", u"de", u"pt-BR"});
      frmLangSelector::SetShowHandler([](frmLangSelector& d) {
        d.lstLanguages->setCurrentRow(0);  // English
        d.cmdOK->click();
      });
      const XmlNodePtr& langs = w.Editor().LoadedLangs();
      for (long i = 1; i <= langs->ChildCount(); ++i)
        if (langs->Child(i)->Name() == u"fr") w.mnuFillEmptyStringsChoice[static_cast<size_t>(i)]->trigger();
      w.resize(1000, 700);
      w.Problems().Toggle();
      w.Problems().Next();
      for (int i = 0; i < 20; ++i) QApplication::processEvents();
      rc = w.grab().save(QString::fromLocal8Bit(argv[2])) ? 0 : 1;
      std::printf("problems listed: %d\n", w.Problems().lstProblems->topLevelItemCount());
      if (argc > 3 && rc == 0) {
        w.lstValues->setCurrentRow(-1);  // no language being edited: every loaded one
        w.Spelling().mnuCheckSpelling->trigger();
        for (int i = 0; i < 200; ++i) QApplication::processEvents();
        rc = w.grab().save(QString::fromLocal8Bit(argv[3])) ? 0 : 1;
        std::printf("with spelling: %d\n", w.Problems().lstProblems->topLevelItemCount());
      }
    }
  }
  std::filesystem::remove_all(root);
  return rc;
}
