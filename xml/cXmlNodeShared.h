#pragma once
// Private to the node's own sources: the counters, event numbers and small helpers they share.
#include "platform/ErrLog.h"
#include "platform/Text.h"

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

}  // namespace xmlnode
