#pragma once
// The translator's editing aids on the editor state, without widgets: storing an edit with
// its dirty mark, the translation-state colour of a string, counting, finding and filling
// empty strings. The window turns their results into selections and repaints.
#include <functional>
#include <utility>
#include <vector>

#include "platform/Text.h"
#include "xml/cXmlNode.h"

class cLangEditor;

class cEditing {
 public:
  explicit cEditing(cLangEditor& ed) : ed_(ed) {}

  // Tree label colours (0x00BBGGRR).
  static constexpr long kRed = 0x0000FF;
  static constexpr long kOrange = 236L | (163L << 8) | (28L << 16);
  static constexpr long kBlack = 0;

  // Strings (elements without children) with an empty value; "Contributors" counts nothing.
  static long CountEmptyStrings(const XmlNodePtr& element);
  static bool StrInCol(TextView text, const std::vector<Text>& col);

  // The colour of the string at `path` (below the language elements, "." separated): red
  // when some loaded language lacks it or has it empty, orange when a language repeats the
  // text of an earlier one, else black. Reads only; creates nothing.
  long StringColor(TextView path);
  // A group's colour from its children's: any red makes red, else any orange, else black.
  static long GroupColor(const std::vector<long>& childColors);

  // Stores the edit box's text (edit form) as language `langIndex`'s (1-based) value at
  // `labelPath` (".Config.Title"), creating the string where it lacked, and marks the
  // language dirty. False when nothing was stored (no such language, or a group).
  bool StoreValue(long langIndex, TextView labelPath, TextView editText);
  // The stored form of an edited value. The edit box shows every line break as CR LF, so
  // the breaks of the text around the typed part keep the form they were stored in (a
  // lone LF stays a lone LF); breaks typed anew are stored as the escape.
  Text StoredForm(TextView storedBefore, TextView editText) const;

  // The next string of language `langIndex` that is empty or missing, in the order the tree
  // shows (the tree document) from the tree element `start` onwards, wrapping once; with
  // `afterStart` the walk begins after `start` and ends on it. Returns the tree element to
  // select; null when there is none ("No more empty string in language ..." then shown).
  XmlNodePtr FindNextEmpty(const XmlNodePtr& start, long langIndex, bool afterStart = false);

  // The picker rows offered as sources for filling language `index`: every other loaded
  // language, "English name (id)" or the id, remembering its index.
  std::vector<std::pair<Text, long>> FillSources(long index);
  // Fills the empty strings of language `index` from the language `pick` chooses among
  // FillSources (0 = cancelled). True when the language changed.
  bool FillEmptyStrings(long index, const std::function<long(const std::vector<std::pair<Text, long>>&)>& pick);

 private:
  bool IsEmptyIn(const XmlNodePtr& treeElement, const XmlNodePtr& lang);

  cLangEditor& ed_;
};
