// The update check against broken or hostile answers from a scripted loopback server,
// cancellation, the channel commands and where the server's address comes from.
#include <gtest/gtest.h>

#include "app/mConfig.h"
#include "tests/app/test_update_harness.h"
#include "tests/common/TestUtil.h"
#include "tests/net/ScriptServer.h"

namespace {
using nettest::Reply;
using nettest::Script;
using nettest::ScriptServer;
using nettest::Step;
using updtest::Harness;

const std::string kError = "An error occured while trying to get the update information!";

std::string Head(size_t length) {
  return "HTTP/1.0 200 OK\r\nContent-Type: text/xml\r\nContent-Length: " + std::to_string(length) + "\r\n\r\n";
}

TEST(UpdateBrokenServer, AnswersThatAreNotAValidDescriptionFail) {
  const std::string good = updtest::Describe(updtest::Running(), "Kept notice");
  const std::string big(cUpdateCheck::kMaxUpdateInfoBytes + 4096, 'x');
  struct Case {
    const char* name;
    Script script;
    bool down = false;
  };
  const Case cases[] = {
      {"server down", {}, true},
      {"body cut short", {{{Head(good.size()) + good.substr(0, 40), 0}}}},
      {"server error", {{Reply("HTTP/1.0 500 Internal Server Error", {"Content-Length: 5"}, "oops!")}}},
      {"portal page with 200", {{Reply("HTTP/1.0 200 OK", {}, "<html><body>Sign in first</body></html>")}}},
      {"empty body", {{Reply("HTTP/1.0 200 OK", {"Content-Length: 0"}, "")}}},
      {"garbage status line", {{{"garbage\r\n\r\n", 0}}}},
      // Without a length the client would keep collecting; the check stops past its limit.
      {"oversized, no length", {{Reply("HTTP/1.0 200 OK", {}, "<Update><Version>9.9</Version>" + big)}, 0, false, 2000}},
  };
  for (const Case& c : cases) {
    for (bool silent : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (silent ? ", silent" : ", menu"));
      ScriptServer first, server;
      first.Add({{Reply("HTTP/1.0 200 OK", {}, good)}});
      server.Add(c.script);
      Harness h;
      h.Point(first.port());
      ASSERT_TRUE(h.Run(true));
      ASSERT_EQ(h.boxes.size(), 1u);  // the kept notice
      h.boxes.clear();

      h.Point(c.down ? nettest::ClosedPort() : server.port());
      ASSERT_TRUE(h.Run(silent));
      if (silent) {
        EXPECT_TRUE(h.boxes.empty());  // not even the older answer's notice
      } else {
        ASSERT_EQ(h.boxes.size(), 1u);
        EXPECT_EQ(h.boxes[0].text, kError);
      }
      EXPECT_TRUE(h.CommandUsable());
      // The last good answer stays for the loading code.
      EXPECT_TEXT_EQ(h.check.UpdateInfo()->ChildValue(u"Message"), u"Kept notice");
    }
  }
}

TEST(UpdateCancel, CancelledOrReplacedChecksShowNothing) {
  const std::string late = updtest::Describe(updtest::NextRevision(), "Late notice");
  ScriptServer slow;
  slow.Add({{{Head(late.size()), 0}, {late, 400}}});

  {  // the window closes during the check
    Harness h;
    h.Point(slow.port());
    h.check.CheckForUdpate(false);
    EXPECT_TRUE(h.check.Running());
    platform::WaitMs(150);
    h.check.Cancel();
    EXPECT_FALSE(h.check.Running());
    platform::WaitMs(500);
    EXPECT_TRUE(h.boxes.empty());
    EXPECT_TRUE(h.CommandUsable());
  }
  {  // the owner goes away with the check running
    auto h = std::make_unique<Harness>();
    h->Point(slow.port());
    h->check.CheckForUdpate(false);
    platform::WaitMs(100);
    h.reset();
    platform::WaitMs(500);  // a late answer must reach nothing that is gone
  }
  {  // the window goes away while the question is open
    ScriptServer quick;
    quick.Add({{Reply("HTTP/1.0 200 OK", {}, updtest::Describe(updtest::NextRevision(), "Never shown"))}});
    auto check = std::make_unique<cUpdateCheck>();
    check->ServerHost(txt::FromUtf8("127.0.0.1:" + std::to_string(quick.port())));
    int shown = 0;
    bool opened = false;
    auto oldBox = platform::SetMsgBoxHandler([&](const platform::MsgBoxRequest&) {
      ++shown;
      check.reset();
      return static_cast<int>(platform::vbYes);
    });
    auto oldUrl = platform::SetOpenURLHandler([&](const Text&, int) { return opened = true; });
    check->CheckForUdpate(true);
    platform::WaitUntil([&] { return !check; }, 5000);
    platform::WaitMs(100);
    platform::SetMsgBoxHandler(oldBox);
    platform::SetOpenURLHandler(oldUrl);
    EXPECT_EQ(shown, 1);
    EXPECT_FALSE(opened);
  }
  {  // a new check replaces the running one: only the second outcome is seen
    ScriptServer quick;
    quick.Add({{Reply("HTTP/1.0 200 OK", {}, updtest::Describe(updtest::Running()))}});
    Harness h;
    h.Point(slow.port());
    h.check.CheckForUdpate(true);
    platform::WaitMs(100);
    h.Point(quick.port());
    ASSERT_TRUE(h.Run(false));
    platform::WaitMs(500);
    ASSERT_EQ(h.boxes.size(), 1u);
    EXPECT_EQ(h.boxes[0].text, "Your version of \"Kestrova Lang Editor\" is up to date.");
    EXPECT_TRUE(h.CommandUsable());
  }
}

TEST(UpdateDownload, OnlyWebAddressesReachTheDesktop) {
  struct Case {
    std::string url;
    bool opened;
  };
  const Case cases[] = {{"http://127.0.0.1/Setup.exe", true},
                        {"HTTPS://127.0.0.1/Setup.exe", true},
                        {"  https://127.0.0.1/padded.exe  ", true},
                        {"ksv://updatecheck/beta", false},
                        {"file:///etc/passwd", false},
                        {"/usr/bin/xterm", false},
                        {"", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.url);
    ScriptServer server;
    server.Add({{Reply("HTTP/1.0 200 OK", {}, updtest::Describe(updtest::NextRevision(), "", c.url))}});
    Harness h;
    h.Point(server.port());
    h.answers = {platform::vbYes};
    ASSERT_TRUE(h.Run(false));
    ASSERT_EQ(h.opened.size(), c.opened ? 1u : 0u);
    if (c.opened) {
      EXPECT_EQ(h.opened[0].url.find(' '), std::string::npos);
    }
    EXPECT_EQ(h.boxes.size(), 1u);  // a refused address shows nothing more
    EXPECT_TRUE(h.CommandUsable());
  }
}

TEST(UpdateHost, ConfiguredHostIsTheOneAsked) {
  testutil::TempDir dir;
  mConfig::SetConfigPath(dir.tfile("KsvLangEditor.xml"));
  mConfig::LoadConfig();
  cUpdateCheck c;
  EXPECT_TEXT_EQ(c.UpdateURL(), Text(u"http://") + KSV_SERVER_HOST + u"/translation/version.xml");

  // The configured server (spaces and line breaks trimmed) is the one actually asked.
  ScriptServer server;
  server.Add({{Reply("HTTP/1.0 200 OK", {}, updtest::Describe(updtest::Running()))}});
  mConfig::SetConfig(u"Server.Host", txt::FromUtf8(" 127.0.0.1:" + std::to_string(server.port()) + "\r\n"));
  Harness h;
  ASSERT_TRUE(h.Run(false));
  EXPECT_EQ(server.Connections(), 1);
  EXPECT_EQ(h.boxes.size(), 1u);
  mConfig::SetConfigPath(u"");
}

}  // namespace
