// Merge and match rules.
#include <gtest/gtest.h>

#include "XmlTestUtil.h"
#include "xml/cXmlNode.h"

using namespace xmltest;

TEST(XmlMerge, EmptyRulesMergeByNameAndKeepExtras) {
  auto dst = Doc("<r><a x=\"1\">old</a><keep>k</keep></r>");
  auto src = Doc("<r><a y=\"2\">new</a><add><z>1</z></add></r>");
  EXPECT_TRUE(dst->MergeXml(src));
  EXPECT_EQ(U(dst->XmlData()), "<r>\r\n\t<a x=\"1\" y=\"2\">new</a>\r\n\t<keep>k</keep>\r\n\t<add>\r\n\t\t<z>1</z>\r\n\t</add>\r\n</r>");
  // The appended part is a copy.
  src->GetChildNode(u"add.z")->Value(u"changed");
  EXPECT_EQ(U(dst->GetChildValue(u"add.z")), "1");
  EXPECT_FALSE(dst->MergeXml(nullptr));
  // Merging a tree with its own part terminates.
  auto a = dst->Child(3);
  EXPECT_TRUE(a->MergeXml(dst));
  EXPECT_TRUE(dst->MergeXml(a));
  EXPECT_TRUE(dst->MergeXml(dst));
  EXPECT_LT(dst->NodeCount(), 20);
}

TEST(XmlMerge, RulesMakeKeysOfAttributes) {
  auto rules = Doc(
      "<MergeRules><MatchRule path=\"Lang\"><Attribut name=\"id\"/></MatchRule>"
      "<Other path=\"Lang\"><Attribut name=\"nope\"/></Other></MergeRules>");
  auto dst = Doc("<L><Lang id=\"fr\"><s>1</s></Lang></L>");
  auto src = Doc("<L><Lang id=\"de\"><s>2</s></Lang><Lang id=\"fr\"><t>3</t></Lang></L>");
  dst->MergeXml(src, rules);
  ASSERT_EQ(dst->ChildCount(), 2);
  EXPECT_EQ(U(dst->Child(1)->XmlData()), "<Lang id=\"fr\">\r\n\t<s>1</s>\r\n\t<t>3</t>\r\n</Lang>");
  EXPECT_EQ(U(dst->Child(2)->Attribut(u"id")), "de");
}

TEST(XmlMerge, MatchRuleItems) {
  auto doc = Doc(
      "<html><div id=\"result_box\"><span>x</span></div><div id=\"Other\"/><p id=\"result_box\"/>"
      "<div class=\"c\"><k>V</k></div></html>");
  struct Case {
    const char* rules;
    const char* hits;  // ids (or names) of the hits in document order
  };
  const Case cases[] = {
      {"<MergeRules><MatchRule path=\"div\"><Attribut name=\"id\">result_box</Attribut></MatchRule></MergeRules>", "result_box "},
      {"<MergeRules><MatchRule path=\"div\"><Attribut name=\"id\">other</Attribut></MatchRule></MergeRules>", ""},
      {"<MergeRules><MatchRule path=\"div\"><Attribut name=\"id\" case=\"ci\">other</Attribut></MatchRule></MergeRules>", "Other "},
      {"<MergeRules><MatchRule path=\"div\"><Child name=\"k\">V</Child></MatchRule></MergeRules>", "div "},
      {"<MergeRules><MatchRule path=\"span\"><Attribut name=\"id\" parentdepth=\"1\">result_box</Attribut></MatchRule></MergeRules>", "span "},
      // A failing filter skips its rule; the next rule decides.
      {"<MergeRules><MatchRule path=\"div\"><Attribut name=\"class\" type=\"filter\"/><Child name=\"k\"/></MatchRule>"
       "<MatchRule path=\"p\"/></MergeRules>", "result_box div "},
      {"<MergeRules><Other path=\"div\"/></MergeRules>", ""},
  };
  for (const auto& c : cases) {
    auto rules = Doc(c.rules);
    std::string hits;
    for (auto& n : doc->FindNodes(rules)) hits += (n->Attribut(u"id").empty() ? U(n->Name()) : U(n->Attribut(u"id"))) + " ";
    EXPECT_EQ(hits, c.hits) << c.rules;
  }
  auto rules = Doc("<MergeRules><MatchRule path=\"div\"/></MergeRules>");
  EXPECT_EQ(doc->FindNodes(rules, nullptr, 2).size(), 2u);
  doc->DelChilds(rules);
  EXPECT_EQ(doc->ChildCount(), 1);
  EXPECT_EQ(U(doc->Child(1)->Name()), "p");
}

TEST(XmlMerge, NodeMatchRulesFiltersAndDepth) {
  auto rules = Doc(
      "<MergeRules><MatchRule path=\"Lang\"><Attribut name=\"kind\" type=\"filter\">x</Attribut>"
      "<Attribut name=\"id\"/></MatchRule></MergeRules>");
  auto a = Doc("<Lang id=\"1\" kind=\"x\"><c/></Lang>");
  auto b = Doc("<Lang id=\"2\" kind=\"x\"><c/></Lang>");
  auto c = Doc("<Lang id=\"2\" kind=\"y\"><c/><c/></Lang>");
  EXPECT_FALSE(cXmlNode::NodeMatch(a, b, rules, false));  // ids differ
  EXPECT_TRUE(cXmlNode::NodeMatch(a, c, rules, false));   // filter fails: by name alone
  EXPECT_FALSE(cXmlNode::NodeMatch(a, c, rules, true));   // child counts differ
  EXPECT_FALSE(a->Match(Doc("<lang/>")));
  auto tree = Doc("<r><s><Lang id=\"1\" kind=\"x\"/></s></r>");
  EXPECT_EQ(tree->FindFirstMatch(a, rules, 1), nullptr);
  auto hit = tree->FindFirstMatch(a, rules, 2);
  ASSERT_TRUE(hit);
  EXPECT_EQ(U(hit->Path()), "r.s.Lang");
}

// A child that fails against one partner must still be tried against the later ones, and a
// partner once taken is not taken twice.
TEST(XmlMerge, DeepMatchPairsChildrenInAnyOrder) {
  struct Case { const char* a; const char* b; bool match; };
  const Case cases[] = {
      {"<r><c><x/></c><c/></r>", "<r><c/><c><x/></c></r>", true},
      {"<r><c><x/></c><c/></r>", "<r><c><x/></c><c><x/></c></r>", false},
      {"<r><c/><c/></r>", "<r><c/><d/></r>", false},
      {"<r><c><x><y/></x></c></r>", "<r><c><x><z/></x></c></r>", false},
      {"<r><c><x><y/></x></c><c/></r>", "<r><c/><c><x><y/></x></c></r>", true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(cXmlNode::NodeMatch(Doc(c.a), Doc(c.b), nullptr, true), c.match) << c.a << " / " << c.b;
    EXPECT_EQ(cXmlNode::NodeMatch(Doc(c.b), Doc(c.a), nullptr, true), c.match) << c.b << " / " << c.a;
  }
}

TEST(XmlMerge, UpdateDataChangesOnlyWhatCorresponds) {
  auto dst = Doc("<r v=\"1\"><a k=\"old\">x</a><b>keep</b></r>");
  auto src = Doc("<r v=\"2\" extra=\"no\"><a k=\"new\">y</a><c>new</c></r>");
  dst->UpdateData(src);
  EXPECT_EQ(U(dst->XmlData()), "<r v=\"2\">\r\n\t<a k=\"new\">y</a>\r\n\t<b>keep</b>\r\n</r>");
}
