#pragma once
// Private to the node's own sources: the counters, event numbers and small helpers they share.
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "platform/ErrLog.h"
#include "platform/Text.h"
#include "xml/cXmlEventTarget.h"
#include "xml/cXmlNode.h"
#include "xml/cXmlNodeEvents.h"
#include "xml/cXmlTagEnds.h"

namespace xmlnode {

extern long gLiveNodes;
// Nodes that have subscribers or an event target. While there are none, raising an
// event is a no-op, which keeps parsing and editing large documents cheap.
extern long gListenedNodes;
// Nodes with an encoding of their own. While there are none, no node needs to walk up to
// its root to learn its encoding: a lazy walk down a deep chain stays linear.
extern long gEncodedNodes;

inline const Text kStoredMarker = u"_-_STORED_-_";

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

inline bool EndsWith(TextView t, TextView suffix) {
  return t.size() >= suffix.size() && t.substr(t.size() - suffix.size()) == suffix;
}

inline bool SameText(TextView a, TextView b, bool ignoreCase) {
  return ignoreCase ? txt::EqualsNoCase(a, b) : a == b;
}

inline void LogError(const char* routine, const char* what, ErrLog::Kind kind = ErrLog::Kind::Sub) {
  ErrLog::Error(5, txt::FromUtf8(what), "cXmlNode", routine, kind);
}

// Lists shorter than this are searched; longer ones get a name index on first lookup.
constexpr size_t kIndexFrom = 12;

inline Text LowerKey(TextView name) {
  Text k(name);
  for (auto& c : k)
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
  return k;
}

}  // namespace xmlnode

struct cXmlNode::NameIndex {
  static constexpr uint32_t kEnd = UINT32_MAX;
  struct Chain {
    uint32_t first, last;
  };
  std::unordered_map<Text, Chain> names;
  std::vector<uint32_t> next;  // the next position with the same name, or kEnd
  size_t count() const { return next.size(); }
  void Add(Text key, uint32_t pos) {
    next.push_back(kEnd);
    auto [it, fresh] = names.try_emplace(std::move(key), Chain{pos, pos});
    if (!fresh) {
      next[it->second.last] = pos;
      it->second.last = pos;
    }
  }
  uint32_t First(TextView name) const {
    auto it = names.find(xmlnode::LowerKey(name));
    return it == names.end() ? kEnd : it->second.first;
  }
};

struct cXmlNode::Attr {
  Text name;
  Text value;
};

// Rarely used fields, allocated on demand to keep large documents small.
struct cXmlNode::Extra {
  Text version;
  Text encoding;
  std::unique_ptr<cXmlNodeEvents> events;
  std::weak_ptr<cXmlEventTarget> target;
  Text method;
  bool hasTarget = false;
  std::shared_ptr<NameIndex> childIndex;
  std::shared_ptr<NameIndex> attrIndex;
};

// Unparsed text: a range of a buffer shared with the node's relatives, so expanding a large
// document does not copy every subtree's text.
struct cXmlNode::Buffer {
  explicit Buffer(Text t) : text(std::move(t)) {}
  Text text;
  // Element ends learnt while expanding, so deeper levels need not search again.
  mutable cXmlTagEnds ends;
};

struct cXmlNode::Pending {
  std::shared_ptr<const Buffer> buf;
  size_t off = 0;
  size_t len = 0;
  // Comments and what stands around the root already removed (a range of a parsed parent's
  // text).
  bool clean = false;
  // Comments already removed, nothing else done.
  bool noComments = false;
  TextView view() const { return buf ? TextView(buf->text.data() + off, len) : TextView(); }
};

inline std::shared_ptr<const cXmlNode::Buffer> cXmlNode::MakeBuffer(Text t) {
  return std::make_shared<const Buffer>(std::move(t));
}

inline bool cXmlNode::pendingEmpty() const { return !pending_ || pending_->len == 0; }

inline void cXmlNode::setPending(Pending p) {
  if (p.len == 0) pending_.reset();
  else pending_ = std::make_unique<Pending>(std::move(p));
}

inline cXmlNode::Pending cXmlNode::takePending() {
  Pending p = pending_ ? std::move(*pending_) : Pending();
  pending_.reset();
  return p;
}
