// Every menu command that writes or drops a translator's edit, clicked through the window:
// what is on disk (read back by pugixml, then opened again by the editor) and what is
// still in memory afterwards, with the writes succeeding and with every write failing.
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <map>

#include "forms/frmLangProperties.h"
#include "forms/frmNewLang.h"
#include "platform/FileSys.h"
#include "tests/forms/FormsFixture.h"
#include "tests/langedit/WrittenFile.h"

namespace stdfs = std::filesystem;

namespace {

const Text kEdit = u"Salut <&> \"tous\"";
const std::string kEditUtf8 = txt::ToUtf8(kEdit);
constexpr int Y = platform::vbYes, N = platform::vbNo;

class Walkthrough : public FormsFixture {
 protected:
  void SetUp() override {
    FormsFixture::SetUp();
    AnswerPicker();
    Hook(&frmNewLang::SetShowHandler, [](frmNewLang& d) {
      d.txtLangID->setText(QStringLiteral("it"));
      d.cmdOK->click();
    });
    Hook(&frmLangProperties::SetShowHandler, [](frmLangProperties& d) { d.cmdClose->click(); });
  }
  std::map<std::string, std::string> Snapshot() {
    std::map<std::string, std::string> files;
    for (const std::string& top : {root, dir.path() + "/out"})
      for (auto& e : stdfs::recursive_directory_iterator(top))
        if (e.is_regular_file()) files[e.path().string()] = testutil::ReadAll(e.path().string());
    return files;
  }
};

struct Command {
  const char* name;
  std::vector<int> answers;
  std::function<void()> act;
  std::string file;   // relative to the suite's tools folder, or "out/..." below the test folder
  std::string path = "fr.Config.Labels.Title";
  std::string value = kEditUtf8;
  bool unsavedAfter = false;  // the edit is still only in memory
};

}  // namespace

TEST_F(Walkthrough, EveryWritingOrDiscardingCommand) {
  std::string italian = dir.file("it.xml");
  testutil::WriteAll(italian, "<Languages version=\"0.4\"><it en_name=\"Italian\"><Config><Labels><Title>Titolo</Title>"
                              "</Labels></Config></it></Languages>");
  std::string opened = dir.file("opened.xml");
  const Command commands[] = {
      {"save all", {Y}, [&] { win->mnuSave->trigger(); }, "KestrovaMenu/Languages/KestrovaMenu_fr.xml"},
      {"save language", {Y}, [&] { win->mnuSaveLangChoice[1]->trigger(); },
       "KestrovaMenu/Languages/KestrovaMenu_fr.xml"},
      {"close", {Y, Y}, [&] { win->close(); }, "KestrovaMenu/Languages/KestrovaMenu_fr.xml"},
      {"tool switch", {Y, Y}, [&] { win->mnuSelectToolChoice[2]->trigger(); },
       "KestrovaMenu/Languages/KestrovaMenu_fr.xml"},
      {"unload", {Y}, [&] { win->mnuLangDeleteChoice[2]->trigger(); },
       "KestrovaMenu/Languages/KestrovaMenu_fr.xml"},
      {"export", {},
       [&] {
         pickRow = "French (fr)";
         dialogAnswers.push_back(dir.tfile("out/export.xml"));
         win->mnuExportLang->trigger();
       },
       "out/export.xml", "fr.Config.Labels.Title", kEditUtf8, true},
      {"save as", {},
       [&] {
         dialogAnswers.push_back(dir.tfile("out/as.xml"));
         win->mnuSaveAs->trigger();
       },
       "out/as.xml"},
      {"add language", {},
       [&] { win->mnuNewLang->trigger(); },
       "KestrovaMenu/Languages/KestrovaMenu_it.xml", "it.Config.Labels.Title", "", true},
      {"import, then save all", {Y, Y},
       [&] {
         pickRow = "Italian (it)";
         dialogAnswers.push_back(txt::FromUtf8(italian));
         win->mnuImportLang->trigger();
         answers = {N, Y};  // French not now, Italian yes
         win->mnuSave->trigger();
       },
       "KestrovaMenu/Languages/KestrovaMenu_it.xml", "it.Config.Labels.Title", "Titolo", true},
      {"direct open, then save all", {N, Y},
       [&] {
         dialogAnswers.push_back(txt::FromUtf8(opened));
         win->mnuOpenLangFile->trigger();
         Type(u"Title", 1, kEdit);
         win->mnuSave->trigger();
       },
       "../../opened.xml"},
  };
  for (bool fail : {false, true}) {
    for (const Command& c : commands) {
      SCOPED_TRACE(std::string(c.name) + (fail ? ", every write failing" : ""));
      stdfs::remove_all(dir.path() + "/out");
      stdfs::create_directories(dir.path() + "/out");
      stdfs::remove(Menu("KestrovaMenu_it.xml"));
      testutil::WriteAll(opened, "<Languages version=\"0.4\"><en><Config><Labels><Title>Menu</Title></Labels></Config>"
                                 "</en><fr><Config><Labels><Title>Titre</Title></Labels></Config></fr></Languages>");
      StartTool({"fr"});
      Type(u"Title", 1, kEdit);
      auto before = Snapshot();
      messages.clear();
      answers.assign(c.answers.begin(), c.answers.end());
      if (fail) platform::fs::FailAlways(platform::fs::Op::Write);
      c.act();
      platform::fs::ResetFaults();
      std::string target = c.file.rfind("out/", 0) == 0 ? dir.file(c.file) : File(c.file);
      auto after = Snapshot();
      if (fail) {
        // Nothing on disk changed, the message names the file, the edit is still there.
        EXPECT_EQ(after, before);
        bool named = false;
        for (const auto& m : messages) named |= testutil::Contains(m, stdfs::path(target).filename().string());
        EXPECT_TRUE(named) << testing::PrintToString(messages);
        EXPECT_TRUE(win->Editor().Modified());
        EXPECT_TRUE(win->isVisible());
        if (std::string(c.name) != "direct open, then save all") {
          EXPECT_EQ(win->Editor().GetString(u"fr.Config.Labels.Title"), kEdit);
        }
        continue;
      }
      // Only the target changed; pugixml reads it; the editor opens it again.
      for (auto& [path, bytes] : after)
        if (stdfs::path(path) != stdfs::path(target).lexically_normal()) {
          EXPECT_EQ(bytes, before[path]) << path << " / " << target;
        }
      WrittenFile written(target);
      if (!written.ok) {
        ADD_FAILURE() << "not well-formed: " << testutil::ReadAll(target);
        continue;
      }
      EXPECT_EQ(written.Value(c.path), c.value);
      cLangEditor again;
      again.OpenLangFile(txt::FromUtf8(target));
      EXPECT_EQ(txt::ToUtf8(again.GetString(txt::FromUtf8(c.path))), c.value);
      EXPECT_EQ(win->Editor().Modified(), c.unsavedAfter);
    }
  }
}
