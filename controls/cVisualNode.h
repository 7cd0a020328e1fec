#pragma once
// One visual item of the tree view per shown XML element: geometry, expanded state, a small
// property bag and named mouse regions. Items forward their events to their parent, so the
// root raises them for the whole tree. No widgets here.
#include <memory>
#include <vector>

#include "platform/Event.h"
#include "platform/Text.h"
#include "xml/cXmlNode.h"

class cVisualNode {
 public:
  cVisualNode();
  ~cVisualNode();
  cVisualNode(const cVisualNode&) = delete;
  cVisualNode& operator=(const cVisualNode&) = delete;

  long RowHeight = 0;
  long RightMargin = 0;
  long BottomSpace = 0;
  long Indent = 0;
  cVisualNode* Parent = nullptr;  // non-owning
  XmlNodePtr XmlNode;
  long Left = 0, Top = 0, Width = 0;
  long DrawnHeight = 0;
  // Set by the owning control when it lays the item out, so it can tell current geometry
  // from geometry left over from an earlier layout.
  unsigned long LayoutStamp = 0;

  long CollapsedHeight() const;
  void CollapsedHeight(long h) { collapsedHeight_ = h; }
  long Height() const;
  long ExpandedHeight() const;
  bool Expanded() const { return expanded_; }
  void Expanded(bool on);
  bool Visible() const;
  bool ExpBufferDirty() const { return expBufferDirty_; }
  void ClearExpBufferDirty() { expBufferDirty_ = false; }
  void Resize(long width);

  void AddMouseRegion(TextView name, long left, long top, long width, long height);
  // Region under a point relative to the item's Left and Top; bounds inclusive.
  Text GetMouseRegion(long x, long y) const;

  Text GetProp(TextView path) const;
  void SetProp(TextView path, TextView value);
  void DelProp(TextView path);

  cVisualNode* Child(long index) const;  // 1-based
  long ChildCount() const { return static_cast<long>(children_.size()); }
  // Inserts at the end, or before / after a 1-based position; returns the added item.
  cVisualNode* AddChild(std::unique_ptr<cVisualNode> node, long before = 0, long after = 0);
  void RemoveChild(long index, bool deleteChilds = true);
  void DeleteChilds();

  void DrawItem(long x, long y, long width);
  bool CreateFromXML(const XmlNodePtr& element);
  cVisualNode* HitTest(long x, long y);
  cVisualNode* FindNodeFromXML(const cXmlNode* element);

  cVisualNode* Root();
  // Display order, as the arrow keys walk it.
  cVisualNode* NextItem(bool skipChildren = false);
  cVisualNode* PrevItem();

  // Raised by the root only (items forward to it).
  Event<cVisualNode*, XmlNodePtr, long, bool&> AddingItem;
  Event<cVisualNode*> DrawItemEvent;
  Event<cVisualNode*> DrawDone;
  Event<cVisualNode*> ResizeEvent;

  // Deeper nesting is not shown: the view's walks recurse once per level.
  static constexpr long MaxDepth = 1000;

 private:
  struct Region {
    Text name;
    long left, top, width, height;
  };
  bool CreateFromXML(const XmlNodePtr& element, long depth);
  long IndexOf(const cVisualNode* child) const;

  std::vector<std::unique_ptr<cVisualNode>> children_;
  std::vector<Region> regions_;
  XmlNodePtr bag_;
  long collapsedHeight_ = 0;
  bool expanded_ = false;
  bool expBufferDirty_ = false;
};
