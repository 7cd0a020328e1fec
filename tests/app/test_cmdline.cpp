#include <gtest/gtest.h>

#include <filesystem>

#include "AppInfo.h"
#include "app/mCmdLine.h"
#include "tests/common/TestUtil.h"

using mCmdLine::Action;

TEST(CmdLine, ArgumentsGiveTheActionOrOneLineOfError) {
  testutil::TempDir dir;
  std::string suite = dir.file("suite"), tools = suite + "/KestrovaTools", empty = dir.file("empty");
  std::filesystem::create_directories(tools);
  std::filesystem::create_directories(empty);
  testutil::WriteAll(suite + "/Kestrova.exe", "");
  testutil::WriteAll(tools + "/fr.xml", "<Languages/>");
  testutil::WriteAll(dir.file("\xff.xml"), "<Languages/>");  // a name no text can carry
  struct Case {
    std::vector<std::string> args;
    Action action;
    std::string suiteRoot, langFile, error;
  };
  const Case cases[] = {
      {{}, Action::Run, "", "", ""},
      {{"--help", "--bogus"}, Action::Help, "", "", ""},
      {{"-h"}, Action::Help, "", "", ""},
      {{"--version"}, Action::Version, "", "", ""},
      {{suite}, Action::Run, suite + "/", "", ""},
      {{tools + "/"}, Action::Run, suite + "/", "", ""},  // a folder below the suite finds it
      {{"--", tools + "/fr.xml"}, Action::Run, "", tools + "/fr.xml", ""},
      {{"--bogus"}, Action::Error, "", "", "unknown option '--bogus'"},
      {{"-version"}, Action::Error, "", "", "unknown option"},
      {{suite, tools + "/fr.xml"}, Action::Error, "", "", "only one"},
      {{""}, Action::Error, "", "", "empty path"},
      {{dir.file("gone.xml")}, Action::Error, "", "", "no such file or folder"},
      {{dir.file("a\nb")}, Action::Error, "", "", "a?b': no such file"},
      {{empty}, Action::Error, "", "", "is not a Kestrova suite folder"},
      {{"/dev/null"}, Action::Error, "", "", "neither a folder nor a file"},
      {{dir.file("\xff.xml")}, Action::Error, "", "", "not valid UTF-8"},
      {{"--check"}, Action::Check, "", "", ""},
      {{"--check", "--tool", "type LINKER", tools, "--lang", "fr", "--json"}, Action::Check, suite + "/", "", ""},
      {{"--check", "--help"}, Action::Help, "", "", ""},
      {{"--json", suite}, Action::Error, "", "", "--json goes with --check"},
      {{"--check", "--lang"}, Action::Error, "", "", "--lang needs a value"},
      {{"--check", "--tool", "Paint"}, Action::Error, "", "", "unknown tool 'Paint' (the tools: Kestrova Menu, "},
      {{"--check", tools + "/fr.xml"}, Action::Error, "", "", "takes a suite folder, not a file"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.empty() ? "(none)" : c.args.back());
    mCmdLine::Options o = mCmdLine::Parse(c.args);
    EXPECT_EQ(o.action, c.action);
    EXPECT_EQ(txt::ToUtf8(o.suiteRoot), c.suiteRoot);
    EXPECT_EQ(txt::ToUtf8(o.langFile), c.langFile);
    EXPECT_TRUE(testutil::Contains(o.error, c.error)) << o.error;
    if (c.args.size() == 7) {
      EXPECT_TRUE(o.checkTool == u"type LINKER" && o.checkLang == u"fr" && o.checkJson);
    }

    std::string out, err;
    int code = mCmdLine::Handle(o, out, err);
    switch (c.action) {
      case Action::Run:
      case Action::Check: EXPECT_EQ(code, -1); break;
      case Action::Help: EXPECT_EQ(out, mCmdLine::HelpText()); break;
      case Action::Version: EXPECT_EQ(out, "Kestrova Lang Editor " + txt::ToUtf8(KSV_VERSION_TEXT) + "\n"); break;
      case Action::Error:
        EXPECT_EQ(code, 2);
        EXPECT_TRUE(out.empty());
        EXPECT_EQ(err.find('\n'), err.size() - 1) << err;  // exactly one line
        break;
    }
  }
}
