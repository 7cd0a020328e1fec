// Language management walked through the main window as a translator would, with the
// dialogs answered by the test.
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <filesystem>

#include "langedit/cLangProperties.h"
#include "forms/frmLangProperties.h"
#include "forms/frmLangSelect.h"
#include "forms/frmNewLang.h"
#include "tests/forms/FormsFixture.h"
#include "tests/langedit/WrittenFile.h"

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
  }

  std::function<void(frmNewLang&)> onNewLang;
  std::function<void(frmLangSelect&)> onSelect;
  std::function<void(frmLangProperties&)> onProps;
  int newLangShown = 0, propsShown = 0;
};

}  // namespace

TEST_F(ManageForms, AddingPortugueseFromTheLocaleTreeCreatesItsFileAndListsIt) {
  stdfs::remove(Menu("KestrovaMenu_pt-BR.xml"));
  StartTool();
  onSelect = [](frmLangSelect& d) {
    // Found by its native name and country, taken with Enter from the search box.
    d.txtSearch->setText(QString::fromUtf8("PORTUGU\u00CAS bra"));
    ASSERT_TRUE(d.SelectedRecord());
    EXPECT_EQ(d.SelectedRecord()->Attribut(u"ISO"), u"pt-BR");
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(d.txtSearch, &enter);
  };
  onNewLang = [](frmNewLang& d) {
    d.txtLangID->setText(QStringLiteral("  "));
    EXPECT_FALSE(d.cmdOK->isEnabled());
    d.cmdSelectLang->click();
    EXPECT_EQ(d.txtLangID->text().toStdString(), "pt-BR");
    EXPECT_EQ(d.txtEnLAngName->GetText(), u"Portuguese");
    EXPECT_TRUE(d.cmdOK->isEnabled());
    d.cmdOK->click();
  };
  onProps = [](frmLangProperties& d) {
    EXPECT_FALSE(d.picIcon->pixmap().isNull());  // br.png is in the demo's icons
    d.txtNativeName->SetText(u"Portugu\u00eas");
    d.cmdClose->click();
  };
  win->mnuNewLang->trigger();
  EXPECT_EQ(propsShown, 1);
  EXPECT_TRUE(messages.empty());

  // What the properties dialog changed is in the new file.
  WrittenFile written(Menu("KestrovaMenu_pt-BR.xml"));
  ASSERT_TRUE(written.ok);
  EXPECT_EQ(std::string(written.Languages().child("pt-BR").attribute("name").value()), "Portugu\u00eas");
  EXPECT_TRUE(HasMenuItem(win->mnuLoadLanguageChoice, "Portuguese [pt-BR]"));
}

TEST_F(ManageForms, UnloadingTheLastLanguageEmptiesTheTreeAndDisablesEditing) {
  StartTool({"fr"});
  ASSERT_EQ(win->Editor().LoadedLangs()->ChildCount(), 2);
  win->mnuLangDeleteChoice[2]->trigger();
  EXPECT_TRUE(win->mnuLoadLanguageChoice[3]->isEnabled());  // French can be loaded again
  win->mnuLangDeleteChoice[1]->trigger();
  EXPECT_EQ(win->XmlTree->Tree()->ChildCount(), 0);
  EXPECT_FALSE(win->txtValue->Enabled());
  EXPECT_TRUE(win->mnuLangDeleteChoice[0]->isVisible());
  EXPECT_FALSE(win->mnuExportLang->isEnabled());
}

TEST_F(ManageForms, PropertiesShowTheLanguageAndContributorsAreCreatedEditedAndDeleted) {
  StartTool({"fr"});
  ASSERT_EQ(win->Editor().LoadedLangs()->ChildCount(), 2);
  onProps = [](frmLangProperties& d) {
    EXPECT_EQ(d.txtNativeName->GetText(), u"Fran\u00e7ais");
    ASSERT_EQ(d.lstContributors->count(), 2);
    EXPECT_EQ(d.txtContribName->GetText(), u"Camille Martin");
    d.cmdClose->click();
  };
  win->mnuLangPropsChoice[2]->trigger();
  EXPECT_FALSE(CaptionDirty());

  onProps = [this](frmLangProperties& d) {
    d.cmdNewContrib->click();
    ASSERT_EQ(d.lstContributors->count(), 3);
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
  EXPECT_TRUE(HasMenuItem(win->mnuSaveLangChoice, "Save French [fr]"));
}
