#pragma once
// A listener whose methods are called by name: the node holds a target and a method name
// and forwards every event as (event name, argument collection).
#include <functional>
#include <map>

#include "platform/Text.h"
#include "xml/cXmlParams.h"

class cXmlEventTarget {
 public:
  using Method = std::function<void(const Text& eventName, cXmlParams& args)>;

  void SetMethod(const Text& name, Method fn);
  void RemoveMethod(const Text& name);
  bool HasMethod(const Text& name) const;
  // False when the method does not exist. A throwing method is trapped and logged.
  bool CallByName(const Text& method, const Text& eventName, cXmlParams& args) const;

 private:
  std::map<Text, Method> methods_;
};
