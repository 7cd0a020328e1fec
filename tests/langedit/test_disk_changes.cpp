// Language files changed by another program while loaded: read again when nothing was
// edited here, merged string by string when saving edits, never overwritten blindly.
#include <pugixml.hpp>

#include "langedit/cLangSaver.h"
#include "storage/mFileUtils.h"
#include "tests/langedit/SuiteFixture.h"

namespace {

class DiskChangeTest : public SuiteFixture {
 protected:
  void SetUp() override {
    SuiteFixture::SetUp();
    answer = platform::vbYes;
    ed.SelectTool(1);
    ed.LoadLangListEntry(3);  // fr
    fr = Lang("KestrovaMenu_fr.xml");
    original = testutil::ReadAll(fr);
    platform::SetMsgBoxHandler([this](const platform::MsgBoxRequest& r) {
      messages.push_back(txt::ToUtf8(r.text));
      if (answers.empty()) return static_cast<int>(platform::vbYes);
      int a = answers.front();
      answers.erase(answers.begin());
      return a;
    });
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
  // The file as an independent reader sees it: one French string, or "" when absent.
  std::string Saved(const char* path) {
    pugi::xml_document doc;
    EXPECT_TRUE(doc.load_file(fr.c_str())) << fr;
    pugi::xpath_node n = doc.select_node((std::string("/Languages/fr/") + path).c_str());
    return n.attribute() ? n.attribute().value() : n ? n.node().text().get() : "";
  }

  cLangSaver saver{ed};
  std::vector<int> answers;
  std::string fr, original;
  std::vector<std::string> notes, reloaded;
  Connection notesConn, reloadConn;
};

}  // namespace

TEST_F(DiskChangeTest, UneditedLanguageIsReadAgainEditedOneWaitsAndAGoneFileChangesNothing) {
  ASSERT_EQ(ed.WatchedFiles(), std::vector<Text>({txt::FromUtf8(Lang("KestrovaMenu_en.xml")), txt::FromUtf8(fr)}));
  ed.FileChangedOnDisk(txt::FromUtf8(fr));  // a touch without a change
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
  ed.LoadedLangs()->GetChildNode(u"fr.Config.Labels.Title")->Value(u"Menu ici");
  ed.MarkDirty(u"fr");
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

TEST_F(DiskChangeTest, SavingMergesWhatAnotherProgramChangedAndAsksOnlyAboutTheSameString) {
  // Different strings: both changes land in the file, without a question.
  EditOnDisk("<Exit>Quitter</Exit>", "<Exit>Sortir</Exit>");
  EditOnDisk("<Contributors>", "<Contributors><Contributor name=\"Zo\"/>");
  EditHere(u"Config.Labels.Title", u"Menu ici");
  int asked = 0;
  saver.ResolveConflicts = [&](TextView, TextView, std::vector<cLangMerge::Conflict>&) { return ++asked, true; };
  ASSERT_EQ(saver.Save(u"fr"), cLangSaver::Result::Written);
  EXPECT_EQ(asked, 0);
  EXPECT_EQ(Saved("Config/Labels/Title"), "Menu ici");
  EXPECT_EQ(Saved("Config/Labels/Exit"), "Sortir");
  EXPECT_EQ(Saved("Contributors/Contributor[@name='Zo']/@name"), "Zo");
  EXPECT_EQ(Loaded("fr.Config.Labels.Exit"), "Sortir");  // memory follows the file
  EXPECT_FALSE(ed.IsLangDirty(u"fr"));
  EXPECT_TRUE(testutil::Contains(notes.back(), fr));
  ed.FileChangedOnDisk(txt::FromUtf8(fr));  // our own write is not a change from outside
  EXPECT_EQ(reloaded, std::vector<std::string>{"fr"});

  // The same string on both sides: asked; each answer gives its file, Cancel writes nothing.
  const struct {
    const char* what;
    int pick;  // 0 keep mine, 1 take theirs, -1 cancel
    const char* file;
    const char* memory;
  } cases[] = {{"keep mine", 0, "Mien", "Mien"}, {"take theirs", 1, "Sien", "Sien"}, {"cancel", -1, "Sien", "Mien"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EditOnDisk("<Title>", std::string("<Title>") + "Sien");
    std::string theirs = testutil::ReadAll(fr);
    EditHere(u"Config.Labels.Title", (u"Mien " + txt::FromUtf8(c.what)).c_str());
    std::vector<std::string> shown;
    saver.ResolveConflicts = [&](TextView file, TextView id, std::vector<cLangMerge::Conflict>& cs) {
      EXPECT_EQ(txt::ToUtf8(file), fr);
      EXPECT_EQ(id, u"fr");
      for (auto& k : cs) {
        shown.push_back(txt::ToUtf8(k.key + u"|" + k.base + u"|" + k.theirs + u"|" + k.ours));
        k.takeTheirs = c.pick == 1;
      }
      return c.pick >= 0;
    };
    cLangSaver::Result r = saver.Save(u"fr");
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_TRUE(testutil::Contains(shown[0], "Config.Labels.Title|") && testutil::Contains(shown[0], "|Mien"))
        << shown[0];
    EXPECT_EQ(Loaded("fr.Config.Labels.Title").substr(0, 4), c.memory);
    if (c.pick < 0) {
      EXPECT_EQ(r, cLangSaver::Result::Declined);
      EXPECT_EQ(testutil::ReadAll(fr), theirs);
      EXPECT_TRUE(ed.IsLangDirty(u"fr"));
    } else {
      EXPECT_EQ(r, cLangSaver::Result::Written);
      EXPECT_EQ(Saved("Config/Labels/Title").substr(0, 4), c.file);
      EXPECT_EQ(Saved("Config/Labels/Exit"), "Sortir");
    }
  }
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
    if (*spoiled) EXPECT_EQ(testutil::ReadAll(fr), spoiled);
    EXPECT_TRUE(ed.IsLangDirty(u"fr"));

    answers = {platform::vbYes, platform::vbYes};
    ASSERT_EQ(saver.Save(u"fr"), cLangSaver::Result::Written);
    EXPECT_EQ(Saved("Config/Labels/Exit"), "Sortie");
    EXPECT_EQ(Saved("Config/Labels/Title"), "Kestrova Menu");
    if (*spoiled) EXPECT_EQ(testutil::ReadAll(fr + ".unreadable"), spoiled);
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
  ed.LoadedLangs()->GetChildNode(u"fr.T")->Value(u"Titre ici");
  ed.MarkDirty(u"fr");
  std::filesystem::remove(file);
  answers = {platform::vbYes, platform::vbYes};
  ASSERT_EQ(saver.Save(u"fr"), cLangSaver::Result::Written);
  pugi::xml_document doc;
  ASSERT_TRUE(doc.load_file(file.c_str()));
  EXPECT_STREQ(doc.select_node("/Languages/fr/T").node().text().get(), "Titre ici");
  EXPECT_STREQ(doc.select_node("/Languages/en/T").node().text().get(), "Title");
  EXPECT_FALSE(doc.select_node("/Languages/en/E"));  // cleaned as a save cleans
}
