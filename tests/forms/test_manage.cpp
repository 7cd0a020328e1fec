// Language management walked through the main window as a translator would, with the
// dialogs answered by the test.
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <filesystem>

#include "langedit/mLangFiles.h"
#include "langedit/cLangProperties.h"
#include "forms/frmLangProperties.h"
#include "forms/frmLangSelect.h"
#include "forms/frmLangSelector.h"
#include "forms/frmNewLang.h"
#include "storage/VbDate.h"
#include "tests/forms/FormsFixture.h"

namespace stdfs = std::filesystem;

namespace {

class ManageForms : public FormsFixture {
 protected:
  void SetUp() override {
    FormsFixture::SetUp();
    Hook(&frmNewLang::SetShowHandler, [this](frmNewLang& d) {
      ++newLangShown;
      if (onNewLang) onNewLang(d);
    });
    Hook(&frmLangSelect::SetShowHandler, [this](frmLangSelect& d) {
      if (onSelect) onSelect(d);
    });
    Hook(&frmLangProperties::SetShowHandler, [this](frmLangProperties& d) {
      ++propsShown;
      if (onProps) onProps(d);
    });
    Hook(&frmLangSelector::SetShowHandler, [this](frmLangSelector& d) {
      selectorTitles.push_back(d.windowTitle().toStdString());
      if (onSelector) onSelector(d);
    });
  }
  std::string Menu(const std::string& name) { return File("KestrovaMenu/Languages/" + name); }
  std::vector<std::string> AllFiles() {
    std::vector<std::string> out;
    for (auto& e : stdfs::recursive_directory_iterator(root)) out.push_back(e.path().string());
    std::sort(out.begin(), out.end());
    return out;
  }
  // The menu tool picked with English, and French loaded.
  void StartWithFrench() {
    ASSERT_TRUE(Start());
    win->mnuSelectToolChoice[1]->trigger();
    win->mnuLoadLanguageChoice[3]->trigger();
    ASSERT_EQ(win->Editor().LoadedLangs()->ChildCount(), 2);
  }

  std::function<void(frmNewLang&)> onNewLang;
  std::function<void(frmLangSelect&)> onSelect;
  std::function<void(frmLangProperties&)> onProps;
  std::function<void(frmLangSelector&)> onSelector;
  int newLangShown = 0, propsShown = 0;
  std::vector<std::string> selectorTitles;
};

}  // namespace

TEST_F(ManageForms, AddingPortugueseFromTheLocaleTreeCreatesItsFileAndListsIt) {
  stdfs::remove(Menu("KestrovaMenu_pt-BR.xml"));
  ASSERT_TRUE(Start());
  win->mnuSelectToolChoice[1]->trigger();
  onSelect = [](frmLangSelect& d) {
    d.LoadLocales(u"0416");
    ASSERT_TRUE(d.SelectedRecord());
    EXPECT_EQ(d.SelectedRecord()->Attribut(u"ISO"), u"pt-BR");
    d.cmdOK->click();
  };
  onNewLang = [](frmNewLang& d) {
    EXPECT_EQ(d.windowTitle().toStdString(), "Add language");
    EXPECT_FALSE(d.cmdOK->isEnabled());
    d.txtLangID->setText(QStringLiteral("  "));
    EXPECT_FALSE(d.cmdOK->isEnabled());
    d.cmdSelectLang->click();
    EXPECT_EQ(d.txtLangID->text().toStdString(), "pt-BR");
    EXPECT_EQ(d.txtEnLAngName->GetText(), u"Portuguese");
    EXPECT_TRUE(d.cmdOK->isEnabled());
    d.cmdOK->click();
  };
  onProps = [](frmLangProperties& d) {
    EXPECT_EQ(d.txtLangID->text().toStdString(), "pt-BR");
    EXPECT_EQ(d.txtIcon->GetText(), u"br.png");
    EXPECT_FALSE(d.picIcon->pixmap().isNull());  // br.png is in the demo's icons
    d.txtNativeName->SetText(u"Portugu\u00eas");
    d.cmdClose->click();
  };
  win->mnuNewLang->trigger();
  EXPECT_EQ(propsShown, 1);
  EXPECT_TRUE(messages.empty());

  XmlNodePtr languages = mLangFiles::FindLanguages(mLangFiles::ReadXmlFile(txt::FromUtf8(Menu("KestrovaMenu_pt-BR.xml")), false));
  ASSERT_TRUE(languages);
  EXPECT_EQ(languages->Attribut(u"version"), u"0.2");
  XmlNodePtr pt = languages->Child(1);
  ASSERT_TRUE(pt);
  EXPECT_EQ(pt->Name(), u"pt-BR");
  EXPECT_EQ(pt->Attribut(u"icon"), u"br.png");
  EXPECT_EQ(pt->Attribut(u"date"), vbdate::Format(vbdate::Today(), u"yyyy-mm-dd"));
  EXPECT_EQ(pt->Attribut(u"name"), u"Portugu\u00eas");
  XmlNodePtr title = pt->GetChildNode(u"Config.Labels.Title");  // the current structure, empty
  ASSERT_TRUE(title);
  EXPECT_TRUE(title->Value().empty());
  EXPECT_TRUE(HasMenuItem(win->mnuLoadLanguageChoice, "Portuguese [pt-BR]"));
  EXPECT_TRUE(HasMenuItem(win->mnuLangPropsChoice, "Portuguese (pt-BR)"));
}

TEST_F(ManageForms, ARefusedIdIsAskedAgainAndWritesNothing) {
  ASSERT_TRUE(Start());
  win->mnuSelectToolChoice[1]->trigger();
  auto before = AllFiles();
  onNewLang = [this](frmNewLang& d) {
    if (newLangShown == 1) {
      d.txtLangID->setText(QStringLiteral("../x"));
      d.cmdOK->click();
    } else if (newLangShown == 2) {
      EXPECT_EQ(d.txtLangID->text().toStdString(), "../x");  // shown again as typed
      d.txtLangID->setText(QStringLiteral("pt-BR"));
      d.cmdOK->click();
    } else if (newLangShown == 3) {
      d.txtLangID->setText(QStringLiteral(" EN "));
      d.cmdOK->click();
    } else {
      d.cmdCancel->click();
    }
  };
  win->mnuNewLang->trigger();
  EXPECT_EQ(newLangShown, 4);
  ASSERT_EQ(messages.size(), 3u);
  EXPECT_TRUE(testutil::Contains(messages[0], "only letters, digits"));
  EXPECT_EQ(messages[1], "This language already exists in the file \r\n" + Menu("KestrovaMenu_pt-BR.xml"));
  EXPECT_EQ(messages[2], "This language is already loaded.");
  EXPECT_EQ(propsShown, 0);
  EXPECT_EQ(AllFiles(), before);
  EXPECT_FALSE(CaptionDirty());
}

TEST_F(ManageForms, UnloadingTheLastLanguageEmptiesTheTreeAndDisablesEditing) {
  StartWithFrench();
  ASSERT_GT(win->XmlTree->Tree()->ChildCount(), 0);

  win->mnuLangDeleteChoice[2]->trigger();
  EXPECT_FALSE(HasMenuItem(win->mnuLangDeleteChoice, "French (fr)"));
  EXPECT_TRUE(win->mnuLoadLanguageChoice[3]->isEnabled());  // can be loaded again
  EXPECT_GT(win->XmlTree->Tree()->ChildCount(), 0);

  win->mnuLangDeleteChoice[1]->trigger();
  EXPECT_EQ(win->XmlTree->Tree()->ChildCount(), 0);
  EXPECT_FALSE(win->txtValue->Enabled());
  EXPECT_EQ(win->lstValues->count(), 0);
  EXPECT_TRUE(win->mnuLangDeleteChoice[0]->isVisible());
  EXPECT_FALSE(win->mnuExportLang->isEnabled());
  EXPECT_TRUE(messages.empty());
}

TEST_F(ManageForms, ExportWritesUnsavedEditsAndTheLanguageStaysDirty) {
  StartWithFrench();
  win->Editor().LoadedLangs()->GetChildNode(u"fr.Config.Labels.Exit")->Value(u"Sortir");
  win->Editor().MarkDirty(u"fr");
  ASSERT_TRUE(CaptionDirty());
  onSelector = [](frmLangSelector& d) {
    ASSERT_EQ(d.lstLanguages->count(), 2);
    EXPECT_EQ(d.lstLanguages->item(1)->text().toStdString(), "French (fr)");
    d.lstLanguages->setCurrentRow(1);
    d.cmdOK->click();
  };
  dialogAnswers.push_back(dir.tfile("exported.xml"));
  win->mnuExportLang->trigger();
  EXPECT_EQ(selectorTitles, (std::vector<std::string>{"Export language"}));
  ASSERT_EQ(dialogs.size(), 1u);
  EXPECT_EQ(dialogs[0].filter, u"XML Files (*.xml)|*.xml|All files|*.*");

  std::string out = testutil::ReadAll(dir.file("exported.xml"));
  EXPECT_TRUE(testutil::Contains(out, "<Exit>Sortir</Exit>"));
  EXPECT_TRUE(testutil::Contains(out, "<Languages version=\"0.4\">"));
  EXPECT_FALSE(testutil::Contains(testutil::ReadAll(Menu("KestrovaMenu_fr.xml")), "Sortir"));
  EXPECT_TRUE(CaptionDirty());
  EXPECT_TRUE(HasMenuItem(win->mnuSaveLangChoice, "Save French [fr]"));
}

TEST_F(ManageForms, PropertiesOpenedAndClosedLeaveTheLanguageClean) {
  StartWithFrench();
  onProps = [](frmLangProperties& d) {
    EXPECT_EQ(d.txtNativeName->GetText(), u"Fran\u00e7ais");
    EXPECT_EQ(d.txtVersion->GetText(), u"3.0");
    ASSERT_EQ(d.lstContributors->count(), 2);
    EXPECT_EQ(d.txtContribName->GetText(), u"Camille Martin");
    d.lstContributors->setCurrentRow(1);
    EXPECT_EQ(d.txtContribWebsite->GetText(), u"http://example.invalid/louis");
    d.cmdClose->click();
  };
  win->mnuLangPropsChoice[2]->trigger();
  EXPECT_EQ(propsShown, 1);
  EXPECT_FALSE(CaptionDirty());
}

TEST_F(ManageForms, ContributorsAreCreatedEditedAndDeletedAfterAQuestion) {
  StartWithFrench();
  onProps = [this](frmLangProperties& d) {
    d.cmdNewContrib->click();
    ASSERT_EQ(d.lstContributors->count(), 3);
    EXPECT_EQ(d.SelectedContributor(), 3);
    EXPECT_EQ(d.txtContribName->GetText(), u"new contributor");
    EXPECT_EQ(d.txtContribName->SelLength(), 15);
    d.txtContribName->SetText(u"Zo\u00e9");
    d.txtContribEmail->SetText(u"zoe@example.invalid");
    EXPECT_EQ(cLangProperties::ContributorRow(d.Model()->Contributor(3)), u"Zo\u00e9 <zoe@example.invalid>");

    // No keeps the entry, Yes removes it and the neighbour takes its place.
    d.lstContributors->setCurrentRow(0);
    answers = {platform::vbNo, platform::vbYes};
    d.cmdDelContrib->click();
    EXPECT_EQ(d.lstContributors->count(), 3);
    d.cmdDelContrib->click();
    ASSERT_EQ(d.lstContributors->count(), 2);
    EXPECT_EQ(d.SelectedContributor(), 1);
    EXPECT_EQ(d.txtContribName->GetText(), u"Louis Petit");
    EXPECT_EQ(d.Model()->Contributor(2)->Attribut(u"name"), u"Zo\u00e9");
    d.cmdClose->click();
  };
  win->mnuLangPropsChoice[2]->trigger();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0], "Remove this contributor's information from the language file ?");
  EXPECT_EQ(boxFlags[0], platform::vbYesNo | platform::vbQuestion);
  EXPECT_TRUE(CaptionDirty());
  EXPECT_TRUE(HasMenuItem(win->mnuSaveLangChoice, "Save French [fr]"));
  XmlNodePtr contributors = win->Editor().LoadedLangs()->GetChildNode(u"fr.Contributors");
  ASSERT_TRUE(contributors);
  EXPECT_EQ(contributors->ChildCount(), 2);
}
