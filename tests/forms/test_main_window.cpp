// The main window driven as a translator would, offscreen.
#include <QDragEnterEvent>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QUrl>

#include "AppInfo.h"
#include "tests/forms/FormsFixture.h"

TEST_F(FormsFixture, WithoutASuiteTheProgramSaysSoAndEnds) {
  EXPECT_FALSE(Start(dir.path()));
  EXPECT_EQ(messages, (std::vector<std::string>{"Kestrova not found"}));
  EXPECT_EQ(boxFlags[0] & 0xF0, platform::vbCritical);
  EXPECT_TRUE(readmeTexts.empty());
  EXPECT_FALSE(win->isVisible());
}

TEST_F(FormsFixture, StartShowsReadmeCaptionAndMenusThenAToolLoadsEnglishAndOffersTheOthers) {
  ASSERT_TRUE(Start());
  ASSERT_EQ(readmeTexts.size(), 1u);
  EXPECT_EQ(readmeTexts[0].rfind(u"Kestrova Translation Instructions (Last Updated 2010-09-15)\r\n\r\n1. Copy", 0), 0u);
  EXPECT_EQ(win->windowTitle().toStdString(),
            "Kestrova Lang Editor v" + txt::ToUtf8(KSV_VERSION_TEXT) + " beta [" + root + "/]");
  ASSERT_EQ(win->mnuSelectToolChoice.size(), 9u);
  EXPECT_FALSE(win->mnuSelectToolChoice[0]->isVisible());
  EXPECT_TRUE(win->mnuSelectToolChoice[3]->isEnabled());
  EXPECT_FALSE(win->mnuSelectToolChoice[4]->isEnabled());  // no files for it in the demo
  EXPECT_FALSE(win->mnuEdit->isEnabled());
  EXPECT_EQ(Captions(win->mnuLangDeleteChoice), (std::vector<std::string>{"(no lang loaded)"}));

  win->mnuSelectToolChoice[1]->trigger();
  EXPECT_TRUE(win->mnuSelectToolChoice[1]->isChecked());
  EXPECT_TRUE(win->mnuEdit->isEnabled());
  EXPECT_EQ(Captions(win->mnuLoadLanguageChoice),
            (std::vector<std::string>{"German [de]", "English [en]", "French [fr]", "Portuguese [pt-BR]"}));
  EXPECT_FALSE(win->mnuLoadLanguageChoice[2]->isEnabled());  // English is loaded
  EXPECT_FALSE(win->mnuFindEmptyString->isEnabled());         // the aids need a second language
  win->mnuLoadLanguageChoice[3]->trigger();                   // French
  EXPECT_FALSE(win->mnuLoadLanguageChoice[3]->isEnabled());
  EXPECT_TRUE(win->mnuFillEmptyStrings->isEnabled());
  EXPECT_EQ(Captions(win->mnuLangPropsChoice), (std::vector<std::string>{"English (en)", "French (fr)"}));

  // The tree shows the strings, never the contributors; a stored line break shows as one.
  cVisualNode* root = win->XmlTree->Tree();
  EXPECT_FALSE(FindItem(root, u"Contributors"));
  win->XmlTree->SelectNode(FindItem(root, u"Welcome"));
  EXPECT_EQ(win->lblPath->text().toStdString(), ".Config.Labels.Welcome");
  ASSERT_EQ(win->lstValues->count(), 2);
  win->lstValues->setCurrentRow(1);
  EXPECT_EQ(win->txtValue->GetText(), u"Bienvenue dans Kestrova !\r\nChoisissez un outil ci-dessous.");
  EXPECT_TRUE(messages.empty());
}

TEST_F(FormsFixture, DroppingFilesOpensTheFirstXmlOne) {
  ASSERT_TRUE(Start());
  testutil::WriteAll(dir.file("notes.TXT"), "text");
  testutil::WriteAll(dir.file("one.XML"), "<Languages version=\"0.4\"><it><A>uno</A></it></Languages>");
  QMimeData onlyText;
  onlyText.setUrls({QUrl::fromLocalFile(QString::fromStdString(dir.file("notes.TXT")))});
  QDragEnterEvent refuse(QPoint(5, 5), Qt::CopyAction, &onlyText, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(win.get(), &refuse);
  EXPECT_FALSE(refuse.isAccepted());

  QMimeData both;
  both.setUrls({QUrl::fromLocalFile(QString::fromStdString(dir.file("notes.TXT"))),
                QUrl::fromLocalFile(QString::fromStdString(dir.file("one.XML")))});
  QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &both, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(win.get(), &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &both, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(win.get(), &drop);
  ASSERT_EQ(win->Editor().LoadedLangs()->ChildCount(), 1);
  EXPECT_EQ(win->Editor().LoadedLangs()->Child(1)->Name(), u"it");
  EXPECT_EQ(win->Editor().OpenedFile(), dir.tfile("one.XML"));
}

TEST_F(FormsFixture, QuitAsksWhenModifiedAndNoClosesWithoutSaving) {
  ASSERT_TRUE(Start());
  win->mnuSelectToolChoice[1]->trigger();
  std::string english = testutil::ReadAll(File("KestrovaMenu/Languages/KestrovaMenu_en.xml"));
  win->Editor().SetModified(true);
  answers = {platform::vbNo};
  win->mnuQuit->trigger();
  EXPECT_EQ(messages, (std::vector<std::string>{"Changes have not been saved.\r\n\r\nSave now ?"}));
  EXPECT_EQ(boxFlags[0], platform::vbYesNoCancel | platform::vbQuestion);
  EXPECT_FALSE(win->isVisible());
  EXPECT_EQ(testutil::ReadAll(File("KestrovaMenu/Languages/KestrovaMenu_en.xml")), english);

}
