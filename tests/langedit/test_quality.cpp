#include <gtest/gtest.h>

#include "langedit/cQualityCheck.h"
#include "tests/common/TestUtil.h"

namespace {

// One line per finding: "check: message", then "@start+length" per highlighted span.
std::vector<std::string> Lines(const std::vector<CheckFinding>& findings) {
  std::vector<std::string> r;
  for (const CheckFinding& f : findings) {
    bool error = f.kind == CheckKind::Placeholders || f.kind == CheckKind::Markup || f.kind == CheckKind::Orphan;
    EXPECT_EQ(f.severity == CheckSeverity::Error, error) << CheckName(f.kind);
    std::string s = std::string(CheckName(f.kind)) + ": " + txt::ToUtf8(f.message);
    for (auto [start, len] : f.spans) s += " @" + std::to_string(start) + "+" + std::to_string(len);
    r.push_back(s);
  }
  return r;
}

}  // namespace

// One table of source/target pairs for each check, with the pairs that must not be told.
TEST(Quality, EachCheckAndWhatItMustNotTell) {
  struct Case {
    const char16_t *english, *target;
    std::vector<std::string> expected;
  };
  for (const Case& c : std::vector<Case>{
           // placeholders
      {u"%d files in %s", u"%s: %d fichiers", {}},                      // order may change
      {u"%s of %s", u"%2$s de %1$s", {}},                               // positional
      {u"Hello %s", u"Bonjour %1$s", {}},
      {u"Got %s", u"Re\u00E7u %d", {"placeholders: placeholder %s changed to %d @5+2"}},
      {u"%ld bytes", u"%d octets", {"placeholders: placeholder %ld changed to %d @0+2"}},
      {u"%i left", u"%d restants", {}},                                  // the same conversion
      {u"%d of %d", u"%d sur", {"placeholders: placeholder %d missing"}},
      {u"Done", u"Fait %s", {"placeholders: extra placeholder %s @5+2"}},
      {u"100% sure", u"S\u00FBr \u00E0 100%", {}},                       // a percent sign
      {u"50% off", u"50%ige Rabatt", {}},
      {u"%d%% done", u"%d %% fait", {}},                                  // "%%" is literal
      {u"Ratio 100%%", u"Rapport 100%", {}},
      {u"%5.2f s", u"%.2f s", {}},                                        // width is no change
      {u"%1 of %2", u"%2 / %1", {}},
      {u"%1 of %2", u"%1 sur", {"placeholders: placeholder %2 missing"}},
      {u"%1 items", u"%s \u00E9l\u00E9ments", {"placeholders: placeholder %1 missing",
                                                "placeholders: extra placeholder %s @0+2"}},
      {u"{0} and {1}", u"{1} et {0}", {}},
      {u"Hi {name}", u"Salut {nom}", {"placeholders: placeholder {name} changed to {nom} @6+5"}},
      {u"{0:N2} MB", u"{0} Mo", {}},                                       // the format may differ
      {u"Use {{braces}}", u"Utilisez {{accolades}}", {}},
      {u"a {b c} d", u"a d", {}},                                          // no placeholder
           // markup
      {u"<b>Bold</b> text", u"Texte <b>gras</b>", {}},
      {u"<b>Bold</b>", u"<b>Gras", {"markup: tag </b> missing"}},
      {u"Line<br/>two", u"Ligne<br>deux", {"markup: tag <br/> changed to <br> @5+4"}},
      {u"<a href=\"x\">link</a>", u"<a href='y'>lien</a>", {}},            // attributes aside
      {u"Plain", u"<i>Simple</i>", {"markup: extra tag <i> @0+3", "markup: extra tag </i> @9+4"}},
      {u"a < b and c > d", u"a < b et c > d", {}},                          // comparisons, no tags
      {u"Press <Enter>", u"Appuyez sur <Entr\u00E9e>", {}},                 // a key name, no tag
           // accelerators, spaces, line breaks
      {u"&File", u"Fichier", {"accelerator: accelerator & missing"}},
      {u"File", u"F&ichier", {"accelerator: extra accelerator & @1+2"}},
      {u"Tom && Jerry", u"Tom && Jerry et &&", {}},                         // literal ampersands
      {u"Save & quit", u"Enregistrer &amp; quitter", {}},
      {u" Name", u"Nom", {"spaces: leading space missing"}},
      {u"Name", u"  Nom", {"spaces: extra leading space @0+2"}},
      {u"Name: ", u"Nom\u00A0:\u00A0", {}},                                 // a no-break space counts
      {u"Name ", u"Nom  ", {"spaces: trailing spaces differ @3+2"}},
      {u"   ", u" ", {"spaces: leading spaces differ @0+1"}},               // told once, not twice
      {u"One\\nTwo", u"Un\r\nDeux", {}},                                    // as typed
      {u"One\\nTwo", u"Un Deux", {"line-breaks: 0 line breaks, English has 1"}},
      {u"One", u"Un\\nDeux\\n", {"line-breaks: 2 line breaks, English has 0 @2+2 @8+2"}},
           // end punctuation, length, untranslated
      {u"Open...", u"Ouvrir\u2026", {}},                                   // the same ellipsis
      {u"Really quit?", u"Vraiment quitter ?", {}},
      {u"Done.", u"Fait", {"end-punctuation: end punctuation \".\" missing"}},
      {u"Done", u"Fait !", {"end-punctuation: extra end punctuation \"!\" @5+1"}},
      {u"Wait:", u"Attendez.", {"end-punctuation: ends with \".\", English with \":\" @8+1"}},
      {u"<b>Done.</b>\\n", u"<b>Fait.</b>\\n", {}},                        // past tags and breaks
      {u"Say \"hi.\"", u"Dites \u00AB salut. \u00BB", {}},
      {u"Saved.", u"\u4FDD\u5B58\u3002", {}},                               // full-width stop
      {u"Quit now?", u"\u03A4\u03CE\u03C1\u03B1;", {}},                     // a Greek question
      {u"Open the file", u"Ouvrir le fichier maintenant, tout de suite, sans attendre ni r\u00E9fl\u00E9chir",
       {"length: over three times as long as the English"}},
      {u"Open the selected file", u"Ouvrir", {"length: under a third of the English length"}},
      {u"Open the file", u"\u6253\u5F00\u6587\u4EF6", {}},                  // dense, not short
      {u"Cancel", u"X", {}},                                                // English under 10
      {u"Kestrova Menu", u"Kestrova Menu", {"untranslated: same as the English @0+13"}},
      {u"%s: %d", u"%s: %d", {}},                                           // no letters
      {u"Anything", u"", {}},                                               // empty is counted elsewhere
       }) {
    SCOPED_TRACE(txt::ToUtf8(c.english) + " | " + txt::ToUtf8(c.target));
    EXPECT_EQ(Lines(CheckTranslation(c.english, c.target)), c.expected);
  }
}

TEST(Quality, LanguageFindsOrphansAfterTheEnglishOrder) {
  XmlNodePtr langs = cXmlNode::FromXml(
      u"<Languages><en><A><One>One.</One><Two>Two %s</Two></A><Three>Three</Three><Blank/></en>"
      u"<fr><Old>Vieux</Old><A><Two>Deux</Two><One>Un</One></A><Three></Three><Blank>Vide</Blank>"
      u"<Gone/><Contributors><Contributor name=\"x\"/></Contributors></fr></Languages>");
  XmlNodePtr en = langs->Child(1), fr = langs->Child(2);
  std::vector<std::string> got;
  for (const StringFindings& s : CheckLanguage(en, fr))
    for (const std::string& line : Lines(s.findings)) got.push_back(txt::ToUtf8(s.path) + " " + line);
  EXPECT_EQ(got, (std::vector<std::string>{
                     "A.One end-punctuation: end punctuation \".\" missing",
                     "A.Two placeholders: placeholder %s missing",
                     "Blank orphan: no English text @0+4",
                     "Old orphan: not in English @0+5",  // an empty one ("Gone") is not told
                 }));
  EXPECT_TRUE(CheckLanguage(en, nullptr).empty());
}
