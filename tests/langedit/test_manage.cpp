// Whole-language commands on the editing state, with scripted dialogs: adding a language
// and its file, unloading, importing, exporting, and the properties model.
#include <sys/stat.h>

#include "langedit/cLangManager.h"
#include "locale/mLang.h"
#include "langedit/mTools.h"
#include "tests/langedit/WrittenFile.h"
#include "langedit/cLangProperties.h"
#include "langedit/cLangSaver.h"
#include "storage/VbDate.h"
#include "tests/langedit/SuiteFixture.h"

namespace stdfs = std::filesystem;

namespace {

class ManageTest : public SuiteFixture {
 protected:
  void SetUp() override {
    SuiteFixture::SetUp();
    mgr.SaveLang = [this](TextView id) {
      saved.push_back(txt::ToUtf8(id));
      return saveResult;
    };
  }
  std::vector<std::string> LangFiles() {
    std::vector<std::string> out;
    for (auto& e : stdfs::directory_iterator(root + "/KestrovaTools/KestrovaMenu/Languages"))
      if (e.is_regular_file()) out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
  }
  // Scripted answers of the add-language dialog, one per showing; cancels when they run out.
  void ScriptNewLang(std::vector<std::pair<Text, Text>> script) {
    newLangScript = std::move(script);
    mgr.AskNewLang = [this](Text& id, Text& en) {
      ++newLangShown;
      if (newLangScript.empty()) return false;
      id = newLangScript.front().first;
      en = newLangScript.front().second;
      newLangScript.erase(newLangScript.begin());
      return true;
    };
  }
  // Imports the file's chosen language (1-based in the picker).
  bool Import(const std::string& content, long choice) {
    testutil::WriteAll(dir.file("import.xml"), content);
    dialogAnswer = dir.tfile("import.xml");
    mgr.ChooseLang = [choice](const Text&, const std::vector<Text>&) { return choice; };
    return mgr.ImportLanguage();
  }

  cLangManager mgr{ed};
  std::vector<std::string> saved;
  cLangSaver::Result saveResult = cLangSaver::Result::Written;
  std::vector<std::pair<Text, Text>> newLangScript;
  int newLangShown = 0;
};

}  // namespace

TEST(LangID, OnlyNameSafeCharactersUpToTwentyAreAccepted) {
  struct Case {
    Text id;
    bool ok;
  } cases[] = {
      {u"pt-BR", true},  {u"fr", true},          {u"zh_Hans-CN", true}, {Text(20, u'a'), true},
      {u"", false},      {Text(21, u'a'), false}, {u"../x", false},     {u"..", false},
      {u"a/b", false},   {u"a\\b", false},        {u"pt BR", false},    {u"a\"b", false},
      {u"a\tb", false},  {u"fr.x", false},        {u"\u00e9", false},   {u"a:b", false},
  };
  for (const auto& c : cases) EXPECT_EQ(cLangManager::IsValidLangID(c.id), c.ok) << txt::ToUtf8(c.id);
}

TEST_F(ManageTest, AddingBesideAnUnlistedFileOfTheSameNameNumbersTheNewOne) {
  testutil::WriteAll(Lang("KestrovaMenu_pt-BR.xml"), "<notes>not a language file</notes>");
  testutil::WriteAll(Lang("KestrovaMenu_pt-BR_2.xml"), "<notes/>");
  ed.SelectTool(1);
  ScriptNewLang({{u"pt-BR", u""}});
  ASSERT_TRUE(mgr.AddLanguage());
  EXPECT_EQ(testutil::ReadAll(Lang("KestrovaMenu_pt-BR.xml")), "<notes>not a language file</notes>");
  ASSERT_TRUE(testutil::Exists(Lang("KestrovaMenu_pt-BR_3.xml")));
  XmlNodePtr entry = ed.FindLangEntry(u"pt-BR");
  ASSERT_TRUE(entry);
  EXPECT_EQ(txt::ToUtf8(entry->Attribut(u"file")), Lang("KestrovaMenu_pt-BR_3.xml"));
}

TEST_F(ManageTest, RefusedIdsAreAskedAgainAndWriteNothing) {
  ScriptNewLang({{u"it", u""}});
  EXPECT_FALSE(mgr.AddLanguage());  // no tool: refused before the dialog
  EXPECT_EQ(newLangShown, 0);
  messages.clear();
  ed.SelectTool(1);
  auto files = LangFiles();
  ScriptNewLang({{u"../x", u""}, {u"pt-BR", u""}, {u" EN ", u""}});
  EXPECT_FALSE(mgr.AddLanguage());
  EXPECT_EQ(newLangShown, 4);  // the fourth showing is cancelled
  ASSERT_EQ(messages.size(), 3u);
  EXPECT_TRUE(testutil::Contains(messages[0], "only letters, digits"));
  EXPECT_EQ(messages[1], "This language already exists in the file \r\n" + Lang("KestrovaMenu_pt-BR.xml"));
  EXPECT_EQ(messages[2], "This language is already loaded.");
  EXPECT_EQ(LangFiles(), files);
  EXPECT_FALSE(ed.Modified());
}

TEST_F(ManageTest, UnloadingSavesADirtyLanguageAndTheLastOneEmptiesTheTree) {
  ed.SelectTool(1);
  ed.LoadLangListEntry(3);  // French
  ed.MarkDirty(u"fr");
  int treeChanges = 0;
  auto c = ed.TreeChanged.Subscribe([&] { ++treeChanges; });

  // A confirmed save that failed keeps the language loaded and dirty: its edits stay.
  saveResult = cLangSaver::Result::Failed;
  EXPECT_FALSE(mgr.UnloadLanguage(2));
  EXPECT_TRUE(ed.IsLangLoaded(u"fr"));
  EXPECT_EQ(ed.FindLangEntry(u"fr")->Attribut(u"dirty"), u"yes");
  // Declined or written, it goes.
  saveResult = cLangSaver::Result::Declined;
  ASSERT_TRUE(mgr.UnloadLanguage(2));
  EXPECT_EQ(saved, (std::vector<std::string>{"fr", "fr"}));
  EXPECT_FALSE(ed.IsLangLoaded(u"fr"));
  EXPECT_FALSE(ed.Modified());
  EXPECT_GT(ed.TreeDoc()->ChildCount(), 0);

  ASSERT_TRUE(mgr.UnloadLanguage(1));
  EXPECT_EQ(saved.size(), 2u);  // English was clean
  EXPECT_EQ(ed.TreeDoc()->ChildCount(), 0);
  EXPECT_GT(treeChanges, 0);
  EXPECT_FALSE(mgr.UnloadLanguage(1));
}

TEST_F(ManageTest, RefusedImportsAndCancelledDialogsChangeNothing) {
  ed.SelectTool(1);
  struct Case {
    std::string content, message;
  } cases[] = {
      {"<Other><it/></Other>", "Tag <Languages> not found !"},
      {"<Languages version=\"0.4\"></Languages>", "No translation found in this file"},
  };
  for (const auto& c : cases) {
    messages.clear();
    EXPECT_FALSE(Import(c.content, 1));
    EXPECT_EQ(messages, (std::vector<std::string>{c.message}));
    EXPECT_EQ(ed.LoadedLangs()->ChildCount(), 1);
  }
  mgr.ChooseLang = [](const Text&, const std::vector<Text>&) { return 0L; };
  dialogAnswer = dir.tfile("out.xml");
  EXPECT_FALSE(mgr.ExportLanguage());
  mgr.ChooseLang = [](const Text&, const std::vector<Text>&) { return 1L; };
  dialogAnswer.clear();
  EXPECT_FALSE(mgr.ExportLanguage());
  EXPECT_FALSE(testutil::Exists(dir.file("out.xml")));
  EXPECT_FALSE(mgr.ImportLanguage());
  EXPECT_FALSE(ed.Modified());
}

TEST_F(ManageTest, ImportingANewLanguageLoadsItMarksItAndItsSaveMakesTheFile) {
  ed.SelectTool(1);
  auto files = LangFiles();
  testutil::WriteAll(dir.file("import.xml"),
                     "<Languages version=\"0.1\"><xx-YY><Config><Labels><Title>Titolo</Title></Labels></Config>"
                     "</xx-YY><it author=\"Ada\"><Config><Labels><Title>Menu</Title></Labels></Config></it></Languages>");
  dialogAnswer = dir.tfile("import.xml");
  std::vector<Text> rows;
  mgr.ChooseLang = [&](const Text& caption, const std::vector<Text>& r) {
    EXPECT_EQ(caption, u"Import language");
    rows = r;
    return 2L;
  };
  ASSERT_TRUE(mgr.ImportLanguage());
  EXPECT_EQ(rows, (std::vector<Text>{u"xx-YY", u"Italian (it)"}));
  // The reference structure reached the imported copy; nothing is written by the import.
  EXPECT_TRUE(ed.LoadedLangs()->GetChildNode(u"it.Menu.File.Open"));
  EXPECT_EQ(LangFiles(), files);
  // Re-listing the tool (as adding a language does) keeps the waiting import.
  ed.LoadToolLangs(ed.SelectedToolPattern(), true);
  ASSERT_TRUE(ed.FindLangEntry(u"it"));
  EXPECT_EQ(ed.FindLangEntry(u"it")->Attribut(u"dirty"), u"yes");

  // Its save makes the file as adding a language does, then it is listed from disk.
  testutil::WriteAll(Lang("KestrovaMenu_it.xml"), "taken");
  answer = platform::vbYes;
  ASSERT_TRUE(cLangSaver(ed).SaveLang(u"it"));
  EXPECT_EQ(WrittenFile(Lang("KestrovaMenu_it_2.xml")).Value("it.Config.Labels.Title"), "Menu");
  EXPECT_EQ(testutil::ReadAll(Lang("KestrovaMenu_it.xml")), "taken");
  XmlNodePtr entry = ed.FindLangEntry(u"it");
  EXPECT_EQ(txt::ToUtf8(entry->Attribut(u"file")), Lang("KestrovaMenu_it_2.xml"));
  EXPECT_TRUE(entry->Attribut(u"dirty").empty());
}

TEST_F(ManageTest, ImportingALoadedLanguageReplacesItsValues) {
  ed.SelectTool(1);
  ed.LoadLangListEntry(3);  // French
  ASSERT_TRUE(Import("<Languages version=\"0.4\"><fr en_name=\"French\"><Config><Labels><Title>Menu Kestrova</Title>"
                     "</Labels></Config></fr></Languages>", 1));
  EXPECT_EQ(ed.LoadedLangs()->ChildCount(), 2);
  EXPECT_TEXT_EQ(ed.GetString(u"fr.Config.Labels.Title"), u"Menu Kestrova");
  EXPECT_TEXT_EQ(ed.GetString(u"fr.Config.Labels.Exit"), u"Quitter");
  EXPECT_EQ(ed.FindLangEntry(u"fr")->Attribut(u"dirty"), u"yes");
}

TEST_F(ManageTest, ExportedFilesKeepEmptyStringsAndAnOpenedFilesRootAndLoadBack) {
  ed.SelectTool(1);
  ed.LoadLangListEntry(3);  // French
  mgr.ChooseLang = [](const Text& caption, const std::vector<Text>& rows) {
    EXPECT_EQ(caption, u"Export language");
    EXPECT_EQ(rows, (std::vector<Text>{u"English (en)", u"French (fr)"}));
    return 2L;
  };
  dialogAnswer = dir.tfile("out.xml");
  ASSERT_TRUE(mgr.ExportLanguage());
  // French lacks this string on disk; the loaded copy holds it empty, and so does the export.
  EXPECT_EQ(WrittenFile(dir.file("out.xml")).Value("fr.Config.Options.StartWithSystem"), "");
  EXPECT_TRUE(cLangEditor().LoadLanguage(dir.tfile("out.xml"), u"fr"));

  testutil::WriteAll(dir.file("in.xml"), "<Languages version=\"0.4\" origin=\"team\"><de><A>x</A></de></Languages>");
  ed.OpenLangFile(dir.tfile("in.xml"));
  mgr.ChooseLang = [](const Text&, const std::vector<Text>&) { return 1L; };
  ASSERT_TRUE(mgr.ExportLanguage());
  WrittenFile opened(dir.file("out.xml"));
  EXPECT_EQ(std::string(opened.Languages().attribute("origin").value()), "team");
  EXPECT_EQ(opened.Value("de.A"), "x");
  EXPECT_TRUE(cLangEditor().LoadLanguage(dir.tfile("out.xml"), u"de"));
}

TEST_F(ManageTest, PropertiesMarkTheLanguageDirtyOnlyWhenSomethingChanged) {
  ed.SelectTool(1);
  ed.LoadLangListEntry(3);  // French
  ed.LoadedLangs()->Child(2)->Attribut(u"en_name", u"");
  // Opening alone completes the element (English name, contributors list) but changes nothing.
  mgr.EditProperties = [](const XmlNodePtr& lang) { cLangProperties p(lang); };
  mgr.LangProperties(2);
  EXPECT_TEXT_EQ(ed.LoadedLangs()->Child(2)->Attribut(u"en_name"), u"French");
  EXPECT_FALSE(ed.Modified());
  mgr.EditProperties = [](const XmlNodePtr& lang) {
    cLangProperties p(lang);
    p.SetContributorField(1, u"email", u"new@example.org");
  };
  mgr.LangProperties(2);
  EXPECT_EQ(ed.FindLangEntry(u"fr")->Attribut(u"dirty"), u"yes");
  EXPECT_TRUE(ed.Modified());
}

TEST_F(ManageTest, OnlyPlainPictureFilesInsideTheIconsFolderAreFlags) {
  std::string icons = root + "/KestrovaTools/KestrovaMenu/Languages/Icons/";
  ASSERT_EQ(::mkfifo((icons + "pipe.png").c_str(), 0600), 0);
  stdfs::create_directory(icons + "dir.png");
  testutil::WriteAll(root + "/outside.png", "x");
  Text suite = txt::FromUtf8(root + "/");
  for (const char16_t* icon : {u"", u"pipe.png", u"dir.png", u"../../../../outside.png", u"..", u"missing.png",
                               u"sub\\br.png"})
    EXPECT_TRUE(mTools::IconFile(suite, icon).empty()) << txt::ToUtf8(icon);
  EXPECT_EQ(txt::ToUtf8(mTools::IconFile(suite, u"br.png")), icons + "br.png");
  XmlNodePtr lang = cXmlNode::New();
  lang->Name(u"pt-BR");
  cLangProperties p(lang);
  p.SetField(u"icon", u"pipe.png");
  EXPECT_TRUE(p.IconPath(suite).empty());
}

TEST(LocaleTree, GroupsByFirstLetterAndOpensTheUsersLocale) {
  XmlNodePtr selected;
  XmlNodePtr doc = cLangManager::BuildLocaleTree(u"040C", &selected);
  long records = 0;
  for (long i = 1; i <= doc->ChildCount(); ++i) records += doc->Child(i)->ChildCount();
  EXPECT_EQ(records, 204);
  XmlNodePtr first = doc->Child(1);
  EXPECT_TEXT_EQ(first->Child(1)->Attribut(u"name"), u"Albanian-Albania [sq-AL]");
  ASSERT_TRUE(selected);
  EXPECT_TEXT_EQ(selected->Attribut(u"ISO"), u"fr-FR");
  EXPECT_TEXT_EQ(selected->Parent()->Attribut(u"expanded"), u"yes");

  cLangManager::BuildLocaleTree(u"7F7F", &selected);
  EXPECT_FALSE(selected);

  // Every record has a native name to search by; lower-case language names join their letter.
  for (const Text& r : mLang::Get_LCDI_ISO_AllLangList())
    EXPECT_FALSE(mLang::GetISONativeName(txt::Split(r, u"|")[0]).empty()) << txt::ToUtf8(r);
  for (long i = 1; i <= doc->ChildCount(); ++i) EXPECT_EQ(doc->Child(i)->Name(), txt::UCase(doc->Child(i)->Name()));
  EXPECT_TRUE(doc->GetChildNode(u"I")->FindNode(u"Lang", false, true));
  auto isos = [](const XmlNodePtr& d) {
    std::vector<std::string> out;
    for (long g = 1; g <= d->ChildCount(); ++g)
      for (long i = 1; i <= d->Child(g)->ChildCount(); ++i) out.push_back(txt::ToUtf8(d->Child(g)->Child(i)->Attribut(u"ISO")));
    return out;
  };
  struct Case { const char16_t* filter; std::vector<std::string> isos; };
  for (const Case& c : std::vector<Case>{{u"ZU-za", {"zu-ZA"}},                    // tag, any case
                                         {u"isixhosa", {"xh-ZA"}},                 // English name
                                         {u"suomi", {}},                           // not in the table
                                         {u"FRYSK", {"fy-NL"}},                    // native name
                                         {u"espanol mexico", {"es-MX"}},          // each word in any field
                                         {u"Češ", {"cs-CZ"}},            // accents ignored
                                         {u"portugues", {"pt-BR", "pt-PT"}}}) {
    SCOPED_TRACE(txt::ToUtf8(c.filter));
    XmlNodePtr found = cLangManager::BuildLocaleTree(u"040C", &selected, c.filter);
    EXPECT_EQ(isos(found), c.isos);
    EXPECT_EQ(selected != nullptr, !c.isos.empty());
  }
}
