#pragma once
// The strings of a language document as the tree shows them: elements without children,
// addressed by their dot path below the language (or structure) element, in tree order.
// The credits ("Contributors") are not strings.
#include <unordered_map>
#include <vector>

#include "platform/Text.h"
#include "xml/cXmlNode.h"

namespace mStrings {

// Dot paths of the strings below `root`, depth first in child order.
std::vector<Text> Paths(const XmlNodePtr& root);
// Every string below `lang` with its stored value.
std::unordered_map<Text, Text> Values(const XmlNodePtr& lang);
// Paths and values together in tree order, from one walk.
std::vector<std::pair<Text, Text>> Entries(const XmlNodePtr& lang);
// `lang` keeps its identity (the window, the history and the language list hold it) and
// takes over the attributes, children and value of `from`, which is left empty.
void TakeContent(const XmlNodePtr& lang, const XmlNodePtr& from);
// The groups above a string: "A.B.C" gives "", "A", "A.B".
std::vector<Text> GroupsOf(TextView path);

}  // namespace mStrings
