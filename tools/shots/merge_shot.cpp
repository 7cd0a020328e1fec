// The conflict dialog in the running editor: French of a copy of a suite loaded, strings
// edited here, the same strings changed in the file by another program, then "Save all".
// The dialog is grabbed alone and with the screen behind it, then cancelled.
// Usage: ksv_merge_shot <suite root> <dialog png> [<screen png>]
#include <QApplication>
#include <QElapsedTimer>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

#include "app/mConfig.h"
#include "forms/frmMain.h"
#include "tools/shots/ShotWindow.h"
#include "forms/frmMergeConflicts.h"
#include "platform/MsgBox.h"
#include "platform/QtText.h"

namespace {
void Settle() {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < 400) QApplication::processEvents(QEventLoop::AllEvents, 20);
}
// French's text of a string in the file, as another program would change it.
void SetOnDisk(const std::string& file, const std::string& tag, const std::string& value) {
  std::stringstream in;
  in << std::ifstream(file, std::ios::binary).rdbuf();
  std::string s = in.str();
  size_t open = s.find("<" + tag + ">", s.find("<fr ")) + tag.size() + 2;
  s.replace(open, s.find("</" + tag + ">", open) - open, value);
  std::ofstream(file, std::ios::binary | std::ios::trunc) << s;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s <suite root> <dialog png> [<screen png>]\n", argv[0]);
    return 2;
  }
  QApplication app(argc, argv);
  std::string root = shots::CopySuite(argv[1], "ksv_merge_shot", platform::vbYes);
  std::string fr = root + "/KestrovaTools/KestrovaMenu/Languages/KestrovaMenu_fr.xml";
  bool shown = false, ok = false;
  {
    frmMain w;
    if (shots::Start(w, root)) {
      shots::LoadLangs(w, {u"fr"});
      w.resize(900, 560);
      w.show();
      cLangEditor& ed = w.Editor();
      auto edit = [&](const char16_t* path, const char16_t* value) {
        ed.GetString(path);
        ed.LoadedLangs()->GetChildNode(path, false, false, u".")->Value(value);
      };
      edit(u"fr.Config.Labels.Title", u"Le menu Kestrova");
      edit(u"fr.Config.Labels.Welcome", u"Bienvenue dans Kestrova !\\nUn outil, ci-dessous.");
      edit(u"fr.Menu.File.Quit", u"Fermer");
      ed.MarkDirty(u"fr");
      SetOnDisk(fr, "Title", "Menu Kestrova");
      SetOnDisk(fr, "Welcome", "Bienvenue !\\nChoisissez un outil.");
      SetOnDisk(fr, "Quit", "");
      SetOnDisk(fr, "Error", "Erreur : %s");  // only on disk: merged without a question
      Settle();
      frmMergeConflicts::SetShowHandler([&](frmMergeConflicts& d) {
        shown = true;
        d.SetTakeTheirs(1, true);
        d.move(w.x() + 20, w.y() + 120);
        d.show();
        Settle();
        ok = d.grab().save(QString::fromLocal8Bit(argv[2]));
        if (argc > 3) ok = QApplication::primaryScreen()->grabWindow(0).save(QString::fromLocal8Bit(argv[3])) && ok;
        d.cmdCancel->click();
      });
      w.mnuSave->trigger();
    }
  }
  std::filesystem::remove_all(root);
  std::printf("%s %s\n", shown && ok ? "wrote" : "failed", argv[2]);
  return shown && ok ? 0 : 1;
}
