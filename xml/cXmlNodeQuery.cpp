// Lookups, searches, paths, sorting and walks in document order.
#include "xml/cXmlNode.h"

#include <algorithm>
#include <exception>

#include "platform/ErrLog.h"
#include "storage/mStringTools.h"
#include "xml/cXmlNodeShared.h"
#include "xml/mXmlText.h"

using namespace xmlnode;

namespace {
bool IsEmptyNode(cXmlNode& n) { return n.ChildCount() == 0 && n.AttrCount() == 0 && n.Value().empty(); }
}  // namespace

void cXmlNode::DeleteEmptyChilds(bool recursive) {
  try {
    wake();
    // Frames walk their children from last to first; with the flag a child is cleaned in
    // its own frame before its parent's frame tests it.
    struct Frame {
      cXmlNode* n;
      XmlNodePtr keep;
      long next;
    };
    std::vector<Frame> st{{this, nullptr, static_cast<long>(children_.size()) - 1}};
    while (!st.empty()) {
      Frame& f = st.back();
      long size = static_cast<long>(f.n->children_.size());
      if (f.next < 0) {
        st.pop_back();
        if (st.empty()) break;
        Frame& pf = st.back();
        if (pf.next >= 0 && pf.next < static_cast<long>(pf.n->children_.size())) {
          XmlNodePtr c = pf.n->children_[static_cast<size_t>(pf.next)];
          if (c && IsEmptyNode(*c)) pf.n->DelChild(pf.next + 1);
        }
        --pf.next;
        continue;
      }
      if (f.next >= size) {
        f.next = size - 1;
        continue;
      }
      XmlNodePtr c = f.n->children_[static_cast<size_t>(f.next)];
      if (!c) {
        --f.next;
        continue;
      }
      if (recursive) {
        c->wake();
        long last = static_cast<long>(c->children_.size()) - 1;
        st.push_back({c.get(), c, last});
        continue;
      }
      if (IsEmptyNode(*c)) f.n->DelChild(f.next + 1);
      --f.next;
    }
  } catch (const std::exception& e) {
    LogError("DeleteEmptyChilds", e.what());
  }
}

void cXmlNode::DelChilds(const XmlNodePtr& rule) {
  try {
    wake();
    if (!rule) {
      for (long i = static_cast<long>(children_.size()); i >= 1; --i) DelChild(i);
      return;
    }
    // Children from last to first: a matching child goes, another is searched in turn.
    std::vector<std::pair<XmlNodePtr, long>> st;
    st.push_back({self(), static_cast<long>(children_.size()) - 1});
    std::vector<cXmlNode*> raw{this};
    while (!raw.empty()) {
      cXmlNode* n = raw.back();
      long& i = st.back().second;
      if (i < 0 || i >= static_cast<long>(n->children_.size())) {
        st.pop_back();
        raw.pop_back();
        continue;
      }
      XmlNodePtr c = n->children_[static_cast<size_t>(i)];
      long at = i--;
      if (!c) continue;
      if (c->MatchRule(rule)) {
        n->DelChild(at + 1);
      } else {
        c->wake();
        long last = static_cast<long>(c->children_.size()) - 1;
        st.push_back({c, last});
        raw.push_back(c.get());
      }
    }
  } catch (const std::exception& e) {
    LogError("DelChilds", e.what());
  }
}

XmlNodeList cXmlNode::FindNodes(const XmlNodePtr& rule, XmlNodeList* result, long maxCount) {
  XmlNodeList local;
  XmlNodeList& out = result ? *result : local;
  try {
    wake();
    std::vector<XmlNodePtr> st;
    XmlNodePtr me = self();
    if (!me) return out;
    st.push_back(me);
    while (!st.empty()) {
      XmlNodePtr n = std::move(st.back());
      st.pop_back();
      if (n->MatchRule(rule)) {
        out.push_back(n);
        if (maxCount > 0 && static_cast<long>(out.size()) >= maxCount) break;
      }
      n->wake();
      for (size_t i = n->children_.size(); i-- > 0;)
        if (n->children_[i]) st.push_back(n->children_[i]);
    }
  } catch (const std::exception& e) {
    LogError("FindNodes", e.what(), ErrLog::Kind::Function);
  }
  return out;
}

namespace {
enum class KeyKind { Name, Attr, NameValue };
struct NodeKey {
  KeyKind kind = KeyKind::Name;
  Text left;   // name, or attribute name
  Text right;  // value
  Text whole;
};
NodeKey ParseKey(TextView key) {
  NodeKey k;
  k.whole = Text(key);
  if (key.size() >= 2 && key[0] == u'a' && key[1] == u':') {
    k.kind = KeyKind::Attr;
    TextView rest = key.substr(2);
    size_t eq = rest.find(u'=');
    k.left = Text(rest.substr(0, eq));
    if (eq != TextView::npos) k.right = Text(rest.substr(eq + 1));
  } else if (key.find(u'=') != TextView::npos) {
    k.kind = KeyKind::NameValue;
    size_t eq = key.find(u'=');
    k.left = Text(key.substr(0, eq));
    k.right = Text(key.substr(eq + 1));
  } else {
    k.left = Text(key);
  }
  return k;
}
bool SelfMatches(cXmlNode& n, const NodeKey& k) {
  switch (k.kind) {
    case KeyKind::Name: return txt::EqualsNoCase(n.Name(), k.whole);
    case KeyKind::Attr: return txt::EqualsNoCase(n.Attribut(k.left), k.right);
    case KeyKind::NameValue: return txt::EqualsNoCase(n.Name(), k.left) && n.Value() == k.right;
  }
  return false;
}
}  // namespace

XmlNodePtr cXmlNode::FindNode(TextView key, bool recursive, bool childrenOnly) {
  try {
    NodeKey k = ParseKey(key);
    if (!childrenOnly && SelfMatches(*this, k)) return self();
    wake();
    if (recursive) {
      // Depth-first in document order, every node testing itself.
      std::vector<XmlNodePtr> st;
      for (size_t i = children_.size(); i-- > 0;)
        if (children_[i]) st.push_back(children_[i]);
      while (!st.empty()) {
        XmlNodePtr n = std::move(st.back());
        st.pop_back();
        if (SelfMatches(*n, k)) return n;
        n->wake();
        for (size_t i = n->children_.size(); i-- > 0;)
          if (n->children_[i]) st.push_back(n->children_[i]);
      }
      return nullptr;
    }
    if (k.kind == KeyKind::Name) {
      long i = findChild(k.whole);
      return i >= 0 ? children_[static_cast<size_t>(i)] : nullptr;
    }
    for (auto& c : children_)
      if (c && k.kind == KeyKind::Attr && txt::EqualsNoCase(c->Attribut(k.left), k.right)) return c;
  } catch (const std::exception& e) {
    LogError("FindNode", e.what(), ErrLog::Kind::Function);
  }
  return nullptr;
}

Text cXmlNode::Path(TextView keyAttributes, TextView separator, const cXmlNode* stopNode) const {
  try {
    std::vector<Text> keys;
    if (!keyAttributes.empty()) {
      size_t s = 0;
      while (true) {
        size_t e = keyAttributes.find(u'|', s);
        keys.emplace_back(keyAttributes.substr(s, e == TextView::npos ? TextView::npos : e - s));
        if (e == TextView::npos) break;
        s = e + 1;
      }
    }
    std::vector<const cXmlNode*> chain;
    for (const cXmlNode* n = this; n && n != stopNode; n = n->parent_) chain.push_back(n);
    Text out;
    for (size_t i = chain.size(); i-- > 0;) {
      const cXmlNode* n = chain[i];
      out += n->name_;
      for (const Text& k : keys) {
        Text v = n->Attribut(k);
        if (!v.empty()) {
          out += u'-';
          out += v;
          break;
        }
      }
      out.append(separator);
    }
    if (!separator.empty() && out.size() >= separator.size()) out.resize(out.size() - separator.size());
    return out;
  } catch (const std::exception& e) {
    LogError("Path", e.what(), ErrLog::Kind::Property);
    return {};
  }
}

Text cXmlNode::EncodeSpecialChars(TextView text) {
  Text out;
  try {
    mXmlText::EncodeSpecialChars(text, out);
  } catch (const std::exception& e) {
    LogError("EncodeSpecialChars", e.what(), ErrLog::Kind::Function);
  }
  return out;
}

Text cXmlNode::DecodeSpecialChars(TextView text) {
  try {
    return mXmlText::DecodeSpecialChars(text);
  } catch (const std::exception& e) {
    LogError("DecodeSpecialChars", e.what(), ErrLog::Kind::Function);
    return {};
  }
}

Text cXmlNode::EncodeText(TextView text) const {
  Text out = EncodeSpecialChars(text);
  if (utf8Encoding()) out = mStringTools::UTF8_Encode(out, false);
  return out;
}

Text cXmlNode::Indent(TextView text, long count, char16_t indentChar) {
  try {
    return mXmlText::Indent(text, count, indentChar);
  } catch (const std::exception& e) {
    LogError("Indent", e.what(), ErrLog::Kind::Function);
    return {};
  }
}

XmlNodePtr cXmlNode::GetParent(long levels) {
  cXmlNode* n = this;
  for (long i = 0; i < levels && n; ++i) n = n->parent_;
  return n ? n->self() : nullptr;
}

namespace {
bool IsNumericKey(TextView v) {
  if (v.empty()) return false;
  for (char16_t c : v)
    if (c < u'0' || c > u'9') return false;
  return true;
}
}  // namespace

void cXmlNode::SortChilds(TextView keys, int compareMode, long depth) {
  try {
    wake();
    if (keys.empty() || children_.empty()) return;
    // Every node down to `depth` in document order; sorting them from the back sorts each
    // node's children before the node itself, whose keys may read them.
    std::vector<std::pair<XmlNodePtr, long>> order;
    std::vector<std::pair<XmlNodePtr, long>> todo;
    todo.emplace_back(self(), depth);
    if (!todo.back().first) return;
    while (!todo.empty()) {
      auto [node, left] = std::move(todo.back());
      todo.pop_back();
      node->wake();
      if (node->children_.empty()) continue;
      order.emplace_back(node, left);
      if (left >= 1)
        for (size_t i = node->children_.size(); i-- > 0;)
          if (node->children_[i]) todo.emplace_back(node->children_[i], left - 1);
    }
    for (size_t i = order.size(); i-- > 0;) order[i].first->sortOwn(keys, compareMode);
  } catch (const std::exception& e) {
    LogError("SortChilds", e.what());
  }
}

void cXmlNode::sortOwn(TextView keys, int compareMode) {
  try {
    std::vector<Text> keyList = txt::Split(keys, u",");
    size_t n = children_.size();
    std::vector<std::vector<Text>> vals(keyList.size(), std::vector<Text>(n));
    for (size_t k = 0; k < keyList.size(); ++k) {
      const Text& key = keyList[k];
      for (size_t i = 0; i < n; ++i) {
        cXmlNode* c = children_[i].get();
        if (!c) continue;
        Text v;
        if (key == u"name") {
          v = c->name_;
        } else if (key.size() > 2 && key.compare(0, 2, u"a:") == 0) {
          v = c->Attribut(TextView(key).substr(2));
        } else if (key.size() > 2 && key.compare(0, 2, u"c:") == 0) {
          TextView rest = TextView(key).substr(2);
          size_t sl = rest.find(u"/a:");
          if (sl == TextView::npos) v = c->ChildValue(rest);
          else v = c->ChildAttribut(rest.substr(0, sl), rest.substr(sl + 3));
        }
        vals[k][i] = std::move(v);
      }
      bool numeric = true;
      size_t width = 0;
      for (auto& v : vals[k]) {
        numeric = numeric && IsNumericKey(v);
        width = std::max(width, v.size());
      }
      for (auto& v : vals[k]) {
        if (numeric) v.insert(0, width - v.size(), u'0');
        else v.append(width - v.size(), u' ');
      }
    }
    size_t posWidth = txt::FromInt(static_cast<long long>(n)).size();
    std::vector<Text> lines(n);
    for (size_t i = 0; i < n; ++i) {
      Text line;
      for (size_t k = 0; k < keyList.size(); ++k) line += vals[k][i];
      line += u'>';
      Text pos = txt::FromInt(static_cast<long long>(i + 1));
      line.append(posWidth - pos.size(), u'0');
      line += pos;
      lines[i] = std::move(line);
    }
    bool ignoreCase = compareMode == 1 || compareMode == 3;
    bool descending = compareMode == 2 || compareMode == 3;
    std::sort(lines.begin(), lines.end(), [&](const Text& a, const Text& b) {
      int c = ignoreCase ? txt::LCase(a).compare(txt::LCase(b)) : a.compare(b);
      return descending ? c > 0 : c < 0;
    });
    XmlNodeList sorted;
    sorted.reserve(n);
    std::vector<bool> used(n, false);
    for (auto& l : lines) {
      size_t gt = l.rfind(u'>');
      long long p = txt::ToInt(TextView(l).substr(gt + 1));
      if (p >= 1 && p <= static_cast<long long>(n) && !used[static_cast<size_t>(p - 1)]) {
        used[static_cast<size_t>(p - 1)] = true;
        sorted.push_back(children_[static_cast<size_t>(p - 1)]);
      }
    }
    // Never lose a child, whatever the keys held.
    for (size_t i = 0; i < n; ++i)
      if (!used[i]) sorted.push_back(children_[i]);
    children_ = std::move(sorted);
    childrenChanged();
  } catch (const std::exception& e) {
    LogError("SortChilds", e.what());
  }
}

XmlNodePtr cXmlNode::GetChildNode(TextView path, bool create, bool childrenOnly, TextView separator) {
  try {
    XmlNodePtr cur = self();
    if (!cur) return nullptr;
    if (path.empty()) return cur;
    size_t s = 0;
    while (true) {
      size_t e = separator.empty() ? TextView::npos : path.find(separator, s);
      TextView part = path.substr(s, e == TextView::npos ? TextView::npos : e - s);
      XmlNodePtr next = cur->FindNode(part, false, childrenOnly);
      if (!next) {
        if (!create) return nullptr;
        next = New();
        next->name_ = Text(part);
        cur->AddChild(next);
      }
      cur = next;
      if (e == TextView::npos) break;
      s = e + separator.size();
    }
    return cur;
  } catch (const std::exception& e) {
    LogError("GetChildNode", e.what(), ErrLog::Kind::Function);
    return nullptr;
  }
}

Text cXmlNode::GetChildValue(TextView path, bool create, TextView attrName) {
  XmlNodePtr n = GetChildNode(path, create, false, u".");
  if (!n) return {};
  return attrName.empty() ? n->Value() : n->Attribut(attrName);
}

void cXmlNode::Release() {
  clearAttrs();
  DelChilds(nullptr);
  parent_ = nullptr;
  pending_.reset();
}

bool cXmlNode::Contains(const XmlNodePtr& node, bool recursive) {
  if (!node) return false;
  wake();
  if (resolveChild(node.get()) > 0) return true;
  if (!recursive) return false;
  // Up from the node: cheaper than walking this subtree, and equally exact because every
  // link on the way is checked against its parent's list.
  const cXmlNode* c = node.get();
  for (const cXmlNode* p = c->parent_; p; c = p, p = p->parent_) {
    if (p->resolveChild(c) == 0) return false;
    if (p == this) return true;
  }
  return false;
}

XmlNodePtr cXmlNode::PrevSibling() {
  if (!parent_) return nullptr;
  long i = Index();
  return i > 1 ? parent_->Child(i - 1) : nullptr;
}

XmlNodePtr cXmlNode::NextSibling() {
  if (!parent_) return nullptr;
  long i = Index();
  if (i < 1) return nullptr;
  return parent_->Child(i + 1);
}

XmlNodePtr cXmlNode::PrevNode() {
  XmlNodePtr p = PrevSibling();
  return p ? p : Parent();
}

XmlNodePtr cXmlNode::NextNode() {
  wake();
  if (!children_.empty()) return children_[0];
  for (cXmlNode* n = this; n; n = n->parent_) {
    XmlNodePtr s = n->NextSibling();
    if (s) return s;
  }
  return nullptr;
}
