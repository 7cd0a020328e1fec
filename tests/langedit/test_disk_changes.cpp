// Language files changed by another program while loaded: read again when nothing was
// edited here, merged string by string when saving edits, never overwritten blindly.
#include "langedit/cLangSaver.h"
#include "storage/mFileUtils.h"
#include "tests/langedit/SuiteFixture.h"
#include "tests/langedit/WrittenFile.h"

namespace {

class DiskChangeTest : public SuiteFixture {
 protected:
  void SetUp() override {
    SuiteFixture::SetUp();
    ed.SelectTool(1);
    ed.LoadLangListEntry(3);  // fr
    fr = Lang("KestrovaMenu_fr.xml");
    answer = platform::vbYes;
    notesConn = ed.StatusNote.Subscribe([this](const Text& t) { notes.push_back(txt::ToUtf8(t)); });
    reloadConn = ed.LangReloaded.Subscribe([this](const Text& id) { reloaded.push_back(txt::ToUtf8(id)); });
  }
  // Another program's edit: one text replaced in the file.
  void EditOnDisk(const std::string& from, const std::string& to) {
    std::string s = testutil::ReadAll(fr);
    size_t at = s.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    testutil::WriteAll(fr, s.replace(at, from.size(), to));
  }
  std::string Loaded(const char* path) { return txt::ToUtf8(ed.GetString(txt::FromUtf8(path))); }
  void EditHere(const char16_t* path, const char16_t* value) {
    ed.LoadedLangs()->GetChildNode(Text(u"fr.") + path)->Value(value);
    ed.MarkDirty(u"fr");
  }

  cLangSaver saver{ed};
  std::string fr;
  std::vector<std::string> notes, reloaded;
  Connection notesConn, reloadConn;
};

}  // namespace

TEST_F(DiskChangeTest, UneditedLanguageIsReadAgainEditedOneWaitsAndAGoneFileChangesNothing) {
  ASSERT_EQ(ed.WatchedFiles(), std::vector<Text>({txt::FromUtf8(Lang("KestrovaMenu_en.xml")), txt::FromUtf8(fr)}));
  ed.FileChangedOnDisk(txt::FromUtf8(fr));  // a touch without a change
  EditOnDisk("date=\"2026-11-20\"", "date=\"2026-11-21\"");  // a change French need not show
  ed.FileChangedOnDisk(txt::FromUtf8(fr));
  EXPECT_TRUE(reloaded.empty());

  EditOnDisk("<Exit>Quitter</Exit>", "<Exit>Sortir</Exit><Back>Retour</Back>");
  ed.FileChangedOnDisk(txt::FromUtf8(fr));
  EXPECT_EQ(reloaded, std::vector<std::string>{"fr"});
  EXPECT_EQ(LoadedIds(), (std::vector<std::string>{"en", "fr"}));
  EXPECT_EQ(Loaded("fr.Config.Labels.Exit"), "Sortir");
  EXPECT_TRUE(ed.TreeDoc()->GetChildNode(u"Config.Labels.Back"));  // the tree gains the new string
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_TRUE(testutil::Contains(notes[0], fr));
  EXPECT_FALSE(ed.Modified());

  // Edited here: kept as it is until saved.
  EditHere(u"Config.Labels.Title", u"Menu ici");
  EditOnDisk("<Exit>Sortir</Exit>", "<Exit>Partir</Exit>");
  ed.FileChangedOnDisk(txt::FromUtf8(fr));
  EXPECT_EQ(reloaded.size(), 1u);
  EXPECT_EQ(Loaded("fr.Config.Labels.Exit"), "Sortir");
  EXPECT_EQ(Loaded("fr.Config.Labels.Title"), "Menu ici");

  // Gone or broken: what is in memory stays.
  ed.LoadedLangs()->GetChildNode(u"fr.Config.Labels.Title")->Value(u"Kestrova Menu");
  ed.LangList()->FindNode(u"a:id=fr", false, true)->Attribut(u"dirty", u"");
  for (const char* broken : {"<Languages><fr>", ""}) {
    if (*broken) testutil::WriteAll(fr, broken);
    else std::filesystem::remove(fr);
    ed.FileChangedOnDisk(txt::FromUtf8(fr));
    EXPECT_EQ(Loaded("fr.Config.Labels.Exit"), "Sortir") << broken;
  }
  EXPECT_EQ(reloaded.size(), 1u);
}

TEST_F(DiskChangeTest, AVanishedOrSpoiledFileIsWrittenAgainOnlyWhenWantedAndItsContentKept) {
  for (const char* spoiled : {"", "not xml at all", "<Languages><fr><Config>"}) {
    SCOPED_TRACE(spoiled);
    if (*spoiled) testutil::WriteAll(fr, spoiled);
    else std::filesystem::remove(fr);
    EditHere(u"Config.Labels.Exit", u"Sortie");
    messages.clear();
    answers = {platform::vbYes, platform::vbNo};
    EXPECT_EQ(saver.Save(u"fr"), cLangSaver::Result::Declined);
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_TRUE(testutil::Contains(messages[1], fr)) << messages[1];
    EXPECT_EQ(testutil::Exists(fr), *spoiled != 0);
    if (*spoiled) {
      EXPECT_EQ(testutil::ReadAll(fr), spoiled);
    }
    EXPECT_TRUE(ed.IsLangDirty(u"fr"));

    answers = {platform::vbYes, platform::vbYes};
    ASSERT_EQ(saver.Save(u"fr"), cLangSaver::Result::Written);
    WrittenFile file(fr);
    EXPECT_EQ(file.Value("fr.Config.Labels.Exit"), "Sortie");
    EXPECT_EQ(file.Value("fr.Config.Labels.Title"), "Kestrova Menu");
    if (*spoiled) {
      EXPECT_EQ(testutil::ReadAll(fr + ".unreadable"), spoiled);
    }
    std::filesystem::remove(fr + ".unreadable");
    // The editor reads its own file again.
    cLangEditor again;
    again.SetSuiteRoot(txt::FromUtf8(root));
    ASSERT_TRUE(again.LoadLanguage(txt::FromUtf8(fr), u"fr"));
    EXPECT_EQ(again.GetString(u"fr.Config.Labels.Exit"), u"Sortie");
  }
}

TEST_F(DiskChangeTest, AnOpenedFileWrittenAgainKeepsEveryLanguageItHeld) {
  std::string file = dir.file("both.xml");
  testutil::WriteAll(file, "<Languages version=\"0.4\"><en><T>Title</T><E></E></en><fr><T>Titre</T></fr></Languages>");
  ed.OpenLangFile(txt::FromUtf8(file));
  ASSERT_EQ(LoadedIds(), (std::vector<std::string>{"en", "fr"}));
  EditHere(u"T", u"Titre ici");
  std::filesystem::remove(file);
  answers = {platform::vbYes, platform::vbYes};
  ASSERT_EQ(saver.Save(u"fr"), cLangSaver::Result::Written);
  WrittenFile written(file);
  EXPECT_EQ(written.Value("fr.T"), "Titre ici");
  EXPECT_EQ(written.Value("en.T"), "Title");
  EXPECT_EQ(written.Value("en.E"), "<missing>");  // cleaned as a save cleans
}
