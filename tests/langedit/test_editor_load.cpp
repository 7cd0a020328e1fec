// The editing state as the window drives it: finding the suite, listing a tool's
// languages, loading them against the shared structure, switching tools.
#include <pugixml.hpp>

#include <map>

#include "langedit/cEditing.h"
#include "langedit/cLangSaver.h"
#include "langedit/mTools.h"
#include "storage/VbDate.h"
#include "tests/langedit/WrittenFile.h"
#include "tests/langedit/SuiteFixture.h"

namespace stdfs = std::filesystem;
using EditorTest = SuiteFixture;

TEST_F(EditorTest, FindsTheSuiteFromTheProgramFolderOrOneRunningMenu) {
  EXPECT_EQ(mTools::FindKSVRoot(txt::FromUtf8(root + "/KestrovaTools/KestrovaMenu"), nullptr),
            txt::FromUtf8(root + "/"));
  testutil::TempDir other;
  stdfs::create_directories(other.path() + "/KestrovaTools/KestrovaMenu");
  testutil::WriteAll(other.path() + "/Kestrova.exe", "x");
  Text outside = txt::FromUtf8(dir.path() + "/elsewhere");
  auto menuOf = [](const std::string& suite) { return txt::FromUtf8(suite + "/KestrovaTools/KestrovaMenu/KestrovaMenu.exe"); };
  const struct { std::vector<Text> running; bool found; } cases[] = {
      {{u"/usr/bin/bash", menuOf(root)}, true},
      {{menuOf(root), menuOf(root)}, true},          // the same suite seen twice
      {{menuOf(root), menuOf(other.path())}, false},  // two suites: no way to choose
      {{}, false},
      {{menuOf(dir.path() + "/a")}, false},  // no launcher above the menu program
  };
  for (const auto& c : cases)
    EXPECT_EQ(mTools::FindKSVRoot(outside, [&] { return c.running; }), c.found ? txt::FromUtf8(root + "/") : Text())
        << txt::ToUtf8(c.running.empty() ? Text() : c.running.back());

  // Folders named first (command line, last choice) win; those without a suite are skipped.
  cLangEditor first;
  EXPECT_TRUE(first.FindKSVRoot({Text(), outside, txt::FromUtf8(other.path() + "/KestrovaTools")},
                                txt::FromUtf8(root), nullptr));
  EXPECT_EQ(first.SuiteRoot(), txt::FromUtf8(other.path() + "/"));

  // Changing suite by hand starts over, and a folder without one changes nothing.
  ed.SelectTool(1);
  ed.SetModified(true);
  EXPECT_FALSE(ed.UseSuiteFolder(outside));
  EXPECT_EQ(ed.SelectedTool(), 1);
  EXPECT_EQ(LoadedIds(), (std::vector<std::string>{"en"}));
  EXPECT_TRUE(ed.UseSuiteFolder(txt::FromUtf8(other.path() + "/KestrovaTools/KestrovaMenu")));
  EXPECT_EQ(ed.SuiteRoot(), txt::FromUtf8(other.path() + "/"));
  EXPECT_EQ(ed.SelectedTool(), 0);
  EXPECT_TRUE(LoadedIds().empty());
  EXPECT_EQ(ed.LangList()->ChildCount(), 0);
  EXPECT_FALSE(ed.Modified());
  EXPECT_EQ(ed.ToolAvailable(), std::vector<bool>(8, false));
}

TEST_F(EditorTest, SelectingAToolLoadsEnglishAsTheStructureAndLaterLanguagesCompleteEachOther) {
  EXPECT_EQ(ed.ToolAvailable(), (std::vector<bool>{true, true, true, false, false, false, false, false}));
  ed.SelectTool(1);
  std::vector<std::string> ids;
  for (long i = 1; i <= ed.LangList()->ChildCount(); ++i) ids.push_back(txt::ToUtf8(ed.LangList()->Child(i)->Attribut(u"id")));
  EXPECT_EQ(ids, (std::vector<std::string>{"de", "en", "fr", "pt-BR"}));
  // The old file got its English name from the locale table while being listed.
  EXPECT_FALSE(ed.FindLangEntry(u"pt-BR")->Attribut(u"en_name").empty());

  EXPECT_EQ(LoadedIds(), (std::vector<std::string>{"en"}));
  XmlNodePtr title = ed.TreeDoc()->GetChildNode(u"Config.Labels.Title", false, true);
  ASSERT_TRUE(title);
  EXPECT_TRUE(title->Value().empty());  // structure only
  EXPECT_EQ(ed.LoadedLangs()->GetChildValue(u"en.Config.Labels.Title"), u"Kestrova Menu");

  // Later languages complete each other with empty strings.
  ed.LoadLanguage(txt::FromUtf8(Lang("KestrovaMenu_de.xml")), u"de");
  ed.LoadLanguage(txt::FromUtf8(Lang("KestrovaMenu_fr.xml")), u"fr");
  EXPECT_EQ(LoadedIds(), (std::vector<std::string>{"en", "de", "fr"}));
  XmlNodePtr langs = ed.LoadedLangs();
  // German's extra string reaches the tree (empty) and French's copy, not English's.
  EXPECT_TRUE(ed.TreeDoc()->GetChildNode(u"Menu.Help.Forum", false, true));
  EXPECT_FALSE(langs->GetChildNode(u"en.Menu.Help.Forum", false, true));
  ASSERT_TRUE(langs->GetChildNode(u"fr.Menu.Help.Forum", false, true));
  EXPECT_TRUE(langs->GetChildValue(u"fr.Menu.Help.Forum").empty());
  // What French lacked is there, empty; what it had keeps its text; contributors stay.
  ASSERT_TRUE(langs->GetChildNode(u"fr.Messages.Updated", false, true));
  EXPECT_EQ(langs->GetChildValue(u"fr.Menu.File.Open"), u"Ouvrir...");
  EXPECT_EQ(langs->GetChildNode(u"fr.Contributors", false, true)->ChildCount(), 2);
  EXPECT_FALSE(ed.TreeDoc()->FindNode(u"Contributors", true, true));
}

TEST_F(EditorTest, LoadingMessagesAndNothingChangesOnDisk) {
  auto files = [this] {
    std::map<std::string, std::string> all;
    for (auto& e : stdfs::recursive_directory_iterator(root))
      if (e.is_regular_file()) all[e.path()] = testutil::ReadAll(e.path());
    return all;
  };
  const auto before = files();

  testutil::WriteAll(dir.file("nolangs.xml"), "<Other><x/></Other>");
  testutil::WriteAll(dir.file("empty.xml"), "<Languages version=\"0.4\"></Languages>");
  testutil::WriteAll(dir.file("garbage.xml"), std::string("\x01\xff<<>>\x00zz", 9));
  EXPECT_FALSE(ed.LoadLanguage(dir.tfile("nolangs.xml"), u"fr"));
  EXPECT_FALSE(ed.LoadLanguage(dir.tfile("empty.xml"), u"fr"));
  EXPECT_FALSE(ed.LoadLanguage(txt::FromUtf8(Lang("KestrovaMenu_fr.xml")), u"it"));
  EXPECT_FALSE(ed.LoadLanguage(dir.tfile("missing.xml"), u"fr"));
  EXPECT_FALSE(ed.LoadLanguage(dir.tfile("garbage.xml"), u"fr"));
  ed.OpenLangFile(dir.tfile("nolangs.xml"));
  EXPECT_EQ(messages, (std::vector<std::string>{"Tag <Languages> not found !", "No translation found in this file",
                                                "it translation not found in this file", "Tag <Languages> not found !",
                                                "Tag <Languages> not found !", "Tag <Languages> not found !"}));
  for (long f : flags) EXPECT_EQ(f & 0xF0, platform::vbCritical);
  EXPECT_TRUE(LoadedIds().empty());

  // Listing and loading every tool (old formats are upgraded in memory only).
  for (int t = 1; t <= 3; ++t) {
    ed.SelectTool(t);
    for (long i = 1; i <= ed.LangList()->ChildCount(); ++i) ed.LoadLangListEntry(static_cast<int>(i));
  }
  EXPECT_EQ(files(), before);
}

TEST_F(EditorTest, SwitchingToolsCarriesLanguagesOverSilently) {
  ed.SelectTool(1);
  ed.LoadLanguage(txt::FromUtf8(Lang("KestrovaMenu_de.xml")), u"de");
  ed.LoadLanguage(txt::FromUtf8(Lang("KestrovaMenu_fr.xml")), u"fr");
  ed.SelectTool(3);  // Type Linker: English and French only
  EXPECT_EQ(LoadedIds(), (std::vector<std::string>{"en", "fr"}));
  EXPECT_TRUE(messages.empty());
  ed.SelectTool(2);  // Setup: German is not carried back (it was dropped with Type Linker)
  EXPECT_EQ(LoadedIds(), (std::vector<std::string>{"en", "fr"}));

  // Selecting the checked tool again changes nothing, edits included.
  ed.LoadedLangs()->GetChildNode(u"fr.Wizard.Next", false, true)->Value(u"edited");
  ed.SetModified(true);
  int asked = 0;
  ed.SaveModifs = [&] { ++asked; return false; };
  ed.SelectTool(2);
  EXPECT_EQ(asked, 0);
  EXPECT_EQ(ed.LoadedLangs()->GetChildValue(u"fr.Wizard.Next"), u"edited");
  // Cancel on the question keeps everything as it was.
  ed.SelectTool(1);
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(ed.SelectedTool(), 2);
  EXPECT_EQ(ed.LoadedLangs()->GetChildValue(u"fr.Wizard.Next"), u"edited");
}

TEST(XmlMergeStruct, BothSidesGainWhatTheOtherHasEmptyAndDeepNestingIsSafe) {
  auto a = cXmlNode::New();
  a->XmlData___NonRecursif(u"<a><G><S1>one</S1></G><Only>x</Only></a>");
  auto b = cXmlNode::New();
  b->XmlData___NonRecursif(u"<b><g><S2 k=\"v\">two</S2></g><Contributors><Contributor/></Contributors></b>");
  cLangEditor::XmlMergeStruct(a, b);
  EXPECT_EQ(a->GetChildValue(u"a.G.S1"), u"one");
  ASSERT_TRUE(a->GetChildNode(u"G.S2", false, true));
  EXPECT_TRUE(a->GetChildValue(u"G.S2").empty());
  EXPECT_EQ(a->GetChildNode(u"G.S2", false, true)->Attribut(u"k"), u"v");  // copies keep attributes
  EXPECT_FALSE(a->ChildExists(u"Contributors"));
  EXPECT_TRUE(b->GetChildNode(u"Only", false, true)->Value().empty());

  // 20,000 levels on each side (no name repeats a parent's, which would pair a child with
  // its parent's partner): merged without recursion.
  std::u16string deep;
  for (int i = 0; i < 20000; ++i) deep += u"<d" + txt::FromInt(i) + u">";
  for (int i = 19999; i >= 0; --i) deep += u"</d" + txt::FromInt(i) + u">";
  auto c = cXmlNode::New();
  c->XmlData___NonRecursif(u"<r>" + deep + u"</r>");
  auto d = cXmlNode::New();
  d->XmlData___NonRecursif(u"<r><x/>" + deep + u"</r>");
  cLangEditor::XmlMergeStruct(c, d);
  EXPECT_EQ(c->NodeCount(), 20001);
  EXPECT_EQ(d->NodeCount(), 20001);
}

// Golden files: each input (one per encoding and format version), loaded and saved by the
// editor, gives exactly the expected bytes; an independent parser reads them, and the
// editor opens them again.
TEST_F(EditorTest, LoadAndSaveGiveTheGoldenBytes) {
  const std::string data = std::string(KSV_TEST_DATA) + "/lang/";
  // The save stamps the day: the one part of the bytes the expected files cannot hold.
  const std::string today = txt::ToUtf8(vbdate::Format(vbdate::Today(), u"yyyy-mm-dd"));
  answer = platform::vbYes;
  for (const char* name : {"fr-utf8-v0.4", "fr-utf16-v0.3", "fr-cp1252-v0.2", "fr-utf8-v0.1"}) {
    SCOPED_TRACE(name);
    const std::string file = Lang("KestrovaMenu_fr.xml");
    testutil::WriteAll(file, testutil::ReadAll(data + name + ".xml"));
    ed.SelectTool(1);
    ASSERT_TRUE(ed.LoadLanguage(txt::FromUtf8(file), u"fr"));
    ASSERT_TRUE(cLangSaver(ed).SaveLang(u"fr"));
    std::string saved = testutil::ReadAll(file);
    std::string expected = testutil::ReadAll(data + name + ".expected.xml");
    size_t at = expected.find("@TODAY@");
    if (at != std::string::npos) expected.replace(at, 7, today);
    EXPECT_EQ(saved, expected);
    pugi::xml_document doc;
    EXPECT_TRUE(doc.load_buffer(saved.data(), saved.size()));
    EXPECT_TRUE(doc.child("Languages").child("fr").child("Config").child("Labels").child("Title"));
    EXPECT_TRUE(ed.LoadLanguage(txt::FromUtf8(file), u"fr"));
  }
  EXPECT_EQ(messages, std::vector<std::string>(4, "Save changes in fr ?"));
}

TEST_F(EditorTest, ADirectlyOpenedFileIsItsOwnSortedDocumentAndAnOldNamelessRootIsWrittenWellFormed) {
  ed.SelectTool(1);
  ed.LoadLangListEntry(3);  // French of the tool
  std::string toolFrench = testutil::ReadAll(Lang("KestrovaMenu_fr.xml"));
  // Written so by earlier versions: "Languages" inside a nameless node.
  testutil::WriteAll(dir.file("old.xml"),
                     "<>\r\n<Languages version=\"0.1\"><en><B>b</B><A>a</A></en><fr><C>c</C><A>x</A></fr></Languages>\r\n</>\r\n");
  ed.OpenLangFile(dir.tfile("old.xml"));
  ASSERT_EQ(LoadedIds(), (std::vector<std::string>{"en", "fr"}));
  EXPECT_EQ(ed.SelectedTool(), 0);
  // The union of both languages' strings, sorted; the format raised in memory.
  std::vector<Text> top;
  for (long i = 1; i <= ed.TreeDoc()->ChildCount(); ++i) top.push_back(ed.TreeDoc()->Child(i)->Name());
  EXPECT_EQ(top, (std::vector<Text>{u"A", u"B", u"C"}));
  EXPECT_EQ(ed.LoadedLangs()->Attribut(u"version"), u"0.4");
  cEditing edit(ed);
  ASSERT_TRUE(edit.StoreValue(2, u".B", u"typed"));
  EXPECT_TRUE(ed.Modified());
  answer = platform::vbYes;
  EXPECT_TRUE(cLangSaver(ed).SaveChanges());
  EXPECT_FALSE(ed.Modified());
  WrittenFile once(dir.file("old.xml"));
  ASSERT_TRUE(once.ok);
  EXPECT_EQ(once.Value("fr.B"), "typed");
  EXPECT_EQ(once.Value("en.B"), "b");
  EXPECT_EQ(testutil::ReadAll(Lang("KestrovaMenu_fr.xml")), toolFrench);  // the tool's file is not touched

  // Save as: every loaded language in the chosen file, which is the document from then on.
  ASSERT_TRUE(edit.StoreValue(1, u".A", u"changed"));
  ASSERT_TRUE(cLangSaver(ed).SaveAs(dir.tfile("as.xml")));
  EXPECT_EQ(ed.OpenedFile(), dir.tfile("as.xml"));
  EXPECT_FALSE(ed.Modified());
  ASSERT_TRUE(edit.StoreValue(2, u".A", u"after"));
  EXPECT_TRUE(cLangSaver(ed).SaveChanges());
  WrittenFile as(dir.file("as.xml"));
  ASSERT_TRUE(as.ok);
  EXPECT_EQ(as.Value("en.A"), "changed");
  EXPECT_EQ(as.Value("fr.A"), "after");
  EXPECT_EQ(WrittenFile(dir.file("old.xml")).Value("en.A"), "a");
  cLangEditor again;
  again.OpenLangFile(dir.tfile("as.xml"));
  EXPECT_EQ(again.GetString(u"fr.B"), u"typed");
}

TEST_F(EditorTest, EmptyStringsAreFoundInTheTreesOrderEachOncePerRound) {
  // French holds its strings in another order and lacks one: the walk follows the tree.
  testutil::WriteAll(dir.file("order.xml"),
                     "<Languages version=\"0.4\"><en><G><A>a</A><B>b</B><C>c</C></G><H><D>d</D></H></en>"
                     "<fr><H><D></D></H><G><C>c</C><A></A></G></fr></Languages>");
  ed.OpenLangFile(dir.tfile("order.xml"));
  cEditing edit(ed);
  XmlNodePtr hit = edit.FindNextEmpty(ed.TreeDoc(), 2);
  std::vector<Text> seen;
  for (int i = 0; i < 4 && hit; ++i) {
    seen.push_back(hit->Name());
    hit = edit.FindNextEmpty(hit, 2, true);
  }
  EXPECT_EQ(seen, (std::vector<Text>{u"A", u"B", u"D", u"A"}));
  EXPECT_TRUE(messages.empty());
  EXPECT_FALSE(edit.FindNextEmpty(ed.TreeDoc(), 1));  // English has none
  EXPECT_EQ(messages, (std::vector<std::string>{"No more empty string in language en"}));
}

TEST_F(EditorTest, LineBreaksTheTranslatorDidNotTouchKeepTheirStoredForm) {
  cEditing edit(ed);
  const struct { const char16_t *stored, *typed, *expected; } cases[] = {
      {u"a\nb", u"a\r\nbX", u"a\nbX"},            // a lone LF stays one
      {u"a\rb", u"Xa\r\nb", u"Xa\rb"},            // so does a lone CR
      {u"a\\nb", u"a\r\nb!", u"a\\nb!"},          // the escape stays the escape
      {u"a\nb", u"a\r\n\r\nb", u"a\n\\nb"},       // a typed break is stored as the escape
      {u"a\nb\nc", u"a\r\nc", u"a\nc"},           // deleting a line keeps the other break
      {u"", u"x\r\ny", u"x\\ny"},
      {u"a\r\nb", u"a\r\nb", u"a\r\nb"},
  };
  for (const auto& c : cases)
    EXPECT_TEXT_EQ(edit.StoredForm(c.stored, c.typed), Text(c.expected)) << txt::ToUtf8(c.typed);
}
