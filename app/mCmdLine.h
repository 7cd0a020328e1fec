#pragma once
// The command line, read before any window (or display) exists:
//   KsvLangEditor [SUITE-FOLDER | LANGUAGE-FILE]   --help   --version
//   KsvLangEditor --check [SUITE-FOLDER] [--tool NAME] [--lang ID] [--json] [--spelling]
// Plain functions over the arguments and the file system, so they run without a display.
#include <string>
#include <vector>

#include "platform/Text.h"

namespace mCmdLine {

enum class Action { Run, Help, Version, Check, Error };

struct Options {
  Action action = Action::Run;
  Text suiteRoot;     // a suite found from a folder argument (ends with a separator)
  Text langFile;      // a file argument, absolute, to open as the open command does
  std::string error;  // one line for stderr when action is Error
  // --check: the tool (its name in the tools table, as written there) and the language to
  // check, empty for all; JSON instead of lines.
  Text checkTool;
  Text checkLang;
  bool checkJson = false;
  bool checkSpelling = false;  // unknown words as warnings too
};

// `args` are the arguments after the program name. Later arguments are not looked at once
// --help or --version is met; anything unknown, a second path, a path that does not exist
// or a folder with no suite above it is an error.
Options Parse(const std::vector<std::string>& args);

// Texts for stdout, ending with a newline.
std::string HelpText();
std::string VersionText();

// What main does before the toolkit starts: prints help, version or the error and returns
// the exit code (0, or 2 for bad arguments); returns -1 when the program (or the check) is
// to run.
int Handle(const Options& o, std::string& out, std::string& err);

}  // namespace mCmdLine
