#pragma once
// How far each loaded language is: translated strings against the strings the tree shows,
// and, for the language being edited, how many strings below each group are still empty
// or missing. Built once per tree, then kept in step with each stored value.
#include <unordered_map>
#include <vector>

#include "platform/Text.h"
#include "xml/cXmlNode.h"

class cLangStats {
 public:
  struct Count {
    Text langId;
    long translated = 0;
    long total = 0;
    // Whole percent, rounded down so an unfinished language never shows 100.
    long Percent() const { return total > 0 ? translated * 100 / total : 0; }
  };

  void Build(const XmlNodePtr& treeDoc, const XmlNodePtr& loadedLangs);
  // A stored value: `filled` is whether it is non-empty now.
  void Update(TextView path, TextView langId, bool filled);

  const std::vector<Count>& Counts() const { return counts_; }
  // "fr 812/940 · 86 %" per language, English left out, joined by "   ".
  Text StatusText() const;
  // Empty or missing strings of `langId` below the group at `groupPath` ("" = everything).
  long OpenBelow(TextView groupPath, TextView langId) const;

 private:
  long Column(TextView langId) const;

  std::unordered_map<Text, size_t> index_;
  std::vector<Text> paths_;
  std::vector<Count> counts_;
  std::vector<std::vector<bool>> filled_;
  // open_[lang][group path]: empty or missing strings below that group.
  std::vector<std::unordered_map<Text, long>> open_;
};
