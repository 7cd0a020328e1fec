// A translator's session on a file holding English and French: selecting, typing, the
// dirty marks, the empty-string aids, the tree colours and saving, checked on disk.
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include "langedit/mLangFiles.h"
#include "forms/frmLangSelector.h"
#include "platform/FileSys.h"
#include "storage/VbDate.h"
#include "tests/forms/FormsFixture.h"

namespace {

const char kEnFr[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
    "<Languages version=\"0.3\">\r\n"
    "<en name=\"English\" en_name=\"English\" icon=\"en.png\" date=\"2020-01-01\">\r\n"
    "<Zeta><B>Bee</B><A>Ay</A></Zeta>\r\n"
    "<Alpha><Same>OK</Same><Diff>Hello</Diff><Empty>Nothing</Empty><Missing>Only English</Missing></Alpha>\r\n"
    "<Contributors><Contributor name=\"Team\" email=\"t@x.invalid\" website=\"\"/></Contributors>\r\n"
    "</en>\r\n"
    "<fr name=\"Fran\xc3\xa7" "ais\" en_name=\"French\" icon=\"fr.png\" date=\"2020-01-01\" version=\"2\">\r\n"
    "<Contributors><Contributor name=\"Jean\" email=\"j@x.invalid\" website=\"\"/></Contributors>\r\n"
    "<Zeta><B>B\xc3\xa9</B><A>A</A></Zeta>\r\n"
    "<Alpha><Same>OK</Same><Diff>Bonjour</Diff><Empty></Empty></Alpha>\r\n"
    "</fr>\r\n"
    "</Languages>\r\n";

class EditingFixture : public FormsFixture {
 protected:
  void SetUp() override {
    FormsFixture::SetUp();
    langDir = root + "/KestrovaTools/KestrovaMenu/Languages/";
    for (const char* f : {"KestrovaMenu_en.xml", "KestrovaMenu_fr.xml", "KestrovaMenu_de.xml", "KestrovaMenu_pt-BR.xml"})
      std::filesystem::remove(langDir + f);
    testutil::WriteAll(EnFrFile(), kEnFr);
    Hook(&frmLangSelector::SetShowHandler, [this](frmLangSelector& d) {
      pickerCaption = d.windowTitle().toStdString();
      for (int i = 0; i < d.lstLanguages->count(); ++i)
        if (d.lstLanguages->item(i)->text().toStdString() == pickRow) {
          d.lstLanguages->setCurrentRow(i);
          d.cmdOK->click();
          return;
        }
      d.cmdCancel->click();
    });
  }
  void TearDown() override {
    platform::fs::ResetFaults();
    FormsFixture::TearDown();
  }
  std::string EnFrFile() const { return langDir + "KestrovaMenu_enfr.xml"; }

  // English and French of the one file loaded, as after picking the tool and loading French.
  void StartEnFr() {
    ASSERT_TRUE(Start());
    win->mnuSelectToolChoice[1]->trigger();
    ASSERT_EQ(win->mnuLoadLanguageChoice.size(), 3u);
    win->mnuLoadLanguageChoice[2]->trigger();  // fr
    ASSERT_EQ(win->Editor().LoadedLangs()->ChildCount(), 2);
    ExpandAll(win->XmlTree->Tree());
  }
  void ExpandAll(cVisualNode* n) {
    if (n->ChildCount() > 0) n->Expanded(true);
    for (long i = 1; i <= n->ChildCount(); ++i) ExpandAll(n->Child(i));
  }
  cVisualNode* Item(const Text& name) { return FindItem(win->XmlTree->Tree(), name); }
  // Selects a string and a language row, then types the whole text into the edit box.
  void Type(const Text& name, int row, const Text& text) {
    win->XmlTree->SelectNode(Item(name));
    win->lstValues->setCurrentRow(row);
    win->txtValue->SetText(text);
  }
  bool Dirty(const Text& id) { return win->Editor().FindLangEntry(id)->Attribut(u"dirty") == u"yes"; }
  std::vector<std::string> SaveItems() {
    std::vector<std::string> out;
    for (size_t i = 1; i < win->mnuSaveLangChoice.size(); ++i) out.push_back(win->mnuSaveLangChoice[i]->text().toStdString());
    return out;
  }
  void SaveOne(const std::string& caption) {
    for (size_t i = 1; i < win->mnuSaveLangChoice.size(); ++i)
      if (win->mnuSaveLangChoice[i]->text().toStdString() == caption) {
        win->mnuSaveLangChoice[i]->trigger();
        return;
      }
    ADD_FAILURE() << "no save item " << caption;
  }
  XmlNodePtr OnDisk(const Text& id) {
    XmlNodePtr doc = mLangFiles::ReadXmlFile(txt::FromUtf8(EnFrFile()), false);
    XmlNodePtr langs = mLangFiles::FindLanguages(doc);
    return langs ? langs->GetChildNode(id, false, true) : nullptr;
  }
  std::vector<Text> ChildNames(const XmlNodePtr& n) {
    std::vector<Text> out;
    for (long i = 1; i <= n->ChildCount(); ++i) out.push_back(n->Child(i)->Name());
    return out;
  }

  std::string langDir, pickRow, pickerCaption;
};

}  // namespace

TEST_F(EditingFixture, TypingStoresEncodedMarksDirtyAndCreatesWhatWasMissing) {
  StartEnFr();
  EXPECT_FALSE(CaptionDirty());
  EXPECT_FALSE(win->mnuSave->isEnabled());
  Type(u"Diff", 1, u"Salut\r\ntous");
  EXPECT_EQ(win->Editor().GetString(u"fr.Alpha.Diff"), u"Salut\\ntous");
  EXPECT_EQ(win->lstValues->item(1)->text().toStdString(), "fr =>\tSalut\\ntous");
  EXPECT_EQ(win->lstValues->currentRow(), 1);
  EXPECT_EQ(win->txtValue->GetText(), u"Salut\r\ntous");  // the edit box keeps what was typed
  EXPECT_TRUE(CaptionDirty());
  EXPECT_TRUE(win->mnuSave->isEnabled());
  EXPECT_TRUE(Dirty(u"fr"));
  EXPECT_FALSE(Dirty(u"en"));
  EXPECT_EQ(SaveItems(), (std::vector<std::string>{"Save French [fr]"}));
  EXPECT_FALSE(win->mnuSaveLangChoice[0]->isEnabled());

  // Selecting a group and typing changes nothing.
  win->XmlTree->SelectNode(Item(u"Alpha"));
  EXPECT_FALSE(win->txtValue->Enabled());
  win->txtValue->SetText(u"stray");
  EXPECT_EQ(win->Editor().LoadedLangs()->Child(2)->GetChildNode(u"Alpha", false, true)->Value(), u"");
  EXPECT_FALSE(Dirty(u"en"));
  EXPECT_TRUE(messages.empty());
}

TEST_F(EditingFixture, SavingFrenchRewritesOnlyFrenchSortedCleanedAndUpgraded) {
  StartEnFr();
  XmlNodePtr enBefore = OnDisk(u"en");
  Type(u"A", 0, u"English edit never saved");
  Type(u"Diff", 1, u"Salut");
  ASSERT_TRUE(Dirty(u"en") && Dirty(u"fr"));
  answers = {platform::vbYes};
  SaveOne("Save French [fr]");
  ASSERT_EQ(messages, (std::vector<std::string>{"Save changes in fr ?"}));
  EXPECT_EQ(boxFlags[0], platform::vbYesNo | platform::vbQuestion);

  XmlNodePtr fr = OnDisk(u"fr");
  ASSERT_TRUE(fr);
  EXPECT_EQ(OnDisk(u"en")->XmlData(), enBefore->XmlData());
  EXPECT_EQ(ChildNames(fr), (std::vector<Text>{u"Alpha", u"Zeta", u"Contributors"}));
  EXPECT_EQ(ChildNames(fr->Child(1)), (std::vector<Text>{u"Diff", u"Same"}));  // empty strings gone
  EXPECT_EQ(ChildNames(fr->Child(2)), (std::vector<Text>{u"A", u"B"}));
  EXPECT_EQ(fr->GetChildValue(u"Alpha.Diff"), u"Salut");
  EXPECT_EQ(fr->GetChildValue(u"Zeta.B"), u"B\u00e9");
  ASSERT_TRUE(fr->GetChildNode(u"Contributors.Contributor", false, true));
  EXPECT_EQ(fr->GetChildNode(u"Contributors.Contributor", false, true)->Attribut(u"name"), u"Jean");
  EXPECT_EQ(fr->Attribut(u"date"), vbdate::Format(vbdate::Today(), u"yyyy-mm-dd"));
  EXPECT_EQ(fr->Attribut(u"name"), u"Fran\u00e7ais");
  XmlNodePtr file = mLangFiles::ReadXmlFile(txt::FromUtf8(EnFrFile()), false);
  ASSERT_TRUE(mLangFiles::FindLanguages(file));
  EXPECT_EQ(mLangFiles::FindLanguages(file)->Attribut(u"version"), u"0.4");

  EXPECT_FALSE(Dirty(u"fr"));
  EXPECT_TRUE(Dirty(u"en"));
  EXPECT_TRUE(CaptionDirty());
  EXPECT_EQ(SaveItems(), (std::vector<std::string>{"Save English [en]"}));

  answers = {platform::vbYes};
  SaveOne("Save English [en]");
  EXPECT_FALSE(CaptionDirty());
  EXPECT_FALSE(win->mnuSave->isEnabled());
  EXPECT_TRUE(SaveItems().empty());
  EXPECT_EQ(OnDisk(u"en")->GetChildValue(u"Zeta.A"), u"English edit never saved");
}

TEST_F(EditingFixture, SaveAllAsksPerLanguageAndTheCloseQuestionSavesForReal) {
  StartEnFr();
  Type(u"A", 0, u"en edit");
  Type(u"Diff", 1, u"fr edit");
  answers = {platform::vbYes, platform::vbNo};
  win->mnuSave->trigger();
  EXPECT_EQ(messages, (std::vector<std::string>{"Save changes in en ?", "Save changes in fr ?"}));
  EXPECT_FALSE(Dirty(u"en"));
  EXPECT_TRUE(Dirty(u"fr"));
  EXPECT_TRUE(CaptionDirty());
  EXPECT_TRUE(win->mnuSave->isEnabled());
  EXPECT_EQ(SaveItems(), (std::vector<std::string>{"Save French [fr]"}));
  EXPECT_EQ(OnDisk(u"fr")->GetChildValue(u"Alpha.Diff"), u"Bonjour");

  // Cancel on close keeps the window, the edits and the mark.
  messages.clear();
  answers = {platform::vbCancel};
  EXPECT_FALSE(win->close());
  EXPECT_TRUE(Dirty(u"fr"));
  EXPECT_EQ(win->Editor().GetString(u"fr.Alpha.Diff"), u"fr edit");
  // Yes saves (asking for the language) and closes.
  answers = {platform::vbYes, platform::vbYes};
  EXPECT_TRUE(win->close());
  EXPECT_EQ(messages, (std::vector<std::string>{"Changes have not been saved.\r\n\r\nSave now ?",
                                                "Changes have not been saved.\r\n\r\nSave now ?",
                                                "Save changes in fr ?"}));
  EXPECT_EQ(OnDisk(u"fr")->GetChildValue(u"Alpha.Diff"), u"fr edit");
}

TEST_F(EditingFixture, AFailedWriteKeepsTheLanguageDirtyAndSaysWhichFile) {
  StartEnFr();
  Type(u"Diff", 1, u"lost?");
  std::string before = testutil::ReadAll(EnFrFile());
  platform::fs::FailAlways(platform::fs::Op::Write);
  answers = {platform::vbYes};
  SaveOne("Save French [fr]");
  platform::fs::ResetFaults();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_NE(messages[1].find(EnFrFile()), std::string::npos) << messages[1];
  EXPECT_EQ(boxFlags[1] & 0xF0, platform::vbCritical);
  EXPECT_EQ(testutil::ReadAll(EnFrFile()), before);
  EXPECT_TRUE(Dirty(u"fr"));
  EXPECT_TRUE(CaptionDirty());
  EXPECT_EQ(SaveItems(), (std::vector<std::string>{"Save French [fr]"}));
  EXPECT_EQ(win->Editor().GetString(u"fr.Alpha.Diff"), u"lost?");

  // A file gone from disk: asked whether to write it again; No keeps it dirty and absent.
  std::filesystem::remove(EnFrFile());
  messages.clear();
  answers = {platform::vbYes, platform::vbNo};
  SaveOne("Save French [fr]");
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_NE(messages[1].find(EnFrFile()), std::string::npos) << messages[1];
  EXPECT_TRUE(Dirty(u"fr"));
  EXPECT_FALSE(std::filesystem::exists(EnFrFile()));
  answers = {platform::vbYes, platform::vbYes};
  SaveOne("Save French [fr]");
  EXPECT_FALSE(Dirty(u"fr"));
  EXPECT_EQ(OnDisk(u"fr")->GetChildValue(u"Alpha.Diff"), u"lost?");
}

TEST_F(EditingFixture, SavingKeepsWhatChangedOnDiskInTheOtherLanguages) {
  StartEnFr();
  Type(u"Diff", 1, u"Salut");
  std::string text = testutil::ReadAll(EnFrFile());
  text.replace(text.find("<B>Bee</B>"), 10, "<B>Changed on disk</B><New>added</New>");
  testutil::WriteAll(EnFrFile(), text);
  answers = {platform::vbYes};
  SaveOne("Save French [fr]");
  EXPECT_EQ(OnDisk(u"en")->GetChildValue(u"Zeta.B"), u"Changed on disk");
  EXPECT_EQ(OnDisk(u"en")->GetChildValue(u"Zeta.New"), u"added");
  EXPECT_EQ(OnDisk(u"fr")->GetChildValue(u"Alpha.Diff"), u"Salut");
}

TEST_F(EditingFixture, AnyTextSurvivesTypingSavingAndReloading) {
  Text big;
  while (big.size() < 100 * 1024) big += u"<a href=\"x\">&amp; ]]> \u05e9\u05dc\u05d5\u05dd \u4e2d\u6587 ";
  const std::vector<Text> texts = {
      u"<b>bold</b> & \"quoted\" 'single' > <",
      u"two\r\nlines\r\n\r\nand an empty one",
      u"  leading and trailing spaces  ",
      u"\u05e2\u05d1\u05e8\u05d9\u05ea \u0627\u0644\u0639\u0631\u0628\u064a\u0629 \u65e5\u672c\u8a9e \U0001F600",
      u"<![CDATA[looks like a section]]>",
      u"before <![CDATA[</Diff> inside]]> after",
      big,
  };
  for (const Text& t : texts) {
    SCOPED_TRACE(txt::ToUtf8(t.substr(0, 40)));
    messages.clear();
    StartEnFr();
    Type(u"Diff", 1, t);
    answers = {platform::vbYes};
    SaveOne("Save French [fr]");
    win.reset();
    StartEnFr();
    win->XmlTree->SelectNode(Item(u"Diff"));
    win->lstValues->setCurrentRow(1);
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

TEST_F(EditingFixture, FindEmptyStringFromTheMenuAndWithF3) {
  StartEnFr();
  auto selected = [this] { return win->XmlTree->SelectedItem() ? win->XmlTree->SelectedItem()->XmlNode->Name() : Text(); };
  win->mnuFindEmptyStringChoice[2]->trigger();  // French
  EXPECT_EQ(selected(), u"Empty");
  EXPECT_EQ(win->lblPath->text().toStdString(), ".Alpha.Empty");
  EXPECT_EQ(win->lstValues->currentRow(), 1);
  win->Form_KeyDown(114);
  EXPECT_EQ(selected(), u"Missing");
  win->Form_KeyDown(114);  // the last one: nothing after it
  EXPECT_EQ(selected(), u"Missing");
  EXPECT_TRUE(messages.empty());

  win->XmlTree->SelectNode(Item(u"Zeta"));
  win->XmlTree->SelectNode(Item(u"B"));
  win->lstValues->setCurrentRow(1);
  win->Form_KeyDown(114);
  EXPECT_EQ(selected(), u"Empty");
  // English has none: the menu says so, naming the language, without an icon.
  win->mnuFindEmptyStringChoice[1]->trigger();
  EXPECT_EQ(messages, (std::vector<std::string>{"No more empty string in language en"}));
  EXPECT_EQ(boxFlags[0], platform::vbOKOnly);
  EXPECT_EQ(selected(), u"Empty");
}

TEST_F(EditingFixture, FillingFrenchFromEnglishKeepsFrenchTranslationsAttributesAndCredits) {
  StartEnFr();
  pickRow = "English (en)";
  win->mnuFillEmptyStringsChoice[2]->trigger();
  EXPECT_EQ(pickerCaption, "Copy strings from");
  XmlNodePtr fr = win->Editor().LoadedLangs()->Child(2);
  EXPECT_EQ(fr->Name(), u"fr");
  EXPECT_EQ(fr->GetChildValue(u"Alpha.Empty"), u"Nothing");
  EXPECT_EQ(fr->GetChildValue(u"Alpha.Missing"), u"Only English");
  EXPECT_EQ(fr->GetChildValue(u"Alpha.Diff"), u"Bonjour");
  EXPECT_EQ(fr->GetChildValue(u"Zeta.B"), u"B\u00e9");
  for (auto [name, value] : {std::pair{u"name", u"Fran\u00e7ais"}, {u"icon", u"fr.png"}, {u"version", u"2"}})
    EXPECT_EQ(fr->Attribut(name), value) << txt::ToUtf8(name);
  XmlNodePtr credits = fr->GetChildNode(u"Contributors", false, true);
  ASSERT_TRUE(credits);
  EXPECT_EQ(credits->ChildCount(), 1);
  EXPECT_EQ(credits->ChildAttribut(u"Contributor", u"name"), u"Jean");
  EXPECT_EQ(win->Editor().LoadedLangs()->Child(1)->GetChildValue(u"Alpha.Empty"), u"Nothing");  // source untouched
  EXPECT_TRUE(Dirty(u"fr"));
  EXPECT_TRUE(CaptionDirty());
  EXPECT_EQ(SaveItems(), (std::vector<std::string>{"Save French [fr]"}));
  EXPECT_TRUE(messages.empty());

  win->mnuFillEmptyStringsChoice[2]->trigger();
  EXPECT_EQ(messages, (std::vector<std::string>{"No empty strings where found in language fr"}));
  EXPECT_EQ(boxFlags[0], platform::vbInformation);
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
  win->XmlTree->SelectNode(Item(u"Zeta"));  // a group, so no label in the selection colour below
  EXPECT_EQ(labelColor(u"Same"), "orange");
  EXPECT_EQ(labelColor(u"Empty"), "red");
  EXPECT_EQ(labelColor(u"Missing"), "red");
  EXPECT_EQ(labelColor(u"Diff"), "black");
  EXPECT_EQ(labelColor(u"Alpha"), "red");

  Type(u"Same", 1, u"D'accord");
  Type(u"Empty", 1, u"Rien");
  Type(u"Missing", 1, u"Seulement");
  win->XmlTree->SelectNode(Item(u"Zeta"));
  EXPECT_EQ(labelColor(u"Same"), "black");
  EXPECT_EQ(labelColor(u"Empty"), "black");
  EXPECT_EQ(labelColor(u"Alpha"), "black");
  Type(u"Diff", 1, u"Hello");
  win->XmlTree->SelectNode(Item(u"Zeta"));
  EXPECT_EQ(labelColor(u"Diff"), "orange");
  EXPECT_EQ(labelColor(u"Alpha"), "orange");
  Type(u"Diff", 1, u"");
  win->XmlTree->SelectNode(Item(u"Zeta"));
  EXPECT_EQ(labelColor(u"Diff"), "red");
  EXPECT_EQ(labelColor(u"Alpha"), "red");
}
