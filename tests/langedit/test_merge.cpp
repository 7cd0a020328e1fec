// Three-way merge of a language element: what changed on disk since loading meets what
// was edited here, string by string, with conflicts answered either way.
#include <gtest/gtest.h>

#include "langedit/cLangMerge.h"
#include "langedit/cLangSaver.h"
#include "tests/common/TestUtil.h"

namespace {

XmlNodePtr Fr(const std::string& attrs, const std::string& body) {
  return cXmlNode::FromXml(txt::FromUtf8("<fr " + attrs + ">" + body + "</fr>"));
}
// Both sides as a save writes them, so order and empty elements do not matter.
std::string Written(const XmlNodePtr& lang) {
  cLangSaver::PrepareLang(lang);
  return txt::ToUtf8(lang->XmlData());
}

const std::string kT = "<G><T>a</T><U>u</U></G>";
const std::string kBob = "<Contributors><Contributor name=\"Bob\" email=\"b@x\"/></Contributors>";

struct Case {
  const char* what;
  std::string base, theirs, ours;  // "attrs|body"
  std::vector<std::string> conflicts;
  std::string keep, take;  // result with every conflict kept as ours / taken from disk
};

const Case kCases[] = {
    {"only theirs", "|" + kT, "|<G><T>b</T><U>u</U></G>", "|" + kT, {}, "|<G><T>b</T><U>u</U></G>", ""},
    {"only ours", "|" + kT, "|" + kT, "|<G><T>c</T><U>u</U></G>", {}, "|<G><T>c</T><U>u</U></G>", ""},
    {"both same", "|" + kT, "|<G><T>b</T><U>u</U></G>", "|<G><T>b</T><U>u</U></G>", {}, "|<G><T>b</T><U>u</U></G>", ""},
    {"different strings", "|" + kT, "|<G><T>b</T><U>u</U></G>", "|<G><T>a</T><U>v</U></G>", {},
     "|<G><T>b</T><U>v</U></G>", ""},
    {"both different", "|" + kT, "|<G><T>b</T><U>u</U></G>", "|<G><T>c</T><U>u</U></G>", {"G.T a|b|c"},
     "|<G><T>c</T><U>u</U></G>", "|<G><T>b</T><U>u</U></G>"},
    {"added on disk, new group", "|" + kT, "|" + kT + "<H><N>n</N></H>", "|" + kT, {}, "|" + kT + "<H><N>n</N></H>", ""},
    {"added here", "|" + kT, "|" + kT, "|" + kT + "<H><N>n</N></H>", {}, "|" + kT + "<H><N>n</N></H>", ""},
    {"added on both sides differently", "|" + kT, "|" + kT + "<H>x</H>", "|" + kT + "<H>y</H>", {"H |x|y"},
     "|" + kT + "<H>y</H>", "|" + kT + "<H>x</H>"},
    {"removed on disk", "|" + kT, "|<G><U>u</U></G>", "|" + kT, {}, "|<G><U>u</U></G>", ""},
    {"removed on disk, edited here", "|" + kT, "|<G><U>u</U></G>", "|<G><T>c</T><U>u</U></G>", {"G.T a||c"},
     "|<G><T>c</T><U>u</U></G>", "|<G><U>u</U></G>"},
    {"emptied here, kept on disk", "|" + kT, "|" + kT, "|<G><T></T><U>u</U></G>", {}, "|<G><U>u</U></G>", ""},
    {"names differ in case only", "|" + kT, "|<g><t>b</t><U>u</U></g>", "|" + kT, {}, "|<G><T>b</T><U>u</U></G>", ""},
    {"attributes", "name=\"F\" version=\"1\" date=\"2020-01-01\"|" + kT,
     "name=\"F\" version=\"2\" date=\"2021-01-01\"|" + kT, "name=\"Fr\" version=\"1\" date=\"2022-01-01\"|" + kT, {},
     "name=\"Fr\" version=\"2\"|" + kT, ""},
    {"attribute conflict", "version=\"1\"|" + kT, "version=\"2\"|" + kT, "version=\"3\"|" + kT, {"version 1|2|3"},
     "version=\"3\"|" + kT, "version=\"2\"|" + kT},
    {"contributors added on each side", "|" + kT + kBob,
     "|" + kT + "<Contributors><Contributor name=\"Bob\" email=\"b@x\"/><Contributor name=\"Cy\"/></Contributors>",
     "|" + kT + "<Contributors><Contributor name=\"Ann\"/><Contributor name=\"Bob\" email=\"b@x\"/></Contributors>", {},
     "|" + kT + "<Contributors><Contributor name=\"Ann\"/><Contributor name=\"Bob\" email=\"b@x\"/><Contributor name=\"Cy\"/></Contributors>",
     ""},
    {"contributor removed on disk", "|" + kT + kBob, "|" + kT, "|" + kT + kBob, {}, "|" + kT, ""},
    {"contributor changed on both sides", "|" + kT + kBob,
     "|" + kT + "<Contributors><Contributor name=\"Bob\" email=\"new@x\"/></Contributors>",
     "|" + kT + "<Contributors><Contributor name=\"Bob\" email=\"b@x\" website=\"w\"/></Contributors>",
     {"Bob email=\"b@x\" name=\"Bob\"|email=\"new@x\" name=\"Bob\"|email=\"b@x\" name=\"Bob\" website=\"w\""},
     "|" + kT + "<Contributors><Contributor name=\"Bob\" email=\"b@x\" website=\"w\"/></Contributors>",
     "|" + kT + "<Contributors><Contributor name=\"Bob\" email=\"new@x\"/></Contributors>"},
};

XmlNodePtr Parse(const std::string& text) {
  size_t bar = text.find('|');
  return Fr(text.substr(0, bar), text.substr(bar + 1));
}

}  // namespace

TEST(LangMerge, EveryKeyTakesTheSideThatChangedAndConflictsGoEitherWay) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    for (bool takeTheirs : {false, true}) {
      XmlNodePtr base = Parse(c.base), theirs = Parse(c.theirs), ours = Parse(c.ours);
      std::string theirsBefore = txt::ToUtf8(theirs->XmlData());
      cLangMerge m(base, theirs, ours);
      std::vector<std::string> got;
      for (auto& k : m.Conflicts()) {
        got.push_back(txt::ToUtf8(k.key + u" " + k.base + u"|" + k.theirs + u"|" + k.ours));
        k.takeTheirs = takeTheirs;
      }
      EXPECT_EQ(got, c.conflicts);
      m.Apply(ours);
      const std::string& want = takeTheirs && !c.take.empty() ? c.take : c.keep;
      EXPECT_EQ(Written(ours), Written(Parse(want))) << (takeTheirs ? "taking theirs" : "keeping mine");
      EXPECT_EQ(txt::ToUtf8(theirs->XmlData()), theirsBefore);
      EXPECT_EQ(m.TheirsChanged(), c.base != c.theirs);
    }
  }
}
