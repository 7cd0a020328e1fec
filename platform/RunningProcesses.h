#pragma once
// The image paths of the running processes, as far as this user may see them.
#include <vector>

#include "platform/Text.h"

namespace platform {

// For every process: the executable's path and, when it differs, the first word of its
// command line (a program run under a Windows compatibility layer shows its ".exe" there).
std::vector<Text> RunningImagePaths();

}  // namespace platform
