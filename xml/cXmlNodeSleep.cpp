// Change events (own, ancestors, descendants) and sleeping branches that fall back to text.
#include "xml/cXmlNode.h"

#include <algorithm>
#include <exception>

#include "platform/ErrLog.h"
#include "xml/cXmlNodeShared.h"
#include "xml/mXmlText.h"

using namespace xmlnode;

namespace {
const char16_t* const kEventNames[] = {u"",           u"SaveSleepData", u"RestoreSleepData", u"Modified",
                                       u"ChildModified", u"ParentModifed", u"Deleted",          u"ChildDeleted",
                                       u"ParentDeleted", u"Added",         u"ChildAdded",       u"ParentAdded",
                                       u"NodeEvent",     u"ChildNodeEvent", u"ParentNodeEvent"};
}  // namespace

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
  setPending(Pending{buf, 0, buf->text.size(), false});
  if (pendingEmpty()) return;
  cXmlNode* root = this;
  while (root->parent_) root = root->parent_;
  bool handled = false;
  if (root->isListened()) root->deliver(evSaveSleepData, self(), Text(), nullptr, &data, &handled);
  if (handled) {
    auto marker = MakeBuffer(kStoredMarker);
    setPending(Pending{marker, 0, marker->text.size(), false});
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
    Pending p = takePending();
    if (p.view() == kStoredMarker) {
      cXmlNode* root = this;
      while (root->parent_) root = root->parent_;
      Text data = kStoredMarker;
      if (root->isListened()) root->deliver(evRestoreSleepData, self(), Text(), nullptr, &data);
      auto buf = MakeBuffer(std::move(data));
      p = Pending{buf, 0, buf->text.size(), false};
    }
    if (full) parseNonRecursive(std::move(p));
    else expandOneLevel(p);
    pending_.reset();
  } catch (const std::exception& e) {
    pending_.reset();
    LogError("WakeUp", e.what());
  }
  lock_ = false;
}
