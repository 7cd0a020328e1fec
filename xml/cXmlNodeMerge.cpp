// Match rules, node correspondence and merging one tree into another.
#include "xml/cXmlNode.h"

#include <algorithm>
#include <exception>

#include "platform/ErrLog.h"
#include "xml/cXmlNodeShared.h"
#include "xml/mXmlText.h"

using namespace xmlnode;

// --- merge and match --------------------------------------------------------------------

bool cXmlNode::MatchRule(const XmlNodePtr& rules) {
  try {
    wake();
    if (!rules) return false;
    Text path = Path(u"", u".", nullptr);
    for (const XmlNodePtr& rule : rules->Children()) {
      if (!rule || rule->Name() != u"MatchRule") continue;
      if (!EndsWith(path, rule->Attribut(u"path"))) continue;
      bool skipRule = false;
      for (const XmlNodePtr& item : rule->Children()) {
        if (skipRule) break;
        if (!item) continue;
        bool isAttr = item->Name() == u"Attribut";
        bool isChild = item->Name() == u"Child";
        if (!isAttr && !isChild) continue;
        XmlNodePtr anc = GetParent(static_cast<long>(txt::ToInt(item->Attribut(u"parentdepth"))));
        Text name = item->Attribut(u"name");
        Text want = item->Value();
        bool ci = item->Attribut(u"case") == u"ci";
        bool ok = false;
        if (anc) {
          if (isAttr) ok = anc->AttributExists(name) && (want.empty() || SameText(anc->Attribut(name), want, ci));
          else ok = anc->ChildExists(name) && (want.empty() || SameText(anc->ChildValue(name), want, ci));
        }
        if (!ok) {
          if (item->Attribut(u"type") == u"filter") skipRule = true;
          else return false;
        }
      }
      if (!skipRule) return true;
    }
  } catch (const std::exception& e) {
    LogError("MatchRule", e.what(), ErrLog::Kind::Function);
  }
  return false;
}

namespace {
Text ItemValueFor(cXmlNode* n, bool isAttr, long depth, const Text& name) {
  XmlNodePtr anc = n->GetParent(depth);
  if (!anc) return {};
  return isAttr ? anc->Attribut(name) : anc->ChildValue(name);
}
}  // namespace

bool cXmlNode::shallowMatch(cXmlNode* a, cXmlNode* b, cXmlNode* rules) {
  if (!a || !b) return false;
  if (a->name_ != b->name_) return false;
  if (rules) {
    Text pa = a->Path(u"", u".", nullptr);
    Text pb = b->Path(u"", u".", nullptr);
    for (const XmlNodePtr& rule : rules->Children()) {
      if (!rule || rule->Name() != u"MatchRule") continue;
      Text rp = rule->Attribut(u"path");
      if (!EndsWith(pa, rp) || !EndsWith(pb, rp)) continue;
      bool allPass = true;
      for (const XmlNodePtr& item : rule->Children()) {
        if (!item) continue;
        bool isAttr = item->Name() == u"Attribut";
        if (!isAttr && item->Name() != u"Child") continue;
        long depth = static_cast<long>(txt::ToInt(item->Attribut(u"parentdepth")));
        Text name = item->Attribut(u"name");
        Text va = ItemValueFor(a, isAttr, depth, name);
        Text vb = ItemValueFor(b, isAttr, depth, name);
        Text own = item->Value();
        if (va == vb && (own.empty() || vb == own)) continue;
        if (item->Attribut(u"type") == u"filter") {
          allPass = false;
          break;
        }
        return false;
      }
      if (allPass) break;
    }
  }
  return true;
}

// The deep comparison pairs each child of `a` with the first unused child of `b` that
// matches it deeply; an explicit stack keeps hostile nesting off the call stack.
bool cXmlNode::nodeMatch(cXmlNode* a, cXmlNode* b, cXmlNode* rules, bool deep) {
  if (!shallowMatch(a, b, rules)) return false;
  if (!deep) return true;
  struct Frame {
    cXmlNode* a;
    cXmlNode* b;
    size_t ai = 0;
    size_t j = 0;
    std::vector<bool> used;
  };
  // Starts comparing the children of a pair that matched shallowly; false when they cannot.
  auto open = [](cXmlNode* x, cXmlNode* y, std::vector<Frame>& stack) {
    if (x->ChildCount() != y->ChildCount()) return false;
    x->wake();
    y->wake();
    stack.push_back(Frame{x, y, 0, 0, std::vector<bool>(y->children_.size(), false)});
    return true;
  };
  std::vector<Frame> stack;
  if (!open(a, b, stack)) return false;
  bool result = true;
  bool returning = false;  // `result` holds the verdict of the frame just closed
  while (!stack.empty()) {
    Frame& f = stack.back();
    if (returning) {
      returning = false;
      if (result) {
        if (f.j < f.used.size()) f.used[f.j] = true;
        ++f.ai;
        f.j = 0;
      } else {
        ++f.j;
      }
    }
    if (f.ai >= f.a->children_.size()) {
      result = true;
      returning = true;
      stack.pop_back();
      continue;
    }
    const size_t nb = std::min(f.used.size(), f.b->children_.size());
    while (f.j < nb && f.used[f.j]) ++f.j;
    if (f.j >= nb) {
      result = false;
      returning = true;
      stack.pop_back();
      continue;
    }
    cXmlNode* ca = f.a->children_[f.ai].get();
    cXmlNode* cb = f.b->children_[f.j].get();
    if (!shallowMatch(ca, cb, rules) || !open(ca, cb, stack)) {
      result = false;
      returning = true;
    }
  }
  return result;
}

bool cXmlNode::NodeMatch(const XmlNodePtr& a, const XmlNodePtr& b, const XmlNodePtr& rules, bool deep) {
  try {
    return nodeMatch(a.get(), b.get(), rules.get(), deep);
  } catch (const std::exception& e) {
    LogError("NodeMatch", e.what(), ErrLog::Kind::Function);
    return false;
  }
}

namespace {
XmlNodePtr EmptyRules() {
  auto r = cXmlNode::New();
  r->Name(u"MergeRules");
  return r;
}
}  // namespace

bool cXmlNode::Match(const XmlNodePtr& other, XmlNodePtr rules, bool deep) {
  try {
    wake();
    if (!rules) rules = EmptyRules();
    return nodeMatch(this, other.get(), rules.get(), deep);
  } catch (const std::exception& e) {
    LogError("Match", e.what(), ErrLog::Kind::Function);
    return false;
  }
}

XmlNodePtr cXmlNode::FindFirstMatch(const XmlNodePtr& other, const XmlNodePtr& rules, long depth) {
  try {
    // Document order down to `depth`, walked with a stack of its own.
    std::vector<std::pair<XmlNodePtr, long>> todo;
    todo.emplace_back(self(), depth);
    if (!todo.back().first) return nullptr;
    while (!todo.empty()) {
      auto [node, left] = std::move(todo.back());
      todo.pop_back();
      if (node->Match(other, rules, false)) return node;
      if (left < 1) continue;
      node->wake();
      XmlNodeList kids = node->children_.copy();
      for (size_t i = kids.size(); i-- > 0;)
        if (kids[i]) todo.emplace_back(std::move(kids[i]), left - 1);
    }
  } catch (const std::exception& e) {
    LogError("FindFirstMatch", e.what(), ErrLog::Kind::Function);
  }
  return nullptr;
}

bool cXmlNode::MergeXml(const XmlNodePtr& source, XmlNodePtr rules) {
  try {
    wake();
    if (!rules) rules = EmptyRules();
    if (!source) return false;
    XmlNodePtr src = source;
    // Merging a tree with a part of itself would walk what it is adding: merge a copy.
    if (src.get() == this || IsChildOf(src.get()) || src->IsChildOf(this)) src = source->Clone();
    if (!src) return false;
    struct Frame {
      XmlNodePtr dst, src;
      size_t next;
    };
    std::vector<Frame> st;
    auto enter = [&](const XmlNodePtr& d, const XmlNodePtr& s) {
      d->wake();
      s->wake();
      if (d->Match(s, rules, false))
        for (size_t i = 0; i < s->attrs_.size(); ++i) {
          Attr a = s->attrs_[i];
          d->Attribut(a.name, a.value);
        }
      if (!s->children_.empty()) {
        st.push_back({d, s, 0});
      } else if (!s->literal_ && s->raw_.compare(0, 9, u"<![CDATA[") == 0) {
        // A CDATA section stays one (the stored form is the wrapper around the value).
        Text wrapped = u"<![CDATA[" + s->Value() + u"]]>";
        if (d->raw_ != wrapped || d->literal_) {
          d->raw_ = std::move(wrapped);
          d->literal_ = false;
          d->raiseChange(Family::Modified, Text());
        }
      } else {
        d->Value(s->Value());
      }
    };
    XmlNodePtr me = self();
    if (!me) return false;
    enter(me, src);
    while (!st.empty()) {
      Frame& f = st.back();
      if (f.next >= f.src->children_.size()) {
        st.pop_back();
        continue;
      }
      XmlNodePtr sc = f.src->children_[f.next++];
      XmlNodePtr d = f.dst;
      if (!sc) continue;
      XmlNodePtr match;
      // Only children of the same name can correspond: long lists are walked along the
      // chain of that name alone.
      if (const NameIndex* x = d->childIndex()) {
        for (uint32_t i = x->First(sc->name_, d->childName()); i != NameIndex::kEnd; i = x->next[i])
          if (nodeMatch(d->children_[i].get(), sc.get(), rules.get(), false)) {
            match = d->children_[i];
            break;
          }
      } else {
        for (auto& c : d->children_)
          if (c && nodeMatch(c.get(), sc.get(), rules.get(), false)) {
            match = c;
            break;
          }
      }
      if (match) enter(match, sc);  // may push: `f` is not used after this point
      else if (XmlNodePtr copy = sc->Clone()) d->AddChild(copy);
    }
    return true;
  } catch (const std::exception& e) {
    LogError("MergeXml", e.what(), ErrLog::Kind::Function);
    return false;
  }
}

void cXmlNode::UpdateData(const XmlNodePtr& source, XmlNodePtr rules) {
  try {
    wake();
    if (!rules) rules = EmptyRules();
    if (!source || source.get() == this) return;
    XmlNodePtr me = self();
    if (!me) return;
    std::vector<std::pair<XmlNodePtr, XmlNodePtr>> st{{me, source}};
    while (!st.empty()) {
      auto [d, s] = st.back();
      st.pop_back();
      d->wake();
      s->wake();
      if (d->Match(s, rules, false))
        for (size_t i = 0; i < d->attrs_.size(); ++i) {
          Text name = d->attrs_[i].name;
          if (s->AttributExists(name)) d->Attribut(name, s->Attribut(name));
        }
      if (!s->children_.empty()) {
        std::vector<std::pair<XmlNodePtr, XmlNodePtr>> pairs;
        for (auto& sc : s->children_) {
          if (!sc) continue;
          for (auto& c : d->children_)
            if (c && nodeMatch(c.get(), sc.get(), rules.get(), false)) {
              pairs.push_back({c, sc});
              break;
            }
        }
        for (size_t i = pairs.size(); i-- > 0;) st.push_back(pairs[i]);
      } else {
        d->raw_ = s->raw_;
        d->literal_ = s->literal_;
      }
    }
  } catch (const std::exception& e) {
    LogError("UpdateData", e.what());
  }
}
