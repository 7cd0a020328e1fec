// Comment removal, and the own-tag parse of commented documents.
#include <gtest/gtest.h>

#include <random>

#include "XmlTestUtil.h"
#include "xml/cXmlNode.h"
#include "xml/mXmlText.h"

using namespace xmltest;

namespace {

// The removal as literally described: find the first opening, drop it through the next
// closing after it (or through the end), start again from the beginning.
Text NaiveRemove(Text t) {
  while (true) {
    size_t a = t.find(u"<!--");
    if (a == Text::npos) return t;
    size_t b = t.find(u"-->", a + 4);
    t.erase(a, b == Text::npos ? Text::npos : b + 3 - a);
  }
}

Text Joined(TextView t, const std::vector<mXmlText::Range>& r) {
  Text out;
  for (const auto& x : r) out.append(t.substr(x.begin, x.end - x.begin));
  return out;
}

}  // namespace

// Random texts over the markers' own characters exercise openings formed across a removal,
// overlapping markers and unclosed comments, in both forms of the removal.
TEST(XmlComments, RemovalMatchesRestartingFromTheBeginning) {
  const struct { const char16_t* in; const char16_t* out; } named[] = {{u"a<!<!--x-->--y-->b", u"ab"}, {u"a<!--x", u"a"}};
  for (const auto& c : named) {
    Text out;
    mXmlText::DeleteRems(c.in, u"<!--", u"-->", out);
    EXPECT_EQ(U(out), U(c.out));
  }
  std::mt19937 rng(7);
  // "?" makes processing instructions, where an opening is text: there the removal that
  // searches as it goes is the judge of the one from a single scan.
  const char16_t alphabet[] = u"<!->a?";
  for (int round = 0; round < 30000; ++round) {
    Text t(rng() % 24, u'a');
    for (auto& c : t) c = alphabet[rng() % (round % 2 ? 6 : 5)];
    Text out, scanned;
    bool changed = mXmlText::DeleteRems(t, u"<!--", u"-->", out);
    ASSERT_EQ(mXmlText::StripComments(t, scanned), changed) << U(t);
    if (!changed) continue;
    ASSERT_EQ(U(scanned), U(out)) << U(t);
    if (t.find(u"<?") != Text::npos) continue;
    ASSERT_EQ(U(out), U(NaiveRemove(t))) << U(t);
    bool hasComment = false, hasDecl = false;
    std::vector<size_t> at;
    mXmlText::ScanMarkup(t, hasComment, hasDecl, &at);
    std::vector<mXmlText::Range> ranges;
    ASSERT_TRUE(mXmlText::KeptRanges(t, u"<!--", u"-->", ranges, &at)) << U(t);
    ASSERT_EQ(U(Joined(t, ranges)), U(out)) << U(t);
  }
}

// Comments put anywhere in a document: the own-tag parse must give the tag, attributes,
// value, lazy state, tree and text it gives for the same document with the comments
// already removed.
TEST(XmlComments, OwnTagOfCommentedTextEqualsThatOfTheCleanedText) {
  const char* docs[] = {
      "<r a=\"1\" b=\"x &amp; y\">\r\n\t<s>v</s>\r\n\t<t k=\"2\"><u/></t>\r\n</r>",
      "<r><r>same</r><q/></r>",
      "<r>text only</r>",
      "<r/>",
      "<r a=\"1\"/>",
      "<R><x/></r>",
      "<r><x/>",
      "  <r>\r\n<x/></r>  tail",
  };
  const char* inserts[] = {"<!-- c -->", "<!<!--x-->--y-->", "<!--", "<!-- <r> -->", " \r\n"};
  for (const char* d : docs) {
    Text base = T(d);
    for (const char* ins : inserts) {
      for (size_t at = 0; at <= base.size(); ++at) {
        Text doc = base;
        doc.insert(at, T(ins));
        Text cleaned;
        if (!mXmlText::DeleteRems(doc, u"<!--", u"-->", cleaned)) cleaned = doc;
        SCOPED_TRACE(U(doc));
        auto got = cXmlNode::FromXml(doc);
        auto want = cXmlNode::FromXml(cleaned);
        ASSERT_EQ(got->IsSleeping(), want->IsSleeping());
        ASSERT_EQ(Diff(got, want), "");  // own tag first, before anything wakes
        ASSERT_EQ(U(got->XmlData()), U(want->XmlData()));
      }
    }
  }
}

// A declaration that only appears once a comment is gone is still read and skipped.
// Regression (found by the fuzzer): "<!--" inside a processing instruction or a CDATA
// section opened a comment that swallowed the rest of the document. A commented document
// may also wake directly in full, without the one-level step.
TEST(XmlComments, MarkersInsideSectionsAndInstructionsAreText) {
  auto n = cXmlNode::FromXml(u"<?pi <!-- ?><r><s><![CDATA[<!--]]></s><!-- c --><t>x</t></r>");
  EXPECT_EQ(n->ChildCount(), 2);
  EXPECT_EQ(U(n->GetChildValue(u"r.s")), "<!--");
  auto full = cXmlNode::FromXml(u"<!-- h --><r n=\"1\"><!-- x --><a>1</a><b><!-- y --><c>2</c></b></r><!-- end");
  full->WakeUp(true);
  EXPECT_FALSE(full->IsSleeping());
  EXPECT_EQ(U(full->GetChildValue(u"r.b.c")), "2");
  // So is one quoted in a document type declaration (fuzzer: the document was lost).
  const char16_t* typed = u"<!DOCTYPE r [<!ENTITY e \"<!--\">]><r><!-- c --><a>1</a></r>";
  for (const auto& d : {cXmlNode::FromXml(typed), Doc(U(typed).c_str())}) EXPECT_EQ(U(d->GetChildValue(u"r.a")), "1");
}
