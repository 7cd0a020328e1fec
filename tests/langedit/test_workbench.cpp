#include <gtest/gtest.h>

#include "langedit/cLangStats.h"
#include "langedit/cStringFilter.h"
#include "langedit/cUndoHistory.h"
#include "tests/common/TestUtil.h"

namespace {

// A structure with a group, a credits block that is not a string, and two languages: French
// lacks one string and has another empty.
struct Docs {
  XmlNodePtr tree = cXmlNode::FromXml(
      u"<s><Menu><Open/><Save/></Menu><Title/><Contributors><c1/></Contributors></s>");
  XmlNodePtr langs = cXmlNode::FromXml(
      u"<Languages><en><Menu><Open>Open file</Open><Save>Save</Save></Menu><Title>\u00C9t\u00E9 "
      u"Caf\u00E9</Title></en><fr><Menu><Open>Ouvrir</Open><Save></Save></Menu></fr></Languages>");
};

Text Val(const XmlNodePtr& langs, TextView path) { return langs->GetChildValue(Text(path)); }

}  // namespace

TEST(Workbench, FindFoldsCaseAndAccentsAndKeepsTreeOrder) {
  EXPECT_EQ(FoldForSearch(u"\u00C9T\u00C9 \u0152uvre \u0110 \u0416 e\u0301"), u"ete \u0153uvre d \u0436 e");
  Docs d;
  cStringFilter f;
  f.Build(d.tree, d.langs);
  ASSERT_EQ(f.Count(), 3u);  // the credits are not strings
  EXPECT_EQ(f.PathAt(0), u"Menu.Open");
  struct Case { const char16_t* q; bool keysOnly; const char16_t* lang; std::vector<size_t> hits; };
  for (const Case& c : std::vector<Case>{
           {u"", false, u"", {0, 1, 2}},
           {u"ete", false, u"", {2}},          // accent- and case-insensitive on values
           {u"OUVR", false, u"", {0}},
           {u"ouvr", false, u"en", {}},         // one language only
           {u"menu.s", false, u"", {1}},        // the key counts
           {u"save", true, u"", {1}},           // keys only: the value "Save" alone would not do
           {u"file", true, u"", {}},
           {u"x", false, u"de", {}}}) {         // a language that is not loaded
    SCOPED_TRACE(txt::ToUtf8(c.q));
    EXPECT_EQ(f.Filter(c.q, {c.keysOnly, c.lang}), c.hits);
  }
  f.Update(u".Title", u"fr", u"\u00C9t\u00E9");
  EXPECT_EQ(f.Filter(u"ete", {false, u"fr"}), (std::vector<size_t>{2}));
  std::vector<size_t> m{0, 2};
  EXPECT_EQ(f.Step(m, 2, true), 0u);   // wraps
  EXPECT_EQ(f.Step(m, 1, false), 0u);  // from a non-match
  EXPECT_EQ(f.Step(m, 0, false), 2u);
  // Highlight ranges are in the original text, a combining accent with its letter.
  using R = std::vector<std::pair<size_t, size_t>>;
  EXPECT_EQ(cStringFilter::MatchRanges(u"Cafe\u0301 caf\u00E9", u"caf\u00E9"), (R{{0, 5}, {6, 4}}));
}

TEST(Workbench, UndoGroupsTypingAndFollowsTheSavePoint) {
  Docs d;
  cUndoHistory h;
  h.MarkSaved(u"fr");
  // Two keystrokes in one string within the pause join; a pause or another string does not.
  h.RecordTyping(u"fr", u"Menu.Save", u"", u"E", true, 1000);
  h.RecordTyping(u"fr", u"Menu.Save", u"E", u"En", true, 1500);
  h.RecordTyping(u"fr", u"Menu.Save", u"En", u"Enr", true, 1500 + cUndoHistory::kTypingPauseMs + 1);
  h.RecordTyping(u"fr", u"Title", u"", u"T", false, 5000);
  ASSERT_EQ(h.Size(), 3u);
  EXPECT_EQ(h.Redo(), nullptr);
  // Apply the history to the document as the editor does, then walk it back.
  d.langs->GetChildNode(u"fr.Menu.Save", true)->Value(u"Enr");
  d.langs->GetChildNode(u"fr.Title", true)->Value(u"T");
  EXPECT_FALSE(h.IsAtSaved(u"fr"));
  EXPECT_TRUE(h.IsAtSaved(u"en"));
  ApplyUndoStep(*h.Undo(), true, d.langs);
  EXPECT_EQ(d.langs->GetChildNode(u"fr.Title"), nullptr);  // created by typing: gone again
  ApplyUndoStep(*h.Undo(), true, d.langs);
  EXPECT_EQ(Val(d.langs, u"fr.Menu.Save"), u"En");
  ApplyUndoStep(*h.Undo(), true, d.langs);
  EXPECT_EQ(Val(d.langs, u"fr.Menu.Save"), u"");
  EXPECT_TRUE(h.IsAtSaved(u"fr"));
  EXPECT_EQ(h.Undo(), nullptr);
  ApplyUndoStep(*h.Redo(), false, d.langs);
  EXPECT_EQ(Val(d.langs, u"fr.Menu.Save"), u"En");
  h.MarkSaved(u"fr");  // saved here; undoing leaves the save point, redoing comes back
  h.Undo();
  EXPECT_FALSE(h.IsAtSaved(u"fr"));
  h.Redo();
  EXPECT_TRUE(h.IsAtSaved(u"fr"));
  // A new change after undoing past the save point makes the saved state unreachable.
  h.Undo();
  h.RecordTyping(u"fr", u"Menu.Open", u"Ouvrir", u"O", true, 9000);
  h.Undo();
  EXPECT_FALSE(h.IsAtSaved(u"fr"));
  // Forgetting an unloaded language drops its steps and keeps the others' positions.
  h.RecordTyping(u"en", u"Title", u"x", u"y", true, 20000);
  h.Forget(u"fr");
  EXPECT_EQ(h.Size(), 1u);
  EXPECT_TRUE(h.CanUndo());
}

TEST(Workbench, UndoRestoresLanguageSnapshots) {
  Docs d;
  cUndoHistory h;
  XmlNodePtr fr = d.langs->GetChildNode(u"fr");
  cUndoHistory::Step fill{cUndoHistory::Kind::Fill, {}, {{u"fr", fr->Clone(), nullptr}}, 0, {}, {}};
  fr->GetChildNode(u"Menu.Save")->Value(u"Save");
  fr->Attribut(u"version", u"2");
  fill.langs[0].after = fr->Clone();
  cUndoHistory::Step import{cUndoHistory::Kind::Import, {}, {{u"de", nullptr, cXmlNode::FromXml(u"<de><Title>T</Title></de>")}}, 0, {}, {}};
  h.Record(fill);
  h.Record(import);
  ApplyUndoStep(*h.Undo(), true, d.langs);  // the import: "de" was not loaded
  EXPECT_EQ(d.langs->GetChildNode(u"de"), nullptr);
  EXPECT_EQ(ApplyUndoStep(*h.Undo(), true, d.langs), std::vector<Text>{u"fr"});
  EXPECT_EQ(d.langs->GetChildNode(u"fr"), fr);  // same element, old content
  EXPECT_EQ(Val(d.langs, u"fr.Menu.Save"), u"");
  EXPECT_EQ(fr->Attribut(u"version"), u"");
  ApplyUndoStep(*h.Redo(), false, d.langs);
  ApplyUndoStep(*h.Redo(), false, d.langs);
  EXPECT_EQ(Val(d.langs, u"fr.Menu.Save"), u"Save");
  EXPECT_EQ(Val(d.langs, u"de.Title"), u"T");
}

TEST(Workbench, ProgressCountsAndGroupTotalsFollowEdits) {
  Docs d;
  cLangStats s;
  s.Build(d.tree, d.langs);
  ASSERT_EQ(s.Counts().size(), 2u);
  EXPECT_EQ(s.Counts()[1].translated, 1);  // "Save" empty, "Title" missing
  EXPECT_EQ(s.StatusText(), u"fr 1/3 \u00B7 33 %");
  EXPECT_EQ(s.OpenBelow(u"", u"fr"), 2);
  EXPECT_EQ(s.OpenBelow(u".Menu", u"fr"), 1);
  s.Update(u".Menu.Save", u"fr", true);
  s.Update(u".Menu.Save", u"fr", true);  // no double count
  EXPECT_EQ(s.OpenBelow(u"Menu", u"fr"), 0);
  s.Update(u"Title", u"fr", true);
  EXPECT_EQ(s.StatusText(), u"fr 3/3 \u00B7 100 %");
  s.Update(u"Menu.Open", u"en", false);
  EXPECT_EQ(s.Counts()[0].Percent(), 66);  // rounded down
}
