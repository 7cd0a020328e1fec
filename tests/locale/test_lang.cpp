#include <gtest/gtest.h>

#include <map>

#include "locale/mLang.h"
#include "tests/common/TestUtil.h"

using namespace mLang;

TEST(LocaleTable, LookupsByLCID) {
  struct Case {
    const char16_t* lcid;
    const char16_t* lang;
    const char16_t* iso;
  };
  const Case cases[] = {
      {u"081A", u"Serbian (Latin) sr-Latn-CS", u"sr-Latn-CS"},  // record 153, never its twin
      {u"4", u"Chinese", u"zh-Hans"},
      {u"040C", u"French", u"fr-FR"},
      {u"c0c", u"French", u"fr-CA"},
      {u"10409", u"English", u"en-US"},  // only the last four digits count
      {u"0414", u"Norwegian (Bokm\u00E5l)", u"nb-NO"},
      {u"", u"", u""},
      {u"0000", u"", u""},
      {u"|", u"", u""},
  };
  for (const auto& c : cases) {
    EXPECT_TEXT_EQ(GetLCIDLangName(c.lcid), Text(c.lang));
    EXPECT_TEXT_EQ(LCIDtoISO(c.lcid), Text(c.iso));
  }
}

TEST(LocaleTable, LookupsByISOTag) {
  struct Case {
    const char16_t* iso;
    const char16_t* lang;
    const char16_t* country;
  };
  const Case cases[] = {
      {u"sr-Latn-CS", u"Serbian (Latin) sr-Latn-CS", u"Serbia and Montenegro (Former)"},
      {u"zh-Hant", u"Chinese", u"Traditional"},
      {u"en", u"English", u""},  // a prefix names a language, never a country
      {u"FR-fr", u"French", u"France"},
      {u"sr", u"Serbian (Cyrillic) sr-Cyrl-CS", u""},
      {u"moh-CA", u"Mohawk", u"Mohawk"},
      {u"nb-NO", u"Norwegian (Bokm\u00E5l)", u"Norway"},
      {u"e", u"", u""},  // "e" is no language of its own
      {u"", u"", u""},
      {u"xx-YY", u"", u""},
  };
  for (const auto& c : cases) {
    EXPECT_TEXT_EQ(GetISOLangName(c.iso), Text(c.lang)) << txt::ToUtf8(c.iso);
    EXPECT_TEXT_EQ(GetISOCountryName(c.iso), Text(c.country)) << txt::ToUtf8(c.iso);
  }
}

TEST(LocaleTable, FullListIsWholeAndWellFormed) {
  std::vector<Text> all = Get_LCDI_ISO_AllLangList();
  ASSERT_EQ(all.size(), 204u);
  EXPECT_TEXT_EQ(all[0], Text(u"sq-AL|041c|Albanian|Albania"));
  EXPECT_TEXT_EQ(all[203], Text(u"yo-NG|046a|Yoruba|Nigeria"));
  EXPECT_TEXT_EQ(all[152], Text(u"sr-Latn-CS|081a|Serbian (Latin) sr-Latn-CS|Serbia and Montenegro (Former)"));
  EXPECT_TEXT_EQ(all[155], Text(u"sr-Latn-CS|081a|Serbian (Latin)|Montenegro"));

  // Every record: four fields, a 4-digit lower-case LCID, a tag of 2 to 11 characters,
  // the fields after the tag inside the lookup window, and ASCII except the one letter.
  std::map<Text, int> tags, lcids;
  int nonAscii = 0;
  for (size_t i = 0; i < all.size(); ++i) {
    const Text& r = all[i];
    SCOPED_TRACE(txt::ToUtf8(r));
    size_t b1 = r.find(u'|'), b2 = r.find(u'|', b1 + 1), b3 = r.find(u'|', b2 + 1);
    ASSERT_NE(b3, Text::npos);
    EXPECT_EQ(r.find(u'|', b3 + 1), Text::npos);
    EXPECT_GE(b1, 2u);
    EXPECT_LE(b1, 11u);
    EXPECT_EQ(b2 - b1 - 1, 4u);
    for (size_t k = b1 + 1; k < b2; ++k) EXPECT_TRUE((r[k] >= u'0' && r[k] <= u'9') || (r[k] >= u'a' && r[k] <= u'f'));
    EXPECT_LT(r.size() - b1 - 1, 100u);
    EXPECT_GT(b3 - b2 - 1, 0u);
    EXPECT_GT(r.size() - b3 - 1, 0u);
    for (char16_t c : r) nonAscii += c > 0x7F;
    ++tags[txt::LCase(r.substr(0, b1))];
    ++lcids[r.substr(b1 + 1, 4)];
    // Every record but the hidden twin is what its own keys find.
    if (i != 155) {
      EXPECT_TEXT_EQ(LCIDtoISO(r.substr(b1 + 1, 4)), r.substr(0, b1));
      EXPECT_TEXT_EQ(GetISOCountryName(r.substr(0, b1)), r.substr(b3 + 1));
    }
  }
  EXPECT_EQ(nonAscii, 1);
  for (auto& [tag, n] : tags) EXPECT_EQ(n, tag == u"sr-latn-cs" ? 2 : 1) << txt::ToUtf8(tag);
  for (auto& [lcid, n] : lcids) EXPECT_EQ(n, lcid == u"081a" ? 2 : 1) << txt::ToUtf8(lcid);
}

TEST(UserLocale, LocaleNamesMapToLCIDs) {
  struct Case {
    const char* locale;
    const char16_t* lcid;
  };
  const Case cases[] = {
      {"fr_FR.UTF-8", u"040C"},
      {"fr_CA", u"0C0C"},
      {"de_AT.ISO-8859-1@euro", u"0C07"},
      {"sr_RS@latin", u"241A"},
      {"sr_RS", u"281A"},          // the first record for that language and country
      {"uz_UZ.UTF-8@cyrillic", u"0843"},
      {"fr", u"040C"},             // a bare language: its default sub-language
      {"C", u""},
      {"", u""},
      {"xx_YY", u""},
  };
  for (const auto& c : cases) EXPECT_TEXT_EQ(LCIDFromLocaleName(c.locale), Text(c.lcid)) << c.locale;
}
