#pragma once
// The suite's tools that have language files, and finding the suite itself.
#include <functional>
#include <vector>

#include "platform/Text.h"

namespace mTools {

// Display name and file pattern of one tool; the pattern is relative to the suite root and
// holds one "*" where the language ID goes.
struct Tool {
  Text name;
  Text pattern;
};

// The eight tools, in menu order, read from the program's table ("|" between rows, "/"
// between name and pattern).
const std::vector<Tool>& Tools();
// Suite root (ending with a separator) + the tool's pattern, with native separators.
Text ToolPattern(TextView suiteRoot, const Tool& tool);
// The folder of the language icons below the suite root.
Text IconsFolder(TextView suiteRoot);
// The picture file of a language's "icon" attribute: only a plain file name of a regular
// file inside the icons folder ("" otherwise), since the name comes from a language file.
Text IconFile(TextView suiteRoot, TextView icon);

// The suite's launcher; its folder is the suite root.
inline constexpr char16_t kLauncher[] = u"Kestrova.exe";

// Walks up from the program's folder to the first folder holding the launcher; failing
// that, asks the running processes for a suite menu program ("*KestrovaMenu.exe") and
// takes the suite it runs from when exactly one suite qualifies. Returns the root with a
// trailing separator, or "" when the suite is not found.
Text FindKSVRoot(TextView programFolder, const std::function<std::vector<Text>()>& runningImages);

}  // namespace mTools
