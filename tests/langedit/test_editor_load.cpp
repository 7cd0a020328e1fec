// The editing state as the window drives it: finding the suite, listing a tool's
// languages, loading them against the shared structure, switching tools.
#include <pugixml.hpp>

#include <map>

#include "langedit/mTools.h"
#include "storage/VbDate.h"
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
  const struct {
    std::vector<Text> running;
    bool found;
  } cases[] = {
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

TEST_F(EditorTest, ToolsWithFilesAreAvailableAndSelectingOneLoadsEnglishAsTheStructure) {
  EXPECT_EQ(ed.ToolAvailable(), (std::vector<bool>{true, true, true, false, false, false, false, false}));
  ed.SelectTool(1);
  std::vector<std::string> ids;
  for (long i = 1; i <= ed.LangList()->ChildCount(); ++i) ids.push_back(txt::ToUtf8(ed.LangList()->Child(i)->Attribut(u"id")));
  EXPECT_EQ(ids, (std::vector<std::string>{"de", "en", "fr", "pt-BR"}));
  // The old file got its English name from the locale table while being listed.
  EXPECT_FALSE(ed.FindLangEntry(u"pt-BR")->Attribut(u"en_name").empty());

  EXPECT_EQ(LoadedIds(), (std::vector<std::string>{"en"}));
  XmlNodePtr tree = ed.TreeDoc();
  EXPECT_FALSE(tree->FindNode(u"Contributors", true, true));
  XmlNodePtr title = tree->GetChildNode(u"Config.Labels.Title", false, true);
  ASSERT_TRUE(title);
  EXPECT_TRUE(title->Value().empty());  // structure only
  EXPECT_EQ(ed.LoadedLangs()->GetChildValue(u"en.Config.Labels.Title"), u"Kestrova Menu");
  EXPECT_TRUE(messages.empty());
}

TEST_F(EditorTest, LaterLanguagesCompleteEachOtherWithEmptyStrings) {
  ed.SelectTool(1);
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
  std::map<std::string, std::string> before;
  for (auto& e : stdfs::recursive_directory_iterator(root))
    if (e.is_regular_file()) before[e.path()] = testutil::ReadAll(e.path());

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
  for (auto& e : stdfs::recursive_directory_iterator(root)) {
    if (e.is_regular_file()) {
      EXPECT_EQ(testutil::ReadAll(e.path()), before[e.path()]) << e.path();
    }
  }
}

TEST_F(EditorTest, SwitchingToolsCarriesLanguagesOverSilently) {
  ed.SelectTool(1);
  ed.LoadLanguage(txt::FromUtf8(Lang("KestrovaMenu_de.xml")), u"de");
  ed.LoadLanguage(txt::FromUtf8(Lang("KestrovaMenu_fr.xml")), u"fr");
  ed.SelectTool(3);  // Type Linker: English and French only
  EXPECT_EQ(LoadedIds(), (std::vector<std::string>{"en", "fr"}));
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(ed.LoadedLangs()->GetChildValue(u"fr.Main.Restore"), u"R\u00E9tablir les valeurs par d\u00E9faut");
  ed.SelectTool(2);  // Setup: German is not carried back (it was dropped with Type Linker)
  EXPECT_EQ(LoadedIds(), (std::vector<std::string>{"en", "fr"}));
  EXPECT_EQ(ed.Menus().tools[1].checked, true);

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

TEST_F(EditorTest, OpeningAFileDirectlyShowsTheUnionSorted) {
  testutil::WriteAll(dir.file("two.xml"),
                     "<Languages version=\"0.1\"><xx author=\"Me\"><Zeta>z</Zeta><Alpha><A>a</A></Alpha></xx>"
                     "<yy><Beta>b</Beta><Contributors><Contributor name=\"n\"/></Contributors></yy></Languages>");
  ed.OpenLangFile(dir.tfile("two.xml"));
  EXPECT_EQ(LoadedIds(), (std::vector<std::string>{"xx", "yy"}));
  std::vector<Text> top;
  for (long i = 1; i <= ed.TreeDoc()->ChildCount(); ++i) top.push_back(ed.TreeDoc()->Child(i)->Name());
  EXPECT_EQ(top, (std::vector<Text>{u"Alpha", u"Beta", u"Zeta"}));
  EXPECT_EQ(ed.OpenedFile(), dir.tfile("two.xml"));
  EXPECT_EQ(ed.LoadedLangs()->Attribut(u"version"), u"0.4");
  EXPECT_EQ(ed.LoadedLangs()->GetChildNode(u"xx.Contributors.Contributor", false, true)->Attribut(u"name"), u"Me");
}

TEST(XmlMergeStruct, BothSidesGainWhatTheOtherHasEmptyAndDeepNestingIsSafe) {
  auto a = cXmlNode::New();
  a->XmlData___NonRecursif(u"<a><G><S1>one</S1></G><Only>x</Only></a>");
  auto b = cXmlNode::New();
  b->XmlData___NonRecursif(u"<b><g><S2 k=\"v\">two</S2></g><Contributors><Contributor/></Contributors></b>");
  cLangEditor::XmlMergeStruct(a, b);
  EXPECT_EQ(a->GetChildValue(u"a.G.S1"), u"one");
  EXPECT_TRUE(a->GetChildNode(u"G.S2", false, true));
  EXPECT_TRUE(a->GetChildValue(u"G.S2").empty());
  EXPECT_EQ(a->GetChildNode(u"G.S2", false, true)->Attribut(u"k"), u"v");  // copies keep attributes
  EXPECT_FALSE(a->ChildExists(u"Contributors"));
  EXPECT_TRUE(b->GetChildNode(u"g.S1", false, true));
  EXPECT_TRUE(b->GetChildNode(u"Only", false, true)->Value().empty());
  EXPECT_EQ(b->GetChildValue(u"g.S2"), u"two");

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
    ASSERT_TRUE(ed.SaveLang(u"fr"));
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
