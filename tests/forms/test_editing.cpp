// A translator's session on a file holding English and French: selecting, typing, the
// dirty marks, the empty-string aids, the tree colours and saving, checked on disk; then
// the workbench driven by keys: the find bar, undo and redo across strings, the moves
// between strings, the progress counts and the layout kept across a restart.
#include <QCheckBox>
#include <QComboBox>
#include <QDockWidget>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QStatusBar>
#include <QTableWidget>
#include <QTest>
#include <QToolBar>

#include "controls/VSplitter.h"
#include "forms/cProblemsPanel.h"
#include "forms/cWorkbench.h"
#include "forms/frmMergeConflicts.h"
#include "platform/EventLoop.h"
#include "tests/forms/FormsFixture.h"
#include "tests/langedit/WrittenFile.h"

namespace {

const char kEnFr[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
    "<Languages version=\"0.3\">\r\n"
    "<en name=\"English\" en_name=\"English\" icon=\"en.png\" date=\"2020-01-01\">\r\n"
    "<Zeta><B>Bee</B><A>Ay</A><Lf>one\ntwo</Lf></Zeta>\r\n"
    "<Alpha><Same>OK</Same><Diff>Hello</Diff><Empty>Nothing</Empty><Missing>Only English</Missing></Alpha>\r\n"
    "<Contributors><Contributor name=\"Team\" email=\"t@x.invalid\" website=\"\"/></Contributors>\r\n"
    "</en>\r\n"
    "<fr name=\"Fran\xc3\xa7" "ais\" en_name=\"French\" icon=\"fr.png\" date=\"2020-01-01\" version=\"2\">\r\n"
    "<Contributors><Contributor name=\"Jean\" email=\"j@x.invalid\" website=\"\"/></Contributors>\r\n"
    "<Zeta><B>B\xc3\xa9</B><A>A</A><Lf>un\ndeux</Lf></Zeta>\r\n"
    "<Alpha><Same>OK</Same><Diff>Bonjour</Diff><Empty></Empty></Alpha>\r\n"
    "</fr>\r\n"
    "</Languages>\r\n";

class EditingFixture : public FormsFixture {
 protected:
  void SetUp() override {
    FormsFixture::SetUp();
    for (const char* id : {"en", "fr", "de", "pt-BR"}) std::filesystem::remove(Menu("KestrovaMenu_" + std::string(id) + ".xml"));
    testutil::WriteAll(EnFrFile(), kEnFr);
    AnswerPicker();
  }
  std::string EnFrFile() { return Menu("KestrovaMenu_enfr.xml"); }

  // English and French of the one file loaded, every group open.
  void StartEnFr() {
    StartTool({"fr"});
    ASSERT_EQ(win->Editor().LoadedLangs()->ChildCount(), 2);
    ExpandAll(win->XmlTree->Tree());
  }
  // The same, with the window active for keys.
  void StartForKeys() {
    StartEnFr();
    Activate();
  }
  void Key(int key, Qt::KeyboardModifiers mods = Qt::ControlModifier) {
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : win.get();
    QTest::keyClick(target, static_cast<Qt::Key>(key), mods);
  }
  std::string Selected() {
    cVisualNode* s = win->XmlTree->SelectedItem();
    return s ? txt::ToUtf8(s->XmlNode->Path(u"", u".", win->Editor().TreeDoc().get())) : "";
  }
  // Selects a string by its path and a language row, the caret in the edit box.
  void Select(const std::string& path, int row) {
    XmlNodePtr el = win->Editor().TreeDoc()->GetChildNode(txt::FromUtf8(path), false, true);
    win->XmlTree->SelectNode(win->XmlTree->Tree()->FindNodeFromXML(el.get()));
    win->lstValues->setCurrentRow(row);
    win->txtValue->hWnd()->setFocus();
  }
  void ExpandAll(cVisualNode* n) {
    if (n->ChildCount() > 0) n->Expanded(true);
    for (long i = 1; i <= n->ChildCount(); ++i) ExpandAll(n->Child(i));
  }
  cVisualNode* Item(const Text& name) { return FindItem(win->XmlTree->Tree(), name); }
  bool Dirty(const Text& id) { return win->Editor().FindLangEntry(id)->Attribut(u"dirty") == u"yes"; }
  std::vector<std::string> SaveItems() {
    std::vector<std::string> out;
    for (size_t i = 1; i < win->mnuSaveLangChoice.size(); ++i) out.push_back(win->mnuSaveLangChoice[i]->text().toStdString());
    return out;
  }
  void SaveOne(const std::string& caption) {
    for (size_t i = 1; i < win->mnuSaveLangChoice.size(); ++i)
      if (win->mnuSaveLangChoice[i]->text().toStdString() == caption) return win->mnuSaveLangChoice[i]->trigger();
    ADD_FAILURE() << "no save item " << caption;
  }
};

}  // namespace

TEST_F(EditingFixture, TypingStoresEncodedMarksDirtyAndCreatesWhatWasMissing) {
  StartEnFr();
  EXPECT_FALSE(CaptionDirty());
  EXPECT_FALSE(win->mnuSave->isEnabled());
  Type(u"Diff", 1, u"Salut\r\ntous");
  EXPECT_EQ(win->Editor().GetString(u"fr.Alpha.Diff"), u"Salut\\ntous");
  EXPECT_EQ(win->lstValues->item(1)->text().toStdString(), "fr =>\tSalut\\ntous");
  EXPECT_EQ(win->txtValue->GetText(), u"Salut\r\ntous");  // the edit box keeps what was typed
  EXPECT_TRUE(CaptionDirty());
  EXPECT_TRUE(win->mnuSave->isEnabled());
  EXPECT_EQ(SaveItems(), (std::vector<std::string>{"Save French [fr]"}));

  // A group shows nothing of the previous string, and neither it nor a string without a
  // selected row takes typing.
  win->XmlTree->SelectNode(Item(u"Alpha"));
  EXPECT_EQ(win->lstValues->count(), 0);
  EXPECT_TRUE(win->txtValue->GetText().empty());
  EXPECT_FALSE(win->txtValue->Enabled());
  win->XmlTree->SelectNode(Item(u"Same"));
  win->lstValues->setCurrentRow(-1);
  EXPECT_FALSE(win->txtValue->hWnd()->isEnabled());
  EXPECT_FALSE(Dirty(u"en"));
  EXPECT_TRUE(messages.empty());
}

TEST_F(EditingFixture, AStringShowsTheRowLastEditedAndRebuildsKeepTheSelectionAndPane) {
  StartEnFr();
  win->XmlTree->SelectNode(Item(u"Diff"));
  EXPECT_EQ(win->lstValues->currentRow(), 1);  // nothing edited yet: the first language not English
  EXPECT_TRUE(win->txtValue->Enabled());
  EXPECT_EQ(win->txtValue->GetText(), u"Bonjour");
  Type(u"Same", 0, u"Fine");  // English edited last
  win->lstValues->setCurrentRow(-1);
  win->XmlTree->SelectNode(Item(u"Empty"));
  EXPECT_EQ(win->lstValues->currentRow(), 0);
  win->lstValues->setCurrentRow(1);

  // Filling rebuilds the tree: the groups stay open, the string and row stay selected, and
  // the pane shows the filled value.
  pickRow = "English (en)";
  win->mnuFillEmptyStringsChoice[2]->trigger();
  EXPECT_EQ(pickerCaption, "Copy strings from");
  // French keeps its translations, attributes and credits and gains what it lacked.
  XmlNodePtr fr = win->Editor().LoadedLangs()->Child(2);
  EXPECT_EQ(fr->GetChildValue(u"Alpha.Missing"), u"Only English");
  EXPECT_EQ(fr->GetChildValue(u"Alpha.Diff"), u"Bonjour");
  EXPECT_EQ(fr->Attribut(u"version"), u"2");
  EXPECT_EQ(fr->GetChildNode(u"Contributors", false, true)->ChildAttribut(u"Contributor", u"name"), u"Jean");
  EXPECT_EQ(SaveItems(), (std::vector<std::string>{"Save English [en]", "Save French [fr]"}));
  ASSERT_TRUE(win->XmlTree->SelectedItem());
  EXPECT_EQ(win->XmlTree->SelectedItem()->XmlNode->Name(), u"Empty");
  EXPECT_TRUE(Item(u"Zeta")->Expanded());
  EXPECT_EQ(win->lstValues->currentRow(), 1);
  EXPECT_EQ(win->txtValue->GetText(), u"Nothing");
  win->txtValue->SetText(u"Rien");
  EXPECT_EQ(win->Editor().GetString(u"fr.Alpha.Empty"), u"Rien");
  win->mnuFillEmptyStringsChoice[2]->trigger();
  EXPECT_EQ(messages, (std::vector<std::string>{"No empty strings where found in language fr"}));

  // Unloading English leaves French's row, refreshed.
  win->mnuLangDeleteChoice[1]->trigger();
  EXPECT_EQ(win->lstValues->count(), 1);
  EXPECT_EQ(win->txtValue->GetText(), u"Rien");
  EXPECT_TRUE(win->txtValue->Enabled());
}

TEST_F(EditingFixture, SavingOneLanguageRewritesOnlyItThenSaveAllAndCloseAskPerLanguage) {
  StartEnFr();
  Type(u"A", 0, u"en edit");
  Type(u"Diff", 1, u"Salut");
  // English changed on disk meanwhile: saving French keeps that.
  std::string text = testutil::ReadAll(EnFrFile());
  text.replace(text.find("<B>Bee</B>"), 10, "<B>Changed on disk</B>");
  testutil::WriteAll(EnFrFile(), text);
  answers = {platform::vbYes};
  ASSERT_EQ(SaveItems(), (std::vector<std::string>{"Save English [en]", "Save French [fr]"}));
  win->mnuSaveLangChoice[2]->trigger();
  ASSERT_EQ(messages, (std::vector<std::string>{"Save changes in fr ?"}));
  WrittenFile file(EnFrFile());
  ASSERT_TRUE(file.ok);
  EXPECT_EQ(file.Value("en.Zeta.B"), "Changed on disk");
  EXPECT_EQ(file.Value("en.Zeta.A"), "Ay");
  EXPECT_EQ(file.Value("fr.Alpha.Diff"), "Salut");
  EXPECT_EQ(SaveItems(), (std::vector<std::string>{"Save English [en]"}));

  // Save all asks per language; No leaves it dirty. Cancel on close keeps everything.
  Type(u"Diff", 1, u"fr edit");
  messages.clear();
  answers = {platform::vbNo, platform::vbNo};
  win->mnuSave->trigger();
  EXPECT_EQ(messages, (std::vector<std::string>{"Save changes in en ?", "Save changes in fr ?"}));
  EXPECT_TRUE(CaptionDirty());
  answers = {platform::vbCancel};
  EXPECT_FALSE(win->close());
  EXPECT_EQ(win->Editor().GetString(u"fr.Alpha.Diff"), u"fr edit");
}

TEST_F(EditingFixture, AnyTextSurvivesTypingSavingAndReloading) {
  Text big;
  while (big.size() < 100 * 1024) big += u"<a href=\"x\">&amp; ]]> \u05e9\u05dc\u05d5\u05dd \u4e2d\u6587 ";
  const std::vector<Text> texts = {
      u"<b>bold</b> & \"quoted\" 'single' > <  two\r\nlines\r\n\r\nand an empty one  ",
      u"\u05e2\u05d1\u05e8\u05d9\u05ea \u0627\u0644\u0639\u0631\u0628\u064a\u0629 \u65e5\u672c\u8a9e \U0001F600",
      u"before <![CDATA[</Diff> inside]]> after",
      big,
  };
  for (const Text& t : texts) {
    SCOPED_TRACE(txt::ToUtf8(t.substr(0, 40)));
    messages.clear();
    StartEnFr();
    Type(u"Diff", 1, t);
    answers = {platform::vbYes};
    win->mnuSaveLangChoice[1]->trigger();  // French, the one changed
    EXPECT_EQ(WrittenFile(EnFrFile()).Value("fr.Alpha.Diff"), txt::ToUtf8(txt::Replace(t, u"\r\n", u"\\n")));
    win.reset();
    StartEnFr();
    Select("Alpha.Diff", 1);
    EXPECT_TRUE(win->txtValue->GetText() == t);
    EXPECT_EQ(messages, (std::vector<std::string>{"Save changes in fr ?"}));
  }
  // A literal backslash-n is the stored form of a line break: it comes back as one.
  StartEnFr();
  Type(u"Diff", 1, u"a\\nb");
  win->lstValues->setCurrentRow(0);
  win->lstValues->setCurrentRow(1);
  EXPECT_EQ(win->txtValue->GetText(), u"a\r\nb");
}

TEST_F(EditingFixture, TreeLabelsShowTheTranslationState) {
  StartEnFr();
  win->resize(900, 600);
  win->show();
  // The label's pixels in one of the three colours (antialiased edges are in between).
  auto labelColor = [this](const Text& name) -> std::string {
    win->XmlTree->RefreshTreeView();
    cVisualNode* it = Item(name);
    QImage im = win->XmlTree->grab().toImage();
    bool red = false, orange = false, black = false;
    for (int y = static_cast<int>(it->Top); y < it->Top + it->RowHeight && y < im.height(); ++y)
      for (int x = static_cast<int>(it->Left + it->Indent); x < im.width(); ++x) {
        QRgb c = im.pixel(x, y) & 0xFFFFFF;
        red |= c == 0xFF0000;
        orange |= c == 0xECA31C;
        black |= c == 0x000000;
      }
    if (red + orange + black != 1) return "mixed";
    return red ? "red" : orange ? "orange" : "black";
  };
  auto colours = [&](std::initializer_list<const char16_t*> names) {
    win->XmlTree->SelectNode(Item(u"Zeta"));  // a group, so no label in the selection colour
    std::string out;
    for (const char16_t* n : names) out += labelColor(n) + " ";
    return out;
  };
  EXPECT_EQ(colours({u"Same", u"Missing", u"Diff", u"Alpha"}), "orange red black red ");

  // Typing recolours the string and its group.
  Type(u"Same", 1, u"D'accord");
  Type(u"Empty", 1, u"Rien");
  Type(u"Missing", 1, u"Seulement");
  EXPECT_EQ(colours({u"Same", u"Alpha"}), "black black ");
  Type(u"Diff", 1, u"");
  EXPECT_EQ(colours({u"Alpha"}), "red ");
}

TEST_F(EditingFixture, AFileChangedByAnotherProgramIsReloadedMergedOrAskedAbout) {
  StartEnFr();
  win->FileWatch().DelayMs(20);
  // French's text of a string in the file, replaced as another program would.
  auto setOnDisk = [&](const std::string& tag, const std::string& value) {
    std::string s = testutil::ReadAll(EnFrFile());
    size_t fr = s.find("<fr ");
    size_t open = s.find("<" + tag + ">", fr) + tag.size() + 2;
    s.replace(open, s.find("</" + tag + ">", open) - open, value);
    testutil::WriteAll(EnFrFile(), s);
  };
  auto status = [&] { return win->statusBar()->currentMessage().toStdString(); };

  // Nothing edited here: French is read again at once, the string and groups stay as shown.
  Select("Alpha.Diff", 1);
  setOnDisk("Diff", "Salut");
  ASSERT_TRUE(platform::WaitUntil([&] { return win->Editor().GetString(u"fr.Alpha.Diff") == u"Salut"; }, 5000));
  EXPECT_EQ(win->XmlTree->SelectedItem()->XmlNode->Name(), u"Diff");
  EXPECT_EQ(win->lstValues->item(1)->text().toStdString(), "fr =>\tSalut");
  EXPECT_TRUE(Item(u"Zeta")->Expanded());
  EXPECT_TRUE(testutil::Contains(status(), EnFrFile())) << status();
  EXPECT_FALSE(CaptionDirty());

  // Different strings here and there: both saved, without a question.
  Type(u"Same", 1, u"Pareil");
  setOnDisk("A", "A du disque");
  ASSERT_TRUE(platform::WaitUntil([&] { return testutil::Contains(status(), "merged"); }, 5000)) << status();
  EXPECT_EQ(win->Editor().GetString(u"fr.Zeta.A"), u"A");
  answers = {platform::vbYes};
  SaveOne("Save French [fr]");
  EXPECT_EQ(messages, (std::vector<std::string>{"Save changes in fr ?"}));
  {
    WrittenFile file(EnFrFile());
    ASSERT_TRUE(file.ok);
    EXPECT_EQ(file.Value("fr.Zeta.A"), "A du disque");
    EXPECT_EQ(file.Value("fr.Alpha.Same"), "Pareil");
    EXPECT_EQ(file.Value("fr.Alpha.Diff"), "Salut");
  }
  EXPECT_EQ(win->Editor().GetString(u"fr.Zeta.A"), u"A du disque");

  // The same string on both sides: the dialog asks; each answer gives its file.
  const struct {
    const char* button;
    const char* file;  // French's B afterwards
    bool written;
  } cases[] = {{"mine", "Mien mine", true}, {"theirs", "Sien theirs", true}, {"cancel", "Sien cancel", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.button);
    std::string b = c.button;
    Type(u"B", 1, txt::FromUtf8("Mien " + b));
    setOnDisk("B", "Sien " + b);
    std::string before = testutil::ReadAll(EnFrFile());
    QStringList row;
    Hook(&frmMergeConflicts::SetShowHandler, [&](frmMergeConflicts& d) {
      for (int col = 0; col < 4; ++col) row << d.tblConflicts->item(0, col)->text();
      if (b == "mine") d.cmdKeepAllMine->click();
      if (b == "theirs") d.SetTakeTheirs(0, true);
      (b == "cancel" ? d.cmdCancel : d.cmdOK)->click();
    });
    answers = {platform::vbYes};
    SaveOne("Save French [fr]");
    ASSERT_EQ(row.size(), 4);
    EXPECT_EQ(row[0].toStdString(), "Zeta.B");
    EXPECT_EQ(row[2].toStdString(), "Sien " + b);
    EXPECT_EQ(row[3].toStdString(), "Mien " + b);
    EXPECT_EQ(Dirty(u"fr"), !c.written);
    if (!c.written) {
      EXPECT_EQ(testutil::ReadAll(EnFrFile()), before);
      EXPECT_EQ(win->Editor().GetString(u"fr.Zeta.B"), txt::FromUtf8("Mien " + b));
      continue;
    }
    WrittenFile file(EnFrFile());
    ASSERT_TRUE(file.ok);
    EXPECT_EQ(file.Value("fr.Zeta.B"), c.file);
    EXPECT_EQ(file.Value("fr.Zeta.A"), "A du disque");
    EXPECT_EQ(win->Editor().GetString(u"fr.Zeta.B"), txt::FromUtf8(c.file));
  }
  // The editor reads back what it wrote.
  cLangEditor again;
  ASSERT_TRUE(again.LoadLanguage(txt::FromUtf8(EnFrFile()), u"fr"));
  EXPECT_EQ(again.GetString(u"fr.Alpha.Same"), u"Pareil");
  EXPECT_EQ(again.GetString(u"fr.Zeta.B"), u"Sien cancel");
}

TEST_F(EditingFixture, FindFiltersTheTreeAndEscapeKeepsTheEditAndSelection) {
  StartForKeys();
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

TEST_F(EditingFixture, UndoAndRedoRestoreValuesAndDirtyMarksAcrossSaves) {
  StartForKeys();
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
  pickRow = "English (en)";
  win->mnuFillEmptyStringsChoice[2]->trigger();
  EXPECT_EQ(Value("fr.Alpha.Missing"), "Only English");
  answers.push_back(platform::vbYes);  // "Save changes in fr ?"
  Key(Qt::Key_S);
  EXPECT_FALSE(Dirty(u"fr"));
  WrittenFile saved(EnFrFile());
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
  win->OpenLangFile(txt::FromUtf8(EnFrFile()));
  EXPECT_EQ(Value("fr.Alpha.Missing"), "Only English");
}

TEST_F(EditingFixture, EmptyStringsAreReachedByMenuF3AndKeysAndEnglishIsCopied) {
  StartForKeys();
  Select("Zeta.B", 1);
  win->mnuFindEmptyStringChoice[2]->trigger();  // French
  EXPECT_EQ(Selected(), "Alpha.Empty");
  EXPECT_EQ(win->lstValues->currentRow(), 1);
  win->Form_KeyDown(114);  // F3
  EXPECT_EQ(Selected(), "Alpha.Missing");  // missing in the file counts as empty
  Key(Qt::Key_Return, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(Selected(), "Alpha.Empty");
  Key(Qt::Key_Return);
  EXPECT_EQ(Selected(), "Alpha.Missing");
  EXPECT_TRUE(messages.empty());
  // English has none: the menu says so, without an icon, and the selection stays.
  win->mnuFindEmptyStringChoice[1]->trigger();
  EXPECT_EQ(messages, (std::vector<std::string>{"No more empty string in language en"}));
  EXPECT_EQ(boxFlags[0], platform::vbOKOnly);
  EXPECT_EQ(Selected(), "Alpha.Missing");
  messages.clear();

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

TEST_F(EditingFixture, ProgressFollowsTypingAndTheLayoutSurvivesARestart) {
  StartForKeys();
  // Seven English strings; French lacks Missing and has Empty empty.
  const std::string want = "fr 5/7 \xc2\xb7 71 %";
  EXPECT_EQ(win->Workbench().lblStatus->text().toStdString(), want);
  Select("Alpha.Empty", 1);
  QTest::keyClicks(win->txtValue->hWnd(), "x");  // one keystroke moves the count
  EXPECT_EQ(win->Workbench().lblStatus->text().toStdString(), "fr 6/7 \xc2\xb7 85 %");
  Key(Qt::Key_Z);

  // A file opened directly joins the recent files; the tool and layout are kept at closing.
  testutil::WriteAll(dir.file("it.xml"), "<Languages version=\"0.4\"><it><A>a</A></it></Languages>");
  win->OpenLangFile(dir.tfile("it.xml"));
  win->close();
  StartForKeys();
  QList<QAction*> recent = win->Workbench().mnuRecent->actions();
  ASSERT_FALSE(recent.empty());
  EXPECT_TRUE(recent[0]->text().endsWith(QStringLiteral("it.xml")));
  win->resize(777, 555);
  win->VSplit->SplitLeft(4000);
  long split = win->VSplit->SplitLeft();
  win->Problems().Toggle();
  win->close();
  ASSERT_TRUE(Start());
  EXPECT_EQ(win->size(), QSize(777, 555));
  EXPECT_EQ(win->VSplit->SplitLeft(), split);
  EXPECT_FALSE(win->Problems().Dock->isHidden());
  ASSERT_EQ(win->Editor().LoadedLangs()->ChildCount(), 2);
  EXPECT_EQ(win->Workbench().lblStatus->text().toStdString(), want);
  EXPECT_EQ(win->Workbench().mnuRecent->actions().size(), 1);

  // A broken configuration starts with today's defaults.
  win.reset();
  testutil::WriteAll(txt::ToUtf8(dir.tfile("KsvLangEditor.xml")), "<KsvLangEditor><Config><Window><Width>x</Wid");
  mConfig::LoadConfig();
  ASSERT_TRUE(Start());
  EXPECT_EQ(win->size(), QSize(900, 600));
  EXPECT_TRUE(win->Problems().Dock->isHidden());
  EXPECT_EQ(win->Editor().LoadedLangs()->ChildCount(), 0);
}
