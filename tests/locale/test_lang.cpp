#include <gtest/gtest.h>

#include <map>
#include <regex>

#include "locale/mLang.h"
#include "tests/common/TestUtil.h"

using namespace mLang;

TEST(LocaleTable, LookupsByLCID) {
  struct Case { const char16_t *lcid, *lang, *iso; };
  const Case cases[] = {
      {u"081A", u"Serbian (Latin) sr-Latn-CS", u"sr-Latn-CS"},  // record 153, never its twin
      {u"4", u"Chinese", u"zh-Hans"}, {u"c0c", u"French", u"fr-CA"},
      {u"10409", u"English", u"en-US"},  // only the last four digits count
      {u"0414", u"Norwegian (Bokm\u00E5l)", u"nb-NO"}, {u"", u"", u""}, {u"0000", u"", u""}, {u"|", u"", u""},
  };
  for (const auto& c : cases) {
    EXPECT_TEXT_EQ(GetLCIDLangName(c.lcid), Text(c.lang));
    EXPECT_TEXT_EQ(LCIDtoISO(c.lcid), Text(c.iso));
  }
}

TEST(LocaleTable, LookupsByISOTag) {
  struct Case { const char16_t *iso, *lang, *country; };
  const Case cases[] = {
      {u"sr-Latn-CS", u"Serbian (Latin) sr-Latn-CS", u"Serbia and Montenegro (Former)"},
      {u"en", u"English", u""},  // a prefix names a language, never a country
      {u"FR-fr", u"French", u"France"}, {u"sr", u"Serbian (Cyrillic) sr-Cyrl-CS", u""},
      {u"e", u"", u""},  // "e" is no language of its own
      {u"", u"", u""}, {u"xx-YY", u"", u""},
  };
  for (const auto& c : cases) {
    EXPECT_TEXT_EQ(GetISOLangName(c.iso), Text(c.lang)) << txt::ToUtf8(c.iso);
    EXPECT_TEXT_EQ(GetISOCountryName(c.iso), Text(c.country)) << txt::ToUtf8(c.iso);
  }
}

TEST(LocaleTable, FullListIsWholeAndWellFormed) {
  std::vector<Text> all = Get_LCDI_ISO_AllLangList();
  ASSERT_EQ(all.size(), 204u);
  EXPECT_TEXT_EQ(all[152], Text(u"sr-Latn-CS|081a|Serbian (Latin) sr-Latn-CS|Serbia and Montenegro (Former)"));
  EXPECT_TEXT_EQ(all[155], Text(u"sr-Latn-CS|081a|Serbian (Latin)|Montenegro"));

  // Every record: four fields, a tag of 2 to 11 characters, a 4-digit lower-case LCID, the
  // fields after the tag inside the lookup window, and ASCII except the one letter.
  const std::regex record("([^|]{2,11})\\|([0-9a-f]{4})\\|[^|]+\\|([^|]+)");
  std::map<Text, int> tags, lcids;
  int nonAscii = 0;
  for (size_t i = 0; i < all.size(); ++i) {
    std::string r = txt::ToUtf8(all[i]);
    SCOPED_TRACE(r);
    std::smatch m;
    ASSERT_TRUE(std::regex_match(r, m, record));
    Text tag = txt::FromUtf8(m[1].str()), lcid = txt::FromUtf8(m[2].str());
    EXPECT_LT(all[i].size() - tag.size() - 1, 100u);
    for (char16_t c : all[i]) nonAscii += c > 0x7F;
    ++tags[txt::LCase(tag)];
    ++lcids[lcid];
    if (i != 155) {  // every record but the hidden twin is what its own keys find
      EXPECT_TEXT_EQ(LCIDtoISO(lcid), tag);
      EXPECT_TEXT_EQ(GetISOCountryName(tag), txt::FromUtf8(m[3].str()));
    }
  }
  EXPECT_EQ(nonAscii, 1);
  for (auto& [tag, n] : tags) EXPECT_EQ(n, tag == u"sr-latn-cs" ? 2 : 1) << txt::ToUtf8(tag);
  for (auto& [lcid, n] : lcids) EXPECT_EQ(n, lcid == u"081a" ? 2 : 1) << txt::ToUtf8(lcid);
}

TEST(UserLocale, LocaleNamesMapToLCIDs) {
  const std::pair<const char*, const char16_t*> cases[] = {
      {"fr_FR.UTF-8", u"040C"}, {"de_AT.ISO-8859-1@euro", u"0C07"}, {"sr_RS@latin", u"241A"},
      {"sr_RS", u"281A"},  // the first record for that language and country
      {"uz_UZ.UTF-8@cyrillic", u"0843"},
      {"fr", u"040C"},  // a bare language: its default sub-language
      {"C", u""}, {"", u""}, {"xx_YY", u""},
  };
  for (const auto& [locale, lcid] : cases) EXPECT_TEXT_EQ(LCIDFromLocaleName(locale), Text(lcid)) << locale;
}
