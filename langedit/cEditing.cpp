#include "langedit/cEditing.h"

#include "langedit/cLangEditor.h"
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
    el->Value(ed_.EncodeText(editText));
    ed_.MarkDirty(lang->Name());
    return true;
  } catch (const std::exception& e) {
    ErrLog::Exception("cEditing.StoreValue", e.what());
    return false;
  }
}

XmlNodePtr cEditing::MapToLang(const XmlNodePtr& treeElement, const XmlNodePtr& lang) {
  if (!treeElement || !lang) return nullptr;
  Text path = treeElement->Path(u"", u".", ed_.TreeDoc().get());
  if (path.empty()) return lang;
  return lang->GetChildNode(path, true, true);
}

XmlNodePtr cEditing::FindNextEmpty(const XmlNodePtr& start, long langIndex) {
  try {
    if (!start) return nullptr;
    const XmlNodePtr& langs = ed_.LoadedLangs();
    if (langIndex < 1 || langIndex > langs->ChildCount()) return nullptr;
    XmlNodePtr lang = langs->Child(langIndex);
    XmlNodePtr from = start;
    for (int round = 0; round < 2; ++round) {
      XmlNodePtr cur = MapToLang(from, lang);
      while (cur) {
        if (IsContributors(*cur)) {
          // The credits are not strings: skip the whole group.
          XmlNodePtr after = cur->NextSibling();
          for (XmlNodePtr up = cur->Parent(); !after && up && up != lang; up = up->Parent()) after = up->NextSibling();
          cur = after;
          continue;
        }
        if (cur->ChildCount() == 0 && cur->AttrCount() == 0 && cur->Value().empty()) {
          Text hitPath = cur->Path(u"", u".", lang.get());
          if (XmlNodePtr target = ed_.TreeDoc()->GetChildNode(hitPath, false, true)) return target;
        }
        XmlNodePtr next = cur->NextNode();
        if (!next || next->ParentPtr() == langs.get() || !next->IsChildOf(lang)) break;
        cur = next;
      }
      from = ed_.TreeDoc()->Child(1);
      if (!from) break;
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

    // The loaded element keeps its identity; its content becomes the filled copy's.
    lang->ClearAttributs();
    for (long i = 1; i <= source->AttrCount(); ++i) lang->Attribut(source->AttrName(i), source->AttrValue(i));
    lang->DelChilds();
    while (source->ChildCount() > 0) {
      XmlNodePtr c = source->Child(1);
      source->EmancipateChild(c);
      lang->AddChild(c);
    }
    ed_.MarkDirty(lang->Name());
    ed_.UpdateDirtyFromInfos();
    ed_.TreeChanged.Raise();
    return true;
  } catch (const std::exception& e) {
    ErrLog::Exception("cEditing.FillEmptyStrings", e.what());
    return false;
  }
}
