#include "langedit/cEditing.h"

#include <algorithm>

#include "langedit/cLangEditor.h"
#include "langedit/mStrings.h"
#include "platform/ErrLog.h"
#include "platform/MsgBox.h"

namespace {
bool IsContributors(const cXmlNode& n) { return txt::EqualsNoCase(n.Name(), u"Contributors"); }
}  // namespace

long cEditing::CountEmptyStrings(const XmlNodePtr& element) {
  if (!element) return 0;
  long count = 0;
  std::vector<XmlNodePtr> stack{element};
  while (!stack.empty()) {
    XmlNodePtr n = stack.back();
    stack.pop_back();
    if (!n || IsContributors(*n)) continue;
    long c = n->ChildCount();
    if (c == 0) {
      if (n->Value().empty()) ++count;
      continue;
    }
    for (long i = 1; i <= c; ++i) stack.push_back(n->Child(i));
  }
  return count;
}

bool cEditing::StrInCol(TextView text, const std::vector<Text>& col) {
  for (const Text& t : col)
    if (t == text) return true;
  return false;
}

long cEditing::StringColor(TextView path) {
  try {
    const XmlNodePtr& langs = ed_.LoadedLangs();
    std::vector<Text> seen;
    long color = kBlack;
    long n = langs->ChildCount();
    for (long i = 1; i <= n; ++i) {
      XmlNodePtr lang = langs->Child(i);
      if (!lang) continue;
      XmlNodePtr el = lang->GetChildNode(path, false, true);
      Text value = el ? el->Value() : Text();
      if (value.empty()) return kRed;
      if (StrInCol(value, seen)) color = kOrange;  // a later empty value still makes it red
      seen.push_back(std::move(value));
    }
    return color;
  } catch (const std::exception& e) {
    ErrLog::Exception("cEditing.StringColor", e.what());
    return kBlack;
  }
}

long cEditing::GroupColor(const std::vector<long>& childColors) {
  long color = kBlack;
  for (long c : childColors) {
    if (c == kRed) return kRed;
    if (c == kOrange) color = kOrange;
  }
  return color;
}

bool cEditing::StoreValue(long langIndex, TextView labelPath, TextView editText) {
  try {
    const XmlNodePtr& langs = ed_.LoadedLangs();
    if (langIndex < 1 || langIndex > langs->ChildCount()) return false;
    XmlNodePtr lang = langs->Child(langIndex);
    Text path(labelPath);
    if (!path.empty() && path[0] == u'.') path.erase(0, 1);
    XmlNodePtr el = path.empty() ? lang : lang->GetChildNode(path, true, true);
    if (!el || el->ChildCount() > 0) return false;
    el->Value(StoredForm(el->Value(), editText));
    ed_.MarkDirty(lang->Name());
    return true;
  } catch (const std::exception& e) {
    ErrLog::Exception("cEditing.StoreValue", e.what());
    return false;
  }
}

Text cEditing::StoredForm(TextView storedBefore, TextView editText) const {
  // The value as the box shows it, one piece per character or line break, each piece
  // remembering its stored form.
  struct Piece {
    Text shown, stored;
  };
  std::vector<Piece> pieces;
  Text shown;
  for (size_t i = 0; i < storedBefore.size();) {
    size_t len = 1;
    if (storedBefore.substr(i, 2) == u"\\n" || storedBefore.substr(i, 2) == u"\r\n") len = 2;
    TextView part = storedBefore.substr(i, len);
    bool lineBreak = len == 2 || part == u"\n" || part == u"\r";
    pieces.push_back({lineBreak ? Text(u"\r\n") : Text(part), Text(part)});
    shown += pieces.back().shown;
    i += len;
  }
  // What is common at both ends was not touched; the middle is what was typed.
  size_t maxCommon = std::min(shown.size(), editText.size());
  size_t head = 0, headChars = 0;
  for (const Piece& p : pieces) {
    if (head + p.shown.size() > maxCommon || editText.substr(head, p.shown.size()) != p.shown) break;
    head += p.shown.size();
    ++headChars;
  }
  size_t tail = 0, tailChars = 0;
  for (size_t k = pieces.size(); k > headChars; --k) {
    const Piece& p = pieces[k - 1];
    if (head + tail + p.shown.size() > maxCommon ||
        editText.substr(editText.size() - tail - p.shown.size(), p.shown.size()) != p.shown)
      break;
    tail += p.shown.size();
    ++tailChars;
  }
  Text out;
  for (size_t k = 0; k < headChars; ++k) out += pieces[k].stored;
  out += ed_.EncodeText(editText.substr(head, editText.size() - head - tail));
  for (size_t k = pieces.size() - tailChars; k < pieces.size(); ++k) out += pieces[k].stored;
  return out;
}

bool cEditing::IsEmptyIn(const XmlNodePtr& treeElement, const XmlNodePtr& lang) {
  if (treeElement->ChildCount() > 0) return false;
  XmlNodePtr el = lang->GetChildNode(treeElement->Path(u"", u".", ed_.TreeDoc().get()), false, true);
  return !el || (el->ChildCount() == 0 && el->AttrCount() == 0 && el->Value().empty());
}

XmlNodePtr cEditing::FindNextEmpty(const XmlNodePtr& start, long langIndex, bool afterStart) {
  try {
    const XmlNodePtr& tree = ed_.TreeDoc();
    const XmlNodePtr& langs = ed_.LoadedLangs();
    if (!start || langIndex < 1 || langIndex > langs->ChildCount()) return nullptr;
    XmlNodePtr lang = langs->Child(langIndex);
    // The tree's elements in the order it shows them; the credits are not strings.
    auto step = [&](XmlNodePtr n) -> XmlNodePtr {
      for (bool intoChildren = true;; intoChildren = false) {
        XmlNodePtr x = intoChildren ? n->NextNode() : nullptr;
        for (cXmlNode* up = n.get(); !x && up && up != tree.get(); up = up->ParentPtr()) x = up->NextSibling();
        if (!x || !x->IsChildOf(tree)) return nullptr;
        if (!IsContributors(*x)) return x;
        n = x;
      }
    };
    XmlNodePtr cur = afterStart || start == tree ? step(start) : start;
    for (; cur; cur = step(cur))
      if (IsEmptyIn(cur, lang)) return cur;
    if (start != tree) {
      for (cur = step(tree); cur && cur != start; cur = step(cur))
        if (IsEmptyIn(cur, lang)) return cur;
      if (afterStart && IsEmptyIn(start, lang)) return start;
    }
    platform::MsgBox(u"No more empty string in language " + lang->Name(), platform::vbOKOnly);
    return nullptr;
  } catch (const std::exception& e) {
    ErrLog::Exception("cEditing.FindNextEmpty", e.what());
    return nullptr;
  }
}

std::vector<std::pair<Text, long>> cEditing::FillSources(long index) {
  std::vector<std::pair<Text, long>> rows;
  const XmlNodePtr& langs = ed_.LoadedLangs();
  long n = langs->ChildCount();
  for (long i = 1; i <= n; ++i) {
    if (i == index) continue;
    XmlNodePtr lang = langs->Child(i);
    if (!lang) continue;
    Text en = lang->Attribut(u"en_name");
    rows.emplace_back(en.empty() ? lang->Name() : en + u" (" + lang->Name() + u")", i);
  }
  return rows;
}

bool cEditing::FillEmptyStrings(long index,
                                const std::function<long(const std::vector<std::pair<Text, long>>&)>& pick) {
  try {
    const XmlNodePtr& langs = ed_.LoadedLangs();
    if (index < 1 || index > langs->ChildCount()) return false;
    XmlNodePtr lang = langs->Child(index);
    if (CountEmptyStrings(lang) == 0) {
      platform::MsgBox(u"No empty strings where found in language " + lang->Name(), platform::vbInformation);
      return false;
    }
    long from = pick ? pick(FillSources(index)) : 0;
    if (from < 1 || from > langs->ChildCount() || from == index) return false;

    XmlNodePtr source = langs->Child(from)->Clone();
    XmlNodePtr target = lang->Clone();
    target->DeleteEmptyChilds(true);
    source->Name(target->Name());
    // What the target has wins; what it lacks comes from the source.
    source->MergeXml(target);
    source->ClearAttributs();
    for (long i = 1; i <= target->AttrCount(); ++i) source->Attribut(target->AttrName(i), target->AttrValue(i));
    XmlNodePtr targetCredits = target->GetChildNode(u"Contributors", true, true);
    XmlNodePtr sourceCredits = source->GetChildNode(u"Contributors", true, true);
    if (targetCredits && sourceCredits) {
      long at = sourceCredits->Index();
      source->DelChild(sourceCredits);
      target->EmancipateChild(targetCredits);
      source->AddChild(targetCredits, at);
    }

    source->Value(lang->Value());
    mStrings::TakeContent(lang, source);
    ed_.MarkDirty(lang->Name());
    ed_.UpdateDirtyFromInfos();
    ed_.TreeChanged.Raise();
    return true;
  } catch (const std::exception& e) {
    ErrLog::Exception("cEditing.FillEmptyStrings", e.what());
    return false;
  }
}
