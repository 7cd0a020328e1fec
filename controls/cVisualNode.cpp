#include "controls/cVisualNode.h"

#include "platform/ErrLog.h"

cVisualNode::cVisualNode() = default;

cVisualNode::~cVisualNode() {
  // Empty the subtree first; the depth is bounded by MaxDepth, so this recursion is too.
  DeleteChilds();
  XmlNode.reset();
}

long cVisualNode::CollapsedHeight() const { return collapsedHeight_ != 0 ? collapsedHeight_ : RowHeight + BottomSpace; }

long cVisualNode::Height() const {
  if (!expanded_) return CollapsedHeight();
  long h = RowHeight + BottomSpace;
  for (const auto& c : children_) h += c->Height();
  return h;
}

long cVisualNode::ExpandedHeight() const {
  long h = RowHeight + BottomSpace;
  for (const auto& c : children_) h += c->ExpandedHeight();
  return h;
}

void cVisualNode::Expanded(bool on) {
  if (on == expanded_) return;
  expanded_ = on;
  if (Parent && Visible())
    for (cVisualNode* p = Parent; p; p = p->Parent) p->expBufferDirty_ = true;
}

bool cVisualNode::Visible() const {
  for (const cVisualNode* p = Parent; p; p = p->Parent)
    if (!p->expanded_) return false;
  return true;
}

cVisualNode* cVisualNode::Root() {
  cVisualNode* n = this;
  while (n->Parent) n = n->Parent;
  return n;
}

void cVisualNode::Resize(long width) {
  Width = width;
  Root()->ResizeEvent.Raise(this);
  for (auto& c : children_) c->Resize(width - Indent - RightMargin);
}

void cVisualNode::AddMouseRegion(TextView name, long left, long top, long width, long height) {
  for (size_t i = 0; i < regions_.size(); ++i)
    if (regions_[i].name == name) {
      regions_.erase(regions_.begin() + static_cast<long>(i));
      break;
    }
  if (width >= 1 && height >= 1) regions_.push_back({Text(name), left, top, width, height});
}

Text cVisualNode::GetMouseRegion(long x, long y) const {
  for (const auto& r : regions_)
    if (x >= r.left && x <= r.left + r.width && y >= r.top && y <= r.top + r.height) return r.name;
  return {};
}

Text cVisualNode::GetProp(TextView path) const {
  if (!bag_ || path.empty()) return {};
  XmlNodePtr n = bag_->GetChildNode(path, false, true, u".");
  return n ? n->Value() : Text();
}

void cVisualNode::SetProp(TextView path, TextView value) {
  if (path.empty()) return;
  if (!bag_) {
    bag_ = cXmlNode::New();
    bag_->Name(u"Props");
  }
  if (XmlNodePtr n = bag_->GetChildNode(path, true, true, u".")) n->Value(Text(value));
}

void cVisualNode::DelProp(TextView path) {
  if (!bag_ || path.empty()) return;
  XmlNodePtr n = bag_->GetChildNode(path, false, true, u".");
  if (!n) return;
  if (XmlNodePtr p = n->Parent()) p->DelChild(n);
}

cVisualNode* cVisualNode::Child(long index) const {
  if (index < 1 || index > ChildCount()) return nullptr;
  return children_[static_cast<size_t>(index - 1)].get();
}

cVisualNode* cVisualNode::AddChild(std::unique_ptr<cVisualNode> node, long before, long after) {
  if (!node) return nullptr;
  node->Parent = this;
  size_t pos = children_.size();
  if (before >= 1 && before <= ChildCount())
    pos = static_cast<size_t>(before - 1);
  else if (after >= 1 && after <= ChildCount())
    pos = static_cast<size_t>(after);
  cVisualNode* raw = node.get();
  children_.insert(children_.begin() + static_cast<long>(pos), std::move(node));
  return raw;
}

void cVisualNode::RemoveChild(long index, bool deleteChilds) {
  if (index < 1 || index > ChildCount()) return;
  auto& c = children_[static_cast<size_t>(index - 1)];
  if (deleteChilds) c->DeleteChilds();
  children_.erase(children_.begin() + (index - 1));
}

void cVisualNode::DeleteChilds() {
  // Last to first: no shifting of the remaining items.
  while (!children_.empty()) {
    children_.back()->DeleteChilds();
    children_.pop_back();
  }
}

long cVisualNode::IndexOf(const cVisualNode* child) const {
  for (size_t i = 0; i < children_.size(); ++i)
    if (children_[i].get() == child) return static_cast<long>(i) + 1;
  return 0;
}

void cVisualNode::DrawItem(long x, long y, long width) {
  Left = x;
  Top = y;
  Width = width;
  DrawnHeight = Height();
  cVisualNode* root = Root();
  if (XmlNode) root->DrawItemEvent.Raise(this);
  if (expanded_) {
    long cy = y + RowHeight;
    for (auto& c : children_) {
      c->DrawItem(x + Indent, cy, width - Indent - RightMargin);
      cy += c->DrawnHeight;
    }
  }
  root->DrawDone.Raise(this);
}

bool cVisualNode::CreateFromXML(const XmlNodePtr& element) {
  long depth = 0;
  for (cVisualNode* p = Parent; p; p = p->Parent) ++depth;
  return CreateFromXML(element, depth);
}

bool cVisualNode::CreateFromXML(const XmlNodePtr& element, long depth) {
  if (!element || depth > MaxDepth) return false;
  bool cancel = false;
  Root()->AddingItem.Raise(this, element, 0, cancel);
  if (cancel) return false;
  XmlNode = element;
  auto fresh = [this] {
    auto c = std::make_unique<cVisualNode>();
    c->Parent = this;
    if (Width != 0) c->Width = Width - Indent - RightMargin;
    return c;
  };
  auto next = fresh();
  long n = element->ChildCount();
  for (long i = 1; i <= n; ++i) {
    XmlNodePtr child = element->Child(i);
    if (next->CreateFromXML(child, depth + 1)) {
      AddChild(std::move(next));
      next = fresh();
    } else {
      next->DeleteChilds();
      next = fresh();
    }
  }
  return true;
}

cVisualNode* cVisualNode::HitTest(long x, long y) {
  if (!(Left <= x && x < Left + Width && Top <= y && y < Top + DrawnHeight)) return nullptr;
  if (expanded_)
    for (auto& c : children_)
      if (cVisualNode* hit = c->HitTest(x, y)) return hit;
  return this;
}

cVisualNode* cVisualNode::FindNodeFromXML(const cXmlNode* element) {
  if (!element) return nullptr;
  if (XmlNode.get() == element) return this;
  for (auto& c : children_)
    if (cVisualNode* hit = c->FindNodeFromXML(element)) return hit;
  return nullptr;
}

cVisualNode* cVisualNode::NextItem(bool skipChildren) {
  if (!skipChildren && expanded_ && !children_.empty()) return children_.front().get();
  if (!Parent) return nullptr;
  long i = Parent->IndexOf(this);
  if (i >= 1 && i < Parent->ChildCount()) return Parent->Child(i + 1);
  return Parent->NextItem(true);
}

cVisualNode* cVisualNode::PrevItem() {
  if (!Parent) return nullptr;
  long i = Parent->IndexOf(this);
  if (i <= 1) return Parent;
  cVisualNode* c = Parent->Child(i - 1);
  while (c && c->expanded_ && c->ChildCount() > 0) c = c->Child(c->ChildCount());
  return c;
}
