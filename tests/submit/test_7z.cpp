#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/EventLoop.h"
#include "platform/ProcessTools.h"
#include "storage/mFileUtils.h"
#include "submit/c7z.h"
#include "tests/common/TestUtil.h"
#include "tests/submit/SubmitFixture.h"

namespace {
bool Has(const Text& hay, TextView needle) { return hay.find(needle) != Text::npos; }

// A work folder with a small tree: one folder and two files under "KestrovaTools", in a
// folder whose name has a blank and a non-ASCII letter.
struct ArchiveFixture : ::testing::Test {
  testutil::TempDir tmp;
  std::string work;
  void SetUp() override {
    work = tmp.file("work d\xC3\xA9j\xC3\xA0");
    submittest::MakeDirs(work + "/KestrovaTools/Menu");
    testutil::WriteAll(work + "/KestrovaTools/Menu/Menu_fr.xml", "<Languages><fr/></Languages>\r\n");
    testutil::WriteAll(work + "/KestrovaTools/readme.txt", "caf\xC3\xA9 \xE2\x82\xAC\r\n");
  }
  Text W(const std::string& rel) const { return txt::FromUtf8(work + rel); }
};

TEST_F(ArchiveFixture, AddListTestAndExtractARealArchive) {
  c7z z;
  z.FileName(W("/pack.7z"));
  ASSERT_TRUE(z.Add(u"KestrovaTools")) << txt::ToUtf8(z.LastExecShellOutput());
  EXPECT_TRUE(testutil::Exists(work + "/pack.7z"));

  long files = -1, folders = -1;
  Text list = z.GetFileList(u"", files, folders);
  EXPECT_EQ(files, 2);
  EXPECT_EQ(folders, 2);  // KestrovaTools and KestrovaTools/Menu
  EXPECT_TRUE(Has(list, u"Path = KestrovaTools/Menu/Menu_fr.xml"));
  EXPECT_TRUE(Has(list, u"Path = KestrovaTools/readme.txt"));
  EXPECT_FALSE(Has(list, u"pack.7z"));  // the archive's own header lines come before the dashes

  EXPECT_TRUE(z.TestArchive(u"", files, folders));
  EXPECT_EQ(files, 2);
  EXPECT_EQ(folders, 2);

  EXPECT_TEXT_EQ(z.GetFileInfo(u"\"KestrovaTools/Menu/Menu_fr.xml\"", u"  SIZE "), Text(u"30"));
  EXPECT_TEXT_EQ(z.GetFileInfo(u"", u"no such property"), Text());

  testutil::TempDir dest;
  bool extractingSeen = false;
  Text log;
  auto c = z.ExtractLog.Subscribe([&](const Text& t) {
    log += t;
    extractingSeen = z.Extracting();
  });
  ASSERT_TRUE(z.Extract(u"Menu_fr.xml", txt::FromUtf8(dest.path())));
  EXPECT_FALSE(z.Extracting());
  EXPECT_TRUE(extractingSeen);
  EXPECT_TRUE(Has(log, u"Everything is Ok"));
  EXPECT_EQ(testutil::ReadAll(dest.path() + "/KestrovaTools/Menu/Menu_fr.xml"), "<Languages><fr/></Languages>\r\n");
  EXPECT_FALSE(testutil::Exists(dest.path() + "/KestrovaTools/readme.txt"));
}

TEST_F(ArchiveFixture, FileContentIsReadFromAPrivateFolderAndCleanedUpAndLinksNeverLeadOutside) {
  testutil::TempDir outside;
  testutil::WriteAll(outside.file("keep.txt"), "precious");
  ASSERT_EQ(::symlink(outside.path().c_str(), (work + "/KestrovaTools/link").c_str()), 0);
  c7z z;
  z.FileName(W("/pack.7z"));
  ASSERT_TRUE(z.Add(u"KestrovaTools"));
  // a file of the same name in the temporary folder must survive
  std::string bystander = platform::proc::TempFolder() + "readme.txt";
  bool hadBystander = testutil::Exists(bystander);
  if (!hadBystander) testutil::WriteAll(bystander, "not ours");
  std::string before = testutil::ReadAll(bystander);

  bool found = false;
  Text content = z.GetFileContent(u"readme.txt", found);
  EXPECT_TRUE(found);
  // loaded with both the byte and the text flag: the file's bytes, one character each
  EXPECT_EQ(txt::ToBytes(content), "caf\xC3\xA9 \xE2\x82\xAC\r\n");
  EXPECT_EQ(testutil::ReadAll(bystander), before);
  if (!hadBystander) std::remove(bystander.c_str());

  content = z.GetFileContent(u"missing.txt", found);
  EXPECT_FALSE(found);
  EXPECT_TRUE(content.empty());

  // names that would reach outside the extraction folder run nothing, and a link in the
  // archive never leads the clean-up outside
  for (const char16_t* bad : {u"../readme.txt", u"/etc/passwd", u"a/../../b", u"", u"link"}) {
    z.GetFileContent(bad, found);
    EXPECT_FALSE(found) << txt::ToUtf8(bad);
  }
  EXPECT_EQ(testutil::ReadAll(outside.file("keep.txt")), "precious");
}

TEST_F(ArchiveFixture, MissingArchiverOrArchiveNameFailsQuietly) {
  testutil::LogCapture log;
  {
    submittest::NoArchiverOnPath noPath;
    c7z z;
    z.Path7zip(W("/no/such/7z.exe"));
    z.FileName(W("/pack.7z"));
    EXPECT_FALSE(z.Add(u"KestrovaTools"));
    EXPECT_TRUE(z.LastExecShellOutput().empty());
  }
  c7z none;
  long files = 5, folders = 5;
  EXPECT_FALSE(none.Add(u"x"));
  EXPECT_FALSE(none.Extract(u"x", txt::FromUtf8(tmp.path())));
  EXPECT_TRUE(none.GetFileList(u"", files, folders).empty());
  EXPECT_EQ(files + folders, 0);
  EXPECT_TRUE(log.Has("Erreur [c7z] en ex\xC3\xA9" "cutant 7z.exe [\""));
  EXPECT_TRUE(log.Has("Erreur [c7z] Fichier 7zip non d\xC3\xA9" "fini"));
}

TEST_F(ArchiveFixture, ArchiverAskingForAPasswordDoesNotHang) {
  std::string archive = work + "/secret.7z";
  std::string cmd = "7z a -psecret -mhe=on \"" + archive + "\" \"" + work + "/KestrovaTools\" >/dev/null 2>&1";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  testutil::LogCapture quiet;
  c7z z;
  z.FileName(txt::FromUtf8(archive));
  double t0 = platform::HiResMs();
  long files = 0, folders = 0;
  EXPECT_FALSE(z.TestArchive(u"", files, folders));
  EXPECT_LT(platform::HiResMs() - t0, 20000.0);
}

}  // namespace
