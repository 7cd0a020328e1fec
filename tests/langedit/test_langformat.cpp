#include <gtest/gtest.h>

#include "langedit/mLangFormat.h"
#include "tests/common/TestUtil.h"
#include "xml/cXmlNode.h"

using namespace mLangFormat;

namespace {

XmlNodePtr Languages(const char16_t* xml) {
  XmlNodePtr doc = cXmlNode::FromXml(xml);
  if (doc && doc->Name() == u"Languages") return doc;
  return doc ? doc->FindNode(u"Languages", true) : nullptr;
}

}  // namespace

TEST(FormatUpgrade, AuthorsOfAnOldFileBecomeContributors) {
  XmlNodePtr langs = Languages(
      u"<Languages version=\"0.1\">"
      u"<fr name=\"Fran\u00E7ais\" author=\"Jeanne\" author_email=\"j@example.invalid\" author_website=\"w.invalid\">"
      u"<Config><Labels><Title>Titre</Title></Labels></Config></fr>"
      u"<pt-BR author=\"Ana\"><Config><Labels><Title>T\u00EDtulo</Title></Labels></Config></pt-BR>"
      u"<de><Config><Labels><Title>Titel</Title></Labels></Config></de>"
      u"<it><Contributors><Contributor name=\"Luca\" email=\"l@example.invalid\"/></Contributors></it>"
      u"</Languages>");
  ASSERT_TRUE(langs);
  EXPECT_TRUE(CheckVersionChanges(langs));
  EXPECT_TEXT_EQ(langs->Attribut(u"version"), Text(u"0.4"));

  XmlNodePtr fr = langs->FindNode(u"fr");
  ASSERT_TRUE(fr);
  EXPECT_TEXT_EQ(fr->Attribut(u"en_name"), Text(u"French"));
  EXPECT_TEXT_EQ(fr->Attribut(u"name"), Text(u"Fran\u00E7ais"));
  for (const char16_t* gone : {u"author", u"author_email", u"author_website"}) EXPECT_TRUE(fr->Attribut(gone).empty());
  XmlNodePtr c = fr->GetChildNode(u"Contributors.Contributor");
  ASSERT_TRUE(c);
  EXPECT_TEXT_EQ(c->Attribut(u"name"), Text(u"Jeanne"));
  EXPECT_TEXT_EQ(c->Attribut(u"website"), Text(u"w.invalid"));

  // A region tag finds its language; only the author's own fields are written.
  XmlNodePtr pt = langs->FindNode(u"pt-BR");
  EXPECT_TEXT_EQ(pt->Attribut(u"en_name"), Text(u"Portuguese"));
  ASSERT_TRUE(pt->GetChildNode(u"Contributors.Contributor"));
  EXPECT_EQ(pt->GetChildNode(u"Contributors.Contributor")->AttrCount(), 1);
  EXPECT_FALSE(langs->FindNode(u"de")->GetChildNode(u"Contributors.Contributor"));  // no author, no contributor
  // An existing contributor of a language without author attributes survives.
  XmlNodePtr credits = langs->FindNode(u"it")->GetChildNode(u"Contributors");
  ASSERT_EQ(credits->ChildCount(), 1);
  EXPECT_TEXT_EQ(credits->ChildAttribut(u"Contributor", u"email"), Text(u"l@example.invalid"));
}

TEST(FormatUpgrade, HotKeyCaptionMovesOnlyFromFilesBefore03) {
  // options: the existing Options content; shortcut: KeyboardShortcuts afterwards
  struct Case { const char16_t *version, *options; bool moved; const char16_t* shortcut; };
  const Case cases[] = {
      {u"0.2", u"", true, u"Ctrl+K"},
      {u"0.2", u"<KeyboardShortcuts>Already</KeyboardShortcuts>", true, u"Already"},
      {u"0.3", u"", false, u""},
      {u"0.4", u"", false, u""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(txt::ToUtf8(c.version));
    XmlNodePtr langs = Languages((Text(u"<Languages version=\"") + c.version +
                                  u"\"><fr><Config><Labels><AppHotKeys_Caption>Ctrl+K</AppHotKeys_Caption>"
                                  u"<Title>Titre</Title></Labels><Options>" +
                                  c.options + u"</Options></Config></fr></Languages>")
                                     .c_str());
    ASSERT_TRUE(langs);
    EXPECT_EQ(CheckVersionChanges(langs), Text(c.version) != u"0.4");
    EXPECT_TEXT_EQ(langs->Attribut(u"version"), Text(u"0.4"));
    XmlNodePtr fr = langs->FindNode(u"fr");
    EXPECT_EQ(fr->GetChildNode(u"Config.Labels.AppHotKeys_Caption") == nullptr, c.moved);
    EXPECT_TEXT_EQ(fr->GetChildValue(u"Config.Options.KeyboardShortcuts"), Text(c.shortcut));
    EXPECT_TEXT_EQ(fr->GetChildValue(u"Config.Labels.Title"), Text(u"Titre"));
    // Later languages need no other attributes.
    EXPECT_TRUE(fr->Attribut(u"en_name").empty());
  }
  EXPECT_FALSE(CheckVersionChanges(nullptr));
}

TEST(FormatRules, ObsoleteFormatWarning) {
  struct Case { const char16_t *path, *version, *announced; bool warn; };
  const Case cases[] = {
      {u"C:\\Kestrova\\KestrovaTools\\KestrovaMenu\\Languages\\KestrovaMenu_fr.xml", u"0.4", u"0.5", true},
      {u"/suite/kestrovatools/kestrovamenu/languages/kestrovamenu_fr.xml", u"0.4", u"0.4.1", true},
      {u"/suite/KestrovaTools/KestrovaMenu/Languages/KestrovaMenu_fr.xml", u"0.4", u"0.4", false},
      {u"/suite/KestrovaTools/KestrovaMenu/Languages/KestrovaMenu_fr.xml", u"0.4", u"0.3", false},
      {u"/suite/KestrovaTools/KestrovaMenu/Languages/KestrovaMenu_fr.xml", u"0.4", u"", false},
      {u"/suite/KestrovaTools/SDX/SDX_fr.xml", u"0.4", u"0.5", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsObsoleteFormat(c.path, c.version, c.announced), c.warn) << txt::ToUtf8(c.path);
}

TEST(FormatRules, IconNamesAndReferenceLanguage) {
  EXPECT_TEXT_EQ(IconFileName(u"pt-BR"), Text(u"br.png"));
  EXPECT_TEXT_EQ(IconFileName(u"sr-Latn-CS"), Text(u"latn-cs.png"));
  EXPECT_TRUE(IsReferenceLangID(u"EN-gb"));
  EXPECT_FALSE(IsReferenceLangID(u"e"));
  EXPECT_FALSE(IsReferenceLangID(u"fr-EN"));
}
