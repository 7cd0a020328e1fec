// What a translator meets when a file is not what it should be: a temporary copy left by an
// interrupted save beside a language file, and a file nested too deep to be shown.
#include <chrono>
#include <cstdio>

#include "tests/forms/FormsFixture.h"

namespace {

class FileSafetyFixture : public FormsFixture {
 protected:
  std::vector<std::string> Temporaries() {
    std::vector<std::string> out;
    for (auto& e : std::filesystem::directory_iterator(File("KestrovaMenu/Languages")))
      if (e.path().extension() == ".tmp") out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
  }
  double OpenMs(const std::string& path) {
    dialogAnswers.push_back(txt::FromUtf8(path));
    auto t0 = std::chrono::steady_clock::now();
    win->mnuOpenLangFile->trigger();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
  }
};

const std::string kRestored =
    "<Languages version=\"0.4\">\r\n\t<fr name=\"Fran\xC3\xA7" "ais\" en_name=\"French restored\">"
    "<Config><Labels><Title>Menu restaur\xC3\xA9</Title></Labels></Config></fr>\r\n</Languages>\r\n";

TEST_F(FileSafetyFixture, LeftoverCopiesAreOfferedWhenListedOrOpened) {
  const std::string fr = Menu("KestrovaMenu_fr.xml");
  const std::string original = testutil::ReadAll(fr);
  testutil::WriteAll(fr + ".001.tmp", kRestored);                // complete: may be restored
  testutil::WriteAll(fr + ".002.tmp", kRestored.substr(0, 60));  // cut short: only deleted
  ASSERT_TRUE(Start());
  messages.clear();
  answers = {platform::vbYes, platform::vbYes};  // restore the first, delete the second
  win->mnuSelectToolChoice[1]->trigger();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_NE(messages[0].find(fr + ".001.tmp"), std::string::npos) << messages[0];
  EXPECT_NE(messages[0].find("The copy is complete."), std::string::npos);
  EXPECT_NE(messages[1].find("The copy is incomplete and cannot be restored."), std::string::npos);
  EXPECT_EQ(testutil::ReadAll(fr), kRestored);
  EXPECT_TRUE(Temporaries().empty());
  EXPECT_TRUE(HasMenuItem(win->mnuLoadLanguageChoice, "French restored [fr]"));

  // Opening a file directly offers its copy too; "No" deletes the copy, the file stays.
  testutil::WriteAll(fr + ".001.tmp", original);
  messages.clear();
  answers = {platform::vbNo};
  OpenMs(fr);
  ASSERT_GE(messages.size(), 1u);
  EXPECT_NE(messages[0].find(fr + ".001.tmp"), std::string::npos);
  EXPECT_EQ(testutil::ReadAll(fr), kRestored);
  EXPECT_TRUE(Temporaries().empty());
  EXPECT_TEXT_EQ(win->Editor().OpenedFile(), txt::FromUtf8(fr));
}

TEST_F(FileSafetyFixture, DeepFilesAreRefusedBeforeAnyWork) {
  StartTool();
  long loaded = win->Editor().LoadedLangs()->ChildCount();
  ASSERT_GT(loaded, 0);
  auto nested = [](int depth) {
    std::string s = "<Languages version=\"0.4\"><fr en_name=\"French\">";
    for (int i = 0; i < depth; ++i) s += "<d>";
    s += "x";
    for (int i = 0; i < depth; ++i) s += "</d>";
    return s + "</fr></Languages>\r\n";
  };
  const std::string deep = dir.file("deep.xml");
  testutil::WriteAll(deep, nested(100000));
  messages.clear();
  double ms = OpenMs(deep);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_NE(messages[0].find("nested more than 1000 levels deep"), std::string::npos) << messages[0];
  std::printf("[ deep file ] 100,000 levels refused after %.0f ms\n", ms);
  // Refused before anything was unloaded.
  EXPECT_EQ(win->Editor().LoadedLangs()->ChildCount(), loaded);

  // Just within the limit: opened, on the same road as loading.
  testutil::WriteAll(deep, nested(990));
  messages.clear();
  ms = OpenMs(deep);
  EXPECT_TRUE(messages.empty()) << messages[0];
  std::printf("[ deep file ] 990 levels opened in %.0f ms\n", ms);
  EXPECT_EQ(win->Editor().LoadedLangs()->ChildCount(), 1);
}

}  // namespace
