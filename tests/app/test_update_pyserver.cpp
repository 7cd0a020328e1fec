// The update check against Python's http.server on loopback: a server nobody here wrote.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "tests/app/test_update_harness.h"
#include "tests/common/TestUtil.h"
#include "tests/net/PyHttpServer.h"

namespace {

using updtest::Harness;

const std::string kQuestionEnd = "Do you want to download the new version now ?";

class UpdatePyServer : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new testutil::TempDir();
    ::mkdir(dir_->file("translation").c_str(), 0755);
    server_ = new nettest::PyHttpServer(dir_->path());
  }
  static void TearDownTestSuite() {
    delete server_;
    delete dir_;
  }
  void SetUp() override {
    if (!server_->ready()) GTEST_SKIP() << "python3 http.server not available";
  }
  static void Serve(const std::string& body) { testutil::WriteAll(dir_->file("translation/version.xml"), body); }
  static void ServeFile(const std::string& fixture) {
    Serve(testutil::ReadAll(std::string(KSV_TEST_DATA) + "/app/" + fixture));
  }
  static inline testutil::TempDir* dir_ = nullptr;
  static inline nettest::PyHttpServer* server_ = nullptr;
};

TEST_F(UpdatePyServer, NewerVersionAsksWithBothVersionsAndYesOpensTheDownload) {
  Serve(updtest::Describe(updtest::NextRevision(), "", "https://127.0.0.1/files/Setup.exe"));
  Harness h;
  h.Point(server_->port());
  h.answers = {platform::vbYes};
  ASSERT_TRUE(h.Run(false));
  ASSERT_EQ(h.boxes.size(), 1u);
  EXPECT_EQ(h.boxes[0].text, "A new version of \"Kestrova Lang Editor\" is available.\r\n\r\nYour version: " +
                                 updtest::Running() + "  /  Available version: " + updtest::NextRevision() +
                                 "\r\n\r\nFaster saving.\r\n" + kQuestionEnd);
  EXPECT_EQ(h.boxes[0].flags, platform::vbYesNo | platform::vbInformation);
  ASSERT_EQ(h.opened.size(), 1u);
  EXPECT_EQ(h.opened[0].url, "https://127.0.0.1/files/Setup.exe");
  EXPECT_EQ(h.opened[0].showMode, 2);
  // Disabled while the answer arrived, usable again afterwards.
  EXPECT_EQ(h.enabled, (std::vector<bool>{false, true}));
  EXPECT_TEXT_EQ(h.check.UpdateInfo()->ChildValue(u"FormatVersion"), u"0.5");
}

TEST_F(UpdatePyServer, AnsweringNoAndSilentChecks) {
  struct Case {
    const char* name;
    std::string version, message;
    bool silent;
    int answer;
    std::vector<std::string> expected;  // box texts, question shortened to its last line
  };
  const std::string upToDate = "Your version of \"Kestrova Lang Editor\" is up to date.";
  const Case cases[] = {
      {"newer, No", updtest::NextRevision(), "", false, platform::vbNo, {kQuestionEnd}},
      {"newer, silent, message after", updtest::NextRevision(), "Please test 2.0", true, platform::vbNo,
       {kQuestionEnd, "Please test 2.0"}},
      {"newer, menu, no message", updtest::NextRevision(), "Please test 2.0", false, platform::vbNo, {kQuestionEnd}},
      {"same, menu", updtest::Running(), "Please test 2.0", false, 0, {upToDate}},
      {"same, silent, message only", updtest::Running(), "Please test 2.0", true, 0, {"Please test 2.0"}},
      {"same, silent, blank message", updtest::Running(), "  ", true, 0, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Serve(updtest::Describe(c.version, c.message));
    Harness h;
    h.Point(server_->port());
    if (c.answer) h.answers = {c.answer};
    ASSERT_TRUE(h.Run(c.silent));
    ASSERT_EQ(h.boxes.size(), c.expected.size());
    for (size_t i = 0; i < c.expected.size(); ++i) {
      const std::string& t = h.boxes[i].text;
      EXPECT_GE(t.size(), c.expected[i].size());
      EXPECT_EQ(t.substr(t.size() - std::min(t.size(), c.expected[i].size())), c.expected[i]);
      EXPECT_EQ(h.boxes[i].flags & 0x70, platform::vbInformation);
    }
    EXPECT_TRUE(h.opened.empty());
    EXPECT_TRUE(h.CommandUsable());
    EXPECT_FALSE(h.check.Silent());
  }
}

// Answers in every encoding the suite's server may use come out as the same text.
TEST_F(UpdatePyServer, EncodingsOfTheAnswer) {
  for (const char* fixture : {"version_utf8bom.xml", "version_utf16.xml", "version_1252.xml"}) {
    SCOPED_TRACE(fixture);
    ServeFile(fixture);
    Harness h;
    h.Point(server_->port());
    h.answers = {platform::vbNo};
    ASSERT_TRUE(h.Run(true));
    ASSERT_EQ(h.boxes.size(), 2u);
    EXPECT_NE(h.boxes[0].text.find("Available version: 99.0.0\r\n\r\nAm\xC3\xA9liorations \xE2\x80\x93 Gr\xC3\xB6\xC3\x9F"
                                   "e & mehr\r\n"),
              std::string::npos)
        << h.boxes[0].text;
    EXPECT_EQ(h.boxes[1].text, "Beta: \xC3\x9C" "bersetzer gesucht");
    EXPECT_TEXT_EQ(h.check.UpdateInfo()->ChildValue(u"FormatVersion"), u"0.5");
  }
}

// The loading code keeps one pointer: later answers replace the content of the same node.
TEST_F(UpdatePyServer, LaterAnswersReplaceTheKeptDescription) {
  Harness h;
  h.Point(server_->port());
  XmlNodePtr kept = h.check.UpdateInfo();
  ASSERT_TRUE(kept);
  EXPECT_TRUE(kept->ChildValue(u"FormatVersion").empty());

  Serve(updtest::Describe(updtest::Running(), "First notice"));
  ASSERT_TRUE(h.Run(true));
  EXPECT_TEXT_EQ(kept->ChildValue(u"Message"), u"First notice");

  std::string second = updtest::Describe(updtest::Running());
  second.replace(second.find("0.5"), 3, "0.7");
  Serve(second);
  ASSERT_TRUE(h.Run(true));
  EXPECT_EQ(h.check.UpdateInfo(), kept);
  EXPECT_TRUE(kept->ChildValue(u"Message").empty());
  EXPECT_TEXT_EQ(kept->ChildValue(u"FormatVersion"), u"0.7");
  EXPECT_EQ(h.boxes.size(), 1u);  // only the first notice
}

}  // namespace
