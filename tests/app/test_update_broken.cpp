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
  struct Case { const char* name; Script script; bool down = false; };
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

// Servers that stall, trickle or hold the connection: a check ends by its deadline or its
// idle time-out, and a complete answer or a redirect is used at once, not at a time-out.
TEST(UpdateHostileServer, GivesUpInTimeAndUsesCompleteAnswersAtOnce) {
  const std::string body = updtest::Describe(updtest::Running());
  const std::string upToDate = "Your version of \"Kestrova Lang Editor\" is up to date.";
  Script trickle;
  trickle.steps.push_back({Head(body.size()), 0});
  for (size_t i = 0; i < body.size(); ++i) trickle.steps.push_back({body.substr(i, 1), 200});
  Script held{{Reply("HTTP/1.0 200 OK", {"Content-Length: " + std::to_string(body.size())}, body)}};
  held.holdOpenMs = 20000;
  Script silent;
  silent.holdOpenMs = 20000;
  struct Case { const char* name; std::vector<Script> scripts; /* one per connection */ std::string box; double maxMs; };
  const Case cases[] = {
      {"one byte per interval, under the idle limit", {trickle}, kError, 2500},
      {"no answer at all", {silent}, kError, 2500},
      {"exact length on a connection held open", {held}, upToDate, 1000},
      {"redirect on a connection held open", {}, upToDate, 1000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptServer server;
    std::vector<Script> scripts = c.scripts;
    if (scripts.empty()) {  // the redirect: moved once, then the description
      Script moved{{Reply("HTTP/1.0 302 Found", {"Location: " + server.base() + "/v2/version.xml"}, "")}};
      moved.holdOpenMs = 20000;
      scripts = {moved, held};
    }
    for (auto& s : scripts) server.Add(s);
    Harness h;
    h.Point(server.port());
    h.check.IdleTimeoutMs(400);
    h.check.DeadlineMs(1500);
    if (c.box == upToDate) h.check.IdleTimeoutMs(30000);
    h.check.CheckForUdpate(false);
    nettest::Measured m = nettest::WaitMeasured(c.name, [&] { return !h.check.Running(); }, 5000);
    ASSERT_TRUE(m.done);
    EXPECT_LT(m.ms, c.maxMs);
    ASSERT_EQ(h.boxes.size(), 1u);
    EXPECT_EQ(h.boxes[0].text, c.box);
    EXPECT_TRUE(h.CommandUsable());
  }
}

// Texts from the server reach the question and the notice without anything that adds
// lines, reverses the reading order or hides characters, and with a bounded length; a
// download address the desktop would take but that is no web address is not opened.
TEST(UpdateHostileServer, ServerTextsAreSanitised) {
  const std::string next = updtest::NextRevision();
  std::string doc = "<Update><Version>" + next + "\r\nYour version: 99.0.0</Version><Description>Fix\xE2\x80\xAE" +
                    "exe.txt" + std::string(5000, 'd') + "</Description><DownloadURL>ksv://updatecheck/beta</DownloadURL>" +
                    "<Message>Hi\x07\x1B[2J\xC2\x9B there</Message></Update>";
  ScriptServer server;
  server.Add({{Reply("HTTP/1.0 200 OK", {}, doc)}});
  Harness h;
  h.Point(server.port());
  h.answers = {platform::vbYes};
  ASSERT_TRUE(h.Run(true));
  ASSERT_EQ(h.boxes.size(), 2u);  // the question and the notice, nothing about the address
  EXPECT_TRUE(h.opened.empty());
  const std::string& q = h.boxes[0].text;
  EXPECT_NE(q.find("Available version: " + next + " Your version: 99.0.0\r\n"), std::string::npos) << q;
  EXPECT_EQ(q.find("\xE2\x80\xAE"), std::string::npos);
  EXPECT_LT(q.size(), 2500u);
  EXPECT_EQ(h.boxes[1].text, "Hi[2J there");
  struct Case { const char16_t* in; bool multiLine; const char16_t* out; } texts[] = {{u"a\r\nb\nc", true, u"a\r\nb\r\nc"},
               {u"a\r\nb", false, u"a b"},
               {u"\u202Dx\u2066y\u200Fz\u0085", false, u"xyz"},
               {u"\u00E9\U0001F600", false, u"\u00E9\U0001F600"}};
  for (auto& t : texts) EXPECT_TEXT_EQ(cUpdateCheck::ServerText(t.in, 100, t.multiLine), Text(t.out));
  EXPECT_EQ(cUpdateCheck::ServerText(u"\U0001F600\U0001F600", 3, false).size(), 2u);  // no half pair
}

TEST(UpdateCancel, CancelledOrReplacedChecksShowNothing) {
  const std::string late = updtest::Describe(updtest::NextRevision(), "Late notice");
  ScriptServer slow;
  slow.Add({{{Head(late.size()), 0}, {late, 400}}});

  // Closing the window during a check is the window test's.
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

// The window test reaches a configured server; here the host is cleaned or falls back.
TEST(UpdateHost, ConfiguredHostIsTrimmedElseTheBuiltInOne) {
  testutil::TempDir dir;
  mConfig::SetConfigPath(dir.tfile("KsvLangEditor.xml"));
  mConfig::LoadConfig();
  cUpdateCheck c;
  EXPECT_TEXT_EQ(c.UpdateURL(), Text(u"http://") + KSV_SERVER_HOST + u"/translation/version.xml");
  mConfig::SetConfig(u"Server.Host", u" 127.0.0.1:8080\r\n");
  EXPECT_TEXT_EQ(c.UpdateURL(), Text(u"http://127.0.0.1:8080/translation/version.xml"));
  mConfig::SetConfigPath(u"");
}

}  // namespace
