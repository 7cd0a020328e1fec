#pragma once
// Undo and redo across strings. Every stored change of the loaded languages is a step: one
// string's value (typing, grouped per string until a pause), or whole-language snapshots
// (filling, importing, property edits). The history also knows, per language, where the
// file was last saved, so undoing back to that point makes the language clean again.
#include <cstdint>
#include <map>
#include <vector>

#include "platform/Text.h"
#include "xml/cXmlNode.h"

class cUndoHistory {
 public:
  enum class Kind { Typing, Fill, Import, Properties };

  struct ValueChange {
    Text langId;
    Text path;  // dot path below the language element, no leading "."
    Text before;
    Text after;
    bool existed = true;  // the string was there before the change
  };
  // A language element before and after; null stands for "not loaded".
  struct LangSnapshot {
    Text langId;
    XmlNodePtr before;
    XmlNodePtr after;
  };
  struct Step {
    Kind kind = Kind::Typing;
    std::vector<ValueChange> values;
    std::vector<LangSnapshot> langs;
    int64_t lastMs = 0;
    // The string to select when the step is undone or redone (may be empty).
    Text selectPath;
    Text selectLang;
  };

  // Typing in the same string of the same language within this pause joins one step.
  static constexpr int64_t kTypingPauseMs = 1500;

  // A typed value; joins the previous step when it is typing in the same string and the
  // pause since it is short.
  void RecordTyping(TextView langId, TextView path, TextView before, TextView after, bool existed,
                    int64_t nowMs);
  void Record(Step step);
  // Ends the current typing group (selection changed, save, ...).
  void CloseGroup() { joinable_ = false; }

  bool CanUndo() const { return pos_ > 0; }
  bool CanRedo() const { return pos_ < steps_.size(); }
  // The step to revert (moves the position back), or null.
  const Step* Undo();
  const Step* Redo();

  // The position the language's file matches (after load or save).
  void MarkSaved(TextView langId);
  // True when the applied steps since the last MarkSaved of this language leave it as saved.
  bool IsAtSaved(TextView langId) const;
  // Forgets every step (another tool or file) or the ones of one language (unloaded).
  void Clear();
  void Forget(TextView langId);

  size_t Size() const { return steps_.size(); }
  size_t Position() const { return pos_; }

 private:
  static bool Touches(const Step& s, TextView langId);
  static Text Key(TextView langId);

  std::vector<Step> steps_;
  size_t pos_ = 0;
  bool joinable_ = false;
  // Saved position per language (lower-case ID); kUnreachable once the steps that led
  // there were dropped by a new change after undoing.
  static constexpr size_t kUnreachable = static_cast<size_t>(-1);
  std::map<Text, size_t> saved_;
};

// Applies one side of a step to the loaded languages: `undo` restores the "before" values
// and snapshots, else the "after" ones. A language element keeps its identity; a snapshot
// of "not loaded" removes it and a snapshot of an absent language appends a copy. Returns
// the IDs of the languages that changed.
std::vector<Text> ApplyUndoStep(const cUndoHistory::Step& step, bool undo, const XmlNodePtr& loadedLangs);
