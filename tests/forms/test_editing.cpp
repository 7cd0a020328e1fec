// A translator's session on a file holding English and French: selecting, typing, the
// dirty marks, the empty-string aids, the tree colours and saving, checked on disk.
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include "forms/frmLangSelector.h"
#include "storage/VbDate.h"
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
  static std::vector<std::string> ChildNames(const pugi::xml_node& n) {
    std::vector<std::string> out;
    for (pugi::xml_node c : n.children()) out.push_back(c.name());
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
  // Sorted at every level, empty strings gone, credits last, dated today, format raised.
  pugi::xml_node fr = file.Languages().child("fr");
  EXPECT_EQ(ChildNames(fr), (std::vector<std::string>{"Alpha", "Zeta", "Contributors"}));
  EXPECT_EQ(ChildNames(fr.child("Alpha")), (std::vector<std::string>{"Diff", "Same"}));
  EXPECT_EQ(ChildNames(fr.child("Zeta")), (std::vector<std::string>{"A", "B", "Lf"}));
  EXPECT_EQ(file.Value("fr.Alpha.Diff"), "Salut");
  EXPECT_EQ(fr.attribute("date").value(), txt::ToUtf8(vbdate::Format(vbdate::Today(), u"yyyy-mm-dd")));
  EXPECT_EQ(std::string(file.Languages().attribute("version").value()), "0.4");
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

  // A file gone from disk: not saved, still dirty, and the message names it.
  std::filesystem::remove(EnFrFile());
  messages.clear();
  answers = {platform::vbYes};
  win->mnuSaveLangChoice[2]->trigger();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_TRUE(testutil::Contains(messages[1], EnFrFile()));
  EXPECT_TRUE(Dirty(u"fr"));
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
  EXPECT_EQ(win->lstValues->currentRow(), 1);
  win->Form_KeyDown(114);
  EXPECT_EQ(selected(), u"Missing");
  EXPECT_TRUE(messages.empty());
  // English has none: the menu says so, without an icon, and the selection stays.
  win->mnuFindEmptyStringChoice[1]->trigger();
  EXPECT_EQ(messages, (std::vector<std::string>{"No more empty string in language en"}));
  EXPECT_EQ(boxFlags[0], platform::vbOKOnly);
  EXPECT_EQ(selected(), u"Missing");
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
