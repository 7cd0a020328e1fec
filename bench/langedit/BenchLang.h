#pragma once
// A language element of `groups` groups of `perGroup` strings ("G0.S0" ...), each string's
// text given by its number in tree order: the shape the langedit benchmarks measure on.
#include <functional>

#include "platform/Text.h"
#include "xml/cXmlNode.h"

namespace benchlang {

inline XmlNodePtr MakeLang(TextView id, int groups, int perGroup, const std::function<Text(int)>& text) {
  auto lang = cXmlNode::New();
  lang->Name(Text(id));
  for (int g = 0; g < groups; ++g) {
    auto group = cXmlNode::New();
    group->Name(u"G" + txt::FromInt(g));
    for (int s = 0; s < perGroup; ++s) {
      auto str = cXmlNode::New();
      str->Name(u"S" + txt::FromInt(s));
      str->Value(text(g * perGroup + s));
      group->AddChild(str);
    }
    lang->AddChild(group);
  }
  return lang;
}

}  // namespace benchlang
