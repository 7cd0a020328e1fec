#include "xml/cXmlNode.h"

#include <algorithm>
#include <exception>

#include "platform/ErrLog.h"
#include "storage/mStringTools.h"
#include "xml/mXmlText.h"

namespace {

long gLiveNodes = 0;
// Nodes that have subscribers or an event target. While there are none, raising an
// event is a no-op, which keeps parsing and editing large documents cheap.
long gListenedNodes = 0;
// Nodes with an encoding of their own. While there are none, no node needs to walk up to
// its root to learn its encoding: a lazy walk down a deep chain stays linear.
long gEncodedNodes = 0;

const Text kStoredMarker = u"_-_STORED_-_";

enum EventId {
  evSaveSleepData = 1,
  evRestoreSleepData,
  evModified,
  evChildModified,
  evParentModifed,
  evDeleted,
  evChildDeleted,
  evParentDeleted,
  evAdded,
  evChildAdded,
  evParentAdded,
  evNodeEvent,
  evChildNodeEvent,
  evParentNodeEvent
};

const char16_t* const kEventNames[] = {u"",           u"SaveSleepData", u"RestoreSleepData", u"Modified",
                                       u"ChildModified", u"ParentModifed", u"Deleted",          u"ChildDeleted",
                                       u"ParentDeleted", u"Added",         u"ChildAdded",       u"ParentAdded",
                                       u"NodeEvent",     u"ChildNodeEvent", u"ParentNodeEvent"};

bool EndsWith(TextView t, TextView suffix) {
  return t.size() >= suffix.size() && t.substr(t.size() - suffix.size()) == suffix;
}

bool SameText(TextView a, TextView b, bool ignoreCase) {
  return ignoreCase ? txt::EqualsNoCase(a, b) : a == b;
}

void LogError(const char* routine, const char* what, ErrLog::Kind kind = ErrLog::Kind::Sub) {
  ErrLog::Error(5, txt::FromUtf8(what), "cXmlNode", routine, kind);
}

}  // namespace

// --- lifetime ---------------------------------------------------------------------------

cXmlNode::cXmlNode() { ++gLiveNodes; }

cXmlNode::~cXmlNode() {
  --gLiveNodes;
  if (extra_ && (extra_->events || extra_->hasTarget)) --gListenedNodes;
  if (extra_ && !extra_->encoding.empty()) --gEncodedNodes;
  // Tear the subtree down without recursion. Loop invariant: every node in `work` has been
  // taken out of its parent's list; one that nobody else holds hands its children over
  // before it goes, so its own destructor finds none.
  XmlNodeList work = std::move(children_);
  children_.clear();
  while (!work.empty()) {
    XmlNodePtr n = std::move(work.back());
    work.pop_back();
    if (!n) continue;
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

cXmlNode::Extra& cXmlNode::extra() {
  if (!extra_) extra_ = std::make_unique<Extra>();
  return *extra_;
}

void cXmlNode::dropChildren() {
  for (auto& c : children_)
    if (c && c->parent_ == this) c->parent_ = nullptr;
  XmlNodeList gone = std::move(children_);
  children_.clear();
  // `gone` dies here; each node's destructor is iterative.
}

// --- events -----------------------------------------------------------------------------

cXmlNodeEvents& cXmlNode::Events() {
  Extra& x = extra();
  if (!x.events) {
    if (!x.hasTarget) ++gListenedNodes;
    x.events = std::make_unique<cXmlNodeEvents>();
  }
  return *x.events;
}

void cXmlNode::SetEventTarget(const std::shared_ptr<cXmlEventTarget>& target, const Text& method) {
  Extra& x = extra();
  bool was = x.events || x.hasTarget;
  x.target = target;
  x.method = method;
  x.hasTarget = target && !method.empty();
  bool now = x.events || x.hasTarget;
  if (now && !was) ++gListenedNodes;
  if (!now && was) --gListenedNodes;
}

std::shared_ptr<cXmlEventTarget> cXmlNode::EventTarget() const {
  return extra_ ? extra_->target.lock() : nullptr;
}

Text cXmlNode::EventMethod() const { return extra_ ? extra_->method : Text(); }

bool cXmlNode::isListened() const { return extra_ && (extra_->events || extra_->hasTarget); }

bool cXmlNode::EventLock() const {
  for (const cXmlNode* n = this; n; n = n->parent_)
    if (n->lock_) return true;
  return false;
}

void cXmlNode::deliver(int which, const XmlNodePtr& node, const Text& name,
                       const std::shared_ptr<cXmlParams>& params, Text* data, bool* handled) {
  if (!isListened()) return;
  // Keep this node alive while listeners run: one of them may drop the last reference.
  XmlNodePtr keep = self();
  try {
    Text dummyData;
    bool dummyHandled = false;
    Text& d = data ? *data : dummyData;
    bool& h = handled ? *handled : dummyHandled;
    if (extra_->events) {
      cXmlNodeEvents& e = *extra_->events;
      switch (which) {
        case evSaveSleepData: e.SaveSleepData.Raise(node, d, h); break;
        case evRestoreSleepData: e.RestoreSleepData.Raise(node, d); break;
        case evModified: e.Modified.Raise(name); break;
        case evChildModified: e.ChildModified.Raise(node, name); break;
        case evParentModifed: e.ParentModifed.Raise(node, name); break;
        case evDeleted: e.Deleted.Raise(); break;
        case evChildDeleted: e.ChildDeleted.Raise(node); break;
        case evParentDeleted: e.ParentDeleted.Raise(node); break;
        case evAdded: e.Added.Raise(); break;
        case evChildAdded: e.ChildAdded.Raise(node); break;
        case evParentAdded: e.ParentAdded.Raise(node); break;
        case evNodeEvent: e.NodeEvent.Raise(params, name); break;
        case evChildNodeEvent: e.ChildNodeEvent.Raise(node, params, name); break;
        case evParentNodeEvent: e.ParentNodeEvent.Raise(node, params, name); break;
        default: break;
      }
    }
    if (!extra_ || !extra_->hasTarget) return;
    auto target = extra_->target.lock();
    if (!target) return;
    // The event's arguments in order, then the node raising it.
    cXmlParams args;
    switch (which) {
      case evSaveSleepData:
        args.Add(node);
        args.Add(d);
        args.Add(h);
        break;
      case evRestoreSleepData:
        args.Add(node);
        args.Add(d);
        break;
      case evModified: args.Add(name); break;
      case evChildModified:
      case evParentModifed:
        args.Add(node);
        args.Add(name);
        break;
      case evDeleted:
      case evAdded: break;
      case evNodeEvent:
        args.Add(params);
        args.Add(name);
        break;
      case evChildNodeEvent:
      case evParentNodeEvent:
        args.Add(node);
        args.Add(params);
        args.Add(name);
        break;
      default: args.Add(node); break;
    }
    args.Add(keep);
    target->CallByName(extra_->method, kEventNames[which], args);
    if (which == evSaveSleepData) {
      d = args.ItemText(2);
      h = args.ItemBool(3);
    } else if (which == evRestoreSleepData) {
      d = args.ItemText(2);
    }
  } catch (const std::exception& e) {
    ErrLog::Exception("cXmlNode.RaiseEvent", e.what());
  } catch (...) {
    ErrLog::Exception("cXmlNode.RaiseEvent", "unknown exception");
  }
}

void cXmlNode::raiseChange(Family f, const Text& name, bool skipOwn) {
  if (gListenedNodes == 0) return;
  if (EventLock()) return;
  try {
    int own = f == Family::Modified ? evModified : f == Family::Deleted ? evDeleted : evAdded;
    XmlNodePtr me = self();
    if (!skipOwn) deliver(own, me, name, nullptr);
    XmlNodeList ancestors;
    for (cXmlNode* a = parent_; a; a = a->parent_)
      if (a->isListened())
        if (auto p = a->self()) ancestors.push_back(std::move(p));
    for (auto& a : ancestors) a->deliver(own + 1, me, name, nullptr);
    // Collected first so listeners may edit the tree.
    XmlNodeList below = listenedBelow();
    for (auto& d : below) d->deliver(own + 2, me, name, nullptr);
  } catch (const std::exception& e) {
    ErrLog::Exception("cXmlNode.RaiseEvent", e.what());
  }
}

XmlNodeList cXmlNode::listenedBelow() const {
  XmlNodeList below;
  // Depth-first in child order, without recursion.
  std::vector<std::pair<const cXmlNode*, size_t>> st{{this, 0}};
  while (!st.empty()) {
    auto& [n, i] = st.back();
    if (i >= n->children_.size()) {
      st.pop_back();
      continue;
    }
    const XmlNodePtr& c = n->children_[i++];
    if (!c) continue;
    if (c->isListened()) below.push_back(c);
    st.push_back({c.get(), 0});
  }
  return below;
}

void cXmlNode::RaiseNodeEvent(const Text& eventName, std::shared_ptr<cXmlParams> params) {
  try {
    if (!params) params = std::make_shared<cXmlParams>();
    if (gListenedNodes == 0) return;
    XmlNodePtr me = self();
    deliver(evNodeEvent, me, eventName, params);
    XmlNodeList ancestors;
    for (cXmlNode* a = parent_; a; a = a->parent_)
      if (auto p = a->self()) ancestors.push_back(std::move(p));
    for (auto& a : ancestors) a->deliver(evChildNodeEvent, me, eventName, params);
    XmlNodeList below = listenedBelow();
    for (auto& d : below) d->deliver(evParentNodeEvent, me, eventName, params);
  } catch (const std::exception& e) {
    LogError("RaiseNodeEvent", e.what());
  }
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
    while (!work.empty()) {
      Item it = std::move(work.back());
      work.pop_back();
      cXmlNode* src = it.src;
      cXmlNode* dst = it.dst;
      src->wake();
      dst->name_ = src->name_;
      dst->attrs_ = src->attrs_;
      if (!src->children_.empty()) {
        dst->children_.reserve(src->children_.size());
        for (auto& c : src->children_) {
          if (!c) continue;
          XmlNodePtr copy = New();
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
  for (size_t i = 0; i < children_.size(); ++i)
    if (children_[i].get() == node) return static_cast<long>(i) + 1;
  return 0;
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
  for (size_t i = 0; i < attrs_.size(); ++i)
    if (txt::EqualsNoCase(attrs_[i].name, name)) return static_cast<long>(i);
  return -1;
}

void cXmlNode::setAttr(TextView name, TextView value, bool* changed) {
  if (changed) *changed = false;
  long i = findAttr(name);
  if (i >= 0) {
    if (value.empty()) {
      attrs_.erase(attrs_.begin() + i);
      if (changed) *changed = true;
    } else if (attrs_[static_cast<size_t>(i)].value != value) {
      attrs_[static_cast<size_t>(i)].value.assign(value);
      if (changed) *changed = true;
    }
  } else if (!value.empty()) {
    attrs_.push_back({Text(name), Text(value)});
    if (changed) *changed = true;
  }
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

XmlNodePtr cXmlNode::Child(long index) {
  wake();
  if (index < 1 || index > static_cast<long>(children_.size())) return nullptr;
  return children_[static_cast<size_t>(index - 1)];
}

void cXmlNode::Name(const Text& name) {
  wake();
  name_ = name;
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
  for (auto& c : children_)
    if (c && txt::EqualsNoCase(c->name_, name)) return true;
  return false;
}

Text cXmlNode::ChildValue(TextView name) {
  wake();
  for (auto& c : children_)
    if (c && txt::EqualsNoCase(c->name_, name)) return c->Value();
  return {};
}

void cXmlNode::ChildValue(TextView name, const Text& value) {
  try {
    wake();
    for (auto& c : children_)
      if (c && txt::EqualsNoCase(c->name_, name)) {
        XmlNodePtr keep = c;
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
    for (auto& c : children_) {
      if (!c) continue;
      if (k.kind == KeyKind::Name && txt::EqualsNoCase(c->name_, k.whole)) return c;
      if (k.kind == KeyKind::Attr && txt::EqualsNoCase(c->Attribut(k.left), k.right)) return c;
    }
  } catch (const std::exception& e) {
    LogError("FindNode", e.what(), ErrLog::Kind::Function);
  }
  return nullptr;
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
    children_.insert(children_.begin() + (before - 1), node);
  } else if (after >= 1 && after <= count) {
    children_.insert(children_.begin() + after, node);
  } else {
    children_.push_back(node);
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
  children_.erase(children_.begin() + static_cast<long>(i));
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
    if (index < 1 || index > static_cast<long>(children_.size())) return;
    XmlNodePtr c = children_[static_cast<size_t>(index - 1)];
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
    if (index < 1 || index > static_cast<long>(children_.size())) return;
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
  attrs_.clear();
  DelChilds(nullptr);
  parent_ = nullptr;
  pending_ = Pending();
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
  if (!children_.empty()) return children_.front();
  for (cXmlNode* n = this; n; n = n->parent_) {
    XmlNodePtr s = n->NextSibling();
    if (s) return s;
  }
  return nullptr;
}

// --- sleep ------------------------------------------------------------------------------

long cXmlNode::GetRefCount(const XmlNodePtr& node) {
  if (!node) return 0;
  long n = node.use_count();
  if (node->parent_ && node->parent_->resolveChild(node.get()) > 0) --n;
  return n;
}

long cXmlNode::ExternalRefCount() const {
  if (!pendingEmpty()) return 0;
  long total = 0;
  std::vector<const cXmlNode*> st{this};
  while (!st.empty()) {
    const cXmlNode* n = st.back();
    st.pop_back();
    if (!n->pendingEmpty()) continue;
    for (const auto& c : n->children_) {
      if (!c) continue;
      total += c.use_count() - 1;
      st.push_back(c.get());
    }
  }
  return total;
}

void cXmlNode::sleepSelf() {
  if (!pendingEmpty()) return;
  Text data = XmlData();
  dropChildren();
  auto buf = MakeBuffer(data);
  pending_ = Pending{buf, 0, buf->text.size(), false};
  if (pending_.len == 0) return;
  cXmlNode* root = this;
  while (root->parent_) root = root->parent_;
  bool handled = false;
  if (root->isListened()) root->deliver(evSaveSleepData, self(), Text(), nullptr, &data, &handled);
  if (handled) {
    auto marker = MakeBuffer(kStoredMarker);
    pending_ = Pending{marker, 0, marker->text.size(), false};
  }
}

void cXmlNode::Sleep() {
  try {
    // Referenced branches stay awake and pass the request on to their children.
    std::vector<XmlNodePtr> st;
    XmlNodePtr me = self();
    if (me) st.push_back(me);
    else if (ExternalRefCount() == 0) {
      sleepSelf();
      return;
    } else {
      for (auto& c : children_)
        if (c) st.push_back(c);
    }
    while (!st.empty()) {
      XmlNodePtr n = std::move(st.back());
      st.pop_back();
      if (n->ExternalRefCount() != 0) {
        for (auto& c : n->children_)
          if (c) st.push_back(c);
      } else {
        n->sleepSelf();
      }
    }
  } catch (const std::exception& e) {
    LogError("Sleep", e.what());
  }
}

void cXmlNode::WakeUp(bool full) {
  if (pendingEmpty()) return;
  try {
    lock_ = true;
    Pending p = std::move(pending_);
    pending_ = Pending();
    if (p.view() == kStoredMarker) {
      cXmlNode* root = this;
      while (root->parent_) root = root->parent_;
      Text data = kStoredMarker;
      if (root->isListened()) root->deliver(evRestoreSleepData, self(), Text(), nullptr, &data);
      auto buf = MakeBuffer(std::move(data));
      p = Pending{buf, 0, buf->text.size(), false};
    }
    if (p.deferred) p = prepare(std::move(p));
    if (full) parseNonRecursive(std::move(p));
    else expandOneLevel(p);
    pending_ = Pending();
  } catch (const std::exception& e) {
    pending_ = Pending();
    LogError("WakeUp", e.what());
  }
  lock_ = false;
}

// --- merge and match --------------------------------------------------------------------

bool cXmlNode::MatchRule(const XmlNodePtr& rules) {
  try {
    wake();
    if (!rules) return false;
    Text path = Path(u"", u".", nullptr);
    long nr = rules->ChildCount();
    for (long r = 1; r <= nr; ++r) {
      XmlNodePtr rule = rules->Child(r);
      if (!rule || rule->Name() != u"MatchRule") continue;
      if (!EndsWith(path, rule->Attribut(u"path"))) continue;
      bool skipRule = false;
      long ni = rule->ChildCount();
      for (long i = 1; i <= ni && !skipRule; ++i) {
        XmlNodePtr item = rule->Child(i);
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
    long nr = rules->ChildCount();
    for (long r = 1; r <= nr; ++r) {
      XmlNodePtr rule = rules->Child(r);
      if (!rule || rule->Name() != u"MatchRule") continue;
      Text rp = rule->Attribut(u"path");
      if (!EndsWith(pa, rp) || !EndsWith(pb, rp)) continue;
      bool allPass = true;
      long ni = rule->ChildCount();
      for (long i = 1; i <= ni; ++i) {
        XmlNodePtr item = rule->Child(i);
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
      XmlNodeList kids = node->children_;
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
      for (auto& c : d->children_)
        if (c && nodeMatch(c.get(), sc.get(), rules.get(), false)) {
          match = c;
          break;
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
