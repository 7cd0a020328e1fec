#include <gtest/gtest.h>

#include "storage/VbDate.h"
#include "storage/mStringTools.h"
#include "tests/common/TestUtil.h"

using mStringTools::NeedUpdate;

TEST(NeedUpdate, VersionOrdering) {
  struct Case {
    const char16_t* current;
    const char16_t* offered;
    bool newer;
  };
  const Case cases[] = {
      {u"0.2", u"0.3", true},    {u"0.3", u"0.2", false},   {u"1.0", u"1.0", false},
      {u"1.9", u"1.10", true},   {u"1.10", u"1.9", false},  {u"1.0", u"1.0.1", true},
      {u"1.0.1", u"1.0", false}, {u"1.0", u"1.0b", true},   {u"2", u"2.0", true},
      {u"2.0", u"2", false},     {u"1.2b3", u"1.2b4", true}, {u"1.2b3", u"1.2.b.3", false},
      {u"01", u"1", false},      {u"1", u"01", false},      {u"1.0A", u"1.0b", true},  {u"1.0B", u"1.0b", false},
      {u"", u"0.1", true},       {u"0.1", u"", false},      {u"1.0b", u"1.0c", true},
      {u"99999999999999999999.1", u"99999999999999999999.2", true},
      {u"1.2", u"1.2rc", true},  {u"0.4", u"0.4", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(NeedUpdate(c.current, c.offered), c.newer)
        << txt::ToUtf8(c.current) << " -> " << txt::ToUtf8(c.offered);
}

TEST(VbDate, PartsFormatAndDayDifference) {
  VbDate d = vbdate::FromParts(2026, 12, 6, 9, 5, 3);
  EXPECT_TEXT_EQ(vbdate::Format(d, u"yyyy-mm-dd_hh-nn-ss"), u"2026-12-06_09-05-03");
  EXPECT_TEXT_EQ(vbdate::Format(d, u"yyyy/mm/dd hh:nn:ss"), u"2026/12/06 09:05:03");
  auto p = vbdate::ToParts(d);
  EXPECT_EQ(p.year, 2026);
  EXPECT_EQ(p.minute, 5);
  EXPECT_EQ(p.second, 3);
  EXPECT_DOUBLE_EQ(vbdate::FromParts(1899, 12, 30), 0.0);
  EXPECT_DOUBLE_EQ(vbdate::FromParts(1900, 1, 1), 2.0);
  // Month 13 rolls into the next year, day 0 into the previous month.
  EXPECT_DOUBLE_EQ(vbdate::FromParts(2025, 13, 1), vbdate::FromParts(2026, 1, 1));
  EXPECT_DOUBLE_EQ(vbdate::FromParts(2026, 3, 0), vbdate::FromParts(2026, 2, 28));
  EXPECT_EQ(vbdate::DayDiff(vbdate::FromParts(2026, 1, 1, 23, 59), vbdate::FromParts(2026, 1, 2, 0, 1)), 1);
  EXPECT_EQ(vbdate::DayDiff(d, d), 0);
}
