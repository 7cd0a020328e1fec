#include "xml/cXmlEventTarget.h"

#include <exception>

#include "platform/ErrLog.h"

void cXmlEventTarget::SetMethod(const Text& name, Method fn) {
  if (fn) methods_[name] = std::move(fn);
  else methods_.erase(name);
}

void cXmlEventTarget::RemoveMethod(const Text& name) { methods_.erase(name); }

bool cXmlEventTarget::HasMethod(const Text& name) const { return methods_.count(name) != 0; }

bool cXmlEventTarget::CallByName(const Text& method, const Text& eventName, cXmlParams& args) const {
  auto it = methods_.find(method);
  if (it == methods_.end()) return false;
  // Copy: the method may replace or remove itself.
  Method fn = it->second;
  try {
    fn(eventName, args);
  } catch (const std::exception& e) {
    ErrLog::Exception("cXmlEventTarget.CallByName", e.what());
  } catch (...) {
    ErrLog::Exception("cXmlEventTarget.CallByName", "unknown exception");
  }
  return true;
}
