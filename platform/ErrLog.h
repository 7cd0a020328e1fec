#pragma once
// The common log. Routines trap their own errors and hand one line to it; the line is
// discarded unless the build option KSV_DEBUG_LOG is on (then stderr) or a sink is set.
#include <exception>
#include <functional>
#include <string_view>

#include "platform/Text.h"

namespace ErrLog {

enum class Kind { Sub, Function, Property };

// "Error 5 (Invalid procedure call) in Sub cXmlNode.Child"
Text FormatError(long number, TextView description, std::string_view object, std::string_view routine,
                 Kind kind = Kind::Sub);
// Builds the error line and logs it.
void Error(long number, TextView description, std::string_view object, std::string_view routine,
           Kind kind = Kind::Sub);
// A caught C++ exception at a boundary ("cXmlNode.Child").
void Exception(std::string_view where, std::string_view what);
// A diagnostic line as it stands.
void Line(TextView line);

// Runs f at a boundary (event handler, toolkit callback): an exception it throws becomes a
// log line instead of leaving the routine.
template <class F>
void Trap(std::string_view where, F&& f) {
  try {
    f();
  } catch (const std::exception& e) {
    Exception(where, e.what());
  } catch (...) {
    Exception(where, "unknown exception");
  }
}

// Tests and debug builds can see the lines; pass an empty function to restore the default.
using Sink = std::function<void(const Text&)>;
void SetSink(Sink sink);

}  // namespace ErrLog
