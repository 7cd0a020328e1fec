#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "tests/common/TestUtil.h"
#include "platform/EventLoop.h"
#include "platform/ProcessTools.h"
#include "submit/cShellPipe.h"

namespace {
using platform::proc::SplitCommandLine;

TEST(CommandLine, SplitsByTheWindowsRules) {
  const std::pair<const char*, std::vector<std::string>> cases[] = {
      {"   ", {}},
      {"\"C:\\Program Files\\7z.exe\"  a  \"x y\"", {"C:\\Program Files\\7z.exe", "a", "x y"}},
      // the program name keeps a trailing backslash before its closing quote
      {"\"C:\\dir\\\" next", {"C:\\dir\\", "next"}},
      {"prog a\\\\b c\\d", {"prog", "a\\\\b", "c\\d"}},
      {"prog \"a\\\"b\"", {"prog", "a\"b"}},
      {"prog \"a\\\\\"b", {"prog", "a\\b"}},
      {"prog \"\" x", {"prog", "", "x"}},
      {"prog \"a\"\"b\"", {"prog", "a\"b"}},
      {"prog -o\"/tmp/x y\" \"/a b.7z\"", {"prog", "-o/tmp/x y", "/a b.7z"}},
      {"prog \"unterminated arg", {"prog", "unterminated arg"}},
  };
  for (const auto& [line, args] : cases) EXPECT_EQ(SplitCommandLine(line), args) << "line: " << line;
}

TEST(CommandLine, FindsProgramsOnPathOnlyWhenExecutable) {
  testutil::TempDir a, b;
  testutil::WriteAll(a.file("tool"), "#!/bin/sh\n");  // not executable
  testutil::WriteAll(b.file("tool"), "#!/bin/sh\n");
  ASSERT_EQ(::chmod(b.file("tool").c_str(), 0755), 0);
  std::string pathVar = a.path() + ":" + b.path();
  EXPECT_EQ(platform::proc::FindOnPath("tool", pathVar.c_str()), b.file("tool"));
  EXPECT_EQ(platform::proc::FindOnPath("missing", pathVar.c_str()), "");
  EXPECT_EQ(platform::proc::FindOnPath(a.file("tool"), pathVar.c_str()), "");
  EXPECT_FALSE(platform::proc::IsExecutable(a.path()));  // a folder is not a program
}

// Collects what a cShellPipe reports.
struct Recorder {
  explicit Recorder(cShellPipe& p) {
    data = p.DataStream.Subscribe([this](const Text& t) {
      out += t;
      ++chunks;
    });
    fin = p.OnFinish.Subscribe([this] { ++finished; });
  }
  bool WaitEnd(int ms = 10000) { return platform::WaitUntil([this] { return finished > 0; }, ms); }
  Text out;
  int chunks = 0, finished = 0;
  Connection data, fin;
};

bool ProcessGone(long pid) { return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH; }

TEST(ShellPipe, JoinsStandardErrorAndReportsTheEndOnce) {
  struct Case { const char16_t* cmd; std::vector<Text> parts; int exitCode; } cases[] = {{u"/bin/sh -c \"echo out; echo err 1>&2; exit 3\"", {u"out\n", u"err\n"}, 3}, {u"true", {}, 0}};
  for (const auto& c : cases) {
    cShellPipe p;
    Recorder r(p);
    ASSERT_TRUE(p.ShellExecPipeAsync(c.cmd, false, 0));
    ASSERT_TRUE(r.WaitEnd());
    platform::WaitMs(150);  // no second end
    EXPECT_EQ(r.finished, 1);
    for (const Text& part : c.parts) EXPECT_NE(r.out.find(part), Text::npos);
    EXPECT_EQ(r.chunks == 0, c.parts.empty());
    EXPECT_EQ(p.ExitCode(), c.exitCode);
    EXPECT_FALSE(p.Running());
  }
}

TEST(ShellPipe, RefusesASecondStartAndKillsTheChildOnDestruction) {
  long pid = 0;
  {
    cShellPipe p;
    Recorder r(p);
    ASSERT_TRUE(p.ShellExecPipeAsync(u"sleep 30", false, 0));
    pid = p.ProcessId();
    ASSERT_GT(pid, 0);
    EXPECT_FALSE(p.ShellExecPipeAsync(u"echo second", false, 0));
    EXPECT_FALSE(p.ShellExecAsync(u"echo second", false));
    platform::WaitMs(120);
    EXPECT_TRUE(p.Running());
    EXPECT_EQ(p.ProcessId(), pid);  // still the first child
    EXPECT_EQ(r.finished, 0);
  }
  EXPECT_TRUE(ProcessGone(pid));
}

TEST(ShellPipe, LargeInputAndOutputPassWhole) {
  // More than a pipe holds in both directions: input waits in the queue instead of
  // blocking us, and nothing is lost on the way back.
  std::string input;
  for (int i = 0; input.size() < 600000; ++i) input += "line " + std::to_string(i) + "\n";
  cShellPipe p;
  p.BinaryOutput = true;
  Recorder r(p);
  ASSERT_TRUE(p.ShellExecPipeAsync(u"cat", false, 0));
  double t0 = platform::HiResMs();
  p.WritePipe(txt::FromBytes(input), true);
  p.CloseWritePipe();
  EXPECT_LT(platform::HiResMs() - t0, 1000.0);
  ASSERT_TRUE(r.WaitEnd(20000));
  EXPECT_EQ(r.out.size(), input.size());
  EXPECT_TRUE(txt::ToBytes(r.out) == input);
}

TEST(ShellPipe, OwnerMayDestroyItFromItsOwnEvent) {
  auto p = std::make_unique<cShellPipe>();
  int chunks = 0;
  auto c = p->DataStream.Subscribe([&](const Text&) {
    ++chunks;
    p.reset();
  });
  ASSERT_TRUE(p->ShellExecPipeAsync(u"/bin/sh -c \"echo a; sleep 0.2; echo b; sleep 5\"", false, 0));
  long pid = p->ProcessId();
  ASSERT_TRUE(platform::WaitUntil([&] { return !p; }, 5000));
  platform::WaitMs(150);
  EXPECT_EQ(chunks, 1);
  EXPECT_TRUE(ProcessGone(pid));
}

}  // namespace

// Another user's command runs with that user's identity and environment; an unknown user
// starts nothing.
TEST(ShellPipe, RunAsAnotherUser) {
  cShellPipe p;
  Recorder r(p);
  EXPECT_FALSE(p.ShellRunAsAsync(u"no-such-user-here", u"", u"", u"id -u", false));
  EXPECT_FALSE(p.Running());
  if (::geteuid() != 0 && platform::proc::FindOnPath("sudo", std::getenv("PATH")).empty())
    GTEST_SKIP() << "neither root nor sudo: no way to switch users here";
  ASSERT_TRUE(p.ShellRunAsAsync(u"nobody", u"", u"",
                                u"sh -c \"test $(id -un) = nobody && test $HOME = /nonexistent && test -z \\\"$DISPLAY\\\"\"",
                                false));
  ASSERT_TRUE(r.WaitEnd());
  if (::geteuid() != 0 && p.ExitCode() == 1) GTEST_SKIP() << "sudo refuses to switch without a password";
  EXPECT_EQ(p.ExitCode(), 0);
  EXPECT_EQ(r.finished, 1);
}
