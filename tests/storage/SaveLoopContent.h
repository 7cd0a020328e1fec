#pragma once
// The two contents the save loop alternates between: complete language files of 10 MB.
#include <string>

#include "platform/Text.h"

namespace savetest {

inline std::string FileBytes(char fill) {
  return "<Languages version=\"0.4\">\r\n\t<fr>" + std::string(10u << 20, fill) + "</fr>\r\n</Languages>\r\n";
}
inline Text Content(char fill) { return txt::FromUtf8(FileBytes(fill)); }

}  // namespace savetest
