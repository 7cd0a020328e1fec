#pragma once
// cXmlNode: document, element and text holder at once. A parent owns its children
// (shared_ptr); the parent link is a plain pointer that never keeps the parent alive.
// Nodes parse lazily, write themselves back, report changes through events and can put
// unreferenced branches to sleep. Indexes of children and attributes are 1-based.
//
// Create nodes with cXmlNode::New() (or std::make_shared): operations that hand out a
// node (Parent, RootNode, events) need the node to be owned by a shared_ptr.
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/Text.h"
#include "xml/NodeName.h"
#include "xml/SparseList.h"

class cXmlNode;
class cXmlNodeEvents;
class cXmlParams;
class cXmlEventTarget;
class cXmlTagEnds;
using XmlNodePtr = std::shared_ptr<cXmlNode>;
using XmlNodeList = std::vector<XmlNodePtr>;

class cXmlNode : public std::enable_shared_from_this<cXmlNode> {
 public:
  cXmlNode();
  ~cXmlNode();
  cXmlNode(const cXmlNode&) = delete;
  cXmlNode& operator=(const cXmlNode&) = delete;

  static XmlNodePtr New();
  // A node parsed from XML text with the own-tag parse (the XmlData write).
  static XmlNodePtr FromXml(Text xml);
  // Live nodes in the process (diagnostics).
  static long LiveCount();

  // --- events -----------------------------------------------------------------------
  // Raises NodeEvent here, ChildNodeEvent on the ancestors, ParentNodeEvent below.
  void RaiseNodeEvent(const Text& eventName, std::shared_ptr<cXmlParams> params = nullptr);
  // Subscriber access; allocates the event storage on first use.
  cXmlNodeEvents& Events();
  // Forwards every event to target->CallByName(method, ...). The target is held weakly.
  void SetEventTarget(const std::shared_ptr<cXmlEventTarget>& target, const Text& method);
  std::shared_ptr<cXmlEventTarget> EventTarget() const;
  Text EventMethod() const;

  // --- tree ---------------------------------------------------------------------------
  XmlNodePtr Parent() const;
  cXmlNode* ParentPtr() const { return parent_; }
  // Sets the link only (detaching from the former parent first); AddChild does both.
  void Parent(const XmlNodePtr& newParent);
  XmlNodePtr Clone();
  bool SetAttributs(const std::vector<Text>& names, const std::vector<Text>& values);
  int32_t ItemData() const { return itemData_; }
  void ItemData(int32_t v) { itemData_ = v; }
  Text XMLVersion() const;
  long Depth() const;
  long Index() const;
  Text XMLEncoding() const;
  void XMLEncoding(const Text& encoding);
  // While true (the default), a parsed declaration does not set XMLEncoding.
  bool IgnoreDeclaredEncoding() const { return ignoreEncoding_; }
  void IgnoreDeclaredEncoding(bool v) { ignoreEncoding_ = v; }

  Text Attribut(TextView name) const;
  void Attribut(TextView name, TextView value);
  bool AttributExists(TextView name, TextView value = {}) const;
  long AttrCount() const;
  Text AttrName(long index) const;
  Text AttrValue(long index) const;

  long ChildCount();
  XmlNodePtr Child(long index);
  // The children in order, woken, for `for (const XmlNodePtr& c : node->Children())`. The
  // loop must not add or remove children of this node.
  class ChildRange {
   public:
    ChildRange(const XmlNodePtr* b, const XmlNodePtr* e) : b_(b), e_(e) {}
    const XmlNodePtr* begin() const { return b_; }
    const XmlNodePtr* end() const { return e_; }
    size_t size() const { return static_cast<size_t>(e_ - b_); }

   private:
    const XmlNodePtr* b_;
    const XmlNodePtr* e_;
  };
  ChildRange Children();
  Text Name() const { return Text(name_.view()); }
  void Name(const Text& name);
  Text Value() const;
  void Value(const Text& value);
  long NodeCount();
  bool ChildExists(TextView name);
  Text ChildValue(TextView name);
  void ChildValue(TextView name, const Text& value);
  Text ChildAttribut(TextView path, TextView attrName);
  void ChildAttribut(TextView path, TextView attrName, TextView value);
  void DeleteEmptyChilds(bool recursive = false);
  void DelChilds(const XmlNodePtr& rule = nullptr);
  XmlNodeList FindNodes(const XmlNodePtr& rule, XmlNodeList* result = nullptr, long maxCount = 0);
  XmlNodePtr FindNode(TextView key, bool recursive = false, bool childrenOnly = false);
  XmlNodePtr CreateChild(Text xml, long before = 0, long after = 0);
  long AddChild(const XmlNodePtr& node, long before = 0, long after = 0);
  void EmancipateChild(const XmlNodePtr& node);
  void EmancipateChild(long index);
  void DelChild(const XmlNodePtr& node);
  void DelChild(long index);
  void BuildXml() {}
  Text BuiltXML() { return XmlData(); }
  // Read: the serialised subtree. Write: the own-tag parse of `xml`; content stays pending.
  Text XmlData();
  void XmlData(Text xml);
  XmlNodePtr RootNode();
  // Parses a whole text into this node in one forward pass, without recursion.
  void XmlData___NonRecursif(Text xml);
  bool IsChildOf(const cXmlNode* node) const;
  bool IsChildOf(const XmlNodePtr& node) const { return IsChildOf(node.get()); }
  void ClearAttributs() { clearAttrs(); }
  Text Path(TextView keyAttributes = {}, TextView separator = u".", const cXmlNode* stopNode = nullptr) const;
  static Text EncodeSpecialChars(TextView text);
  static Text DecodeSpecialChars(TextView text);
  // Escapes a value, then UTF-8 encodes it into a byte string when XMLEncoding is utf-8.
  Text EncodeText(TextView text) const;
  static Text Indent(TextView text, long count, char16_t indentChar = u'\t');

  // --- merge and match ----------------------------------------------------------------
  bool MergeXml(const XmlNodePtr& source, XmlNodePtr rules = nullptr);
  bool Match(const XmlNodePtr& other, XmlNodePtr rules = nullptr, bool deep = false);
  XmlNodePtr FindFirstMatch(const XmlNodePtr& other, const XmlNodePtr& rules, long depth);
  bool MatchRule(const XmlNodePtr& rules);
  static bool NodeMatch(const XmlNodePtr& a, const XmlNodePtr& b, const XmlNodePtr& rules, bool deep);
  void UpdateData(const XmlNodePtr& source, XmlNodePtr rules = nullptr);

  // --- navigation and paths -----------------------------------------------------------
  XmlNodePtr GetParent(long levels);
  // keys: "name", "a:attr", "c:child", "c:child/a:attr", separated by ",". compareMode:
  // 0 ascending binary, 1 ascending ignoring case, 2 descending binary, 3 descending
  // ignoring case.
  void SortChilds(TextView keys, int compareMode = 0, long depth = 0);
  Text GetChildValue(TextView path, bool create = false, TextView attrName = {});
  XmlNodePtr GetChildNode(TextView path, bool create = false, bool childrenOnly = false,
                          TextView separator = u".");
  void Release();
  const Text& RawValue() const { return raw_; }
  // The stored text as it stands: a CDATA wrapper in it is a CDATA section.
  void RawValue(Text v) {
    raw_ = std::move(v);
    literal_ = false;
  }
  // True when the stored text is plain text even though it looks like a CDATA section (a
  // value written as "<![CDATA[x]]>", or read from escaped text): read and written as it is.
  bool LiteralValue() const { return literal_; }
  bool Contains(const XmlNodePtr& node, bool recursive = false);
  XmlNodePtr PrevSibling();
  XmlNodePtr NextSibling();
  XmlNodePtr PrevNode();
  XmlNodePtr NextNode();

  // --- sleep --------------------------------------------------------------------------
  void Sleep();
  // full: parse the whole pending text; otherwise expand one level.
  void WakeUp(bool full = true);
  bool IsSleeping() const;
  long ExternalRefCount() const;
  // Holders of a node outside the tree (the parent's reference is not counted).
  static long GetRefCount(const XmlNodePtr& node);
  bool EventLock() const;

 private:
  // Defined in xml/cXmlNodeShared.h.
  struct Attr;
  struct NameIndex;
  struct Extra;
  struct Buffer;
  struct Pending;
  static std::shared_ptr<const Buffer> MakeBuffer(Text t);
  Extra& extra();
  bool pendingEmpty() const;
  // Held apart: most nodes of a woken document have nothing pending.
  void setPending(Pending p);
  Pending takePending();
  void wake() {
    if (pending_) WakeUp(true);
  }
  void setAttr(TextView name, TextView value, bool* changed);
  long findAttr(TextView name) const;
  void clearAttrs();
  // Position (0-based) of the first child named `name` ignoring case, or -1.
  long findChild(TextView name);
  // The children's name index, built when the list is long enough to need one.
  const NameIndex* childIndex();
  // The names an index reads back.
  TextView childNameAt(size_t k) const { return children_[k] ? children_[k]->name_.view() : TextView(); }
  TextView attrNameAt(size_t k) const;
  auto childName() const {
    return [this](uint32_t k) { return childNameAt(k); };
  }
  auto attrName() const {
    return [this](uint32_t k) { return attrNameAt(k); };
  }
  // The children changed other than by an append: positions and the name index are stale.
  void childrenChanged();
  XmlNodePtr self() { return weak_from_this().lock(); }
  long resolveChild(const cXmlNode* node) const;
  // The child at a 1-based index, or null when the index names none.
  const XmlNodePtr* childAt(long index) const;
  bool isListened() const;
  // Listened nodes below this one, depth-first in child order.
  XmlNodeList listenedBelow() const;
  void removeChildAt(size_t i);
  void insertChild(const XmlNodePtr& node, long before, long after);

  // Parsing (cXmlNodeParse.cpp)
  void dropChildren();
  // `utf8`, when given, is the encoding decision already made for the node.
  void ownTagParse(Pending text, const bool* utf8 = nullptr);
  Pending prepare(Pending p);
  // `known` holds the element ends learnt over the buffer the element lies in at `base`.
  bool getTagInfo(TextView element, bool utf8, const cXmlTagEnds* known = nullptr, size_t base = 0);
  void getTagAttribs(TextView text, bool utf8);
  void expandOneLevel(const Pending& text);
  void parseNonRecursive(Pending text);
  void applyTextRules(Text& value, bool utf8);
  // Text content: a CDATA section kept whole, other text with its entities decoded.
  // `plain`: the caller knows the content holds no "&".
  void setText(TextView content, bool utf8, bool plain = false);
  void readDeclaration(TextView attributes);
  bool utf8Encoding() const;
  void setOwnEncoding(const Text& encoding);
  // Serializer (cXmlNodeWrite.cpp)
  void serialize(Text& out);
  // About the length of the written text, for reserving it at once.
  size_t writtenSize() const;

  // Events
  enum class Family { Modified, Deleted, Added };
  void raiseChange(Family f, const Text& name, bool skipOwn = false);
  void deliver(int which, const XmlNodePtr& node, const Text& name,
               const std::shared_ptr<cXmlParams>& params, Text* data = nullptr, bool* handled = nullptr);
  static bool nodeMatch(cXmlNode* a, cXmlNode* b, cXmlNode* rules, bool deep);
  static bool shallowMatch(cXmlNode* a, cXmlNode* b, cXmlNode* rules);
  void sortOwn(TextView keys, int compareMode);
  void sleepSelf();
  void deleteSubtree(size_t index, bool ownDeleted);

  cXmlNode* parent_ = nullptr;
  NodeName name_;
  Text raw_;
  SparseList<Attr> attrs_;
  SparseList<XmlNodePtr> children_;
  std::unique_ptr<Pending> pending_;
  std::unique_ptr<Extra> extra_;
  int32_t itemData_ = 0;
  uint32_t pos_ = 0;  // position among the parent's children when last known
  bool ignoreEncoding_ = true;
  bool lock_ = false;
  bool literal_ = false;
};
