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
  static inline testutil::TempDir* dir_ = nullptr;
  static inline nettest::PyHttpServer* server_ = nullptr;
};

TEST_F(UpdatePyServer, NewerVersionAsksWithBothVersionsAndYesOpensTheDownload) {
  Serve(updtest::Describe(updtest::NextRevision(), "", "  https://127.0.0.1/files/Setup.exe  "));
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
  EXPECT_EQ(h.opened[0].url, "https://127.0.0.1/files/Setup.exe");  // the padding trimmed
  EXPECT_EQ(h.opened[0].showMode, 2);
  // Disabled while the answer arrived, usable again afterwards.
  EXPECT_EQ(h.enabled, (std::vector<bool>{false, true}));
  EXPECT_TEXT_EQ(h.check.UpdateInfo()->ChildValue(u"FormatVersion"), u"0.5");
}

// Answers in every encoding the suite's server may use come out as the same text.
TEST_F(UpdatePyServer, EncodingsOfTheAnswer) {
  for (const char* fixture : {"version_utf8bom.xml", "version_utf16.xml", "version_1252.xml"}) {
    SCOPED_TRACE(fixture);
    Serve(testutil::ReadAll(std::string(KSV_TEST_DATA) + "/app/" + fixture));
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

}  // namespace
