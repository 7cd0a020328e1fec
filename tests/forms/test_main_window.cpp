// The main window driven as a translator would, offscreen.
#include <QDragEnterEvent>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QUrl>

#include <pugixml.hpp>

#include "AppInfo.h"
#include "forms/frmNewLang.h"
#include "tests/forms/FormsFixture.h"

TEST_F(FormsFixture, WithoutASuiteTheProgramOffersToChooseItAndRemembersTheChoice) {
  EXPECT_FALSE(Start(dir.path()));  // the offer declined: the program ends
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0], "Kestrova not found");
  EXPECT_EQ(boxFlags[0] & 0xF0, platform::vbCritical);
  EXPECT_EQ(boxFlags[1], platform::vbQuestion | platform::vbYesNo);
  EXPECT_TRUE(readmeTexts.empty());
  EXPECT_FALSE(win->isVisible());

  // Accepted: a folder without the suite is refused and asked again, then a folder below
  // the suite is taken.
  messages.clear();
  answers = {platform::vbOK, platform::vbYes, platform::vbOK};
  dialogAnswers = {dir.tfile("elsewhere"), txt::FromUtf8(root + "/KestrovaTools/Setup")};
  ASSERT_TRUE(Start(dir.path()));
  ASSERT_EQ(dialogs.size(), 2u);
  EXPECT_TRUE(dialogs[0].folder);
  EXPECT_TRUE(testutil::Contains(messages[2], "Kestrova.exe was not found in")) << messages[2];
  EXPECT_EQ(txt::ToUtf8(win->Editor().SuiteRoot()), root + "/");
  EXPECT_TRUE(win->mnuSelectToolChoice[1]->isEnabled());
  pugi::xml_document cfg;
  ASSERT_TRUE(cfg.load_file(dir.file("KsvLangEditor.xml").c_str()));
  EXPECT_EQ(std::string(cfg.child("KsvLangEditor").child("Config").child("Suite").child_value("Folder")), root + "/");

  // The next start goes there without a question.
  messages.clear();
  dialogs.clear();
  mConfig::SetConfigPath(dir.tfile("KsvLangEditor.xml"));
  ASSERT_TRUE(Start(dir.path()));
  EXPECT_TRUE(messages.empty());
  EXPECT_TRUE(dialogs.empty());
  EXPECT_EQ(txt::ToUtf8(win->Editor().SuiteRoot()), root + "/");
}

TEST_F(FormsFixture, TheFileMenuChangesSuiteAndAFileGivenAtStartIsOpened) {
  const Text langFile = txt::FromUtf8(File("Setup/KVSetup_fr.xml"));  // its suite is found from it
  ASSERT_TRUE(Start(dir.file("elsewhere"), false, langFile));
  EXPECT_EQ(txt::ToUtf8(win->Editor().SuiteRoot()), root + "/");
  EXPECT_EQ(win->Editor().OpenedFile(), langFile);
  EXPECT_EQ(win->Editor().LoadedLangs()->ChildCount(), 1);
  // The program's icon, small size included, on the window and on its dialogs.
  EXPECT_TRUE(win->windowIcon().availableSizes().contains(QSize(16, 16)));
  EXPECT_FALSE(frmNewLang(win.get()).windowIcon().pixmap(32).isNull());

  // Unsaved changes: Cancel keeps everything; No drops them for a suite of its own.
  std::string other = dir.file("other");
  std::filesystem::create_directories(other + "/KestrovaTools");
  testutil::WriteAll(other + "/Kestrova.exe", "");
  win->Editor().SetModified(true);
  answers = {platform::vbCancel};
  win->mnuChooseSuite->trigger();
  EXPECT_TRUE(dialogs.empty());
  EXPECT_TRUE(win->Editor().Modified());
  answers = {platform::vbNo};
  dialogAnswers = {txt::FromUtf8(other)};
  win->mnuChooseSuite->trigger();  // what the editing state drops is the logic test's
  EXPECT_EQ(txt::ToUtf8(win->Editor().SuiteRoot()), other + "/");
  EXPECT_FALSE(win->mnuSubmit->isEnabled());
  EXPECT_TRUE(win->windowTitle().endsWith(QString::fromStdString(" [" + other + "/]")));
  EXPECT_EQ(txt::ToUtf8(mConfig::GetConfig(u"Suite.Folder")), other + "/");
}

TEST_F(FormsFixture, StartShowsReadmeCaptionAndMenusThenAToolLoadsEnglishAndOffersTheOthers) {
  ASSERT_TRUE(Start());
  ASSERT_EQ(readmeTexts.size(), 1u);
  EXPECT_EQ(readmeTexts[0].rfind(u"Kestrova Translation Instructions", 0), 0u);
  EXPECT_EQ(win->windowTitle().toStdString(),
            "Kestrova Lang Editor v" + txt::ToUtf8(KSV_VERSION_TEXT) + " beta [" + root + "/]");
  ASSERT_EQ(win->mnuSelectToolChoice.size(), 9u);
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

TEST_F(FormsFixture, DroppingFilesOpensTheFirstXmlOneAndQuitAsksBeforeDroppingChanges) {
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
  // Quitting with unsaved changes asks; No closes and writes nothing.
  win->Editor().SetModified(true);
  answers = {platform::vbNo};
  win->mnuQuit->trigger();
  EXPECT_EQ(messages, (std::vector<std::string>{"Changes have not been saved.\r\n\r\nSave now ?"}));
  EXPECT_EQ(boxFlags[0], platform::vbYesNoCancel | platform::vbQuestion);
  EXPECT_FALSE(win->isVisible());
  EXPECT_EQ(testutil::ReadAll(dir.file("one.XML")), "<Languages version=\"0.4\"><it><A>uno</A></it></Languages>");
}
