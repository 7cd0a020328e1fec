#include "platform/ErrLog.h"

#include <cstdio>

namespace ErrLog {
namespace {
Sink& TheSink() {
  static Sink sink;
  return sink;
}
}  // namespace

Text FormatError(long number, TextView description, std::string_view object, std::string_view routine,
                 Kind kind) {
  const char* k = kind == Kind::Function ? "Function" : kind == Kind::Property ? "Property" : "Sub";
  Text line = u"Error " + txt::FromInt(number) + u" (" + Text(description) + u") in " + txt::FromUtf8(k) +
              u" " + txt::FromUtf8(object) + u"." + txt::FromUtf8(routine);
  return line;
}

void Error(long number, TextView description, std::string_view object, std::string_view routine, Kind kind) {
  Line(FormatError(number, description, object, routine, kind));
}

void Exception(std::string_view where, std::string_view what) {
  Line(u"Error 0 (" + txt::FromUtf8(what) + u") in Sub " + txt::FromUtf8(where));
}

void Line(TextView line) {
  try {
    if (auto& s = TheSink()) {
      s(Text(line));
      return;
    }
#ifdef KSV_DEBUG_LOG
    std::string u = txt::ToUtf8(line);
    std::fprintf(stderr, "%s\n", u.c_str());
#endif
  } catch (...) {
    // The log must never be the reason a routine fails.
  }
}

void SetSink(Sink sink) { TheSink() = std::move(sink); }

}  // namespace ErrLog
