#include "langedit/cLangMerge.h"

#include <algorithm>
#include <unordered_map>
#include <utility>

#include "langedit/mLangFormat.h"

namespace {

using Kind = cLangMerge::Kind;

// Every save stamps today's date, so the attribute is never a change worth merging.
bool IgnoredAttribute(TextView name) { return txt::EqualsNoCase(name, mLangFormat::kAttrDate); }

XmlNodePtr ChildNamed(const XmlNodePtr& parent, TextView name) {
  long n = parent->ChildCount();
  for (long i = 1; i <= n; ++i)
    if (XmlNodePtr c = parent->Child(i); c && txt::EqualsNoCase(c->Name(), name)) return c;
  return nullptr;
}

// A contributor as one comparable text: its attributes in name order.
Text ContributorText(const XmlNodePtr& c) {
  std::vector<std::pair<Text, Text>> attrs;
  for (long i = 1; i <= c->AttrCount(); ++i)
    if (!c->AttrValue(i).empty()) attrs.emplace_back(txt::LCase(c->AttrName(i)), c->AttrValue(i));
  std::sort(attrs.begin(), attrs.end());
  Text out;
  for (const auto& [name, value] : attrs) out += (out.empty() ? u"" : u" ") + name + u"=\"" + value + u"\"";
  return out;
}

// Contributors are keyed by name; nameless ones by their rank among the nameless, so two
// of them are never folded into one.
std::vector<std::pair<Text, XmlNodePtr>> KeyedContributors(const XmlNodePtr& contributors) {
  std::vector<std::pair<Text, XmlNodePtr>> out;
  if (!contributors) return out;
  long nameless = 0;
  long n = contributors->ChildCount();
  for (long i = 1; i <= n; ++i) {
    XmlNodePtr c = contributors->Child(i);
    if (!c || !txt::EqualsNoCase(c->Name(), mLangFormat::kContributor)) continue;
    Text name = c->Attribut(mLangFormat::kContribName);
    out.emplace_back(name.empty() ? u"#" + txt::FromInt(++nameless) : txt::LCase(name), c);
  }
  return out;
}

}  // namespace

namespace {
// One side's keys. Strings point at their element: the path is built only for the few keys
// that changed.
struct Entry {
  Kind kind;
  cXmlNode* node;  // strings and contributors
  Text name;       // attributes: the name; contributors: their key and shown name below
  Text shown;
  Text value;
};
using Side = std::unordered_map<Text, Entry>;

const char16_t kSep = u'\x01';

void Collect(const XmlNodePtr& lang, Side& out) {
  if (!lang) return;
  for (long i = 1; i <= lang->AttrCount(); ++i) {
    Text name = lang->AttrName(i), value = lang->AttrValue(i);
    if (value.empty() || IgnoredAttribute(name)) continue;
    out.emplace(Text(u"a") + kSep + txt::LCase(name), Entry{Kind::Attribute, nullptr, name, name, value});
  }
  if (XmlNodePtr contributors = ChildNamed(lang, mLangFormat::kContributors)) {
    for (auto& [name, node] : KeyedContributors(contributors)) {
      Text shown = node->Attribut(mLangFormat::kContribName);
      out.emplace(Text(u"c") + kSep + name,
                  Entry{Kind::Contributor, node.get(), name, shown.empty() ? name : shown, ContributorText(node)});
    }
  }
  // Iterative: language files can nest deeply. The first of two same-named siblings is the
  // one every lookup by name finds, so it is the one compared.
  struct Frame {
    cXmlNode* node;
    Text key;
  };
  std::vector<Frame> stack;
  long n = lang->ChildCount();
  for (long i = n; i >= 1; --i) {
    XmlNodePtr c = lang->Child(i);
    if (c && !txt::EqualsNoCase(c->Name(), mLangFormat::kContributors))
      stack.push_back({c.get(), Text(u"s") + kSep + txt::LCase(c->Name())});
  }
  while (!stack.empty()) {
    Frame f = std::move(stack.back());
    stack.pop_back();
    long count = f.node->ChildCount();
    if (count == 0) {
      Text value = f.node->Value();
      if (!value.empty()) out.emplace(std::move(f.key), Entry{Kind::String, f.node, Text(), Text(), std::move(value)});
      continue;
    }
    for (long i = count; i >= 1; --i)
      if (XmlNodePtr c = f.node->Child(i)) stack.push_back({c.get(), f.key + kSep + txt::LCase(c->Name())});
  }
}

// Element names from below the language element down to the string.
std::vector<Text> PathOf(const cXmlNode* node, const cXmlNode* lang) {
  std::vector<Text> path;
  for (const cXmlNode* n = node; n && n != lang; n = n->ParentPtr()) path.push_back(n->Name());
  std::reverse(path.begin(), path.end());
  return path;
}

const Text kNone;
const Text& ValueOf(const Side& side, const Text& key) {
  auto it = side.find(key);
  return it == side.end() ? kNone : it->second.value;
}
}  // namespace

cLangMerge::cLangMerge(const XmlNodePtr& base, const XmlNodePtr& theirs, const XmlNodePtr& ours) {
  Side b, t, o;
  Collect(base, b);
  Collect(theirs, t);
  Collect(ours, o);
  // Every key once: theirs', then the base's and ours' that theirs lacks. Only keys whose
  // value differs between the base and theirs matter, so the rest is skipped quickly.
  std::vector<std::pair<const Text*, const Side*>> keys;
  for (const Side* side : {&t, &b, &o})
    for (const auto& [key, e] : *side) {
      if (side != &t && t.count(key)) continue;
      if (side == &o && b.count(key)) continue;
      keys.emplace_back(&key, side);
    }
  const cXmlNode* oursLang = ours.get();
  const cXmlNode* theirsLang = theirs.get();
  const cXmlNode* baseLang = base.get();
  for (const auto& [keyPtr, side] : keys) {
    const Text& key = *keyPtr;
    const Text& bv = ValueOf(b, key);
    const Text& tv = ValueOf(t, key);
    if (tv == bv) continue;
    theirsChanged_ = true;
    const Text& ov = ValueOf(o, key);
    if (ov == tv) continue;
    // Theirs' spelling of the names when it has the key, so a created element looks as on disk.
    const Entry& e = side->at(key);
    const cXmlNode* top = side == &t ? theirsLang : side == &b ? baseLang : oursLang;
    Change c;
    c.item.kind = e.kind;
    if (e.kind == Kind::String) {
      c.item.path = PathOf(e.node, top);
      for (const Text& seg : c.item.path) c.item.display += (c.item.display.empty() ? u"" : u".") + seg;
    } else {
      c.item.path = {e.name};
      c.item.display = e.shown;
    }
    c.item.value = tv;
    if (e.kind == Kind::Contributor && side == &t && e.node) c.item.node = e.node->Clone();
    c.present = !tv.empty();
    c.conflict = -1;
    if (ov != bv) {
      c.conflict = static_cast<long>(conflicts_.size());
      conflicts_.push_back({c.item.kind, c.item.display, bv, tv, ov, false});
    }
    changes_.push_back(std::move(c));
  }
  // The dialog lists them in a stable order, the language's own attributes first.
  std::vector<size_t> order(conflicts_.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  auto rank = [&](size_t i) { return conflicts_[i].kind == Kind::String ? 1 : conflicts_[i].kind == Kind::Attribute ? 0 : 2; };
  std::stable_sort(order.begin(), order.end(), [&](size_t x, size_t y) {
    if (rank(x) != rank(y)) return rank(x) < rank(y);
    return txt::LCase(conflicts_[x].key) < txt::LCase(conflicts_[y].key);
  });
  std::vector<Conflict> sorted;
  std::vector<long> newIndex(order.size());
  for (size_t i = 0; i < order.size(); ++i) {
    newIndex[order[i]] = static_cast<long>(i);
    sorted.push_back(std::move(conflicts_[order[i]]));
  }
  conflicts_ = std::move(sorted);
  for (Change& c : changes_)
    if (c.conflict >= 0) c.conflict = newIndex[static_cast<size_t>(c.conflict)];
}

void cLangMerge::Apply(const XmlNodePtr& ours) const {
  if (!ours) return;
  for (const Change& c : changes_) {
    if (c.conflict >= 0 && !conflicts_[static_cast<size_t>(c.conflict)].takeTheirs) continue;
    applyOne(ours, c);
  }
}

void cLangMerge::applyOne(const XmlNodePtr& ours, const Change& c) const {
  const Item& it = c.item;
  switch (it.kind) {
    case Kind::Attribute:
      ours->Attribut(it.path.front(), c.present ? TextView(it.value) : TextView());
      return;
    case Kind::Contributor: {
      XmlNodePtr list = ChildNamed(ours, mLangFormat::kContributors);
      if (!list) {
        if (!c.present) return;
        list = cXmlNode::New();
        list->Name(mLangFormat::kContributors);
        ours->AddChild(list);
      }
      const Text& key = it.path.front();
      long at = 0;
      for (auto& [k, node] : KeyedContributors(list)) {
        if (k != key) continue;
        at = node->Index();
        list->DelChild(node);
        break;
      }
      if (c.present && it.node) list->AddChild(it.node->Clone(), at > 0 && at <= list->ChildCount() ? at : 0);
      return;
    }
    case Kind::String: {
      XmlNodePtr node = ours;
      for (const Text& seg : it.path) {
        XmlNodePtr next = ChildNamed(node, seg);
        if (!next) {
          if (!c.present) return;  // already absent here
          next = cXmlNode::New();
          next->Name(seg);
          node->AddChild(next);
        }
        node = next;
      }
      // Removed on disk: emptied, so the structure the tree shows stays and saving drops it.
      if (node->ChildCount() == 0) node->Value(c.present ? it.value : Text());
      return;
    }
  }
}
