#pragma once
// Finding strings as the translator types in the find bar: every string of the tree (a
// structure element without children) with its key and its value in each loaded language,
// folded once (case and accents), so each keystroke is a scan over prepared text.
#include <cstddef>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/Text.h"
#include "xml/cXmlNode.h"

// Lower case without accents, one result character per source character where possible;
// combining marks are dropped. `origin`, when given, receives for each folded character the
// index of the source character it came from.
Text FoldForSearch(TextView text, std::vector<size_t>* origin = nullptr);

class cStringFilter {
 public:
  struct Options {
    bool keysOnly = false;
    Text langId;  // empty: every loaded language
  };

  // Indexes the strings of `treeDoc` in tree order against the languages below `loadedLangs`.
  void Build(const XmlNodePtr& treeDoc, const XmlNodePtr& loadedLangs);
  // Keeps the index in step with an edit; unknown paths or languages are ignored.
  void Update(TextView path, TextView langId, TextView value);

  size_t Count() const { return keys_.size(); }
  // The dot path of string `i` below the language elements ("Config.Labels.Title").
  const Text& PathAt(size_t i) const { return keys_[i].path; }
  // Indexes of the strings matching `query`, in tree order; every string for an empty query.
  std::vector<size_t> Filter(TextView query, const Options& options) const;
  // The next (or previous) match after `current` in `matches`, wrapping; `current` need not
  // be a match itself. Returns Count() when there is no match.
  size_t Step(const std::vector<size_t>& matches, size_t current, bool forward) const;

  // Where `query` occurs in `text`, as (start, length) in `text`'s own characters.
  static std::vector<std::pair<size_t, size_t>> MatchRanges(TextView text, TextView query);

 private:
  struct Key {
    Text path;
    Text folded;
  };
  long LangColumn(TextView langId) const;

  std::vector<Key> keys_;
  std::unordered_map<Text, size_t> index_;
  std::vector<Text> langIds_;
  // values_[lang][string]: the folded value, empty where the language lacks the string.
  std::vector<std::vector<Text>> values_;
};
