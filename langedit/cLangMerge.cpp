#include "langedit/cLangMerge.h"

#include <algorithm>
#include <map>
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
struct Collected {
  std::map<Text, std::pair<Kind, std::vector<Text>>> where;  // key -> kind, path
  std::map<Text, Text> values;
  std::map<Text, XmlNodePtr> nodes;
};

const char16_t kSep = u'\x01';

void Collect(const XmlNodePtr& lang, Collected& out) {
  if (!lang) return;
  for (long i = 1; i <= lang->AttrCount(); ++i) {
    Text name = lang->AttrName(i), value = lang->AttrValue(i);
    if (value.empty() || IgnoredAttribute(name)) continue;
    Text key = Text(u"a") + kSep + txt::LCase(name);
    if (out.values.emplace(key, value).second) out.where[key] = {Kind::Attribute, {name}};
  }
  if (XmlNodePtr contributors = ChildNamed(lang, mLangFormat::kContributors)) {
    for (auto& [name, node] : KeyedContributors(contributors)) {
      Text key = Text(u"c") + kSep + name;
      if (!out.values.emplace(key, ContributorText(node)).second) continue;
      Text shown = node->Attribut(mLangFormat::kContribName);
      out.where[key] = {Kind::Contributor, {name, shown.empty() ? name : shown}};
      out.nodes[key] = node;
    }
  }
  // Iterative: language files can nest deeply. The first of two same-named siblings is the
  // one every lookup by name finds, so it is the one compared.
  struct Frame {
    XmlNodePtr node;
    std::vector<Text> path;
  };
  std::vector<Frame> stack;
  long n = lang->ChildCount();
  for (long i = n; i >= 1; --i) {
    XmlNodePtr c = lang->Child(i);
    if (c && !txt::EqualsNoCase(c->Name(), mLangFormat::kContributors)) stack.push_back({c, {c->Name()}});
  }
  while (!stack.empty()) {
    Frame f = std::move(stack.back());
    stack.pop_back();
    long count = f.node->ChildCount();
    if (count == 0) {
      Text value = f.node->Value();
      if (value.empty()) continue;
      Text key(u"s");
      for (const Text& seg : f.path) key += kSep + txt::LCase(seg);
      if (out.values.emplace(key, value).second) out.where[key] = {Kind::String, f.path};
      continue;
    }
    for (long i = count; i >= 1; --i) {
      XmlNodePtr c = f.node->Child(i);
      if (!c) continue;
      std::vector<Text> path = f.path;
      path.push_back(c->Name());
      stack.push_back({c, std::move(path)});
    }
  }
}

Text Display(Kind kind, const std::vector<Text>& path) {
  if (kind != Kind::String) return path.empty() ? Text() : path.back();
  Text out;
  for (const Text& seg : path) out += (out.empty() ? u"" : u".") + seg;
  return out;
}

Text ValueOf(const std::map<Text, Text>& m, const Text& key) {
  auto it = m.find(key);
  return it == m.end() ? Text() : it->second;
}
}  // namespace

cLangMerge::cLangMerge(const XmlNodePtr& base, const XmlNodePtr& theirs, const XmlNodePtr& ours) {
  Collected b, t, o;
  Collect(base, b);
  Collect(theirs, t);
  Collect(ours, o);
  std::map<Text, std::pair<Kind, std::vector<Text>>> keys = b.where;
  keys.insert(t.where.begin(), t.where.end());
  keys.insert(o.where.begin(), o.where.end());
  for (const auto& [key, where] : keys) {
    Text bv = ValueOf(b.values, key), tv = ValueOf(t.values, key), ov = ValueOf(o.values, key);
    if (tv == bv) continue;
    theirsChanged_ = true;
    if (ov == tv) continue;
    Change c;
    // Theirs' spelling of the names when it has the key, so a created element looks as on disk.
    const auto& at = t.where.count(key) ? t.where.at(key) : where;
    c.item.kind = at.first;
    c.item.path = at.second;
    c.item.display = Display(at.first, at.second);
    c.item.value = tv;
    if (auto it = t.nodes.find(key); it != t.nodes.end()) c.item.node = it->second->Clone();
    c.present = !tv.empty();
    c.conflict = -1;
    if (ov != bv) {
      c.conflict = static_cast<long>(conflicts_.size());
      conflicts_.push_back({c.item.kind, c.item.display, bv, tv, ov, false});
    }
    changes_.push_back(std::move(c));
  }
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
