// The node's life, its place in the tree, its attributes and adding or removing children.
#include "xml/cXmlNode.h"

#include <algorithm>
#include <exception>

#include "platform/ErrLog.h"
#include "xml/cXmlNodePool.h"
#include "xml/cXmlNodeShared.h"
#include "xml/mXmlText.h"

using namespace xmlnode;

namespace xmlnode {
long gLiveNodes = 0;
long gListenedNodes = 0;
long gEncodedNodes = 0;
}  // namespace xmlnode

// --- lifetime ---------------------------------------------------------------------------

cXmlNode::cXmlNode() { ++gLiveNodes; }

cXmlNode::~cXmlNode() {
  --gLiveNodes;
  if (extra_ && (extra_->events || extra_->hasTarget)) --gListenedNodes;
  if (extra_ && !extra_->encoding.empty()) --gEncodedNodes;
  // Tear the subtree down without recursion. Loop invariant: every node in `work` has been
  // taken out of its parent's list; one that nobody else holds hands its children over
  // before it goes, so its own destructor finds none.
  XmlNodeList work = children_.take();
  while (!work.empty()) {
    XmlNodePtr n = std::move(work.back());
    work.pop_back();
    if (!n) continue;
    // A large tree is cold by the time it goes: the next node is fetched while this one is
    // taken apart.
    if (!work.empty() && work.back()) __builtin_prefetch(work.back().get());
    n->parent_ = nullptr;
    if (n.use_count() == 1) {
      for (auto& c : n->children_) work.push_back(std::move(c));
      n->children_.clear();
    }
  }
}

XmlNodePtr cXmlNode::New() { return std::make_shared<cXmlNode>(); }

XmlNodePtr cXmlNode::FromXml(Text xml) {
  auto n = New();
  n->XmlData(std::move(xml));
  return n;
}

long cXmlNode::LiveCount() { return gLiveNodes; }

long cXmlNode::AttrCount() const { return static_cast<long>(attrs_.size()); }

bool cXmlNode::IsSleeping() const { return !pendingEmpty(); }

cXmlNode::Extra& cXmlNode::extra() {
  if (!extra_) extra_ = std::make_unique<Extra>();
  return *extra_;
}

void cXmlNode::dropChildren() {
  for (auto& c : children_)
    if (c && c->parent_ == this) c->parent_ = nullptr;
  XmlNodeList gone = children_.take();
  childrenChanged();
  // `gone` dies here; each node's destructor is iterative.
}

// --- tree -------------------------------------------------------------------------------

XmlNodePtr cXmlNode::Parent() const { return parent_ ? parent_->weak_from_this().lock() : nullptr; }

void cXmlNode::Parent(const XmlNodePtr& newParent) {
  if (newParent && parent_) {
    cXmlNode* old = parent_;
    XmlNodePtr me = self();
    if (me) old->EmancipateChild(me);
  }
  parent_ = newParent.get();
}

XmlNodePtr cXmlNode::Clone() {
  try {
    wake();
    XmlNodePtr top = New();
    // (source, copy, the source's effective encoding) whose children are still to be copied;
    // the encoding travels down so no node walks up to its root.
    struct Item {
      cXmlNode* src;
      cXmlNode* dst;
      Text encoding;
    };
    std::vector<Item> work{{this, top.get(), XMLEncoding()}};
    NodePool pool;
    while (!work.empty()) {
      Item it = std::move(work.back());
      work.pop_back();
      cXmlNode* src = it.src;
      cXmlNode* dst = it.dst;
      src->wake();
      dst->name_ = src->name_;
      dst->attrs_ = src->attrs_;
      if (dst->extra_) dst->extra_->attrIndex.reset();
      if (!src->children_.empty()) {
        dst->children_.reserve(src->children_.size());
        for (auto& c : src->children_) {
          if (!c) continue;
          XmlNodePtr copy = pool.Make();
          copy->parent_ = dst;
          dst->children_.push_back(copy);
          bool own = c->extra_ && !c->extra_->encoding.empty();
          work.push_back({c.get(), copy.get(), own ? c->extra_->encoding : it.encoding});
        }
      } else {
        dst->raw_ = src->raw_;
        dst->literal_ = src->literal_;
      }
      if (!it.encoding.empty()) dst->setOwnEncoding(it.encoding);
    }
    return top;
  } catch (const std::exception& e) {
    LogError("Clone", e.what(), ErrLog::Kind::Function);
    return nullptr;
  }
}

bool cXmlNode::SetAttributs(const std::vector<Text>& names, const std::vector<Text>& values) {
  if (names.size() != values.size()) return false;
  try {
    std::vector<Attr> a;
    a.reserve(names.size());
    for (size_t i = 0; i < names.size(); ++i) a.push_back({names[i], values[i]});
    attrs_ = std::move(a);
    if (extra_) extra_->attrIndex.reset();
    return true;
  } catch (const std::exception& e) {
    LogError("SetAttributs", e.what(), ErrLog::Kind::Function);
    return false;
  }
}

Text cXmlNode::XMLVersion() const {
  const cXmlNode* n = this;
  while (n->parent_) n = n->parent_;
  return n->extra_ ? n->extra_->version : Text();
}

long cXmlNode::Depth() const {
  long d = 0;
  for (const cXmlNode* n = parent_; n; n = n->parent_) ++d;
  return d;
}

long cXmlNode::resolveChild(const cXmlNode* node) const {
  if (!node) return 0;
  if (node->pos_ < children_.size() && children_[node->pos_].get() == node) return node->pos_ + 1;
  // The hint is stale: refresh every child's, so a walk along the siblings stays linear.
  long found = 0;
  for (size_t i = 0; i < children_.size(); ++i)
    if (cXmlNode* c = children_[i].get()) {
      c->pos_ = static_cast<uint32_t>(i);
      if (c == node && !found) found = static_cast<long>(i) + 1;
    }
  return found;
}

long cXmlNode::Index() const {
  if (!parent_) return 1;
  return parent_->resolveChild(this);
}

Text cXmlNode::XMLEncoding() const {
  if (gEncodedNodes == 0) return {};
  for (const cXmlNode* n = this; n; n = n->parent_)
    if (n->extra_ && !n->extra_->encoding.empty()) return n->extra_->encoding;
  return {};
}

void cXmlNode::XMLEncoding(const Text& encoding) {
  setOwnEncoding(encoding);
}

void cXmlNode::setOwnEncoding(const Text& encoding) {
  if (encoding.empty() && !extra_) return;
  long had = extra().encoding.empty() ? 0 : 1;
  extra_->encoding = encoding;
  gEncodedNodes += (encoding.empty() ? 0 : 1) - had;
}

bool cXmlNode::utf8Encoding() const { return txt::EqualsNoCase(XMLEncoding(), u"utf-8"); }

long cXmlNode::findAttr(TextView name) const {
  if (attrs_.size() >= kIndexFrom && extra_) {
    NameIndex* x = extra_->attrIndex.get();
    if (x && x->count() == attrs_.size()) {
      uint32_t i = x->First(name, attrName());
      if (i == NameIndex::kEnd) return -1;
      if (txt::EqualsNoCase(attrs_[i].name, name)) return i;
    }
  }
  for (size_t i = 0; i < attrs_.size(); ++i)
    if (txt::EqualsNoCase(attrs_[i].name, name)) return static_cast<long>(i);
  return -1;
}

void cXmlNode::clearAttrs() {
  attrs_.clear();
  if (extra_) extra_->attrIndex.reset();
}

void cXmlNode::setAttr(TextView name, TextView value, bool* changed) {
  if (changed) *changed = false;
  // Long attribute lists get their index before the lookup, so adding each of many
  // attributes does not search all the ones before it.
  if (attrs_.size() >= kIndexFrom && (!extra_ || !extra_->attrIndex || extra_->attrIndex->count() != attrs_.size())) {
    auto x = std::make_shared<NameIndex>();
    x->Reserve(attrs_.size());
    for (size_t k = 0; k < attrs_.size(); ++k) x->Add(attrs_[k].name, static_cast<uint32_t>(k), attrName());
    extra().attrIndex = std::move(x);
  }
  long i = findAttr(name);
  if (i >= 0) {
    if (value.empty()) {
      attrs_.erase(static_cast<size_t>(i));
      if (extra_) extra_->attrIndex.reset();
      if (changed) *changed = true;
    } else if (attrs_[static_cast<size_t>(i)].value != value) {
      attrs_[static_cast<size_t>(i)].value.assign(value);
      if (changed) *changed = true;
    }
  } else if (!value.empty()) {
    attrs_.push_back({Text(name), Text(value)});
    if (extra_ && extra_->attrIndex) extra_->attrIndex->Add(name, static_cast<uint32_t>(attrs_.size() - 1), attrName());
    if (changed) *changed = true;
  }
}

const cXmlNode::NameIndex* cXmlNode::childIndex() {
  if (children_.size() < kIndexFrom) return nullptr;
  Extra& e = extra();
  if (!e.childIndex || e.childIndex->count() != children_.size()) {
    auto x = std::make_shared<NameIndex>();
    x->Reserve(children_.size());
    for (size_t k = 0; k < children_.size(); ++k) x->Add(childNameAt(k), static_cast<uint32_t>(k), childName());
    e.childIndex = std::move(x);
  }
  return e.childIndex.get();
}

long cXmlNode::findChild(TextView name) {
  if (const NameIndex* x = childIndex()) {
    uint32_t i = x->First(name, childName());
    return i == NameIndex::kEnd ? -1 : static_cast<long>(i);
  }
  for (size_t i = 0; i < children_.size(); ++i)
    if (children_[i] && txt::EqualsNoCase(children_[i]->name_, name)) return static_cast<long>(i);
  return -1;
}

void cXmlNode::childrenChanged() {
  if (extra_) extra_->childIndex.reset();
}

Text cXmlNode::Attribut(TextView name) const {
  long i = findAttr(name);
  return i >= 0 ? attrs_[static_cast<size_t>(i)].value : Text();
}

void cXmlNode::Attribut(TextView name, TextView value) {
  try {
    wake();
    bool changed = false;
    setAttr(name, value, &changed);
    if (changed) raiseChange(Family::Modified, Text(name));
  } catch (const std::exception& e) {
    LogError("Attribut", e.what(), ErrLog::Kind::Property);
  }
}

bool cXmlNode::AttributExists(TextView name, TextView value) const {
  for (const auto& a : attrs_)
    if (a.name == name) return value.empty() || a.value == value;
  return false;
}

Text cXmlNode::AttrName(long index) const {
  if (index < 1 || index > AttrCount()) return {};
  return attrs_[static_cast<size_t>(index - 1)].name;
}

Text cXmlNode::AttrValue(long index) const {
  if (index < 1 || index > AttrCount()) return {};
  return attrs_[static_cast<size_t>(index - 1)].value;
}

long cXmlNode::ChildCount() {
  if (!pendingEmpty()) WakeUp(false);
  return static_cast<long>(children_.size());
}

const XmlNodePtr* cXmlNode::childAt(long index) const {
  if (index < 1 || index > static_cast<long>(children_.size())) return nullptr;
  return &children_[static_cast<size_t>(index - 1)];
}

XmlNodePtr cXmlNode::Child(long index) {
  wake();
  const XmlNodePtr* c = childAt(index);
  return c ? *c : nullptr;
}

cXmlNode::ChildRange cXmlNode::Children() {
  wake();
  return {children_.begin(), children_.end()};
}

void cXmlNode::Name(const Text& name) {
  wake();
  name_ = name;
  if (parent_) parent_->childrenChanged();
}

Text cXmlNode::Value() const {
  constexpr TextView open = u"<![CDATA[";
  constexpr TextView close = u"]]>";
  TextView r = raw_;
  if (!literal_ && r.size() >= open.size() + close.size() && r.substr(0, open.size()) == open && EndsWith(r, close))
    return Text(r.substr(open.size(), r.size() - open.size() - close.size()));
  return raw_;
}

void cXmlNode::Value(const Text& value) {
  try {
    wake();
    // A written value is text: one that looks like a CDATA section stays that text.
    if (value == raw_ && (literal_ || Value() == value)) return;
    raw_ = value;
    literal_ = true;
    raiseChange(Family::Modified, Text());
  } catch (const std::exception& e) {
    LogError("Value", e.what(), ErrLog::Kind::Property);
  }
}

long cXmlNode::NodeCount() {
  wake();
  long count = 0;
  std::vector<cXmlNode*> st{this};
  while (!st.empty()) {
    cXmlNode* n = st.back();
    st.pop_back();
    n->wake();
    for (auto& c : n->children_)
      if (c) {
        ++count;
        st.push_back(c.get());
      }
  }
  return count;
}

bool cXmlNode::ChildExists(TextView name) {
  wake();
  return findChild(name) >= 0;
}

Text cXmlNode::ChildValue(TextView name) {
  wake();
  long i = findChild(name);
  return i >= 0 ? children_[static_cast<size_t>(i)]->Value() : Text();
}

void cXmlNode::ChildValue(TextView name, const Text& value) {
  try {
    wake();
    if (long i = findChild(name); i >= 0) {
      XmlNodePtr keep = children_[static_cast<size_t>(i)];
      keep->Value(value);
      return;
    }
    if (value.empty()) return;
    XmlNodePtr n = New();
    n->name_ = Text(name);
    n->raw_ = value;
    n->literal_ = true;
    AddChild(n);
  } catch (const std::exception& e) {
    LogError("ChildValue", e.what(), ErrLog::Kind::Property);
  }
}

Text cXmlNode::ChildAttribut(TextView path, TextView attrName) {
  XmlNodePtr n = FindNode(path, false, false);
  return n ? n->Attribut(attrName) : Text();
}

void cXmlNode::ChildAttribut(TextView path, TextView attrName, TextView value) {
  XmlNodePtr n = GetChildNode(path, true, true, u".");
  if (n) n->Attribut(attrName, value);
}

XmlNodePtr cXmlNode::CreateChild(Text xml, long before, long after) {
  try {
    XmlNodePtr n = New();
    n->XmlData(std::move(xml));
    AddChild(n, before, after);
    return n;
  } catch (const std::exception& e) {
    LogError("CreateChild", e.what(), ErrLog::Kind::Function);
    return nullptr;
  }
}

void cXmlNode::insertChild(const XmlNodePtr& node, long before, long after) {
  long count = static_cast<long>(children_.size());
  if (before >= 1 && before <= count) {
    children_.insert(static_cast<size_t>(before - 1), node);
    childrenChanged();
  } else if (after >= 1 && after < count) {
    children_.insert(static_cast<size_t>(after), node);
    childrenChanged();
  } else {
    // An append keeps what is known: the index learns the new name, the child its place.
    node->pos_ = static_cast<uint32_t>(children_.size());
    children_.push_back(node);
    if (extra_ && extra_->childIndex && extra_->childIndex->count() + 1 == children_.size())
      extra_->childIndex->Add(node->name_, node->pos_, childName());
  }
}

long cXmlNode::AddChild(const XmlNodePtr& node, long before, long after) {
  try {
    wake();
    // A node cannot become its own descendant: that would make a cycle of owners.
    if (!node || node.get() == this || IsChildOf(node.get())) return static_cast<long>(children_.size());
    XmlNodePtr keep = node;
    keep->Parent(self());
    keep->parent_ = this;
    insertChild(keep, before, after);
    keep->raiseChange(Family::Added, Text());
  } catch (const std::exception& e) {
    LogError("AddChild", e.what(), ErrLog::Kind::Function);
  }
  return static_cast<long>(children_.size());
}

void cXmlNode::removeChildAt(size_t i) {
  if (i >= children_.size()) return;
  XmlNodePtr c = std::move(children_[i]);
  children_.erase(i);
  childrenChanged();
  if (c && c->parent_ == this) c->parent_ = nullptr;
}

void cXmlNode::EmancipateChild(const XmlNodePtr& node) {
  if (!node) return;
  wake();
  long i = resolveChild(node.get());
  if (i > 0) EmancipateChild(i);
}

void cXmlNode::EmancipateChild(long index) {
  try {
    wake();
    const XmlNodePtr* slot = childAt(index);
    if (!slot) return;
    XmlNodePtr c = *slot;
    if (c) c->raiseChange(Family::Deleted, Text(), true);
    // Listeners may have rearranged the children; remove this one where it is now.
    long at = resolveChild(c.get());
    if (at > 0) removeChildAt(static_cast<size_t>(at - 1));
  } catch (const std::exception& e) {
    LogError("EmancipateChild", e.what());
  }
}

void cXmlNode::DelChild(const XmlNodePtr& node) {
  if (!node) return;
  wake();
  long i = resolveChild(node.get());
  if (i > 0) DelChild(i);
}

void cXmlNode::DelChild(long index) {
  try {
    wake();
    if (!childAt(index)) return;
    deleteSubtree(static_cast<size_t>(index - 1), true);
  } catch (const std::exception& e) {
    LogError("DelChild", e.what());
  }
}

// Deletes children_[index] and its subtree, deepest first, each node raising Deleted while
// still attached. Without listeners nothing can observe the order: the child just goes.
void cXmlNode::deleteSubtree(size_t index, bool) {
  XmlNodePtr c = children_[index];
  if (!c) {
    removeChildAt(index);
    return;
  }
  if (gListenedNodes != 0 && !EventLock()) {
    struct Frame {
      XmlNodePtr node;
      size_t next;
    };
    std::vector<Frame> st{{c, 0}};
    while (!st.empty()) {
      Frame& f = st.back();
      cXmlNode* n = f.node.get();
      if (f.next == 0 && !n->pendingEmpty()) n->WakeUp(false);
      if (f.next < n->children_.size()) {
        XmlNodePtr g = n->children_[f.next++];
        if (g) st.push_back({g, 0});
        continue;
      }
      // All children of n are gone (reported); report n and cut its children loose.
      n->dropChildren();
      XmlNodePtr done = f.node;
      st.pop_back();
      done->raiseChange(Family::Deleted, Text());
    }
  }
  long at = resolveChild(c.get());
  if (at > 0) removeChildAt(static_cast<size_t>(at - 1));
  // Taken out of the tree: its subtree is emptied as deleting promises.
  c->dropChildren();
}

XmlNodePtr cXmlNode::RootNode() {
  cXmlNode* n = this;
  while (n->parent_) n = n->parent_;
  return n->self();
}

bool cXmlNode::IsChildOf(const cXmlNode* node) const {
  if (!node) return false;
  for (const cXmlNode* n = parent_; n; n = n->parent_)
    if (n == node) return true;
  return false;
}

