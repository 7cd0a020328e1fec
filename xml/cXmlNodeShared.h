#pragma once
// Private to the node's own sources: the counters, event numbers and small helpers they share.
#include <cstdint>
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

}  // namespace xmlnode

// Positions of a list by name, ignoring case. Open addressing over small slots: each holds a
// name's hash and its first and last position; the names stay in the list indexed and are
// read through `nameAt(position)`, so adding a name allocates nothing but amortised growth.
struct cXmlNode::NameIndex {
  static constexpr uint32_t kEnd = UINT32_MAX;
  struct Slot {
    uint32_t hash, first, last;
  };
  std::vector<Slot> slots;
  std::vector<uint32_t> next;  // the next position with the same name, or kEnd
  size_t names = 0;
  size_t count() const { return next.size(); }
  void Reserve(size_t n) {
    next.reserve(n);
    size_t want = 16;
    while (want < 2 * n) want *= 2;
    if (want > slots.size()) Rehash(want);
  }
  // `pos` is the next position: count() before the call.
  template <class NameAt>
  void Add(TextView name, uint32_t pos, const NameAt& nameAt) {
    if (2 * (names + 1) > slots.size()) Rehash(slots.empty() ? 16 : 2 * slots.size());
    next.push_back(kEnd);
    const uint32_t h = Hash(name);
    const size_t mask = slots.size() - 1;
    for (size_t i = h & mask;; i = (i + 1) & mask) {
      Slot& s = slots[i];
      if (s.first == kEnd) {
        s = {h, pos, pos};
        ++names;
        return;
      }
      if (s.hash == h && txt::EqualsNoCase(nameAt(s.first), name)) {
        next[s.last] = pos;
        s.last = pos;
        return;
      }
    }
  }
  template <class NameAt>
  uint32_t First(TextView name, const NameAt& nameAt) const {
    if (slots.empty()) return kEnd;
    const uint32_t h = Hash(name);
    const size_t mask = slots.size() - 1;
    for (size_t i = h & mask;; i = (i + 1) & mask) {
      const Slot& s = slots[i];
      if (s.first == kEnd) return kEnd;
      if (s.hash == h && txt::EqualsNoCase(nameAt(s.first), name)) return s.first;
    }
  }

 private:
  static uint32_t Hash(TextView name) {
    uint32_t h = 2166136261u;
    for (char16_t c : name) h = (h ^ (c >= u'A' && c <= u'Z' ? c + 32u : c)) * 16777619u;
    h ^= h >> 16;
    h *= 0x85EBCA6Bu;
    return h ^ (h >> 13);
  }
  void Rehash(size_t size) {
    std::vector<Slot> old = std::move(slots);
    slots.assign(size, Slot{0, kEnd, kEnd});
    const size_t mask = size - 1;
    for (const Slot& s : old) {
      if (s.first == kEnd) continue;
      size_t i = s.hash & mask;
      while (slots[i].first != kEnd) i = (i + 1) & mask;
      slots[i] = s;
    }
  }
};

struct cXmlNode::Attr {
  Text name;
  Text value;
};

inline TextView cXmlNode::attrNameAt(size_t k) const { return attrs_[k].name; }

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
