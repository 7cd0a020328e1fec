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

  std::string fr;
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
