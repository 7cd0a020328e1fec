#include <gtest/gtest.h>

#include "storage/mStringTools.h"
#include "tests/common/TestUtil.h"

using namespace mStringTools;

namespace {
Bytes B(std::initializer_list<int> v) {
  Bytes b;
  for (int x : v) b.push_back(static_cast<char>(x));
  return b;
}
}  // namespace

TEST(DataToUnicode, DetectsModeAndHandlesMark) {
  struct Case {
    Bytes data;
    bool keep;
    int mode;
    Text text;
    bool changed;
  };
  const Case cases[] = {
      {B({0xFF, 0xFE, 0x41, 0x00}), false, ModeUnicode, u"A", true},
      {B({0xFF, 0xFE, 0x41, 0x00}), true, ModeUnicode, u"\xFEFF" u"A", false},
      {"plain ascii", false, ModeANSI, u"plain ascii", false},
      {B({0xC3, 0xA9}), false, ModeUTF8, u"\u00E9", false},
      {B({0xEF, 0xBB, 0xBF, 0xC3, 0xA9}), false, ModeUTF8, u"\u00E9", true},
      {B({0xEF, 0xBB, 0xBF, 0xC3, 0xA9}), true, ModeUTF8, u"\xFEFF\u00E9", false},
      {B({0xC3, 0xA9}), true, ModeUTF8, u"\xFEFF\u00E9", true},
      {B({0x80, 0x41}), false, ModeANSI, u"\u20AC" u"A", false},
  };
  for (const auto& c : cases) {
    int mode = 0;
    bool changed = false;
    Text t = StrDataToUnicode(c.data, mode, 1252, c.keep, &changed);
    EXPECT_EQ(mode, c.mode) << c.data;
    EXPECT_TEXT_EQ(t, c.text);
    EXPECT_EQ(changed, c.changed) << c.data;
  }
  int mode = 0;
  EXPECT_TRUE(StrDataToUnicode("", mode).empty());
  EXPECT_EQ(mode, 0);
}
