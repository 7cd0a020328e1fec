#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <pugixml.hpp>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <functional>
#include <random>
#include <vector>

#include "platform/ErrLog.h"
#include "platform/FileSys.h"
#include "storage/VbDate.h"
#include "storage/mFileUtils.h"
#include "storage/mStringTools.h"
#include "storage/mTextFile.h"
#include "tests/common/TestUtil.h"
#include "tests/storage/SaveLoopContent.h"

using namespace mTextFile;
using platform::fs::Op;
using testutil::Exists;
using testutil::LogCapture;
using testutil::ReadAll;
using testutil::TempDir;
using testutil::WriteAll;

namespace {
std::vector<std::string> Names(const TempDir& d, const std::string& sub = "") {
  std::vector<platform::fs::DirEntry> entries;
  // A folder that is not there lists as empty.
  (void)platform::fs::ListDir(sub.empty() ? d.path() : d.file(sub), entries);
  std::vector<std::string> out;
  for (auto& e : entries) out.push_back(e.name);
  std::sort(out.begin(), out.end());
  return out;
}

std::string Stamp(double daysAgo) { return txt::ToUtf8(vbdate::Format(vbdate::Now() - daysAgo, kBackupStampFormat)); }

// Every file-system step of a save is made to fail in turn; the old content must survive
// each time and a failed save must never be reported as a success.
const std::string kOld = std::string("<Languages version=\"0.4\">\r\n\t<fr>old \xC3\xA9</fr>\r\n</Languages>\r\n") +
                         std::string(5000, 'o');
// Long enough to be written in several pieces.
const Text kNew = u"<Languages version=\"0.4\">\r\n\t<fr>nouveau \u00E9t\u00E9" + Text(300000, u'n') +
                  u"</fr>\r\n</Languages>\r\n";
const std::string kNewBytes = "<Languages version=\"0.4\">\r\n\t<fr>nouveau \xC3\xA9t\xC3\xA9" +
                              std::string(300000, 'n') + "</fr>\r\n</Languages>\r\n";

struct Scenario {
  const char* name;
  std::string file;       // relative to the folder
  bool hasOld;            // an old file is there before the save
  std::string backupDir;  // where a kept backup of the old content lands; "" when none is kept
  std::function<void(const TempDir&)> setup;
  std::function<bool(const TempDir&)> save;
  std::string expectedAfter;  // bytes at the path after a successful save
};

std::vector<Scenario> Scenarios() {
  return {
      {"program parameters", "lang_fr.xml", true, "",
       [](const TempDir& d) { WriteAll(d.file("lang_fr.xml"), kOld); },
       [](const TempDir& d) { return SaveFile(d.tfile("lang_fr.xml"), kNew); }, kNewBytes},
      {"new file in new folders", "x/y/lang_fr.xml", false, "", [](const TempDir&) {},
       [](const TempDir& d) { return SaveFile(d.tfile("x/y/lang_fr.xml"), kNew); }, kNewBytes},
      {"numbered backups with rotation", "lang_fr.xml", true, "Bak",
       [](const TempDir& d) {
         WriteAll(d.file("lang_fr.xml"), kOld);
         EXPECT_TRUE(platform::fs::MakeDir(d.file("Bak")));
         WriteAll(d.file("Bak/lang_fr.xml.001.bak"), "b1");
         WriteAll(d.file("Bak/lang_fr.xml.002.bak"), "b2");
       },
       [](const TempDir& d) { return SaveFile(d.tfile("lang_fr.xml"), kNew, true, 2, false, 1252, 2, false, u"Bak"); },
       kNewBytes},
      {"numbered backups in a new folder", "lang_fr.xml", true, "Bak",
       [](const TempDir& d) { WriteAll(d.file("lang_fr.xml"), kOld); },
       [](const TempDir& d) { return SaveFile(d.tfile("lang_fr.xml"), kNew, true, 2, false, 1252, 3, false, u"Bak"); },
       kNewBytes},
      {"date-stamped backups with purge and conversion", "lang_fr.xml", true, "Old",
       [](const TempDir& d) {
         WriteAll(d.file("lang_fr.xml"), kOld);
         EXPECT_TRUE(platform::fs::MakeDir(d.file("Old")));
         WriteAll(d.file("Old/lang_fr.xml.001.bak"), "numbered");
         EXPECT_TRUE(platform::fs::SetMTime(d.file("Old/lang_fr.xml.001.bak"), vbdate::ToUnixLocal(vbdate::Now() - 1)));
         WriteAll(d.file("Old/lang_fr_" + Stamp(30) + ".xml"), "aged");
       },
       [](const TempDir& d) { return SaveFile(d.tfile("lang_fr.xml"), kNew, true, 2, false, 1252, 0, false, u"Old", 7, 0); },
       kNewBytes},
      {"append", "log.txt", true, "",
       [](const TempDir& d) { WriteAll(d.file("log.txt"), kOld); },
       [](const TempDir& d) { return SaveFile(d.tfile("log.txt"), kNew, true, 2, false, 1252, 0, true); },
       kOld + kNewBytes},
  };
}

bool SomeFileHolds(const TempDir& d, const std::string& sub, const std::string& bytes) {
  auto names = Names(d, sub);
  return std::any_of(names.begin(), names.end(), [&](auto& n) { return ReadAll(d.file(sub + "/" + n)) == bytes; });
}

}  // namespace

TEST(LoadTextFile, DetectsEncodingAndLogsIt) {
  struct Case {
    const char* name;
    Bytes data;
    int mode;
    const char* modeName;
    Text text;
  };
  const Case cases[] = {
      {"utf8 with mark", "\xEF\xBB\xBF<a>\xC3\xA9</a>", mStringTools::ModeUTF8, "UTF8", u"<a>\u00E9</a>"},
      {"utf8 without mark", "<a>\xE2\x82\xAC</a>", mStringTools::ModeUTF8, "UTF8", u"<a>\u20AC</a>"},
      {"utf16le", Bytes("\xFF\xFE<\0a\0>\0\x01\x04", 10), mStringTools::ModeUnicode, "UNICODE", u"<a>\u0401"},
      {"ansi only", "<a>plain</a>", mStringTools::ModeANSI, "ANSI", u"<a>plain</a>"},
      {"code page", "<a>\xE9t\xE9</a>", mStringTools::ModeANSI, "ANSI", u"<a>\u00E9t\u00E9</a>"},
      {"utf8 replacement", "<a>\xEF\xBF\xBD</a>", mStringTools::ModeUTF8, "UTF8", u"<a>\uFFFD</a>"},
  };
  TempDir d;
  for (const auto& c : cases) {
    std::string p = d.file(std::string(c.name) + ".xml");
    WriteAll(p, c.data);
    LogCapture log;
    int mode = 99;
    bool changed = false;
    Text t = LoadTextFile(txt::FromUtf8(p), false, true, mode, false, &changed);
    EXPECT_EQ(mode, c.mode) << c.name;
    EXPECT_TEXT_EQ(t, c.text);
    EXPECT_TRUE(log.Has(std::string("Loaded text file as ") + c.modeName + " (auto) : " + p))
        << c.name;
  }
}

// Large files are read a piece at a time: characters cut by the pieces' edges, a mark, and a
// fault far into the file (which sends the whole file down the detection road) must all read
// as the whole file would.
TEST(LoadTextFile, LargeFilesReadAsAWhole) {
  const size_t piece = 64 * 1024;
  std::string utf8;
  Text text;
  for (size_t at = 0; utf8.size() < 3 * piece + 100;) {
    // Every offset of a two-, three- and four-byte character against the edges.
    for (int k = 0; k < 7; ++k, ++at) {
      utf8 += 'a';
      text += u'a';
    }
    utf8 += "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";
    text += u"\u00E9\u20AC\U0001F600";
  }
  struct Case {
    const char* name;
    std::string bytes;
    bool keepMark;
    int mode;
    Text want;
    bool markChanged;
  };
  const std::string bad = utf8.substr(0, 2 * piece + 7) + "\xE9" + utf8.substr(2 * piece + 7);
  // Read as the code page: every byte is a character.
  Text badText;
  for (unsigned char c : bad) badText += mStringTools::StrCodePageToUnicode(std::string(1, static_cast<char>(c)), 1252);
  const Case cases[] = {
      {"plain", utf8, false, mStringTools::ModeUTF8, text, false},
      {"marked", "\xEF\xBB\xBF" + utf8, false, mStringTools::ModeUTF8, text, true},
      {"mark kept", utf8, true, mStringTools::ModeUTF8, u"\uFEFF" + text, true},
      {"ascii", std::string(3 * piece + 5, 'x'), false, mStringTools::ModeANSI, Text(3 * piece + 5, u'x'), false},
      {"broken late", bad, false, mStringTools::ModeANSI, badText, false},
  };
  TempDir d;
  for (const auto& c : cases) {
    std::string p = d.file(std::string(c.name) + ".txt");
    WriteAll(p, c.bytes);
    int mode = 99;
    bool changed = !c.markChanged;
    Text t = LoadTextFile(txt::FromUtf8(p), false, true, mode, c.keepMark, &changed);
    EXPECT_EQ(mode, c.mode) << c.name;
    EXPECT_EQ(t.size(), c.want.size()) << c.name;
    EXPECT_TRUE(t == c.want) << c.name;
    EXPECT_EQ(changed, c.markChanged) << c.name;
  }
}

TEST(LoadFile, NothingToReadGivesNothing) {
  TempDir d;
  WriteAll(d.file("empty.txt"), "");
  WriteAll(d.file("full.txt"), "0123456789");
  Bytes buf = "stale";
  EXPECT_EQ(LoadFile(d.tfile("missing.txt"), buf), 0);
  EXPECT_TRUE(buf.empty());
  EXPECT_EQ(LoadFile(txt::FromUtf8(d.path()), buf), 0);
  EXPECT_EQ(LoadFile(d.tfile("full.txt"), buf, 20), 0);
  EXPECT_EQ(LoadFile(d.tfile("full.txt"), buf, 3, 4), 4);
  EXPECT_EQ(buf, "3456");
  EXPECT_EQ(LoadFile(d.tfile("full.txt"), buf, 8, 100), 2);
  EXPECT_EQ(buf, "89");
  // A file another program holds shut: the open fails.
  platform::fs::FailNth(platform::fs::Op::Open, 1, EACCES);
  EXPECT_EQ(LoadFile(d.tfile("full.txt"), buf), 0);
}

TEST(SaveFile, LogsAndDropsAnUnaskedMarkAndKeepsPairsWhole) {
  TempDir d;
  LogCapture log;
  // A leading mark in the text is not written unless asked for.
  ASSERT_TRUE(SaveFile(d.tfile("lang.xml"), u"\xFEFFx"));
  EXPECT_EQ(ReadAll(d.file("lang.xml")), "x");
  EXPECT_TRUE(log.Has("Save text file as UTF8 : " + d.file("lang.xml")));
  // Long texts are written in pieces; a surrogate pair on a piece's edge stays whole.
  for (size_t at : {131071u, 131072u, 262143u}) {
    Text big(300000, u'a');
    big[at] = 0xD83D;
    big[at + 1] = 0xDE00;
    big[299999] = u'\u00E9';
    ASSERT_TRUE(SaveFile(d.tfile("lang.xml"), big));
    EXPECT_EQ(ReadAll(d.file("lang.xml")), mStringTools::UTF8_EncodeBytes(big)) << at;
  }
  // Windows-style separators name the same place.
  ASSERT_TRUE(SaveFile(txt::FromUtf8(d.path()) + u"\\a\\b\\c\\new.xml", u"m"));
  EXPECT_EQ(ReadAll(d.file("a/b/c/new.xml")), "m");
}

TEST(SaveFile, EncodesAsAsked) {
  struct Case {
    const char* name;
    Text data;
    bool isText;
    int mode;
    bool mark;
    int cp;
    Bytes bytes;
  };
  const Case cases[] = {
      {"utf16 mark", u"A\u0401", true, 1, true, 1252, Bytes("\xFF\xFE" "A\0\x01\x04", 6)},
      {"utf16 plain", u"A", true, 1, false, 1252, Bytes("A\0", 2)},
      {"utf8 mark", u"\u00E9", true, 2, true, 1252, "\xEF\xBB\xBF\xC3\xA9"},
      {"cp1252", u"\xFEFF\u20AC\u00E9", true, 3, false, 1252, "\x80\xE9"},
      {"bytes as they stand", Text(u"\x00FF\x0001", 2), false, 2, true, 1252, "\xFF\x01"},
      {"other mode, byte string", u"\x00E9z", true, 0, false, 1252, "\xE9z"},
      {"other mode, wide text", u"\u20AC", true, 7, false, 1252, "\x80"},
  };
  TempDir d;
  for (const auto& c : cases) {
    std::string p = d.file("out.bin");
    ASSERT_TRUE(SaveFile(txt::FromUtf8(p), c.data, c.isText, c.mode, c.mark, c.cp)) << c.name;
    EXPECT_EQ(ReadAll(p), c.bytes) << c.name;
  }
}

TEST(SaveFile, FailuresKeepTheOldFileAndTellWhy) {
  TempDir d;
  WriteAll(d.file("lang.xml"), "old");
  ASSERT_TRUE(platform::fs::MakeDir(d.file("dir.xml")));
  struct Case {
    const char* name;
    std::function<SaveOutcome()> save;
    Op op;  // made to fail once with err; Count_ for none
    int err;
    SaveStep step;
    const char* reason;
  };
  auto plain = [&] { return SaveFileOutcome(d.tfile("lang.xml"), u"new"); };
  const Case cases[] = {
      // An unknown code page cannot carry the text: the old file must not become empty.
      {"unknown code page", [&] { return SaveFileOutcome(d.tfile("lang.xml"), u"new", true, 3, false, 424242); },
       Op::Count_, 0, SaveStep::Convert, "the text cannot be written in this encoding"},
      {"folder in the way", [&] { return SaveFileOutcome(d.tfile("dir.xml"), u"x"); }, Op::Count_, 0,
       SaveStep::Prepare, "a folder has that name"},
      {"folder path", [&] { return SaveFileOutcome(txt::FromUtf8(d.path()) + u"/", u"x"); }, Op::Count_, 0,
       SaveStep::Prepare, "invalid argument"},
      {"disk full", plain, Op::Write, ENOSPC, SaveStep::Write, "disk full"},
      {"no permission", plain, Op::Open, EACCES, SaveStep::Open, "permission denied"},
      {"flush", plain, Op::Fsync, EIO, SaveStep::Flush, "input/output error"},
      {"read-only rename", plain, Op::Rename, EROFS, SaveStep::Replace, "read-only disk"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.op != Op::Count_) platform::fs::FailNth(c.op, 1, c.err);
    SaveOutcome out = c.save();
    platform::fs::ResetFaults();
    EXPECT_FALSE(out.ok());
    EXPECT_EQ(out.failedStep, c.step);
    if (c.err) {
      EXPECT_EQ(out.error, c.err);
    }
    EXPECT_EQ(txt::ToUtf8(SaveFailureReason(out)), c.reason);
    EXPECT_EQ(ReadAll(d.file("lang.xml")), "old");
    EXPECT_EQ(Names(d), (std::vector<std::string>{"dir.xml", "lang.xml"}));
  }
}

TEST(BackupFileName, ThreeDigitsAreAMinimumWidth) {
  TempDir many;
  for (int i = 1; i <= 999; ++i) {
    char n[8];
    std::snprintf(n, sizeof n, "%03d", i);
    WriteAll(many.file(std::string("g.") + n + ".tmp"), "");
  }
  EXPECT_TEXT_EQ(BackupFileName(many.tfile("g"), 99999, u".tmp"), many.tfile("g.1000.tmp"));
}

TEST(SaveFile, NumberedBackupsRotate) {
  // Backups .001 to .003 before and after the save ("" for none): all full, they shift; a gap is filled.
  const std::vector<std::string> cases[][2] = {{{"b1", "b2", "b3"}, {"b2", "b3", "current"}},
                                               {{"", "b2", ""}, {"current", "b2", ""}}};
  for (const auto& [before, after] : cases) {
    TempDir d;
    auto bak = [&](size_t i) { return d.file("f.xml.00" + std::to_string(i + 1) + ".bak"); };
    WriteAll(d.file("f.xml"), "current");
    for (size_t i = 0; i < 3; ++i)
      if (!before[i].empty()) WriteAll(bak(i), before[i]);
    ASSERT_TRUE(SaveFile(d.tfile("f.xml"), u"next", true, 2, false, 1252, 3));
    EXPECT_EQ(ReadAll(d.file("f.xml")), "next");
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(ReadAll(bak(i)), after[i]) << i;
  }
}

TEST(DateBackups, PurgeOnlyStampedFilesOlderThanTheLimit) {
  TempDir d;
  VbDate now = vbdate::Now();
  std::string old1 = "f_" + Stamp(10) + ".xml", old2 = "f_" + Stamp(6) + ".xml", keep = "f_" + Stamp(2) + ".xml";
  for (auto& n : {old1, old2, keep}) WriteAll(d.file(n), n);
  WriteAll(d.file("f_notes.xml"), "mine");       // a user's file that looks like a backup
  WriteAll(d.file("f_1999-99-99_99-99-99.xml"), "not a date");
  LogCapture log;
  Text name = BackupDateFileName(d.tfile("f.xml"), 5, kBackupStampFormat, true);
  EXPECT_EQ(txt::ToUtf8(name).rfind(d.file("f_"), 0), 0u);
  EXPECT_EQ(name.size(), d.tfile("f_.xml").size() + 19);
  EXPECT_FALSE(Exists(d.file(old1)));
  EXPECT_FALSE(Exists(d.file(old2)));
  EXPECT_TRUE(Exists(d.file(keep)));
  EXPECT_TRUE(Exists(d.file("f_notes.xml")));
  EXPECT_TRUE(Exists(d.file("f_1999-99-99_99-99-99.xml")));
  EXPECT_TRUE(log.Has("Suppression fichier BAK (plus de 5 jours) => " + d.file(old1)));
  EXPECT_NEAR(LastBackupDate(d.tfile("f.xml"), kBackupStampFormat), now - 2, 1.0 / 86400);
  EXPECT_EQ(LastBackupDate(d.tfile("none.xml"), kBackupStampFormat), 0);
}

TEST(DateBackups, OldNumberedBackupsAreConvertedByTheirDate) {
  TempDir d;
  WriteAll(d.file("f.xml.001.bak"), "numbered");
  VbDate when = vbdate::FromParts(2023, 7, 14, 9, 30, 0);
  ASSERT_TRUE(platform::fs::SetMTime(d.file("f.xml.001.bak"), vbdate::ToUnixLocal(when)));
  // Old enough to be purged right after its conversion only with a short limit.
  BackupDateFileName(d.tfile("f.xml"), 100000, kBackupStampFormat, true);
  EXPECT_EQ(ReadAll(d.file("f_2023-07-14_09-30-00.xml")), "numbered");
  EXPECT_FALSE(Exists(d.file("f.xml.001.bak")));
  // Without the flag nothing is renamed.
  WriteAll(d.file("f.xml.002.bak"), "x");
  BackupDateFileName(d.tfile("f.xml"), 100000, kBackupStampFormat, false);
  EXPECT_TRUE(Exists(d.file("f.xml.002.bak")));
}

TEST(SaveFile, DateStampedBackupsRespectTheInterval) {
  TempDir d;
  WriteAll(d.file("f.xml"), "v1");
  ASSERT_TRUE(SaveFile(d.tfile("f.xml"), u"v2", true, 2, false, 1252, 0, false, u"Bak", 5, 5));
  std::vector<std::string> baks = Names(d, "Bak");
  ASSERT_EQ(baks.size(), 1u);
  EXPECT_EQ(ReadAll(d.file("Bak/" + baks[0])), "v1");
  // A backup younger than the interval: no new one, and no temporary left behind.
  LogCapture log;
  ASSERT_TRUE(SaveFile(d.tfile("f.xml"), u"v3", true, 2, false, 1252, 0, false, u"Bak", 5, 5));
  EXPECT_EQ(Names(d, "Bak"), baks);
  EXPECT_EQ(Names(d), (std::vector<std::string>{"Bak", "f.xml"}));
  EXPECT_EQ(ReadAll(d.file("f.xml")), "v3");
  EXPECT_TRUE(log.Has("Skip file backup [" + d.file("f.xml") + "] (recent backup date: "));
}

TEST(KillFile, DeletesRetriesAndGivesUp) {
  TempDir d;
  WriteAll(d.file("a"), "a");
  EXPECT_TRUE(KillFile(d.tfile("a"), 20));
  EXPECT_FALSE(Exists(d.file("a")));
  EXPECT_TRUE(KillFile(d.tfile("nodir/a"), 20));         // already gone
  EXPECT_FALSE(KillFile(txt::FromUtf8(d.path()), 20));   // a folder is not a file
  EXPECT_TRUE(Exists(d.path()));

  WriteAll(d.file("b"), "b");
  platform::fs::FailNth(platform::fs::Op::Remove, 1);
  EXPECT_TRUE(KillFile(d.tfile("b"), 20));
  EXPECT_FALSE(Exists(d.file("b")));

  WriteAll(d.file("c"), "c");
  platform::fs::ResetFaults();
  platform::fs::FailAlways(platform::fs::Op::Remove);
  LogCapture log;
  EXPECT_FALSE(KillFile(d.tfile("c"), 1));
  EXPECT_EQ(platform::fs::CallCount(platform::fs::Op::Remove), 2);  // one try, one retry
  EXPECT_TRUE(Exists(d.file("c")));
  EXPECT_TRUE(log.Has("Erreur 5 dans KillFile : "));
}

TEST(SaveFileFaults, EveryFailingStepKeepsTheOldContent) {
  const Op ops[] = {Op::Open, Op::Write, Op::Fsync, Op::Rename, Op::Remove, Op::MakeDir};
  const char* opNames[] = {"open", "write", "fsync", "rename", "remove", "mkdir"};
  LogCapture log;
  for (const Scenario& sc : Scenarios()) {
    int counts[6] = {};
    // The save in a fresh folder with the nth call of ops[i] failing; n = 0: none fails,
    // and the calls of each kind are counted.
    auto run = [&](int i, int n) {
      SCOPED_TRACE(std::string(sc.name) + ": " + opNames[i] + " #" + std::to_string(n));
      TempDir d;
      sc.setup(d);
      platform::fs::ResetFaults();
      if (n) platform::fs::FailNth(ops[i], n);
      bool ok = sc.save(d);
      for (int k = 0; k < 6 && !n; ++k) counts[k] = platform::fs::CallCount(ops[k]);
      platform::fs::ResetFaults();
      // The new bytes never reached the disk completely: the save cannot have succeeded.
      EXPECT_TRUE(n || ok);
      if (n && (ops[i] == Op::Write || ops[i] == Op::Fsync || ops[i] == Op::Open)) {
        EXPECT_FALSE(ok);
      }
      if (ok) {
        EXPECT_EQ(ReadAll(d.file(sc.file)), sc.expectedAfter);
        if (!sc.backupDir.empty()) {
          EXPECT_TRUE(SomeFileHolds(d, sc.backupDir, kOld));
        }
      } else if (sc.hasOld) {
        EXPECT_EQ(ReadAll(d.file(sc.file)), kOld);
      } else {
        EXPECT_FALSE(Exists(d.file(sc.file)));
      }
      for (auto& n : Names(d, std::filesystem::path(sc.file).parent_path())) EXPECT_FALSE(n.ends_with(".tmp")) << n;
    };
    run(0, 0);
    EXPECT_GE(counts[1], 3) << sc.name;
    EXPECT_GE(counts[2], 1) << sc.name;
    for (int i = 0; i < 6; ++i)
      for (int n = 1; n <= counts[i]; ++n) run(i, n);
  }
}

// A process saving 10 MB files in a loop is killed at random moments: every time the path
// must hold a complete file, the old or the new one, that an independent parser accepts.
TEST(SaveFileCrash, EveryKillLeavesACompleteFile) {
  TempDir d;
  const std::string path = d.file("lang_fr.xml");
  const std::string a = savetest::FileBytes('a'), b = savetest::FileBytes('b');
  WriteAll(path, a);
  std::mt19937 rng(20240611);
  int complete = 0, leftovers = 0, kills = 30;
  for (int k = 0; k < kills; ++k) {
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    pid_t pid = ::fork();
    if (pid == 0) {
      ::dup2(out[1], 1);
      ::execl(KSV_SAVE_LOOP, KSV_SAVE_LOOP, path.c_str(), nullptr);
      ::_exit(127);
    }
    ASSERT_GT(pid, 0);
    ::close(out[1]);
    char ready[8] = {};
    ASSERT_GT(::read(out[0], ready, sizeof ready), 0);  // the contents are built: saving starts
    ::close(out[0]);
    ::usleep(static_cast<useconds_t>(rng() % 600000));
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the save loop stopped by itself, status " << status;

    std::string got = ReadAll(path);
    pugi::xml_document doc;
    bool parses = doc.load_buffer(got.data(), got.size()) && doc.child("Languages").child("fr");
    if (parses && (got == a || got == b)) ++complete;
    else ADD_FAILURE() << "kill " << k << ": " << got.size() << " bytes, parses " << parses;
    for (auto& n : Names(d))
      if (n != "lang_fr.xml") {
        ++leftovers;
        EXPECT_TRUE(platform::fs::Remove(d.file(n)));
      }
  }
  // The editor reads the survivor back as the text that was saved.
  int mode = 0;
  Text t = LoadTextFile(txt::FromUtf8(path), false, true, mode);
  EXPECT_TRUE(t == savetest::Content('a') || t == savetest::Content('b'));
  std::printf("[ kill test ] %d of %d kills left a complete file; %d left a temporary copy beside it\n", complete,
              kills, leftovers);
  EXPECT_EQ(complete, kills);
}
