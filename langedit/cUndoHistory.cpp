#include "langedit/cUndoHistory.h"

#include <algorithm>

#include "langedit/mStrings.h"
#include "platform/ErrLog.h"

Text cUndoHistory::Key(TextView langId) { return txt::LCase(langId); }

bool cUndoHistory::Touches(const Step& s, TextView langId) {
  for (const auto& v : s.values)
    if (txt::EqualsNoCase(v.langId, langId)) return true;
  for (const auto& l : s.langs)
    if (txt::EqualsNoCase(l.langId, langId)) return true;
  return false;
}

void cUndoHistory::Record(Step step) {
  // A new change after undoing drops the undone steps; a save point among them is gone.
  if (pos_ < steps_.size()) {
    steps_.erase(steps_.begin() + static_cast<long>(pos_), steps_.end());
    for (auto& [id, at] : saved_)
      if (at != kUnreachable && at > pos_) at = kUnreachable;
  }
  steps_.push_back(std::move(step));
  pos_ = steps_.size();
  joinable_ = steps_.back().kind == Kind::Typing;
}

void cUndoHistory::RecordTyping(TextView langId, TextView path, TextView before, TextView after, bool existed,
                                int64_t nowMs) {
  if (joinable_ && pos_ == steps_.size() && !steps_.empty()) {
    Step& last = steps_.back();
    if (last.kind == Kind::Typing && last.values.size() == 1 && txt::EqualsNoCase(last.values[0].langId, langId) &&
        last.values[0].path == path && nowMs - last.lastMs <= kTypingPauseMs) {
      // Joining must not swallow a save point between the two keystrokes.
      auto it = saved_.find(Key(langId));
      if (it == saved_.end() || it->second != pos_) {
        last.values[0].after = Text(after);
        last.lastMs = nowMs;
        return;
      }
    }
  }
  Step s;
  s.kind = Kind::Typing;
  s.values.push_back({Text(langId), Text(path), Text(before), Text(after), existed});
  s.lastMs = nowMs;
  s.selectPath = Text(path);
  s.selectLang = Text(langId);
  Record(std::move(s));
}

const cUndoHistory::Step* cUndoHistory::Undo() {
  joinable_ = false;
  if (pos_ == 0) return nullptr;
  return &steps_[--pos_];
}

const cUndoHistory::Step* cUndoHistory::Redo() {
  joinable_ = false;
  if (pos_ >= steps_.size()) return nullptr;
  return &steps_[pos_++];
}

void cUndoHistory::MarkSaved(TextView langId) {
  saved_[Key(langId)] = pos_;
  joinable_ = false;
}

bool cUndoHistory::IsAtSaved(TextView langId) const {
  auto it = saved_.find(Key(langId));
  size_t at = it == saved_.end() ? 0 : it->second;
  if (at == kUnreachable) return false;
  size_t from = std::min(at, pos_), to = std::max(at, pos_);
  for (size_t i = from; i < to; ++i)
    if (Touches(steps_[i], langId)) return false;
  return true;
}

void cUndoHistory::Clear() {
  steps_.clear();
  saved_.clear();
  pos_ = 0;
  joinable_ = false;
}

void cUndoHistory::Forget(TextView langId) {
  // Steps that touch only this language go; mixed steps keep the other languages' parts.
  // newAt[p]: where position p lands once the emptied steps are gone.
  std::vector<size_t> newAt(steps_.size() + 1, 0);
  std::vector<Step> kept;
  for (size_t i = 0; i < steps_.size(); ++i) {
    Step& s = steps_[i];
    std::erase_if(s.values, [&](const ValueChange& v) { return txt::EqualsNoCase(v.langId, langId); });
    std::erase_if(s.langs, [&](const LangSnapshot& l) { return txt::EqualsNoCase(l.langId, langId); });
    if (!s.values.empty() || !s.langs.empty()) kept.push_back(std::move(s));
    newAt[i + 1] = kept.size();
  }
  for (auto& [id, at] : saved_)
    if (at != kUnreachable) at = newAt[std::min(at, steps_.size())];
  pos_ = newAt[pos_];
  steps_ = std::move(kept);
  saved_.erase(Key(langId));
  joinable_ = false;
}

namespace {

XmlNodePtr FindLang(const XmlNodePtr& langs, TextView id) {
  for (const XmlNodePtr& c : langs->Children())
    if (c && txt::EqualsNoCase(c->Name(), id)) return c;
  return nullptr;
}

void AddUnique(std::vector<Text>& ids, TextView id) {
  for (const Text& t : ids)
    if (txt::EqualsNoCase(t, id)) return;
  ids.emplace_back(id);
}

}  // namespace

std::vector<Text> ApplyUndoStep(const cUndoHistory::Step& step, bool undo, const XmlNodePtr& loadedLangs) {
  std::vector<Text> changed;
  if (!loadedLangs) return changed;
  try {
    for (const auto& snap : step.langs) {
      const XmlNodePtr& want = undo ? snap.before : snap.after;
      XmlNodePtr lang = FindLang(loadedLangs, snap.langId);
      if (!want) {
        if (lang) loadedLangs->DelChild(lang);
      } else if (lang) {
        mStrings::TakeContent(lang, want->Clone());
      } else {
        loadedLangs->AddChild(want->Clone());
      }
      AddUnique(changed, snap.langId);
    }
    // Typed values: undo walks them backwards so several changes of one string end right.
    auto apply = [&](const cUndoHistory::ValueChange& v) {
      XmlNodePtr lang = FindLang(loadedLangs, v.langId);
      if (!lang) return;
      if (undo && !v.existed) {
        if (XmlNodePtr el = lang->GetChildNode(v.path, false, true)) {
          XmlNodePtr parent = el->Parent();
          parent->DelChild(el);
          // Groups created only to hold the string go with it.
          while (parent && parent != lang && parent->ChildCount() == 0 && parent->Value().empty()) {
            XmlNodePtr up = parent->Parent();
            up->DelChild(parent);
            parent = up;
          }
        }
      } else if (XmlNodePtr el = lang->GetChildNode(v.path, true, true)) {
        el->Value(undo ? v.before : v.after);
      }
      AddUnique(changed, v.langId);
    };
    if (undo)
      std::for_each(step.values.rbegin(), step.values.rend(), apply);
    else
      std::for_each(step.values.begin(), step.values.end(), apply);
  } catch (const std::exception& e) {
    ErrLog::Exception("cUndoHistory.ApplyUndoStep", e.what());
  }
  return changed;
}
