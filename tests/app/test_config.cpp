#include <gtest/gtest.h>

#include "app/mConfig.h"
#include "tests/common/TestUtil.h"

class ConfigTest : public ::testing::Test {
 protected:
  void SetUp() override { mConfig::SetConfigPath(dir.tfile("KsvLangEditor.xml")); }
  testutil::TempDir dir;
};

TEST_F(ConfigTest, KeysRoundTripAndReadOnlyKeysStayOutOfTheFile) {
  mConfig::LoadConfig();  // no file yet
  EXPECT_TRUE(mConfig::GetConfig(u"Translator.ID").empty());
  mConfig::SetConfig(u"Translator.Name", u"Z\u00E9lie <&> \u4E2D");
  mConfig::SetConfig(u"Translator.Email", u"z@example.invalid");
  ASSERT_TRUE(mConfig::SaveConfig());
  std::string file = testutil::ReadAll(dir.file("KsvLangEditor.xml"));
  EXPECT_EQ(file.find("<ID"), std::string::npos);
  EXPECT_NE(file.find("<KsvLangEditor"), std::string::npos);

  mConfig::SetConfigPath(dir.tfile("KsvLangEditor.xml"));
  mConfig::LoadConfig();
  EXPECT_EQ(mConfig::GetConfig(u"Translator.Name"), u"Z\u00E9lie <&> \u4E2D");
  EXPECT_EQ(mConfig::GetConfig(u"Translator.Email"), u"z@example.invalid");
}

TEST_F(ConfigTest, ForeignOrBrokenFilesAreReplaced) {
  for (const char* content : {"<OtherProgram><Config><Translator><Name>x</Name></Translator></Config></OtherProgram>",
                              "\xff\xfe\x00garbage<<", "", "<ksvlangeditor><Config><A>1</A></Config></ksvlangeditor>"}) {
    testutil::WriteAll(dir.file("KsvLangEditor.xml"), content);
    mConfig::LoadConfig();
    EXPECT_TRUE(mConfig::GetConfig(u"Translator.Name").empty()) << content;
    mConfig::SetConfig(u"Translator.Name", u"me");
    ASSERT_TRUE(mConfig::SaveConfig());
    std::string file = testutil::ReadAll(dir.file("KsvLangEditor.xml"));
    EXPECT_EQ(file.rfind("<KsvLangEditor>", 0), 0u) << file;
    EXPECT_EQ(file.find("OtherProgram"), std::string::npos);
  }
}
