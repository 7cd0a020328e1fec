// Spelling in the running editor on a copy of the demo suite: for French, German, Brazilian
// Portuguese and English a string is edited with a misspelling typed at its end and the
// window grabbed; French's marked word then gets its context menu, grabbed with the screen
// (run under a virtual display: the menu is a window of its own).
// Usage: ksv_spell_shot <suite root> <png prefix>
// (writes <prefix>_<lang>.png, <prefix>_fr_zoom.png, <prefix>_menu.png)
#include <QApplication>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScreen>
#include <cstdio>
#include <filesystem>
#include <string>

#include "controls/ctlTextEdit.h"
#include "controls/ctlXmlTree.h"
#include "forms/frmMain.h"
#include "platform/MsgBox.h"
#include "platform/QtText.h"
#include "tools/shots/ShotWindow.h"

namespace {
void Settle() {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < 400) QApplication::processEvents(QEventLoop::AllEvents, 20);
}
cVisualNode* Find(cVisualNode* n, const Text& name) {
  if (n->XmlNode && n->XmlNode->Name() == name) return n;
  for (long i = 1; i <= n->ChildCount(); ++i)
    if (cVisualNode* f = Find(n->Child(i), name)) return f;
  return nullptr;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s <suite root> <png prefix>\n", argv[0]);
    return 2;
  }
  QApplication app(argc, argv);
  std::string root = shots::CopySuite(argv[1], "ksv_spell_shot", platform::vbNo);
  std::string prefix = argv[2];
  int rc = 1;
  {
    frmMain w;
    if (shots::Start(w, root)) {
      shots::LoadLangs(w);
      w.resize(900, 560);
      w.show();
      if (cVisualNode* item = Find(w.XmlTree->Tree(), u"Welcome")) w.XmlTree->SelectNode(item);
      auto* edit = qobject_cast<QPlainTextEdit*>(w.txtValue->hWnd());
      struct Typed {
        const char16_t* lang;
        const char* tail;
      } typed[] = {{u"de", " Viel Spaß beim Übersetzn."},
                   {u"pt-BR", " Boa tradusão com o Kestrova."},
                   {u"en", " Have a nice translaton."},
                   {u"fr", " Bonne traducion avec Kestrova."}};
      rc = 0;
      for (const Typed& t : typed) {
        for (long i = 1; i <= w.Editor().LoadedLangs()->ChildCount(); ++i)
          if (w.Editor().LoadedLangs()->Child(i)->Name() == t.lang) w.lstValues->setCurrentRow(static_cast<int>(i - 1));
        edit->setFocus();
        edit->moveCursor(QTextCursor::End);
        edit->insertPlainText(QString::fromUtf8(t.tail));  // as typed: the box reports each change
        Settle();
        if (!w.grab().save(QString::fromStdString(prefix + "_" + txt::ToUtf8(t.lang) + ".png"))) rc = 1;
      }
      // French stays in the box: its first lines enlarged, then the context menu of the
      // misspelling typed last.
      QPixmap top = w.txtValue->grab(QRect(0, 0, 400, 40));
      if (!top.scaled(top.size() * 3).save(QString::fromStdString(prefix + "_fr_zoom.png"))) rc = 1;
      const auto& marks = w.txtValue->Underlines();
      if (marks.size() >= 2) {
        QTextCursor at = edit->textCursor();
        long pos = marks[marks.size() - 2].first + 2;
        at.setPosition(static_cast<int>(ctlTextEdit::FromCrLfPos(qtxt::FromQ(edit->toPlainText()), pos)));
        QPoint p = edit->cursorRect(at).center();
        QContextMenuEvent ev(QContextMenuEvent::Mouse, p, edit->viewport()->mapToGlobal(p));
        QApplication::sendEvent(edit->viewport(), &ev);
        Settle();
        QPixmap screen = QGuiApplication::primaryScreen()->grabWindow(0);
        QRect area = w.frameGeometry().united(QApplication::activePopupWidget() ? QApplication::activePopupWidget()->geometry() : QRect());
        if (!screen.copy(area).save(QString::fromStdString(prefix + "_menu.png"))) rc = 1;
      } else {
        std::fprintf(stderr, "nothing underlined in French\n");
        rc = 1;
      }
    }
  }
  std::filesystem::remove_all(root);
  return rc;
}
