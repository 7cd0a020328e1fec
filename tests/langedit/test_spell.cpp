// Spelling with the system's real dictionaries (installed by tools/install-deps.sh).
#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <cstdlib>
#include <string>

#include "langedit/cSpellCheck.h"
#include "tests/common/TestUtil.h"

namespace {

using testutil::TempDir;

// The misspelt words of `text`, joined by "|".
std::string Flagged(cSpellCheck& s, const char16_t* lang, TextView text) {
  std::string out;
  for (auto [start, len] : s.Misspelt(lang, text)) out += (out.empty() ? "" : "|") + txt::ToUtf8(text.substr(start, len));
  return out;
}

TEST(Spell, DictionariesFoundByLanguageId) {
  cSpellCheck system;
  for (const char16_t* id : {u"fr", u"de", u"en", u"pt-BR"})
    ASSERT_TRUE(system.HasDictionary(id)) << txt::ToUtf8(cSpellCheck::MissingDictionaryNote(id))
                                          << " (tools/install-deps.sh installs it)";
  TempDir dir;
  for (const char* f : {"fr_BE", "en_GB", "pt", "pt_BR"})
    for (const char* ext : {".aff", ".dic"}) testutil::WriteAll(dir.file(f) + ext, "");
  testutil::WriteAll(dir.file("de_AT.aff"), "");  // no word list: not a dictionary
  cSpellCheck own({dir.path(), "/usr/share/hunspell"});
  // ID, then the dictionary chosen among the system's and among the test's own.
  const char* cases[][3] = {{" PT_br", "pt_BR", "pt_BR"}, {"fr", "fr_FR", "fr_BE"}, {"fr-CA", "fr_CA", "fr_BE"},
                            {"de", "de_DE", ""},          {"en", "en_US", "en_GB"}, {"pt", "pt_BR", "pt_BR"},
                            {"ja", "", ""},               {"f", "", ""}};
  for (auto& c : cases) {
    SCOPED_TRACE(c[0]);
    std::string sys = cSpellCheck({"/usr/share/hunspell"}).FindDictionary(txt::FromUtf8(c[0]));
    EXPECT_EQ(sys.empty() ? "" : sys.substr(sys.rfind('/') + 1), c[1]);
    std::string mine = cSpellCheck({dir.path()}).FindDictionary(txt::FromUtf8(c[0]));
    EXPECT_EQ(mine.empty() ? "" : mine.substr(dir.path().size() + 1), c[2]);
  }
  setenv("DICPATH", (dir.path() + "::/nowhere").c_str(), 1);
  EXPECT_EQ(cSpellCheck::DefaultFolders(),
            (std::vector<std::string>{dir.path(), "/nowhere", "/usr/share/hunspell", "/usr/share/myspell/dicts"}));
  unsetenv("DICPATH");
  // A folder named first wins over the system's at the same rank.
  EXPECT_EQ(own.FindDictionary(u"pt-BR"), dir.file("pt_BR"));
  EXPECT_TEXT_EQ(cSpellCheck::MissingDictionaryNote(u"fr"), u"no French dictionary installed: apt install hunspell-fr");
  EXPECT_TEXT_EQ(cSpellCheck::MissingDictionaryNote(u"de"), u"no German dictionary installed: apt install hunspell-de-de");
  EXPECT_TEXT_EQ(cSpellCheck::MissingDictionaryNote(u"pt-BR"),
                 u"no Portuguese dictionary installed: apt install hunspell-pt-br");
}

TEST(Spell, FrenchMisspellingFoundWithItsCorrection) {
  cSpellCheck s;
  Text text = u"Le fichier a été enregistré dans le dossier choisi, mais la sauvegarde automatiqe "
              u"n’est pas activée aujourd'hui.";
  std::vector<CheckFinding> f = s.CheckString(u"fr", text);
  ASSERT_EQ(f.size(), 1u);
  EXPECT_EQ(f[0].kind, CheckKind::Spelling);
  EXPECT_EQ(f[0].severity, CheckSeverity::Warning);
  EXPECT_TEXT_EQ(f[0].message, u"unknown word: automatiqe");
  ASSERT_EQ(f[0].spans.size(), 1u);
  EXPECT_EQ(f[0].spans[0], (cSpellCheck::Range{text.find(u"automatiqe"), 10}));
  std::vector<Text> sugg = s.Suggest(u"fr", u"automatiqe");
  sugg.resize(std::min<size_t>(sugg.size(), 3));
  EXPECT_NE(std::find(sugg.begin(), sugg.end(), u"automatique"), sugg.end());
  EXPECT_TEXT_EQ(cSpellCheck::Replacement(u"Fi&chierr", u"Fichier"), u"Fi&chier");  // the accelerator stays
  EXPECT_EQ(Flagged(s, u"de", u"Die Datei wurde gespeichert, aber nicht hochgeladn."), "hochgeladn");
  EXPECT_EQ(Flagged(s, u"pt-BR", u"O arquivo foi salvo na pasta escolhida, mas nao foi enviado."), "nao");
}

TEST(Spell, OnlyWordsAreChecked) {
  cSpellCheck s;
  const Text longRun = u"abc" + Text(70, u'q');
  struct Case {
    const char16_t* text;
    const char* flagged;
  } cases[] = {
      {u"%s %d %-5.2f %lld %1$s %2 %% {0} {name} {0:N2}", ""},
      {u"&File Sa&ve E&xit Tom && Jerry &amp; &#233;", ""},
      {u"<b>Bold</b> <a href=\"qwzx\">link</a> <br/> <!-- zzqx -->", ""},
      {u"See https://qwzx.example/zzq?a=b, www.zzqx.org, me@zzqx.org and setup.exe", ""},
      {u"MP3 x64 3D file_name HTTP XML KsvLangEditor iPhone \\nLine \\tTab", ""},
      {longRun.c_str(), ""},
      {u"Open <b>teh</b> %s filez", "teh|filez"},
      {u"Sa&vve the &Fyle, not this &&zzq", "Sa&vve|&Fyle|zzq"},
      {u"well-known e-mail self-qwzx", "qwzx"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(txt::ToUtf8(c.text));
    EXPECT_EQ(Flagged(s, u"en", c.text), c.flagged);
  }
}

TEST(Spell, PersonalWordsSurviveRestartIgnoredOnesDoNot) {
  TempDir dir;
  {
    cSpellCheck s({"/usr/share/hunspell"}, txt::FromUtf8(dir.path()));
    ASSERT_EQ(Flagged(s, u"fr", u"Ouvrir Kestrovia et Zorglub"), "Kestrovia|Zorglub");
    EXPECT_TRUE(s.AddToDictionary(u"FR", u"Kestro&via"));
    s.Ignore(u"Zorglub");
    EXPECT_EQ(Flagged(s, u"fr", u"Ouvrir Kestrovia et Zorglub"), "");
    EXPECT_TRUE(s.AddToDictionary(u"fr", u"l'Été&<>"));
  }
  // Read back by a reader that is not ours.
  pugi::xml_document doc;
  ASSERT_TRUE(doc.load_file(txt::ToUtf8(cSpellCheck({}, txt::FromUtf8(dir.path())).PersonalFile(u"fr")).c_str()));
  std::string words;
  for (pugi::xml_node w : doc.child("SpellingWords").children("Word")) words += std::string(w.child_value()) + "|";
  EXPECT_EQ(doc.child("SpellingWords").attribute("lang").value() + (" " + words), "fr Kestrovia|l'Été<>|");
  cSpellCheck again({"/usr/share/hunspell"}, txt::FromUtf8(dir.path()));
  EXPECT_EQ(Flagged(again, u"fr_fr", u"Ouvrir Kestrovia et Zorglub"), "Kestrovia|Zorglub");  // another ID
  EXPECT_EQ(Flagged(again, u"fr", u"Ouvrir Kestrovia et Zorglub"), "Zorglub");
  // A word that cannot be kept is still known for the session, and the failure is told.
  cSpellCheck blocked({"/usr/share/hunspell"}, txt::FromUtf8(dir.file("KsvLangEditor.spelling.fr.xml")));
  EXPECT_FALSE(blocked.AddToDictionary(u"fr", u"Zorglub"));
  EXPECT_EQ(Flagged(blocked, u"fr", u"Zorglub"), "");
}

TEST(Spell, WholeLanguageInSlices) {
  XmlNodePtr lang = cXmlNode::FromXml(
      u"<fr><Menu><Open>Ouvrir le fichier</Open><Save>Enregistrer la fote</Save></Menu>"
      u"<Msg>Une erreur est survenue</Msg><Bad>Mauvais mott et fote</Bad><Empty></Empty></fr>");
  cSpellCheck s;
  cSpellRun run(s, lang);
  EXPECT_EQ(run.Total(), 4u);
  EXPECT_FALSE(run.Step(3));
  EXPECT_TRUE(run.Step(3));
  ASSERT_EQ(run.Findings().size(), 2u);
  EXPECT_TEXT_EQ(run.Findings()[0].path, u"Menu.Save");
  EXPECT_TEXT_EQ(run.Findings()[0].findings[0].message, u"unknown word: fote");
  EXPECT_TEXT_EQ(run.Findings()[1].path, u"Bad");
  EXPECT_EQ(run.Findings()[1].findings.size(), 2u);
  EXPECT_EQ(s.CheckLanguage(lang).size(), 2u);
  // Words a translation keeps from its English are names, not misspellings.
  XmlNodePtr en = cXmlNode::FromXml(u"<en><Menu><Save>Save to Fotecloud</Save></Menu><Bad>Bad mott</Bad></en>");
  std::vector<StringFindings> beside = s.CheckLanguage(lang, en);
  ASSERT_EQ(beside.size(), 2u);
  EXPECT_TEXT_EQ(beside[1].findings[0].message, u"unknown word: fote");
  EXPECT_EQ(s.CheckString(u"fr", u"Enregistrer sur Fotecloud", u"Save to Fotecloud").size(), 0u);
  // Without a dictionary: nothing, at once.
  EXPECT_TRUE(s.CheckLanguage(u"ja", {{u"A", u"fote mott"}}).empty());
}

}  // namespace
