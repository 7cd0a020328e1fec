#pragma once
// Checks made before a language file is opened or listed: files nested deeper than the
// tree can show are refused before any parsing, and temporary copies left by an
// interrupted save are offered for restoring or deleting.
#include <vector>

#include "platform/Text.h"

namespace mFileSafety {

// Deepest element nesting the tree view can show.
inline constexpr long kMaxNesting = 1000;

// True when elements in `xml` nest deeper than `maxDepth`: one pass over the text, no tree.
bool NestsDeeperThan(TextView xml, long maxDepth);
// The message shown when such a file is refused.
Text TooDeepMessage(TextView path);

// Temporary copies a save of `file` may have left beside it (file + ".NNN.tmp"), oldest name first.
std::vector<Text> LeftoverCopies(TextView file);
// True when the text holds a root element that is closed again (a save that got to its end).
bool LooksComplete(TextView xml);
// Tells the translator about each leftover copy of `file` and restores or deletes it as
// answered (a copy cut short can only be deleted). True when the file was replaced.
bool OfferLeftovers(TextView file);

}  // namespace mFileSafety
