// Grabs the main window on a copy of the demo suite with English, French and German loaded
// and a string selected: main_window_shot <demo suite folder> <png> [fill|find]. With "fill", a
// string French lacks is selected and French's empty strings are filled from English first;
// with "find", the find bar filters the tree on "it" with the status bar and source pane shown.
#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <filesystem>
#include <unistd.h>

#include "app/mConfig.h"
#include "controls/ctlXmlTree.h"
#include "forms/cWorkbench.h"
#include "forms/frmLangSelector.h"
#include "forms/frmMain.h"
#include "tools/shots/ShotWindow.h"
#include "forms/frmReadme.h"
#include "platform/MsgBox.h"
#include "platform/QtText.h"

namespace {
cVisualNode* Find(cVisualNode* n, const Text& name) {
  if (n->XmlNode && n->XmlNode->Name() == name) return n;
  for (long i = 1; i <= n->ChildCount(); ++i)
    if (cVisualNode* f = Find(n->Child(i), name)) return f;
  return nullptr;
}
void ExpandAll(cVisualNode* n) {
  if (n->ChildCount() > 0) n->Expanded(true);
  for (long i = 1; i <= n->ChildCount(); ++i) ExpandAll(n->Child(i));
}
}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  QApplication app(argc, argv);
  std::string root = shots::CopySuite(argv[1], "ksv_shot", platform::vbOK);
  int rc = 1;
  {
    frmMain w;
    if (shots::Start(w, root)) {
      shots::LoadLangs(w, {u"fr", u"de"});
      w.resize(900, 560);
      ExpandAll(w.XmlTree->Tree());
      w.XmlTree->RefreshTreeView();
      bool fill = argc > 3 && std::string(argv[3]) == "fill";
      if (cVisualNode* item = Find(w.XmlTree->Tree(), fill ? u"Updated" : u"Welcome")) w.XmlTree->SelectNode(item);
      int french = 0;
      for (long i = 1; i <= w.Editor().LoadedLangs()->ChildCount(); ++i)
        if (w.Editor().LoadedLangs()->Child(i)->Name() == u"fr") french = static_cast<int>(i);
      w.lstValues->setCurrentRow(fill ? french - 1 : 1);
      if (fill && french > 0) {
        frmLangSelector::SetShowHandler([](frmLangSelector& d) {
          d.lstLanguages->setCurrentRow(0);  // English
          d.cmdOK->click();
        });
        w.mnuFillEmptyStringsChoice[static_cast<size_t>(french)]->trigger();
      }
      if (argc > 3 && std::string(argv[3]) == "find") {
        w.Workbench().OpenFind();
        w.Workbench().txtFind->setText(QStringLiteral("it"));
        if (cVisualNode* item = Find(w.XmlTree->Tree(), u"Exit")) w.XmlTree->SelectNode(item);
        w.lstValues->setCurrentRow(1);
      }
      for (int i = 0; i < 20; ++i) QApplication::processEvents();
      rc = w.grab().save(QString::fromLocal8Bit(argv[2])) ? 0 : 1;
    }
  }
  std::filesystem::remove_all(root);
  return rc;
}
