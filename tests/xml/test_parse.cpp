// Parsing: the own-tag parse with lazy expansion and the one-pass parse, on good and bad input.
#include <gtest/gtest.h>
#include <pthread.h>

#include <functional>

#include "XmlOracle.h"
#include "storage/mStringTools.h"
#include "tests/common/TestUtil.h"
#include "xml/cXmlNode.h"
#include "xml/mXmlText.h"

using namespace xmltest;

namespace {

// Runs fn on a thread with a small stack; false when the thread could not be started.
bool RunOnSmallStack(std::function<void()> fn) {
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setstacksize(&attr, 256 * 1024);
  pthread_t th;
  auto call = [](void* p) -> void* {
    (*static_cast<std::function<void()>*>(p))();
    return nullptr;
  };
  bool started = pthread_create(&th, &attr, call, &fn) == 0;
  pthread_attr_destroy(&attr);
  if (started) pthread_join(th, nullptr);
  return started;
}

}  // namespace

// Every well-formed document gives the same tree through the lazy road (own tag, then one
// level at a time) and through the one-pass parse, and is written back well-formed.
TEST(XmlParse, LazyAndOnePassGiveTheSameTree) {
  const char* docs[] = {
      "<a/>",
      "<a x=\"1\" y=\"2\"/>",
      "<a>text</a>",
      "<a>  spaced &amp; text  </a>",
      "<a>\r\n\t<b>1</b>\r\n\t<c x=\"&lt;&quot;\"/>\r\n</a>",
      "<Languages version=\"0.4\">\r\n\t<fr name=\"Fran\xC3\xA7" "ais\">\r\n\t\t<G1>\r\n\t\t\t<S1>a &amp; b</S1>\r\n"
      "\t\t\t<S2/>\r\n\t\t</G1>\r\n\t</fr>\r\n</Languages>",
      "<a><a><a>deep</a></a><a>two</a></a>",
      "<r><x>\r\n</x><y> <![CDATA[ <b>&amp;</b> ]]> </y></r>",
      "<?xml version=\"1.0\"?>\r\n<!-- head --><r><!-- <gone/> --><k>v</k></r>",
      "<r><d ContentEncoding=\"base64\">\r\n QUJD\r\n</d></r>",
      // Nesting of the same and of different names, where learnt element ends are used.
      "<r><a><b><a>x</a><b/></b><A k=\"1\">y</A></a><c>1</c></r>",
      "<r>\r\n\t<g>\r\n\t\t<g>\r\n\t\t\t<s>v</s>\r\n\t\t</g>\r\n\t\t<g><s/></g>\r\n\t</g>\r\n</r>",
      "<r><!-- <a> --><a><a><b>1</b></a><b><a>2</a></b></a></r>",
      "<r><ab><a>1</a></ab><a><ab>2</ab></a></r>",
  };
  for (const char* d : docs) {
    EXPECT_TRUE(ReaderAccepts(d)) << d;
    EXPECT_EQ(CheckDocument(T(d)), "") << d;
  }
}

TEST(XmlParse, OwnTagParseIsLazyUntilChildrenAreAsked) {
  auto n = Lazy("<r a=\"1\"><b>x</b><c/></r>");
  EXPECT_EQ(U(n->Attribut(u"a")), "1");
  EXPECT_TRUE(n->IsSleeping());  // reading the own tag does not wake
  EXPECT_EQ(n->ChildCount(), 2);
  EXPECT_TRUE(n->Child(1)->IsSleeping());  // one level only
  // The own-tag parse finds its closing tag in any case (the one-pass parse does not).
  EXPECT_EQ(U(Lazy("<Item>v</ITEM>")->Value()), "v");
}

TEST(XmlParse, ElementShapes) {
  struct Case {
    const char* xml;
    const char* name;
    const char* attrs;  // name=value;...
    const char* raw;
    long children;
  };
  const Case cases[] = {
      {"<e a=\"1\" b=\"2\"/>", "e", "a=1;b=2;", "", 0},
      {"<e> x &amp; y </e>", "e", "", " x & y ", 0},
      {"<e>\r\n <![CDATA[a<b &amp;]]>\r\n</e>", "e", "", "<![CDATA[a<b &amp;]]>", 0},
      {"<e>text <b>bold</b></e>", "e", "", "text <b>bold</b>", 0},
      {"<e><e>1</e><e>2</e></e>", "e", "", "", 2},
      {"<e a='1' b=\"\" c='\"3\"'/>", "e", "a=1;c=\"3\";", "", 0},  // either quote; an empty value is no attribute
      {"<e a=\"1\" A=\"2\"/>", "e", "a=2;", "", 0},
      {"<e><!-- <x/> --></e>", "e", "", "", 0},
      {"<e x=\"caf\xC3\xA9 &#233;\"/>", "e", "x=caf\xC3\xA9 \xC3\xA9;", "", 0},
      {"<e\r\n\tx=\"1\"\r\n/>", "e", "x=1;", "", 0},
      // Regressions: a document type became an element "!DOCTYPE" (with an internal subset
      // the whole document was lost); text after a first child was lost; text holding an
      // element of its own name was cut at the inner closing tag; processing instructions
      // became elements.
      {"<!DOCTYPE e [<!ENTITY x \"]>\"> <!ELEMENT e ANY>]>\r\n<e k=\"v\"><b/></e>", "e", "k=v;", "", 1},
      {"<?xml version=\"1.0\"?><!DOCTYPE e SYSTEM \"e.dtd\"><?pi x?><e>t</e><?after?>", "e", "", "t", 0},
      {"<e><b>here</b> now</e>", "e", "", "<b>here</b> now", 0},
      {"<e><b/>\r\n<c/> x <d/></e>", "e", "", "<b/>\r\n<c/> x <d/>", 0},
      {"<e>x<e>y</e>z</e>", "e", "", "x<e>y</e>z", 0},
      {"<e><e>y</e>z</e>", "e", "", "<e>y</e>z", 0},
      {"<e> <?pi <b/>?> <b/> <?pi?> <c/></e>", "e", "", "", 2},
      {"<e>a<?pi?>b</e>", "e", "", "a<?pi?>b", 0},
      {"<e><b><![CDATA[<e></b>]]></b> x</e>", "e", "", "<b><![CDATA[<e></b>]]></b> x", 0},  // found by the fuzzer
  };
  for (const auto& c : cases) {
    for (int road = 0; road < 2; ++road) {
      SCOPED_TRACE(std::string(c.xml) + (road ? " one-pass" : " lazy"));
      auto n = road ? Doc(c.xml) : Lazy(c.xml);
      EXPECT_EQ(U(n->Name()), c.name);
      std::string attrs;
      for (long i = 1; i <= n->AttrCount(); ++i) attrs += U(n->AttrName(i)) + "=" + U(n->AttrValue(i)) + ";";
      EXPECT_EQ(attrs, c.attrs);
      EXPECT_EQ(n->ChildCount(), c.children);
      EXPECT_EQ(U(n->RawValue()), c.raw);
    }
  }
  // Value unwraps a section only when it is the whole value.
  EXPECT_EQ(U(Leaf(u"e", u"<![CDATA[a<b]]>")->Value()), "a<b");
  EXPECT_EQ(U(Leaf(u"e", u"x <![CDATA[a<b]]>")->Value()), "x <![CDATA[a<b]]>");
}

TEST(XmlParse, EntityDecoding) {
  struct Case { const char* in; const char* out; };
  const Case cases[] = {
      {"&lt;&gt;&apos;&quot;&amp;", "<>'\"&"},
      {"&#65;&#x41;", "AA"},
      {"&#X41;", "?"},          // only a lower-case x marks hexadecimal
      {"&AMP;x", "?x"},         // unknown (names are case-sensitive)
      {"&#128;&#x80;", "\xE2\x82\xAC\xE2\x82\xAC"},  // code page 1252
      {"&#x4E2D;&#8364;", "\xE4\xB8\xAD\xE2\x82\xAC"},  // above 255: the Unicode character
      {"&amp;&#x110000; stays", "&amp;&#x110000; stays"},  // invalid code: undecoded
      {"tail &amp", "tail &"},
  };
  for (const auto& c : cases) EXPECT_EQ(U(cXmlNode::DecodeSpecialChars(T(c.in))), c.out) << c.in;
}

// Regression: a reference above 255 was kept undecoded and its "&" escaped again on every
// save, so the text grew by "amp;" per load/save cycle.
TEST(XmlParse, WideCharacterReferenceSurvivesSaveCycles) {
  auto n = Doc("<s>&#x4E2D;&amp;</s>");
  Text first = n->XmlData();
  for (int i = 0; i < 3; ++i) n->XmlData___NonRecursif(n->XmlData());
  EXPECT_EQ(U(n->XmlData()), U(first));
  EXPECT_EQ(U(n->Value()), "\xE4\xB8\xAD&");
}

TEST(XmlParse, Declaration) {
  auto n = Lazy("<?xml version=\"1.1\" encoding=\"utf-8\"?>\r\n<r>x</r>");
  EXPECT_EQ(U(n->XMLVersion()), "1.1");
  EXPECT_EQ(U(n->XMLEncoding()), "");  // ignored while the flag is set
  auto m = cXmlNode::New();
  m->IgnoreDeclaredEncoding(false);
  m->XmlData(T("<?xml version=\"1.0\" encoding=\"UTF-8\"?><r>caf\xC3\x83\xC2\xA9</r>"));
  EXPECT_EQ(U(m->XMLEncoding()), "UTF-8");
  // The value's characters are UTF-8 bytes: decoded.
  EXPECT_EQ(U(m->Value()), "caf\xC3\xA9");
  // Nodes without any encoding skip the walk to their root; that shortcut must end while
  // any node holds one.
  const Text doc = u"<r><g><s>caf\u00C3\u00A9</s></g></r>";
  auto root = cXmlNode::New();
  root->XMLEncoding(u"UTF-8");
  root->XmlData(doc);
  {
    auto gone = cXmlNode::New();
    gone->XMLEncoding(u"utf-8");
    gone->XMLEncoding(u"");  // cleared, then destroyed: the root still counts
  }
  EXPECT_EQ(U(root->GetChildValue(u"r.g.s")), "caf\xC3\xA9");
  root->XMLEncoding(u"");
  root->XmlData(doc);
  EXPECT_EQ(U(root->GetChildValue(u"r.g.s")), "caf\xC3\x83\xC2\xA9");
  auto c = Doc("<?xml version=\"1.0\"?><r><c>1</c></r>");
  EXPECT_EQ(U(c->XMLVersion()), "1.0");
  EXPECT_EQ(U(c->Child(1)->XMLVersion()), "1.0");
  EXPECT_EQ(c->ChildCount(), 1);
}

namespace {
Text Nested(int depth, const char16_t* leaf) {
  Text doc;
  doc.reserve(static_cast<size_t>(depth) * 8);
  for (int i = 0; i < depth; ++i) doc += u"<n>";
  doc += leaf;
  for (int i = 0; i < depth; ++i) doc += u"</n>";
  return doc;
}
}  // namespace

// Run on a 256 KB stack: any recursion per level would overflow it long before the end.
// Parsing, copying, searching, deep comparison, sorting and writing all walk hostile depths.
TEST(XmlParse, DeepNestingWithoutRecursion) {
  const int depth = 100000;
  long before = cXmlNode::LiveCount();
  EXPECT_TRUE(RunOnSmallStack([&] {
    auto a = cXmlNode::New();
    a->XmlData___NonRecursif(Nested(depth, u"x"));
    auto b = a->Clone();
    EXPECT_EQ(b->NodeCount(), depth - 1);
    EXPECT_TRUE(cXmlNode::NodeMatch(a, b, nullptr, true));
    auto deepest = b;
    while (deepest->ChildCount() > 0) deepest = deepest->Child(1);
    EXPECT_EQ(deepest->Depth(), depth - 1);
    EXPECT_EQ(U(b->FindNode(u"n=x", true)->Value()), "x");
    deepest->Name(u"z");
    EXPECT_FALSE(cXmlNode::NodeMatch(a, b, nullptr, true));
    deepest->AddChild(cXmlNode::FromXml(u"<q/>"));
    deepest->AddChild(cXmlNode::FromXml(u"<p/>"));
    b->SortChilds(u"name", 0, depth + 5);
    EXPECT_EQ(U(deepest->Child(1)->Name()), "p");
    auto probe = cXmlNode::FromXml(u"<z/>");
    EXPECT_EQ(b->FindFirstMatch(probe, nullptr, depth), deepest);
    EXPECT_EQ(b->FindFirstMatch(probe, nullptr, depth - 3), nullptr);
    a->DeleteEmptyChilds(true);
    // Indentation makes the text quadratic in the depth: write a shallower chain.
    auto c = cXmlNode::New();
    c->XmlData___NonRecursif(Nested(3000, u"x"));
    Text out = c->XmlData();
    c->XmlData___NonRecursif(out);
    EXPECT_EQ(c->NodeCount(), 2999);
    EXPECT_EQ(U(c->XmlData()), U(out));
  }));
  EXPECT_EQ(cXmlNode::LiveCount(), before);
}

// The lazy road down a deep chain, one level per step, on a small stack. Each level must
// not search its whole text again (100,000 levels once took minutes). Same-name nesting,
// names that change at every level and a mix of both take different roads to the ends.
TEST(XmlParse, DeepNestingWalksLazily) {
  const int depth = 100000;
  auto nameAt = [](int level, int shape) -> Text {
    if (shape == 0) return u"n";
    if (shape == 1) return u"n" + txt::FromInt(level);
    return (level % 3 == 0) ? Text(u"n") : (level % 3 == 1 ? Text(u"N") : Text(u"m"));
  };
  for (int shape = 0; shape < 3; ++shape) {
    SCOPED_TRACE(shape);
    Text doc;
    doc.reserve(static_cast<size_t>(depth) * 20);
    for (int i = 0; i < depth; ++i) doc += u"<" + nameAt(i, shape) + (i % 2 ? u" k=\"v\">" : u">");
    doc += u"x";
    for (int i = depth; i-- > 0;) doc += u"</" + nameAt(i, shape) + u">";
    EXPECT_TRUE(RunOnSmallStack([&] {
      auto n = cXmlNode::New();
      n->XmlData(doc);
      auto cur = n;
      long steps = 0;
      bool namesRight = true;
      while (cur->ChildCount() == 1) {
        cur = cur->Child(1);
        ++steps;
        if (cur->Name() != nameAt(static_cast<int>(steps), shape)) namesRight = false;
      }
      EXPECT_EQ(steps, depth - 1);
      EXPECT_TRUE(namesRight);
      EXPECT_EQ(U(cur->Value()), "x");
      EXPECT_EQ(U(cur->Attribut(u"k")), "v");
    }));
  }
}
