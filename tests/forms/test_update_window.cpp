// The update check as the window runs it, against Python's http.server on loopback.
#include <QAction>

#include <filesystem>

#include "AppInfo.h"
#include "langedit/mLangFormat.h"
#include "platform/Desktop.h"
#include "platform/EventLoop.h"
#include "tests/forms/FormsFixture.h"
#include "tests/net/PyHttpServer.h"
#include "tests/net/ScriptServer.h"

namespace {

class UpdateWindow : public FormsFixture {
 protected:
  void SetUp() override {
    FormsFixture::SetUp();
    std::filesystem::create_directories(dir.path() + "/www/translation");
    Hook(&platform::SetOpenURLHandler, [this](const Text& url, int) {
      opened.push_back(txt::ToUtf8(url));
      return true;
    });
  }
  void Serve(const std::string& version, const std::string& message, const std::string& format = "") {
    testutil::WriteAll(dir.path() + "/www/translation/version.xml",
                       "<Update><Version>" + version + "</Version><Description>Faster saving</Description>"
                       "<DownloadURL>http://127.0.0.1/ksv/setup.exe</DownloadURL><Message>" + message +
                       "</Message><FormatVersion>" + format + "</FormatVersion></Update>");
  }
  // Starts the window with the configuration pointing the program at `host`.
  void StartAgainst(int port, bool silent) {
    testutil::WriteAll(dir.file("KsvLangEditor.xml"), "<KsvLangEditor><Config><Server><Host>127.0.0.1:" +
                                                         std::to_string(port) + "</Host></Server></Config></KsvLangEditor>");
    ASSERT_TRUE(Start("", silent));
  }
  bool WaitIdle() { return platform::WaitUntil([this] { return !win->UpdateChecker().Running(); }, 15000); }

  std::vector<std::string> opened;
};

const std::string kVersion = txt::ToUtf8(KSV_VERSION_TEXT);

}  // namespace

TEST_F(UpdateWindow, StartAndMenuChecksReachTheUserAndTheAnnouncedFormatWarnsOnLoad) {
  Serve(kVersion, "Translators wanted", "0.5");
  nettest::PyHttpServer server(dir.path() + "/www");
  ASSERT_TRUE(server.ready());
  StartAgainst(server.port(), true);  // the start-up check
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(messages, (std::vector<std::string>{"Translators wanted"}));
  messages.clear();
  win->mnuSelectToolChoice[2]->trigger();  // Setup: not a menu file, no warning
  EXPECT_TRUE(messages.empty());
  win->mnuSelectToolChoice[1]->trigger();  // the suite menu: English is loaded and warned about
  EXPECT_EQ(messages, (std::vector<std::string>{txt::ToUtf8(mLangFormat::ObsoleteFormatMessage())}));
  EXPECT_EQ(win->Editor().LoadedLangs()->ChildCount(), 1);  // loading went on

  Serve("99.0", "Translators wanted");
  messages.clear();
  answers = {platform::vbYes};
  win->mnuUpdateCheck->trigger();
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(messages.size(), 1u);  // the question only: the menu check does not show "Message"
  EXPECT_EQ(opened, (std::vector<std::string>{"http://127.0.0.1/ksv/setup.exe"}));
}

TEST_F(UpdateWindow, ClosingTheWindowDuringACheckShowsNothing) {
  nettest::ScriptServer mute;  // takes the connection and never answers
  mute.Add(nettest::Script{{}, 0, true});
  StartAgainst(mute.port(), false);
  win->mnuUpdateCheck->trigger();
  platform::WaitMs(300);
  EXPECT_TRUE(win->close());
  EXPECT_FALSE(win->UpdateChecker().Running());
  platform::WaitMs(300);
  EXPECT_TRUE(messages.empty());
}
