// Learnt element ends: the table must give exactly what a closing-tag search gives on any
// view inside the learnt range, for tidy and hostile markup alike.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "XmlTestUtil.h"
#include "xml/cXmlNode.h"
#include "xml/cXmlTagEnds.h"
#include "xml/mXmlText.h"

using namespace xmltest;

namespace {

// The name the element walk would search the end of for the "<" at `o`; empty when that
// "<" opens no element with a closing tag (closing tags, self-closing tags, no ">").
Text NameAt(TextView t, size_t o) {
  size_t gt = t.find(u'>', o);
  if (gt == TextView::npos || t[gt - 1] == u'/') return Text();
  size_t end = t.find_first_of(u" \t\r\n", o);
  if (end == TextView::npos || end > gt) end = gt;
  return Text(t.substr(o + 1, end - o - 1));
}

bool Learnable(TextView name) { return !name.empty() && name.find_first_of(u"</> \t\r\n") == TextView::npos; }

// Compares every lookup the table can answer with the search, on the whole text and on
// random views around each "<". Returns the number of answered lookups.
int CompareWithSearch(const Text& t, std::mt19937& rng) {
  cXmlTagEnds ends;
  EXPECT_TRUE(ends.Learn(t, 0, t.size()));
  int answered = 0;
  for (size_t o = 0; o < t.size(); ++o) {
    if (t[o] != u'<') continue;
    // Inside a CDATA section nothing is an element: skip the whole section.
    if (t.compare(o, 9, u"<![CDATA[") == 0) {
      size_t e = t.find(u"]]>", o + 9);
      if (e == Text::npos) break;
      o = e + 2;
      continue;
    }
    Text name = NameAt(t, o);
    if (name.empty()) continue;
    for (int v = 0; v < 4; ++v) {
      size_t b = v == 0 ? 0 : std::uniform_int_distribution<size_t>(0, o)(rng);
      size_t e = v == 0 ? t.size() : std::uniform_int_distribution<size_t>(o + 1, t.size())(rng);
      TextView view = TextView(t).substr(b, e - b);
      size_t want = mXmlText::FindTagEnd(view, o - b, name);
      size_t got = 0;
      bool known = ends.Lookup(b, e, o, name.size(), got);
      if (Learnable(name) && !known && t[o + 1] != u'/') ADD_FAILURE() << "unknown end for " << U(name);
      if (!known) continue;
      ++answered;
      size_t gotInView = got == cXmlTagEnds::npos ? got : got - b;
      EXPECT_EQ(gotInView, want) << U(t) << "\n at " << o << " view " << b << ".." << e;
    }
  }
  return answered;
}

}  // namespace

TEST(XmlTagEnds, AgreesWithTheSearchOnTrickyAndRandomMarkup) {
  const char* docs[] = {
      "<a><a><a>deep</a></a><a>two</a></a>",
      "<a><A x=\"1\"><a/></a></A>tail",           // case ignored, self-closing not counted
      "<a><b></a></b>",                           // crossed ends: each name on its own
      "<a><b><a></b></a></a>",
      "<a></a ></a>",                              // "</a >" is no closing tag
      "<a<b>x</b></a>",                            // "<" inside a would-be name
      "<ab><a>x</a></ab><a >y</a>",               // prefixes of other names
      "<a><!-- <a> --></a></a>",                   // the search does not skip comments
      "<a><![CDATA[<a>]]></a></a>",
      "<a x=\"<a>\"></a></a>",
      "<a>no end",
      "<a /><a x=\"/\">v</a>",
      "</a><a></a>",
      "<?xml version=\"1.0\"?><a><b>1</b><b>2</b></a>",
      "<a\tb>tab in the name</a\tb>",
      "<<<a>>></a>",
  };
  std::mt19937 rng(7);
  int answered = 0;
  for (const char* d : docs) answered += CompareWithSearch(T(d), rng);
  EXPECT_GT(answered, 100);
  // Random soup of tag pieces, most of them broken, to reach the cases no one thought of.
  const char* pieces[] = {"<a>", "</a>", "<A>", "</A>", "<a ", "<b>", "</b>", "<a/>", "<a />", "</a >",
                          "<ab>", "</ab>", "<", ">", "/", " ", "x", "\"", "<b x=\"1\">", "<!--", "-->",
                          "</", "<a\t>", "</a\t>", "<![CDATA[", "]]>"};
  std::uniform_int_distribution<size_t> pick(0, std::size(pieces) - 1);
  for (int round = 0; round < 400; ++round) {
    std::string s;
    for (int i = 1 + static_cast<int>(rng() % 40); i > 0; --i) s += pieces[pick(rng)];
    answered += CompareWithSearch(T(s.c_str()), rng);
  }
  EXPECT_GT(answered, 2100);
}

// The scans behind every tag and value, many characters a round: each position of the
// character searched and of the one noted, against the rounds' edges, as a plain walk finds it.
TEST(XmlScan, FindsTheCharacterAndNotesTheOtherAtEveryPosition) {
  for (size_t len : {0, 1, 7, 8, 15, 16, 17, 31, 32, 33, 47, 70}) {
    for (size_t lt = 0; lt <= len; ++lt) {
      for (size_t amp = 0; amp <= len; ++amp) {
        Text t(len, u'x');
        if (amp < len) t[amp] = u'&';
        if (lt < len) t[lt] = u'<';
        for (size_t from : {size_t(0), size_t(1), len / 2}) {
          size_t want = t.find(u'<', from);
          size_t stop = want == Text::npos ? len : want;
          bool wantSeen = from < stop && TextView(t).substr(from, stop - from).find(u'&') != TextView::npos;
          bool seen = !wantSeen;
          ASSERT_EQ(mXmlText::FindCharNoting(t, u'<', u'&', from, seen), want) << len << " " << lt << " " << amp;
          ASSERT_EQ(seen, wantSeen) << len << " " << lt << " " << amp << " from " << from;
          ASSERT_EQ(mXmlText::FindChar(t, u'<', from), want);
        }
      }
    }
  }
}
