#pragma once
// The events of one node. A node allocates this only when someone subscribes, so the
// many nodes of a large document carry no event storage.
#include <memory>

#include "platform/Event.h"
#include "platform/Text.h"
#include "xml/cXmlParams.h"

class cXmlNode;

class cXmlNodeEvents {
 public:
  using NodeRef = const std::shared_ptr<cXmlNode>&;
  using ParamsRef = const std::shared_ptr<cXmlParams>&;

  Event<NodeRef, Text&, bool&> SaveSleepData;  // node, data (in/out), handled (out)
  Event<NodeRef, Text&> RestoreSleepData;      // node, data (out)
  Event<const Text&> Modified;                 // attribute name, empty for value/content
  Event<NodeRef, const Text&> ChildModified;
  Event<NodeRef, const Text&> ParentModifed;
  Event<> Deleted;
  Event<NodeRef> ChildDeleted;
  Event<NodeRef> ParentDeleted;
  Event<> Added;
  Event<NodeRef> ChildAdded;
  Event<NodeRef> ParentAdded;
  Event<ParamsRef, const Text&> NodeEvent;  // parameters, event name
  Event<NodeRef, ParamsRef, const Text&> ChildNodeEvent;
  Event<NodeRef, ParamsRef, const Text&> ParentNodeEvent;
};
