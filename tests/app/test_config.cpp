#include <gtest/gtest.h>

#include <filesystem>
#include <pugixml.hpp>

#include "app/mConfig.h"
#include "platform/MsgBox.h"
#include "tests/common/TestUtil.h"

class ConfigTest : public ::testing::Test {
 protected:
  void SetUp() override { mConfig::SetConfigPath(dir.tfile("KsvLangEditor.xml")); }
  void TearDown() override { mConfig::SetConfigPath(u""); }
  testutil::TempDir dir;
};

TEST_F(ConfigTest, KeysRoundTripOverMissingForeignOrBrokenFilesAndReadOnlyKeysStayOut) {
  for (const char* content : {static_cast<const char*>(nullptr),
                              "<OtherProgram><Config><Translator><Name>x</Name></Translator></Config></OtherProgram>",
                              "\xff\xfe garbage<<", "", "<ksvlangeditor><Config><A>1</A></Config></ksvlangeditor>"}) {
    SCOPED_TRACE(content ? content : "(no file)");
    if (content) testutil::WriteAll(dir.file("KsvLangEditor.xml"), content);
    mConfig::LoadConfig();
    EXPECT_TRUE(mConfig::GetConfig(u"Translator.Name").empty());
    EXPECT_TRUE(mConfig::GetConfig(u"Translator.ID").empty());
    mConfig::SetConfig(u"Translator.Name", u"Z\u00E9lie <&> \u4E2D");
    ASSERT_TRUE(mConfig::SaveConfig());
    std::string file = testutil::ReadAll(dir.file("KsvLangEditor.xml"));
    EXPECT_EQ(file.rfind("<KsvLangEditor>", 0), 0u) << file;
    EXPECT_EQ(file.find("OtherProgram"), std::string::npos);
    EXPECT_EQ(file.find("<ID"), std::string::npos);
    mConfig::SetConfigPath(dir.tfile("KsvLangEditor.xml"));
    mConfig::LoadConfig();
    EXPECT_EQ(mConfig::GetConfig(u"Translator.Name"), u"Z\u00E9lie <&> \u4E2D");
  }
}

TEST(ConfigLocation, BesideTheProgramWhenWritableElseInTheUserConfigFolder) {
  testutil::TempDir dir;
  struct Case {
    std::string programFolder;
    const char *xdg, *home;
    std::string expected;
  };
  const Case cases[] = {
      {dir.path() + "/", "/x/cfg", "/home/u", dir.path() + "/Renamed.xml"},
      {"/proc/", "/x/cfg", "/home/u", "/x/cfg/KsvLangEditor/Renamed.xml"},
      {dir.file("missing/"), nullptr, "/home/u", "/home/u/.config/KsvLangEditor/Renamed.xml"},
      {dir.file("missing/"), "relative/cfg", "/home/u/", "/home/u/.config/KsvLangEditor/Renamed.xml"},
      {"/proc/", nullptr, "", "/proc/Renamed.xml"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(txt::ToUtf8(mConfig::ConfigPathFor(txt::FromUtf8(c.programFolder), u"Renamed", c.xdg, c.home)),
              c.expected);
  // The probe file leaves nothing behind.
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST(ConfigLocation, FallbackFileIsWrittenReadableAndAFailedWriteIsReportedOnce) {
  testutil::TempDir dir;
  std::vector<std::string> boxes;
  auto prev = platform::SetMsgBoxHandler([&](const platform::MsgBoxRequest& r) {
    boxes.push_back(txt::ToUtf8(r.text));
    return static_cast<int>(platform::vbOK);
  });
  // A read-only program folder sends the file to a configuration folder not made yet.
  std::string xdg = dir.file("xdg");
  Text path = mConfig::ConfigPathFor(u"/proc/", u"Renamed", xdg.c_str(), nullptr);
  mConfig::SetConfigPath(path);
  mConfig::LoadConfig();
  mConfig::SetConfig(u"Suite.Folder", u"/srv/k\u00E9strova/");
  ASSERT_TRUE(mConfig::SaveConfig());
  pugi::xml_document doc;
  ASSERT_TRUE(doc.load_file((xdg + "/KsvLangEditor/Renamed.xml").c_str()));
  EXPECT_STREQ(doc.child("Renamed").child("Config").child("Suite").child_value("Folder"), "/srv/k\xC3\xA9strova/");
  mConfig::SetConfigPath(path);
  EXPECT_EQ(txt::ToUtf8(mConfig::GetConfig(u"Suite.Folder")), "/srv/k\xC3\xA9strova/");
  EXPECT_TRUE(boxes.empty());

  // A file that cannot be written is said once, not at every save.
  testutil::WriteAll(dir.file("plain"), "");
  mConfig::SetConfigPath(dir.tfile("plain/sub/KsvLangEditor.xml"));
  mConfig::SetConfig(u"Translator.Name", u"me");
  EXPECT_FALSE(mConfig::SaveConfig());
  EXPECT_FALSE(mConfig::SaveConfig());
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_TRUE(testutil::Contains(boxes[0], "plain/sub/KsvLangEditor.xml")) << boxes[0];
  platform::SetMsgBoxHandler(prev);
  mConfig::SetConfigPath(u"");
}
