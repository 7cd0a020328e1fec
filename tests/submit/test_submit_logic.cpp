#include <gtest/gtest.h>

#include <cerrno>

#include <string>
#include <vector>

#include "platform/FileSys.h"
#include "platform/MsgBox.h"
#include "storage/mFileUtils.h"
#include "submit/c7z.h"
#include "submit/cSubmission.h"
#include "submit/mSubmit.h"
#include "tests/common/TestUtil.h"
#include "tests/submit/SubmitFixture.h"

using submittest::Boxes;
using submittest::Suite;

namespace {
using testutil::Contains;

TEST(SubmitRules, LanguageIDsThatMayReachPathsAndHeaders) {
  for (const char16_t* ok : {u"fr", u"pt-BR", u"zh_Hans", u"sr-Latn-RS"})
    EXPECT_TRUE(mSubmit::IsSafeLangID(ok)) << txt::ToUtf8(ok);
  for (const char16_t* bad : {u"", u"..", u"a/b", u"a\\b", u"fr\r\nX-Evil: 1", u"fr x", u"a..b", u"fr:x"})
    EXPECT_FALSE(mSubmit::IsSafeLangID(bad)) << txt::ToUtf8(bad);
}

TEST(SubmitRules, CleanedLanguageKeepsOnlyFilledStrings) {
  auto doc = cXmlNode::New();
  doc->XmlData___NonRecursif(u"<Languages version=\"0.4\"><fr a=\"1\"><G><S>x</S><E></E><Only><Empty/></Only></G>"
                             u"<Keep k=\"v\"/></fr></Languages>");
  XmlNodePtr fr = doc->FindNode(u"fr", true, false);
  ASSERT_TRUE(fr);
  XmlNodePtr clean = mSubmit::CleanLanguageDocument(fr);
  ASSERT_TRUE(clean);
  // The packed file's version and filled strings are checked in the archive below.
  std::string xml = txt::ToUtf8(clean->XmlData());
  EXPECT_TRUE(Contains(xml, "<Keep k=\"v\"")) << xml;  // attributes make an element non-empty
  EXPECT_FALSE(Contains(xml, "<E")) << xml;
  EXPECT_FALSE(Contains(xml, "Only")) << xml;
  EXPECT_TRUE(Contains(txt::ToUtf8(fr->XmlData()), "Only"));  // the source is untouched
}

TEST(SubmitScan, LanguagesToolsAndContributorsAcrossFiles) {
  Suite s;
  cSubmission sub;
  sub.FindAllLangs(s.Root());

  ASSERT_EQ(sub.ToolNames.size(), 8u);
  EXPECT_TEXT_EQ(sub.ToolNames[0], Text(u"Kestrova Menu"));
  // French appears in two tools (and in two letter cases) but is listed once; the crafted ID
  // is skipped and the unreadable file contributes nothing.
  std::vector<std::string> ids;
  for (const Text& id : sub.LangIDs) ids.push_back(txt::ToUtf8(id));
  std::sort(ids.begin(), ids.end());
  EXPECT_EQ(ids, (std::vector<std::string>{"de", "es", "fr", "pt-BR"}));

  EXPECT_EQ(sub.ToolsForLang(u"FR"), (std::vector<long>{1, 2}));
  EXPECT_EQ(sub.ToolsForLang(u"es"), (std::vector<long>{7}));
  // The tool's own file for each of its languages.
  ASSERT_EQ(sub.ToolLangs[1].size(), 2u);
  EXPECT_TRUE(Contains(txt::ToUtf8(sub.ToolFiles[1][1]), "KVSetup_all.xml"));

  // Same attributes twice: once; another website: a second entry.
  ASSERT_EQ(sub.Contributors.size(), 2u);
  EXPECT_TEXT_EQ(mSubmit::ContributorCaption(sub.Contributors[0]), Text(u"Anne <anne@example.org>"));
  EXPECT_TEXT_EQ(sub.Contributors[1]->Attribut(u"website"), Text(u"b.example"));

  // A rescan starts afresh.
  sub.FindAllLangs(s.Root());
  EXPECT_EQ(sub.LangIDs.size(), 4u);
  EXPECT_EQ(sub.Contributors.size(), 2u);
}

// Extracts one member of an archive with the real 7z and returns its bytes.
std::string Member(const Text& archive, const std::string& member, const std::string& into) {
  c7z z;
  z.FileName(archive);
  if (!z.Extract(txt::FromUtf8(member), txt::FromUtf8(into))) return "<not extracted>";
  return testutil::ReadAll(into + "/" + member);
}

TEST(SubmitPack, ArchiveHoldsTheCleanedLanguageAndTheComments) {
  Suite s;
  cSubmission sub;
  sub.ProgramFolder(s.Program());
  sub.WorkFolder(s.Work());
  sub.FindAllLangs(s.Root());
  testutil::WriteAll(s.program + "/comments.tmp", "Merci \xE2\x80\x94 two tools\r\n");
  // A leftover of an earlier run must not reach the archive.
  submittest::MakeDirs(s.work + "/KestrovaTools/Stale");
  testutil::WriteAll(s.work + "/KestrovaTools/Stale/old.xml", "old");

  Boxes boxes;
  std::vector<bool> packing;
  auto c = sub.PackingChanged.Subscribe([&](bool on) { packing.push_back(on); });
  Text archive = sub.ExtractFiles(false, u"fr", {1, 2});
  ASSERT_FALSE(archive.empty()) << boxes.Texts();
  EXPECT_EQ(packing, (std::vector<bool>{true, false}));

  // Beside the program, named after the language; the work folder and comments are gone.
  std::string name = txt::ToUtf8(mFileUtils::FileNameOnly(archive));
  EXPECT_EQ(name.rfind("KSVLangPack_fr_", 0), 0u) << name;
  EXPECT_EQ(txt::ToUtf8(mFileUtils::FilePathOnly(archive)), s.program);
  EXPECT_TRUE(testutil::Exists(txt::ToUtf8(archive)));
  EXPECT_FALSE(testutil::Exists(s.work));
  EXPECT_FALSE(testutil::Exists(s.program + "/comments.tmp"));
  ASSERT_EQ(boxes.seen.size(), 1u);
  EXPECT_EQ(txt::ToUtf8(boxes.seen[0].text),
            "The files have been compressed in the following archive:\r\n\r\n" + txt::ToUtf8(archive));
  EXPECT_EQ(boxes.seen[0].flags, platform::vbInformation);

  c7z z;
  z.FileName(archive);
  long files = 0, folders = 0;
  Text list = z.GetFileList(u"", files, folders);
  EXPECT_EQ(files, 3) << txt::ToUtf8(list);
  EXPECT_FALSE(Contains(txt::ToUtf8(list), "Stale")) << txt::ToUtf8(list);

  testutil::TempDir out;
  std::string setup = Member(archive, "KestrovaTools/Setup/KVSetup_fr.xml", out.path());
  // Only French, from a file holding two languages, without its empty strings.
  EXPECT_TRUE(Contains(setup, "<Languages version=\"0.2\">")) << setup;
  EXPECT_TRUE(Contains(setup, "<Next>Suivant</Next>")) << setup;
  EXPECT_TRUE(Contains(setup, "b.example")) << setup;
  EXPECT_FALSE(Contains(setup, "<de")) << setup;
  EXPECT_FALSE(Contains(setup, "Empty")) << setup;
  std::string menu = Member(archive, "KestrovaTools/KestrovaMenu/Languages/KestrovaMenu_fr.xml", out.path());
  EXPECT_TRUE(Contains(menu, "Fran\xC3\xA7" "ais")) << menu;  // UTF-8 without a mark
  EXPECT_NE(menu.rfind("\xEF\xBB\xBF", 0), 0u);
  EXPECT_FALSE(Contains(menu, "Close")) << menu;
  EXPECT_EQ(Member(archive, "Translator_Comments.txt", out.path()), "Merci \xE2\x80\x94 two tools\r\n");
}

TEST(SubmitPack, FailuresAreToldAndLeaveNothingBehind) {
  Suite s;
  cSubmission sub;
  sub.ProgramFolder(s.Program());
  sub.WorkFolder(s.Work());
  sub.FindAllLangs(s.Root());
  {
    // No language, no tool chosen, or an ID that is not safe: nothing happens.
    Boxes boxes;
    EXPECT_TRUE(sub.ExtractFiles(false, u"", {1}).empty());
    EXPECT_TRUE(sub.ExtractFiles(false, u"../fr", {1}).empty());
    EXPECT_TRUE(boxes.seen.empty());
  }
  {
    // Without an archiver.
    submittest::NoArchiverOnPath noPath;
    Boxes boxes;
    EXPECT_TRUE(sub.ExtractFiles(true, u"fr", {1, 2}).empty());
    ASSERT_EQ(boxes.seen.size(), 1u);
    EXPECT_EQ(txt::ToUtf8(boxes.seen[0].text), "Error while compressing data !");
    EXPECT_EQ(boxes.seen[0].flags, platform::vbCritical);
  }
  EXPECT_TRUE(mFileUtils::GetFileList(s.Program() + u"*.7z").empty());
  EXPECT_FALSE(testutil::Exists(s.work));
  {
    // No selected tool holds the language: an empty archive is no translation.
    Boxes boxes;
    EXPECT_TRUE(sub.ExtractFiles(false, u"es", {1}).empty());
    ASSERT_EQ(boxes.seen.size(), 1u);
    EXPECT_EQ(txt::ToUtf8(boxes.seen[0].text), "Error while compressing data !");
  }
  {
    // Unwritten comments stop the sending; a leftover of an earlier run is not sent instead.
    testutil::WriteAll(s.program + "/comments.tmp", "stale");
    Boxes boxes;
    cSubmission::SubmitRequest r;
    r.langId = u"fr";
    r.tools = {1, 2};
    r.comments = u"new";
    r.serverHost = u"127.0.0.1:1";
    platform::fs::FailNth(platform::fs::Op::Write, 1, ENOSPC);
    EXPECT_FALSE(sub.Submit(r));
    EXPECT_FALSE(sub.Uploading());
    ASSERT_EQ(boxes.seen.size(), 1u);
    EXPECT_EQ(txt::ToUtf8(boxes.seen[0].text), "Error while compressing data !");
    EXPECT_FALSE(testutil::Exists(s.program + "/comments.tmp"));
  }
  EXPECT_TRUE(mFileUtils::GetFileList(s.Program() + u"*.7z").empty());
}

}  // namespace
