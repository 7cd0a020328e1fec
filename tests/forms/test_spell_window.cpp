// Spelling in the edit box, with the system's French dictionary: typing underlines, the
// context menu and Ctrl+. correct, a language without a dictionary is named once.
#include <QContextMenuEvent>
#include <QDockWidget>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTest>
#include <QTreeWidget>

#include "forms/cProblemsPanel.h"
#include "forms/cSpellAssist.h"
#include "tests/forms/FormsFixture.h"

namespace {

class SpellWindow : public FormsFixture {
 protected:
  // Selects a string and the row of `lang`, ready for typing at the end of its text.
  void Edit(const Text& name, const Text& lang) {
    win->XmlTree->SelectNode(FindItem(win->XmlTree->Tree(), name));
    for (long i = 1; i <= win->Editor().LoadedLangs()->ChildCount(); ++i)
      if (win->Editor().LoadedLangs()->Child(i)->Name() == lang) win->lstValues->setCurrentRow(static_cast<int>(i - 1));
    win->txtValue->hWnd()->setFocus();
  }
};

TEST_F(SpellWindow, TypingUnderlinesAndCorrectionsGoThroughTheEdit) {
  StartTool({"fr"});
  ASSERT_TRUE(win->Spelling().Checker().HasDictionary(u"fr")) << "tools/install-deps.sh installs hunspell-fr";
  Activate();
  Edit(u"Save", u"fr");
  auto* edit = qobject_cast<QPlainTextEdit*>(win->txtValue->hWnd());
  ASSERT_NE(edit, nullptr);
  QTest::keyClicks(edit, " le fichierr");
  EXPECT_EQ(Value("fr.Menu.File.Save"), "Enregistrer le fichierr");
  EXPECT_EQ(win->txtValue->Underlines(), (std::vector<std::pair<long, long>>{{15, 8}}));
  QTest::keyClick(edit, Qt::Key_Period, Qt::ControlModifier);
  EXPECT_EQ(Value("fr.Menu.File.Save"), "Enregistrer le fichier");
  EXPECT_TRUE(win->txtValue->Underlines().empty());
  EXPECT_EQ(win->Editor().FindLangEntry(u"fr")->Attribut(u"dirty"), u"yes");

  // The context menu of a marked word: suggestions first, then the dictionary's commands.
  QTest::keyClicks(edit, " zorglubb");
  ASSERT_EQ(win->txtValue->Underlines().size(), 1u);
  QTextCursor at = edit->textCursor();
  at.setPosition(25);
  QPoint p = edit->cursorRect(at).center();
  QContextMenuEvent ev(QContextMenuEvent::Mouse, p, edit->viewport()->mapToGlobal(p));
  QApplication::sendEvent(edit->viewport(), &ev);
  auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
  ASSERT_NE(menu, nullptr);
  QList<QAction*> items = menu->actions();
  auto ignore = std::find_if(items.begin(), items.end(), [](QAction* a) { return a->text() == "Ignore"; });
  ASSERT_NE(ignore, items.end());
  EXPECT_EQ((*(ignore - 1))->text(), "Add to dictionary");
  EXPECT_LE(ignore - items.begin(), 1 + 8 + 1);  // at most 8 suggestions and a separator
  EXPECT_GT(items.end() - ignore, 2);           // the edit's own items follow
  (*ignore)->trigger();
  menu->close();
  EXPECT_TRUE(win->txtValue->Underlines().empty());
  EXPECT_EQ(Value("fr.Menu.File.Save"), "Enregistrer le fichier zorglubb");

  // "Check spelling" lists the language's strings with unknown words in the Problems panel,
  // and the list follows the typing.
  QTest::keyClicks(edit, " fichierr");
  cProblemsPanel& panel = win->Problems();
  auto listed = [&](const QString& lang, const QString& key) {
    for (int i = 0; i < panel.lstProblems->topLevelItemCount(); ++i)
      if (QTreeWidgetItem* it = panel.lstProblems->topLevelItem(i);
          it->text(0) == lang && it->text(1) == key && it->text(2) == "spelling")
        return true;
    return false;
  };
  win->Spelling().mnuCheckSpelling->trigger();
  QTRY_VERIFY(!panel.Dock->isHidden());
  EXPECT_TRUE(listed("fr", "Menu.File.Save"));
  Activate();  // the context menu took it
  edit->setFocus();
  QTest::keyClick(edit, Qt::Key_Period, Qt::ControlModifier);
  EXPECT_EQ(Value("fr.Menu.File.Save"), "Enregistrer le fichier zorglubb fichier");
  QTRY_VERIFY(!listed("fr", "Menu.File.Save"));
}

TEST_F(SpellWindow, LanguageWithoutDictionaryIsNamedOnceAndNotChecked) {
  std::string fr = testutil::ReadAll(Menu("KestrovaMenu_fr.xml"));
  for (auto [from, to] : {std::pair{"<fr ", "<ja "}, std::pair{"</fr>", "</ja>"}})
    fr.replace(fr.find(from), std::string(from).size(), to);
  testutil::WriteAll(Menu("KestrovaMenu_ja.xml"), fr);
  ASSERT_TRUE(Start());
  std::vector<std::string> notes;
  QObject::connect(win->statusBar(), &QStatusBar::messageChanged,
                   [&](const QString& m) { if (!m.isEmpty()) notes.push_back(m.toStdString()); });
  UseTool({"ja"});
  for (const char16_t* name : {u"Save", u"Open", u"Save"}) {
    Edit(name, u"ja");
    QTest::keyClicks(win->txtValue->hWnd(), " fote");
    EXPECT_TRUE(win->txtValue->Underlines().empty());
  }
  EXPECT_EQ(notes, std::vector<std::string>{"no Japanese dictionary installed: apt install hunspell-ja"});
}

}  // namespace
