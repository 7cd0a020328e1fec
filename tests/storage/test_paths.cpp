#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "platform/FileSys.h"
#include "storage/mFileUtils.h"
#include "tests/common/TestUtil.h"

using namespace mFileUtils;

TEST(PathText, SeparatorRules) {
  EXPECT_TEXT_EQ(AddBackSlash(u"C:\\a"), u"C:\\a\\");
  EXPECT_TEXT_EQ(AddBackSlash(u"/home/a/"), u"/home/a/");
  EXPECT_TEXT_EQ(AddDirSep(u"/home/a"), u"/home/a/");

  EXPECT_TEXT_EQ(FilePathOnly(u"file.xml"), u"");
  EXPECT_TEXT_EQ(FilePathOnly(u"C:\\dir/sub\\f"), u"C:\\dir/sub");

  EXPECT_TEXT_EQ(FileNameOnly(u"C:\\dir\\file.xml"), u"file.xml");

  EXPECT_TEXT_EQ(FileExtention(u"C:\\a.b\\file"), u"");
  EXPECT_TEXT_EQ(FileExtention(u"C:\\a.b\\file.XML"), u"XML");
  EXPECT_TEXT_EQ(FileExtention(u"archive.tar.gz"), u"gz");

  EXPECT_TEXT_EQ(AddLongPathPrefix(u"C:\\x"), u"\\\\?\\C:\\x");
  EXPECT_TEXT_EQ(AddLongPathPrefix(u"\\\\server\\share\\x"), u"\\\\server\\share\\x");
  EXPECT_TEXT_EQ(AddLongPathPrefix(u"/home/x"), u"/home/x");

  EXPECT_TEXT_EQ(PathRoot(u"\\\\server\\share\\dir\\f"), u"\\\\server\\share");
  EXPECT_TEXT_EQ(PathRoot(u"\\\\?\\C:\\dir\\f"), u"C:\\");
  EXPECT_TEXT_EQ(PathRoot(u"relative\\f"), u"");

  EXPECT_EQ(NativePath(u"\\\\?\\/tmp\\a\\b"), "/tmp/a/b");
  EXPECT_TEXT_EQ(GetFullPath(u"/a/b/../c/./d/"), u"/a/c/d/");
  EXPECT_TEXT_EQ(GetFullPath(u"/.."), u"/");
}

TEST(PathText, WindowsWildcards) {
  EXPECT_TRUE(WildcardMatch(u"*.xml", u"KestrovaMenu_fr.XML"));
  EXPECT_TRUE(WildcardMatch(u"KestrovaMenu_*.xml", u"KestrovaMenu_pt-BR.xml"));
  EXPECT_FALSE(WildcardMatch(u"KestrovaMenu_*.xml", u"KestrovaMenu.xml"));
  EXPECT_TRUE(WildcardMatch(u"file.???.bak", u"file.001.bak"));
  EXPECT_FALSE(WildcardMatch(u"file.???.bak", u"file.01.bak"));
  EXPECT_TRUE(WildcardMatch(u"a*b*c", u"aXXbYYbZc"));
  EXPECT_FALSE(WildcardMatch(u"a*b*c", u"aXXbYYbZ"));
}

class FileOps : public ::testing::Test {
 protected:
  testutil::TempDir dir;
};

TEST_F(FileOps, ExistsLenDateAndFolders) {
  testutil::WriteAll(dir.file("a.txt"), "12345");
  double size = 0;
  VbDate date = 0;
  EXPECT_TRUE(FileExists(dir.tfile("a.txt"), &size, &date));
  EXPECT_EQ(size, 5);
  EXPECT_GT(date, vbdate::FromParts(2020, 1, 1));
  EXPECT_EQ(FileLen(dir.tfile("a.txt")), 5);
  EXPECT_EQ(FileLen(dir.tfile("missing")), 0);
  EXPECT_EQ(FileDate(dir.tfile("missing"), true), 0);
  EXPECT_FALSE(FileExists(txt::FromUtf8(dir.path())));  // a folder is not a file
  EXPECT_TRUE(FolderExists(txt::FromUtf8(dir.path()) + u"\\"));
  EXPECT_FALSE(FolderExists(dir.tfile("a.txt")));

  Text deep = dir.tfile("x\\y/z");
  EXPECT_TRUE(CreateFolderPath(deep));
  EXPECT_TRUE(FolderExists(deep));
  EXPECT_TRUE(CreateFolderPath(deep));  // existing: true, nothing changes
  platform::fs::FailAlways(platform::fs::Op::MakeDir);
  EXPECT_FALSE(CreateFolderPath(dir.tfile("q/r")));
}

TEST_F(FileOps, FindFileMasksAndIteration) {
  for (auto n : {"b.xml", "a.XML", ".hidden.xml", "c.txt"}) testutil::WriteAll(dir.file(n), "x");
  std::filesystem::create_directory(dir.file("sub.xml"));
  Text pattern = txt::FromUtf8(dir.path()) + u"\\*.xml";

  auto collect = [&](long mask) {
    std::vector<Text> names;
    for (Text n = FindFile(pattern, mask); !n.empty(); n = FindFile(u"")) names.push_back(n);
    std::sort(names.begin(), names.end());
    return names;
  };
  EXPECT_EQ(collect(0), (std::vector<Text>{u"a.XML", u"b.xml"}));
  EXPECT_EQ(collect(ATTR_HIDDEN), (std::vector<Text>{u".hidden.xml", u"a.XML", u"b.xml"}));
  EXPECT_EQ(collect(23), (std::vector<Text>{u".hidden.xml", u"a.XML", u"b.xml", u"sub.xml"}));
  EXPECT_TRUE(FindFile(u"").empty());  // the search is closed after the last name
  EXPECT_EQ(GetFileList(pattern).size(), 2u);
  EXPECT_TRUE(GetFileList(dir.tfile("nowhere/*.xml")).empty());
}

TEST_F(FileOps, MoveDeleteAttributesAndKillFolder) {
  testutil::WriteAll(dir.file("a"), "A");
  testutil::WriteAll(dir.file("b"), "B");
  EXPECT_FALSE(MoveFileTo(dir.tfile("a"), dir.tfile("b")));  // target exists
  EXPECT_EQ(testutil::ReadAll(dir.file("b")), "B");
  EXPECT_TRUE(MoveFileTo(dir.tfile("a"), dir.tfile("c")));
  EXPECT_FALSE(testutil::Exists(dir.file("a")));

  EXPECT_TRUE(SetAttributes(dir.tfile("c"), ATTR_READONLY));
  EXPECT_TRUE(GetAttributes(dir.tfile("c")) & ATTR_READONLY);

  for (auto n : {"d1.tmp", "d2.tmp", "keep.txt"}) testutil::WriteAll(dir.file(n), "x");
  EXPECT_TRUE(DeleteFiles(dir.tfile("*.tmp"), true));
  EXPECT_FALSE(testutil::Exists(dir.file("d1.tmp")));
  EXPECT_TRUE(testutil::Exists(dir.file("keep.txt")));

  std::filesystem::create_directories(dir.file("k/s1/s2"));
  testutil::WriteAll(dir.file("k/f"), "x");
  testutil::WriteAll(dir.file("k/s1/s2/.h"), "x");
  EXPECT_FALSE(KillFolder(dir.tfile("k"), false));  // sub-folders left: the folder stays
  EXPECT_TRUE(FolderExists(dir.tfile("k/s1")));
  std::vector<Text> errors;
  EXPECT_TRUE(KillFolder(dir.tfile("k"), true, &errors));
  EXPECT_TRUE(errors.empty());
  EXPECT_FALSE(FolderExists(dir.tfile("k")));
  EXPECT_TRUE(RemoveFolder(dir.tfile("x")) == false);  // missing folder

  // A link to another folder goes, the folder it points to and its files stay.
  std::filesystem::create_directories(dir.file("outside"));
  testutil::WriteAll(dir.file("outside/precious"), "keep");
  std::filesystem::create_directories(dir.file("k2"));
  std::filesystem::create_directory_symlink(dir.file("outside"), dir.file("k2/link"));
  EXPECT_TRUE(KillFolder(dir.tfile("k2"), true));
  EXPECT_FALSE(testutil::Exists(dir.file("k2")));
  EXPECT_EQ(testutil::ReadAll(dir.file("outside/precious")), "keep");
}
