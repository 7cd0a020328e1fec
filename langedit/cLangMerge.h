#pragma once
// A three-way merge of one language element: what changed on disk since the editor loaded
// the language (base -> theirs) is carried into the copy edited here (base -> ours), string
// by string. Strings are keyed by their path of element names, attributes of the language
// element by name, contributors by their "name". A key changed on both sides to different
// values is a conflict; it stays as ours until answered. An empty string counts as absent,
// as saving drops empty elements.
#include <vector>

#include "platform/Text.h"
#include "xml/cXmlNode.h"

class cLangMerge {
 public:
  enum class Kind { String, Attribute, Contributor };
  struct Conflict {
    Kind kind = Kind::String;
    Text key;  // "Config.Labels.Title", the attribute name, or the contributor's name
    Text base, theirs, ours;
    bool takeTheirs = false;  // the answer: false keeps ours
  };

  // Compares the three elements; changes nothing.
  cLangMerge(const XmlNodePtr& base, const XmlNodePtr& theirs, const XmlNodePtr& ours);

  // Whether the other side differs from the base at all.
  bool TheirsChanged() const { return theirsChanged_; }
  // Changes from disk that apply without a question.
  long CleanChanges() const { return static_cast<long>(changes_.size() - conflicts_.size()); }
  std::vector<Conflict>& Conflicts() { return conflicts_; }
  const std::vector<Conflict>& Conflicts() const { return conflicts_; }

  // Writes into `ours` every change from disk that does not conflict, and the conflicts
  // answered takeTheirs. Group elements a string needs are created.
  void Apply(const XmlNodePtr& ours) const;

 private:
  struct Item {
    Kind kind = Kind::String;
    std::vector<Text> path;  // strings: element names below the language element
    Text display;
    Text value;              // contributors: their attributes as one text
    XmlNodePtr node;         // contributors: the element itself
  };
  struct Change {
    Item item;      // where, as theirs has it (value empty: removed there)
    bool present;   // theirs holds the key
    long conflict;  // index in conflicts_, -1 when clean
  };
  void applyOne(const XmlNodePtr& ours, const Change& c) const;

  std::vector<Change> changes_;
  std::vector<Conflict> conflicts_;
  bool theirsChanged_ = false;
};
