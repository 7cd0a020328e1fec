#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "app/mSuiteCheck.h"
#include "tests/common/TestUtil.h"

namespace {

namespace fs = std::filesystem;

// A copy of the demo suite whose Type Linker French breaks each check once and whose German
// file is cut short.
struct PlantedSuite {
  testutil::TempDir dir;
  std::string root = dir.path() + "/suite";
  PlantedSuite() {
    fs::copy(std::string(KSV_TEST_DATA) + "/../../demo/suite", root, fs::copy_options::recursive);
    std::string tl = root + "/KestrovaTools/TypeLinker/TypeLinker_";
    testutil::WriteAll(tl + "en.xml", R"(<Languages version="0.4"><en name="English"><Main>
      <Ph>%d files in %s</Ph><Tag>&lt;b&gt;Warning&lt;/b&gt;</Tag><Acc>&amp;Apply</Acc><Sp>Name: </Sp>
      <Lb>One\nTwo</Lb><End>Done.</End><Len>Restore defaults</Len><Same>Documents</Same><Ok>Images</Ok>
      </Main></en></Languages>)");
    testutil::WriteAll(tl + "fr.xml", R"(<Languages version="0.4"><fr name="Fran&#231;ais"><Main>
      <Ph>%d fichiers</Ph><Tag>&lt;b&gt;Attention</Tag><Acc>Appliquer</Acc><Sp>Nom :</Sp>
      <Lb>Un deux</Lb><End>Fini</End><Len>R</Len><Same>Documents</Same><Ok>Fottos</Ok>
      <Old>Vieux</Old></Main></fr></Languages>)");
    testutil::WriteAll(tl + "de.xml", "<Languages version=\"0.4\"><de><Main><Ok>Bilder</Ok>");
  }
};

struct Result {
  int code;
  std::string out, err;
};

// The program as a suite's continuous integration runs it: no display of any kind.
Result RunCheck(const std::string& exe, const std::string& args, const testutil::TempDir& dir) {
  int status = std::system(("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM '" + exe + "' --check " + args +
                            " >" + dir.file("out") + " 2>" + dir.file("err")).c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, testutil::ReadAll(dir.file("out")), testutil::ReadAll(dir.file("err"))};
}

// The JSON as Python's parser reads it: "tool|lang|key|check|severity" per finding.
std::string JsonRows(const std::string& json, const testutil::TempDir& dir) {
  testutil::WriteAll(dir.file("j"), json);
  testutil::WriteAll(dir.file("rows.py"), "import json, sys\nfor f in json.load(open(sys.argv[1], encoding='utf-8')):\n"
                                          "    assert f['message']\n    print('|'.join(f[k] for k in ('tool', 'lang', "
                                          "'key', 'check', 'severity')))\n");
  EXPECT_EQ(std::system(("python3 " + dir.file("rows.py") + " " + dir.file("j") + " >" + dir.file("rows")).c_str()), 0);
  return testutil::ReadAll(dir.file("rows"));
}

}  // namespace

TEST(SuiteCheck, RunsWithoutDisplayAndTellsEveryPlantedFault) {
  PlantedSuite s;
  Result r = RunCheck(KSV_EXE_PATH, "'" + s.root + "' --tool 'type linker' --json", s.dir);
  EXPECT_EQ(r.code, 1) << r.err;
  EXPECT_EQ(JsonRows(r.out, s.dir),
            "Type Linker|de||file|error\n"  // the broken file is told, the others still checked
            "Type Linker|fr|Main.Ph|placeholders|error\n"
            "Type Linker|fr|Main.Tag|markup|error\n"
            "Type Linker|fr|Main.Acc|accelerator|warning\n"
            "Type Linker|fr|Main.Sp|spaces|warning\n"
            "Type Linker|fr|Main.Lb|line-breaks|warning\n"
            "Type Linker|fr|Main.End|end-punctuation|warning\n"
            "Type Linker|fr|Main.Len|length|warning\n"
            "Type Linker|fr|Main.Same|untranslated|warning\n"
            "Type Linker|fr|Main.Old|orphan|error\n");
  EXPECT_EQ(r.err, "2 languages of 1 tool checked: 4 errors, 6 warnings\n");

  r = RunCheck(KSV_EXE_PATH, "--json --tool 'KESTROVA SETUP' '" + s.root + "/KestrovaTools'", s.dir);
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "[]\n");

  // No folder named: the suite around the program is found, as the window finds it.
  std::string exe = s.root + "/KestrovaTools/KsvLangEditor";
  fs::copy_file(KSV_EXE_PATH, exe);
  r = RunCheck(exe, "--lang FR", s.dir);
  EXPECT_EQ(r.code, 1) << r.err;
  EXPECT_TRUE(testutil::Contains(r.out, "\nType Linker/fr/Main.Ph: error: placeholder %s missing\n")) << r.out;
  EXPECT_TRUE(testutil::Contains(r.out, "\n3 languages of 3 tools checked: 3 errors, ")) << r.out;

  std::string elsewhere = s.dir.file("KsvLangEditor");
  fs::rename(exe, elsewhere);
  r = RunCheck(elsewhere, "", s.dir);
  EXPECT_EQ(r.code, 2);
  EXPECT_TRUE(testutil::Contains(r.err, "Kestrova not found")) << r.err;
  fs::remove_all(s.root + "/KestrovaTools");
  r = RunCheck(KSV_EXE_PATH, "'" + s.root + "'", s.dir);
  EXPECT_EQ(r.code, 2);
  EXPECT_TRUE(testutil::Contains(r.err, "no language files in the suite")) << r.err;
}

TEST(SuiteCheck, SpellingAddsUnknownWordsInEnglishOrderAndNamesLanguagesWithoutDictionary) {
  PlantedSuite s;
  std::string ja = testutil::ReadAll(s.root + "/KestrovaTools/TypeLinker/TypeLinker_fr.xml");
  for (auto [from, to] : {std::pair{"<fr ", "<ja "}, std::pair{"</fr>", "</ja>"}})
    ja.replace(ja.find(from), std::string(from).size(), to);
  testutil::WriteAll(s.root + "/KestrovaTools/TypeLinker/TypeLinker_ja.xml", ja);
  Result r = RunCheck(KSV_EXE_PATH, "'" + s.root + "' --tool 'type linker' --json --spelling", s.dir);
  EXPECT_EQ(r.code, 1) << r.err;
  std::string rows = JsonRows(r.out, s.dir);
  EXPECT_TRUE(testutil::Contains(rows, "fr|Main.Same|untranslated|warning\nType Linker|fr|Main.Ok|spelling|warning\n"
                                       "Type Linker|fr|Main.Old|orphan|error\n")) << rows;
  EXPECT_EQ(std::count(rows.begin(), rows.end(), '\n'), 10 + 1 + 9) << rows;  // the Japanese copy: no spelling
  EXPECT_TRUE(testutil::Contains(r.err, "no Japanese dictionary installed: apt install hunspell-ja\n")) << r.err;
}
