// The Problems panel, the review marks across restarts and the check before a submission,
// driven through the real window on a copy of the demo suite.
#include <QComboBox>
#include <QDockWidget>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <pugixml.hpp>

#include "forms/cProblemsPanel.h"
#include "forms/cWorkbench.h"
#include "forms/frmSubmit.h"
#include "forms/frmSubmitCheck.h"
#include "tests/forms/FormsFixture.h"

namespace {

using Reason = cReviewMarks::Reason;
constexpr char16_t kTool[] = u"Kestrova Menu";

class Problems : public FormsFixture {
 protected:
  // Starts (or starts again) on the first tool with `ids` loaded, the window active for keys.
  void StartWith(std::initializer_list<const char*> ids) {
    StartTool(ids);
    Activate();
  }
  // Closes the window, changes files while it is gone, starts again.
  void Restart(const std::function<void()>& meanwhile = {}) {
    win->close();
    win.reset();
    if (meanwhile) meanwhile();
    StartWith({});
  }
  cProblemsPanel& P() { return win->Problems(); }
  Reason Pending(const char16_t* lang, const char16_t* path) { return P().Marks().Pending(kTool, lang, path); }
  void Select(const char16_t* path, const char16_t* lang) { win->Workbench().SelectString(path, lang); }
  std::string MarksFile() { return dir.file("KsvLangEditor.review.xml"); }
};

}  // namespace

TEST_F(Problems, ReviewMarksFollowFillEditsCtrlEnterAndEnglishChangesAcrossRestarts) {
  StartWith({"fr"});
  AnswerPicker();
  pickRow = "English (en)";
  int fr = win->Editor().LoadedLangs()->Child(1)->Name() == u"fr" ? 1 : 2;
  win->mnuFillEmptyStringsChoice[static_cast<size_t>(fr)]->trigger();
  EXPECT_EQ(Pending(u"fr", u"Config.Options.StartWithSystem"), Reason::Filled);
  EXPECT_EQ(Pending(u"fr", u"Menu.File.Open"), Reason::None);  // translated before: no mass marking
  EXPECT_TRUE(P().lblCounts->text().contains(QStringLiteral("to review"))) << P().lblCounts->text().toStdString();
  answers.push_back(platform::vbYes);  // "Save changes in fr ?"
  win->mnuSave->trigger();

  // After a restart the marks are still shown, listed and drawn on the tree.
  Restart();
  size_t filled = P().List().Count({u"fr"}).review;
  EXPECT_GE(filled, 1u);
  pugi::xml_document side;  // what the editor wrote, as another reader sees it
  ASSERT_TRUE(side.load_file(MarksFile().c_str()));
  EXPECT_STREQ(side.child("KsvReviewMarks").find_child_by_attribute("Tool", "name", "Kestrova Menu")
                   .find_child_by_attribute("Lang", "id", "fr")
                   .find_child_by_attribute("S", "key", "Config.Options.StartWithSystem")
                   .attribute("review").value(),
               "filled");
  cVisualNode* item = FindItem(win->XmlTree->Tree(), u"StartWithSystem");
  ASSERT_NE(item, nullptr);
  EXPECT_GE(win->XmlTree->ItemMark(item), 0);

  // Typing in the string confirms it.
  Select(u"Config.Options.StartWithSystem", u"fr");
  win->txtValue->SetText(u"Lancer au d\u00E9marrage");
  EXPECT_EQ(Pending(u"fr", u"Config.Options.StartWithSystem"), Reason::None);
  EXPECT_EQ(P().List().Count({u"fr"}).review, filled - 1);
  EXPECT_EQ(win->XmlTree->ItemMark(item), -1);
  win->Workbench().Undo();  // the copied text is back, and so is its mark
  EXPECT_EQ(Pending(u"fr", u"Config.Options.StartWithSystem"), Reason::Filled);
  win->Workbench().Redo();
  EXPECT_EQ(Pending(u"fr", u"Config.Options.StartWithSystem"), Reason::None);
  answers.push_back(platform::vbYes);  // "Save changes in fr ?"
  win->mnuSave->trigger();

  // The English text of a key changed in its file: the translation of that key is marked;
  // Ctrl+Enter on it confirms it.
  Restart([this] {
    std::string text = testutil::ReadAll(Menu("KestrovaMenu_en.xml"));
    testutil::WriteAll(Menu("KestrovaMenu_en.xml"), text.insert(text.find("<Open>") + 6, "Now "));
  });
  EXPECT_EQ(Pending(u"fr", u"Menu.File.Open"), Reason::EnglishChanged);
  EXPECT_EQ(Pending(u"fr", u"Config.Options.StartWithSystem"), Reason::None);
  Select(u"Menu.File.Open", u"fr");
  QTest::keyClick(win->txtValue->hWnd(), Qt::Key_Return, Qt::ControlModifier);
  EXPECT_EQ(Pending(u"fr", u"Menu.File.Open"), Reason::None);

}

TEST_F(Problems, PanelListsTheDemoFindingsFollowsTypingAndSelectsTheString) {
  StartWith({"fr", "de"});
  QTest::keyClick(win.get(), Qt::Key_F8);
  ASSERT_TRUE(P().Dock->isVisible());
  int all = P().lstProblems->topLevelItemCount();
  ASSERT_GT(all, 0);
  P().cboLang->setCurrentIndex(P().cboLang->findText(QStringLiteral("de")));
  int de = P().lstProblems->topLevelItemCount();
  ASSERT_GT(de, 0);
  EXPECT_LT(de, all);
  QTreeWidgetItem* first = P().lstProblems->topLevelItem(0);
  EXPECT_EQ(first->text(0), QStringLiteral("de"));
  P().lstProblems->setCurrentItem(first);
  P().lstProblems->itemActivated(first, 0);  // as a double click reports it
  EXPECT_EQ(win->lblPath->text(), QStringLiteral(".") + first->text(1));
  EXPECT_EQ(win->Workbench().EditedLang(), u"de");
  // F8 with the panel open moves to the next problem.
  QTest::keyClick(win.get(), Qt::Key_F8);
  EXPECT_EQ(P().lstProblems->indexOfTopLevelItem(P().lstProblems->currentItem()), 1 % de);

  // A placeholder typed away shows at once as an error of that string, and goes when mended.
  Select(u"Config.Labels.Version", u"de");
  size_t errors = P().List().Count({u"de"}).errors;
  QTest::keyClick(win->txtValue->hWnd(), Qt::Key_Backspace);
  QTest::keyClick(win->txtValue->hWnd(), Qt::Key_Backspace);
  EXPECT_EQ(P().List().Count({u"de"}).errors, errors + 1);
  CheckSeverity worst;
  ASSERT_TRUE(P().List().Worst(u"de", u"Config.Labels.Version", worst));
  EXPECT_EQ(worst, CheckSeverity::Error);
  QTest::keyClicks(win->txtValue->hWnd(), "%s");
  EXPECT_EQ(P().List().Count({u"de"}).errors, errors);
}

TEST_F(Problems, SubmissionShowsTheCountsAndReviewOpensThePanelOnThatLanguage) {
  StartWith({});
  std::vector<std::string> asked;
  Hook(&frmSubmitCheck::SetShowHandler, [&](frmSubmitCheck& d) {
    asked.push_back(d.lblCounts->text().toStdString());
    d.cmdReview->click();
  });
  bool shown = false;
  QTimer::singleShot(0, [&] {
    auto* dlg = dynamic_cast<frmSubmit*>(QApplication::activeModalWidget());
    if (!dlg) return;
    shown = true;
    dlg->cmbLangs->setCurrentIndex(dlg->cmbLangs->findText(QStringLiteral("[fr]"), Qt::MatchEndsWith));
    dlg->cmbLangs_Click();
    dlg->cmdZIP->click();  // the check runs first; "Review" closes the dialog
  });
  win->mnuSubmit->trigger();
  ASSERT_TRUE(shown);
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_TRUE(testutil::Contains(asked[0], "The checks of fr found ")) << asked[0];
  EXPECT_TRUE(testutil::Contains(asked[0], "needing review")) << asked[0];
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  EXPECT_TRUE(messages.empty());  // nothing was packed, so nothing was asked about an archive
  // French was brought in and the panel lists only it.
  EXPECT_NE(win->Editor().FindLangEntry(u"fr"), nullptr);
  ASSERT_TRUE(P().Dock->isVisible());
  EXPECT_EQ(P().cboLang->currentText(), QStringLiteral("fr"));
  ASSERT_GT(P().lstProblems->topLevelItemCount(), 0);
  for (int i = 0; i < P().lstProblems->topLevelItemCount(); ++i)
    EXPECT_EQ(P().lstProblems->topLevelItem(i)->text(0), QStringLiteral("fr"));
}
