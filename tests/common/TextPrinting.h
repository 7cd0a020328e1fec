#pragma once
// Texts in failure messages print as the characters they hold ("Français"), not as escaped
// UTF-16 units. Included into every test source by the build, so all agree on it.
#include <gtest/gtest.h>

#include <ostream>

#include "platform/Text.h"

namespace testutil {
inline void PrintTo(const Text& text, std::ostream* os) { *os << "u\"" << txt::ToUtf8(text) << '"'; }
}  // namespace testutil

// Text is the standard UTF-16 string, whose printer lives in the framework; it is replaced
// here, as argument lookup cannot reach a printer for a standard type.
namespace testing::internal {
template <>
class UniversalPrinter<Text> {
 public:
  static void Print(const Text& text, std::ostream* os) { testutil::PrintTo(text, os); }
};
}  // namespace testing::internal
