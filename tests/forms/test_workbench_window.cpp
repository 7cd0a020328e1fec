// The translator's workbench driven by keys: the find bar, undo and redo across strings,
// the moves between strings, the progress counts and the layout kept across a restart.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QToolBar>
#include <set>

#include "controls/VSplitter.h"
#include "forms/cWorkbench.h"
#include "forms/frmLangSelector.h"
#include "tests/forms/FormsFixture.h"
#include "tests/langedit/WrittenFile.h"

namespace {

const char kEnFr[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
    "<Languages version=\"0.3\">\r\n"
    "<en name=\"English\" en_name=\"English\" icon=\"en.png\" date=\"2020-01-01\">\r\n"
    "<Zeta><B>Bee</B><A>Ay</A></Zeta>\r\n"
    "<Alpha><Same>OK</Same><Diff>Hello</Diff><Empty>Nothing</Empty><Missing>Only English</Missing></Alpha>\r\n"
    "</en>\r\n"
    "<fr name=\"Fran\xc3\xa7" "ais\" en_name=\"French\" icon=\"fr.png\" date=\"2020-01-01\">\r\n"
    "<Zeta><B>B\xc3\xa9</B><A></A></Zeta>\r\n"
    "<Alpha><Same>OK</Same><Diff>Bonjour</Diff><Empty></Empty></Alpha>\r\n"
    "</fr>\r\n"
    "</Languages>\r\n";

// Dot paths (below the language) of the strings of one language in a file, with their texts.
void Leaves(pugi::xml_node n, const std::string& path, std::map<std::string, std::string>& out) {
  bool group = false;
  for (pugi::xml_node c : n.children())
    if (c.type() == pugi::node_element && std::string(c.name()) != "Contributors") {
      group = true;
      Leaves(c, path.empty() ? c.name() : path + "." + c.name(), out);
    }
  if (!group && !path.empty()) out[path] = n.child_value();
}

class WorkbenchWindow : public FormsFixture {
 protected:
  void SetUp() override {
    FormsFixture::SetUp();
    langDir = root + "/KestrovaTools/KestrovaMenu/Languages/";
    Hook(&frmLangSelector::SetShowHandler, [](frmLangSelector& d) {
      for (int i = 0; i < d.lstLanguages->count(); ++i)
        if (d.lstLanguages->item(i)->text() == QStringLiteral("English (en)")) d.lstLanguages->setCurrentRow(i);
      d.cmdOK->click();
    });
  }
  void UseEnFrOnly() {
    for (const char* f : {"KestrovaMenu_en.xml", "KestrovaMenu_fr.xml", "KestrovaMenu_de.xml", "KestrovaMenu_pt-BR.xml"})
      std::filesystem::remove(langDir + f);
    testutil::WriteAll(langDir + "KestrovaMenu_enfr.xml", kEnFr);
  }
  // Starts on the first tool with the language `id` loaded, the window active for keys.
  void StartWith(const std::string& id) {
    ASSERT_TRUE(Start());
    Activate();
    if (win->Editor().LoadedLangs()->ChildCount() == 0) win->mnuSelectToolChoice[1]->trigger();
    for (size_t i = 1; i < win->mnuLoadLanguageChoice.size(); ++i)
      if (win->mnuLoadLanguageChoice[i]->data().toString().toStdString() == id &&
          win->mnuLoadLanguageChoice[i]->isEnabled()) {
        win->mnuLoadLanguageChoice[i]->trigger();
        break;
      }
    ASSERT_NE(win->Editor().FindLangEntry(txt::FromUtf8(id)), nullptr);
  }
  void Activate() {
    win->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(win.get()));
  }
  void Key(int key, Qt::KeyboardModifiers mods = Qt::ControlModifier) {
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : win.get();
    QTest::keyClick(target, static_cast<Qt::Key>(key), mods);
  }
  std::string Selected() {
    cVisualNode* s = win->XmlTree->SelectedItem();
    return s ? txt::ToUtf8(s->XmlNode->Path(u"", u".", win->Editor().TreeDoc().get())) : "";
  }
  void Select(const std::string& path, int row) {
    XmlNodePtr el = win->Editor().TreeDoc()->GetChildNode(txt::FromUtf8(path), false, true);
    win->XmlTree->SelectNode(win->XmlTree->Tree()->FindNodeFromXML(el.get()));
    win->lstValues->setCurrentRow(row);
    win->txtValue->hWnd()->setFocus();
  }
  std::string Value(const std::string& path) { return txt::ToUtf8(win->Editor().GetString(txt::FromUtf8(path))); }
  bool Dirty(const Text& id) { return win->Editor().FindLangEntry(id)->Attribut(u"dirty") == u"yes"; }

  std::string langDir;
};

TEST_F(WorkbenchWindow, FindFiltersTheTreeAndEscapeKeepsTheEditAndSelection) {
  UseEnFrOnly();
  StartWith("fr");
  cWorkbench& wb = win->Workbench();
  Select("Alpha.Same", 1);
  Key(Qt::Key_F);
  ASSERT_TRUE(wb.FindBar->isVisible());
  QTest::keyClicks(wb.txtFind, "BONJ");  // case and accents do not matter
  EXPECT_EQ(FindItem(win->XmlTree->Tree(), u"Zeta"), nullptr);
  ASSERT_NE(FindItem(win->XmlTree->Tree(), u"Diff"), nullptr);
  EXPECT_EQ(FindItem(win->XmlTree->Tree(), u"Same"), nullptr);
  Key(Qt::Key_Return, Qt::NoModifier);
  EXPECT_EQ(Selected(), "Alpha.Diff");
  // Keys only and one language narrow the same query.
  wb.chkKeysOnly->setChecked(true);
  EXPECT_EQ(FindItem(win->XmlTree->Tree(), u"Diff"), nullptr);
  wb.chkKeysOnly->setChecked(false);
  wb.cboFindLang->setCurrentText(QStringLiteral("en"));
  EXPECT_EQ(FindItem(win->XmlTree->Tree(), u"Diff"), nullptr);
  wb.cboFindLang->setCurrentIndex(0);
  wb.txtFind->setText(QStringLiteral("e"));
  Select("Alpha.Diff", 1);
  wb.txtFind->setFocus();
  Key(Qt::Key_Return, Qt::NoModifier);
  EXPECT_EQ(Selected(), "Alpha.Empty");
  Key(Qt::Key_Return, Qt::ShiftModifier);
  EXPECT_EQ(Selected(), "Alpha.Diff");

  win->txtValue->hWnd()->setFocus();
  QTest::keyClicks(win->txtValue->hWnd(), "!");  // the caret waits at the end
  EXPECT_EQ(Value("fr.Alpha.Diff"), "Bonjour!");
  Key(Qt::Key_Escape, Qt::NoModifier);
  EXPECT_FALSE(wb.FindBar->isVisible());
  EXPECT_NE(FindItem(win->XmlTree->Tree(), u"Zeta"), nullptr);
  EXPECT_EQ(Selected(), "Alpha.Diff");
  EXPECT_EQ(win->lstValues->currentRow(), 1);
  EXPECT_EQ(Value("fr.Alpha.Diff"), "Bonjour!");
}

TEST_F(WorkbenchWindow, UndoAndRedoRestoreValuesAndDirtyMarksAcrossSaves) {
  UseEnFrOnly();
  StartWith("fr");
  Select("Alpha.Empty", 1);
  QTest::keyClicks(win->txtValue->hWnd(), "Rien");
  Select("Zeta.B", 1);
  QTest::keyClicks(win->txtValue->hWnd(), "e");
  EXPECT_TRUE(Dirty(u"fr"));
  Key(Qt::Key_Z);
  EXPECT_EQ(Value("fr.Zeta.B"), "B\xc3\xa9");
  Key(Qt::Key_Z);  // the whole word typed in one string is one step
  EXPECT_EQ(Value("fr.Alpha.Empty"), "");
  EXPECT_EQ(Selected(), "Alpha.Empty");
  EXPECT_EQ(win->txtValue->GetText(), u"");
  EXPECT_FALSE(Dirty(u"fr"));
  EXPECT_FALSE(CaptionDirty());
  Key(Qt::Key_Y);
  EXPECT_EQ(Value("fr.Alpha.Empty"), "Rien");
  EXPECT_TRUE(Dirty(u"fr"));
  EXPECT_TRUE(CaptionDirty());

  // A fill is one step; saving keeps the history and moves the clean point.
  Text beforeFill = win->Editor().LoadedLangs()->Child(2)->XmlData();
  win->mnuFillEmptyStringsChoice[2]->trigger();
  EXPECT_EQ(Value("fr.Alpha.Missing"), "Only English");
  answers.push_back(platform::vbYes);  // "Save changes in fr ?"
  Key(Qt::Key_S);
  EXPECT_FALSE(Dirty(u"fr"));
  WrittenFile saved(langDir + "KestrovaMenu_enfr.xml");
  ASSERT_TRUE(saved.ok);
  EXPECT_EQ(saved.Value("fr.Alpha.Missing"), "Only English");
  EXPECT_EQ(saved.Value("fr.Alpha.Empty"), "Rien");
  Key(Qt::Key_Z);
  EXPECT_EQ(win->Editor().LoadedLangs()->Child(2)->XmlData(), beforeFill);
  EXPECT_TRUE(Dirty(u"fr"));
  Key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(Value("fr.Alpha.Missing"), "Only English");
  EXPECT_FALSE(Dirty(u"fr"));
  EXPECT_FALSE(CaptionDirty());

  // The saved file opens again in the editor.
  win->OpenLangFile(txt::FromUtf8(langDir + "KestrovaMenu_enfr.xml"));
  EXPECT_EQ(Value("fr.Alpha.Missing"), "Only English");
}

TEST_F(WorkbenchWindow, KeyboardMovesVisitEveryEmptyStringOnceAndCopyEnglish) {
  UseEnFrOnly();
  StartWith("fr");
  // Empty or missing in French, counted from the file itself.
  WrittenFile file(langDir + "KestrovaMenu_enfr.xml");
  std::map<std::string, std::string> en, fr;
  Leaves(file.Languages().child("en"), "", en);
  Leaves(file.Languages().child("fr"), "", fr);
  std::set<std::string> expected;
  for (auto& [path, text] : en)
    if (fr[path].empty()) expected.insert(path);
  ASSERT_EQ(expected.size(), 3u);

  Select("Zeta.B", 1);
  std::multiset<std::string> visited;
  for (size_t i = 0; i < expected.size(); ++i) {
    Key(Qt::Key_Return);
    visited.insert(Selected());
  }
  EXPECT_EQ(std::set<std::string>(visited.begin(), visited.end()), expected);
  EXPECT_EQ(visited.size(), expected.size());
  std::string last = Selected();
  Key(Qt::Key_Return, Qt::ControlModifier | Qt::ShiftModifier);
  Key(Qt::Key_Return);
  EXPECT_EQ(Selected(), last);

  Select("Zeta.B", 1);
  Key(Qt::Key_Down);
  EXPECT_EQ(Selected(), "Zeta.A");
  Key(Qt::Key_Up);
  EXPECT_EQ(Selected(), "Zeta.B");
  Key(Qt::Key_B);
  EXPECT_EQ(Value("fr.Zeta.B"), "Bee");
  Key(Qt::Key_Z);
  EXPECT_EQ(Value("fr.Zeta.B"), "B\xc3\xa9");
  EXPECT_TRUE(messages.empty());
}

TEST_F(WorkbenchWindow, ProgressMatchesTheFilesAndTheLayoutSurvivesARestart) {
  StartWith("fr");
  std::map<std::string, std::string> en, fr;
  WrittenFile enFile(langDir + "KestrovaMenu_en.xml"), frFile(langDir + "KestrovaMenu_fr.xml");
  Leaves(enFile.Languages().child("en"), "", en);
  Leaves(frFile.Languages().child("fr"), "", fr);
  std::set<std::string> all;
  long done = 0;
  for (auto* m : {&en, &fr})
    for (auto& [p, t] : *m) all.insert(p);
  for (const std::string& p : all) done += fr.count(p) && !fr[p].empty() ? 1 : 0;
  long total = static_cast<long>(all.size());
  std::string want = "fr " + std::to_string(done) + "/" + std::to_string(total) + " \xc2\xb7 " +
                     std::to_string(done * 100 / total) + " %";
  EXPECT_EQ(win->Workbench().lblStatus->text().toStdString(), want);

  // One keystroke into an empty string moves the count.
  std::string empty;
  for (const std::string& p : all)
    if (!fr.count(p) || fr[p].empty()) empty = p;
  ASSERT_FALSE(empty.empty());
  Select(empty, 1);
  QTest::keyClicks(win->txtValue->hWnd(), "x");
  EXPECT_NE(win->Workbench().lblStatus->text().toStdString().find("fr " + std::to_string(done + 1) + "/"),
            std::string::npos);
  Key(Qt::Key_Z);

  // A file opened directly joins the recent files; the tool and layout are kept at closing.
  win->OpenLangFile(txt::FromUtf8(langDir + "KestrovaMenu_de.xml"));
  win->close();
  StartWith("fr");
  QList<QAction*> recent = win->Workbench().mnuRecent->actions();
  ASSERT_FALSE(recent.empty());
  EXPECT_TRUE(recent[0]->text().endsWith(QStringLiteral("KestrovaMenu_de.xml")));
  win->resize(777, 555);
  win->VSplit->SplitLeft(4000);
  long split = win->VSplit->SplitLeft();
  win->close();
  ASSERT_TRUE(Start());
  EXPECT_EQ(win->size(), QSize(777, 555));
  EXPECT_EQ(win->VSplit->SplitLeft(), split);
  ASSERT_EQ(win->Editor().LoadedLangs()->ChildCount(), 2);
  EXPECT_EQ(win->Workbench().lblStatus->text().toStdString(), want);
  EXPECT_EQ(win->Workbench().mnuRecent->actions().size(), 1);

  // A broken configuration starts with today's defaults.
  win.reset();
  testutil::WriteAll(txt::ToUtf8(dir.tfile("KsvLangEditor.xml")), "<KsvLangEditor><Config><Window><Width>x</Wid");
  mConfig::LoadConfig();
  ASSERT_TRUE(Start());
  EXPECT_EQ(win->size(), QSize(900, 600));
  EXPECT_EQ(win->Editor().LoadedLangs()->ChildCount(), 0);
}

}  // namespace
