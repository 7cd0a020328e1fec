#include <gtest/gtest.h>
#include <pugixml.hpp>

#include "langedit/cProblemList.h"
#include "langedit/cReviewMarks.h"
#include "tests/common/TestUtil.h"

namespace {

using Reason = cReviewMarks::Reason;

XmlNodePtr Lang(const char16_t* xml) { return cXmlNode::FromXml(xml); }

// English with the characters a side file must carry through: markup, quotes, ampersands.
XmlNodePtr English(const char16_t* open = u"Open &lt;b&gt;&quot;%s&quot;&lt;/b&gt; &amp; more") {
  return Lang((Text(u"<en><Menu><Open>") + open + u"</Open><Save>Save</Save></Menu><Quit>Quit</Quit></en>").c_str());
}

}  // namespace

TEST(ReviewMarks, RecordMarkConfirmSurviveTheFileAndBrokenFilesAreKept) {
  testutil::TempDir dir;
  Text file = dir.tfile("sub/KsvLangEditor.review.xml");
  XmlNodePtr fr = Lang(u"<fr><Menu><Open>Ouvrir</Open><Save>Enregistrer</Save></Menu><Quit></Quit></fr>");
  {
    cReviewMarks m;
    m.Load(file);  // missing: nothing remembered, nothing broken
    EXPECT_FALSE(m.Broken());
    // First sight records the English as confirmed: nothing is marked on a first run.
    EXPECT_EQ(m.Reconcile(u"Tool A", u"FR", English(), fr), 0u);
    ASSERT_NE(m.Find(u"Tool A", u"fr", u"Menu.Open"), nullptr);
    EXPECT_EQ(m.Find(u"Tool A", u"fr", u"Quit"), nullptr);  // empty translations are not recorded
    m.Mark(u"Tool A", u"fr", u"Menu.Save", u"Save", Reason::Filled);
    m.Mark(u"Tool A", u"de", u"Quit", u"Quit", Reason::Imported);
    m.Confirm(u"Tool A", u"de", u"Quit", u"Quit");
    ASSERT_TRUE(m.Save());
  }
  // An independent reader sees the records, with the English text intact.
  pugi::xml_document doc;
  ASSERT_TRUE(doc.load_file(dir.file("sub/KsvLangEditor.review.xml").c_str()));
  pugi::xml_node lang = doc.child("KsvReviewMarks").find_child_by_attribute("Tool", "name", "Tool A")
                            .find_child_by_attribute("Lang", "id", "fr");
  EXPECT_STREQ(lang.find_child_by_attribute("S", "key", "Menu.Open").child_value(),
               "Open <b>\"%s\"</b> & more");
  EXPECT_STREQ(lang.find_child_by_attribute("S", "key", "Menu.Save").attribute("review").value(), "filled");

  cReviewMarks m;
  m.Load(file);
  EXPECT_EQ(m.Pending(u"Tool A", u"fr", u"Menu.Save"), Reason::Filled);
  EXPECT_EQ(m.Pending(u"Tool A", u"de", u"Quit"), Reason::None);
  EXPECT_EQ(m.Pending(u"Tool B", u"fr", u"Menu.Save"), Reason::None);  // per tool
  // The English of one key changed in the file: its translation is marked, once.
  XmlNodePtr en2 = English(u"Open a file");
  EXPECT_EQ(m.Reconcile(u"Tool A", u"fr", en2, fr), 1u);
  EXPECT_EQ(m.Reconcile(u"Tool A", u"fr", en2, fr), 0u);
  std::vector<StringFindings> f = m.Findings(u"Tool A", u"fr", fr);
  ASSERT_EQ(f.size(), 2u);  // tree order
  EXPECT_EQ(f[0].path, u"Menu.Open");
  EXPECT_EQ(f[0].findings[0].kind, CheckKind::NeedsReview);
  EXPECT_EQ(f[0].findings[0].message, cReviewMarks::Message(Reason::EnglishChanged));
  m.Confirm(u"Tool A", u"fr", u"Menu.Open", u"Open a file");
  EXPECT_EQ(m.Reconcile(u"Tool A", u"fr", en2, fr), 0u);
  EXPECT_EQ(m.Findings(u"Tool A", u"fr", fr).size(), 1u);

  // A broken file means no marks, and first-seen records alone do not overwrite it.
  for (const char* broken : {"<<< not xml", "<Other><Tool name=\"Tool A\"/></Other>", "<KsvReviewMarks><Tool name="}) {
    SCOPED_TRACE(broken);
    testutil::WriteAll(dir.file("sub/KsvLangEditor.review.xml"), broken);
    cReviewMarks b;
    b.Load(file);
    EXPECT_TRUE(b.Broken());
    EXPECT_EQ(b.Reconcile(u"Tool A", u"fr", English(), fr), 0u);
    ASSERT_TRUE(b.Save());
    EXPECT_EQ(testutil::ReadAll(dir.file("sub/KsvLangEditor.review.xml")), broken);
    b.Mark(u"Tool A", u"fr", u"Menu.Open", u"x", Reason::Filled);
    ASSERT_TRUE(b.Save());
    cReviewMarks again;
    again.Load(file);
    EXPECT_FALSE(again.Broken());
    EXPECT_EQ(again.Pending(u"Tool A", u"fr", u"Menu.Open"), Reason::Filled);
  }
}

TEST(ReviewMarks, ProblemListOrdersFiltersCountsAndReplacesOneString) {
  auto F = [](CheckKind k, CheckSeverity s) { return CheckFinding{k, s, u"m", {}}; };
  cProblemList p;
  p.SetOrder({u"A", u"B", u"C"}, {u"en", u"fr", u"de"});
  p.SetFindings(u"pt-BR", u"checks", {{u"A", {F(CheckKind::Spaces, CheckSeverity::Warning)}}});
  p.SetFindings(u"de", u"checks", {{u"C", {F(CheckKind::Length, CheckSeverity::Warning)}}});
  p.SetFindings(u"fr", u"checks",
                {{u"Orphan", {F(CheckKind::Orphan, CheckSeverity::Error)}},
                 {u"B", {F(CheckKind::Spaces, CheckSeverity::Warning), F(CheckKind::Markup, CheckSeverity::Error)}}});
  p.SetFindings(u"FR", u"review", {{u"A", {F(CheckKind::NeedsReview, CheckSeverity::Warning)}}});
  auto keys = [](const std::vector<cProblemList::Row>& rows) {
    std::vector<Text> out;
    for (const auto& r : rows) out.push_back(r.langId + u"/" + r.path + u"/" + Text(1, char16_t(u'a' + int(r.finding->kind))));
    return out;
  };
  // Languages in list order; strings in tree order, orphans last; errors first in a string.
  EXPECT_EQ(keys(p.Rows()), (std::vector<Text>{u"fr/A/j", u"fr/B/b", u"fr/B/e", u"fr/Orphan/c", u"de/C/h", u"pt-BR/A/e"}));
  EXPECT_EQ(keys(p.Rows({{u"DE"}, cProblemList::SeverityFilter::All})), (std::vector<Text>{u"de/C/h"}));
  EXPECT_EQ(p.Rows({{}, cProblemList::SeverityFilter::Errors}).size(), 2u);
  cProblemList::Counts c = p.Count({u"fr"});
  EXPECT_EQ(c.errors, 2u);
  EXPECT_EQ(c.warnings, 1u);
  EXPECT_EQ(c.review, 1u);
  CheckSeverity worst;
  EXPECT_TRUE(p.Worst(u"", u"B", worst) && worst == CheckSeverity::Error);
  EXPECT_TRUE(p.Worst(u"de", u"C", worst) && worst == CheckSeverity::Warning);
  EXPECT_FALSE(p.Worst(u"de", u"B", worst));
  p.SetString(u"fr", u"checks", u"B", {});  // fixed by typing
  EXPECT_FALSE(p.Worst(u"fr", u"B", worst));
  EXPECT_EQ(p.Langs(), (std::vector<Text>{u"de", u"fr", u"pt-BR"}));
  p.Forget(u"fr");
  EXPECT_EQ(p.Count().Total(), 2u);
}
