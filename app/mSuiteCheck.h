#pragma once
// The headless check of a suite (--check): every tool's translations against its English,
// read with the same code the editor loads with, printed as lines or JSON. No widgets and
// no display: it runs before the toolkit starts, so a suite's maintainers can use it in
// their continuous integration.
#include <functional>
#include <string>
#include <vector>

#include "app/mCmdLine.h"
#include "langedit/cQualityCheck.h"
#include "platform/Text.h"

namespace mSuiteCheck {

// A check of one translated string beyond the engine's own (language ID, text as stored, the
// English text of the string, empty for an orphan); its findings are told with the engine's,
// under the same key.
using ExtraCheck = std::function<std::vector<CheckFinding>(TextView langId, TextView text, TextView english)>;

struct Options {
  Text suiteRoot;  // ends with a separator
  Text tool;       // a tool's name, any letter case; empty for all
  Text lang;       // a language ID, any letter case; empty for all but English
  bool json = false;
  ExtraCheck extra;
};

// Exit codes.
inline constexpr int kClean = 0;
inline constexpr int kErrors = 1;
inline constexpr int kNoSuite = 2;

// Checks and writes the report: lines and the summary to `out`, or the JSON array to `out`
// and the summary to `err`; messages about the suite itself go to `err`.
int Run(const Options& o, std::string& out, std::string& err);

// The command line's --check: finds the suite as the window does when no folder was named
// (the folder chosen last time, then around the program, then the running suite programs).
int Main(const mCmdLine::Options& cmd, const ExtraCheck& extra, std::string& out, std::string& err);

}  // namespace mSuiteCheck
