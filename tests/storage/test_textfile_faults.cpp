// Every file-system step of a save is made to fail in turn; the old content must survive
// each time and a failed save must never be reported as a success.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

#include "platform/ErrLog.h"
#include "platform/FileSys.h"
#include "storage/VbDate.h"
#include "storage/mTextFile.h"
#include "tests/common/TestUtil.h"

using namespace mTextFile;
using platform::fs::Op;
using testutil::Exists;
using testutil::ReadAll;
using testutil::TempDir;
using testutil::WriteAll;

namespace {

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
  auto stamp = [](double daysAgo) { return txt::ToUtf8(vbdate::Format(vbdate::Now() - daysAgo, kBackupStampFormat)); };
  return {
      {"program parameters", "lang_fr.xml", true, "",
       [](const TempDir& d) { WriteAll(d.file("lang_fr.xml"), kOld); },
       [](const TempDir& d) { return SaveFile(d.tfile("lang_fr.xml"), kNew); }, kNewBytes},
      {"new file in new folders", "x/y/lang_fr.xml", false, "", [](const TempDir&) {},
       [](const TempDir& d) { return SaveFile(d.tfile("x/y/lang_fr.xml"), kNew); }, kNewBytes},
      {"numbered backups with rotation", "lang_fr.xml", true, "Bak",
       [](const TempDir& d) {
         WriteAll(d.file("lang_fr.xml"), kOld);
         platform::fs::MakeDir(d.file("Bak"));
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
       [stamp](const TempDir& d) {
         WriteAll(d.file("lang_fr.xml"), kOld);
         platform::fs::MakeDir(d.file("Old"));
         WriteAll(d.file("Old/lang_fr.xml.001.bak"), "numbered");
         platform::fs::SetMTime(d.file("Old/lang_fr.xml.001.bak"), vbdate::ToUnixLocal(vbdate::Now() - 1));
         WriteAll(d.file("Old/lang_fr_" + stamp(30) + ".xml"), "aged");
       },
       [](const TempDir& d) { return SaveFile(d.tfile("lang_fr.xml"), kNew, true, 2, false, 1252, 0, false, u"Old", 7, 0); },
       kNewBytes},
      {"append", "log.txt", true, "",
       [](const TempDir& d) { WriteAll(d.file("log.txt"), kOld); },
       [](const TempDir& d) { return SaveFile(d.tfile("log.txt"), kNew, true, 2, false, 1252, 0, true); },
       kOld + kNewBytes},
  };
}

bool AnyTemporary(const TempDir& d, const std::string& sub) {
  std::vector<platform::fs::DirEntry> entries;
  platform::fs::ListDir(sub.empty() ? d.path() : d.file(sub), entries);
  for (auto& e : entries)
    if (e.name.size() > 4 && e.name.compare(e.name.size() - 4, 4, ".tmp") == 0) return true;
  return false;
}

bool SomeFileHolds(const TempDir& d, const std::string& sub, const std::string& bytes) {
  std::vector<platform::fs::DirEntry> entries;
  platform::fs::ListDir(d.file(sub), entries);
  for (auto& e : entries)
    if (!e.isDir && ReadAll(d.file(sub + "/" + e.name)) == bytes) return true;
  return false;
}

std::string FileFolder(const std::string& file) {
  size_t s = file.rfind('/');
  return s == std::string::npos ? std::string() : file.substr(0, s);
}

struct QuietLog {
  std::vector<std::string> lines;
  QuietLog() {
    ErrLog::SetSink([this](const Text& l) { lines.push_back(txt::ToUtf8(l)); });
  }
  ~QuietLog() { ErrLog::SetSink({}); }
  // The text after `prefix` up to " => " in the first line starting with it.
  std::string Named(const std::string& prefix) const {
    for (auto& l : lines)
      if (l.rfind(prefix, 0) == 0) return l.substr(prefix.size(), l.find(" => ") - prefix.size());
    return std::string();
  }
};

}  // namespace

TEST(SaveFileFaults, EveryFailingStepKeepsTheOldContent) {
  const Op ops[] = {Op::Open, Op::Write, Op::Fsync, Op::Rename, Op::Remove, Op::MakeDir};
  const char* opNames[] = {"open", "write", "fsync", "rename", "remove", "mkdir"};
  QuietLog log;
  for (const Scenario& sc : Scenarios()) {
    int counts[6] = {};
    {
      TempDir d;
      sc.setup(d);
      platform::fs::ResetFaults();
      ASSERT_TRUE(sc.save(d)) << sc.name;
      for (int i = 0; i < 6; ++i) counts[i] = platform::fs::CallCount(ops[i]);
      ASSERT_EQ(ReadAll(d.file(sc.file)), sc.expectedAfter) << sc.name;
      if (!sc.backupDir.empty()) {
        EXPECT_TRUE(SomeFileHolds(d, sc.backupDir, kOld)) << sc.name;
      }
    }
    EXPECT_GE(counts[1], 3) << sc.name;
    EXPECT_GE(counts[2], 1) << sc.name;
    for (int i = 0; i < 6; ++i) {
      for (int n = 1; n <= counts[i]; ++n) {
        SCOPED_TRACE(std::string(sc.name) + ": " + opNames[i] + " #" + std::to_string(n));
        TempDir d;
        sc.setup(d);
        platform::fs::ResetFaults();
        platform::fs::FailNth(ops[i], n);
        bool ok = sc.save(d);
        platform::fs::ResetFaults();
        // The new bytes never reached the disk completely: the save cannot have succeeded.
        if (ops[i] == Op::Write || ops[i] == Op::Fsync || ops[i] == Op::Open) {
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
        EXPECT_FALSE(AnyTemporary(d, FileFolder(sc.file)));
      }
    }
  }
}

TEST(SaveFileFaults, WhenEvenTheRestoreFailsTheLogNamesTheSurvivor) {
  {
    // Temporary copy: the write fails, then the move back fails.
    TempDir d;
    WriteAll(d.file("f.xml"), kOld);
    QuietLog log;
    platform::fs::ResetFaults();
    platform::fs::FailNth(Op::Write, 1);
    platform::fs::FailNth(Op::Rename, 2);
    EXPECT_FALSE(SaveFile(d.tfile("f.xml"), kNew));
    platform::fs::ResetFaults();
    std::string kept = log.Named("Error while trying to restore the original file: ");
    ASSERT_FALSE(kept.empty());
    EXPECT_EQ(ReadAll(kept), kOld);
    EXPECT_FALSE(Exists(d.file("f.xml")));  // the partial new file was removed
  }
  {
    // Numbered backup: the flush fails, then the move back fails.
    TempDir d;
    WriteAll(d.file("f.xml"), kOld);
    QuietLog log;
    platform::fs::ResetFaults();
    platform::fs::FailNth(Op::Fsync, 1);
    platform::fs::FailNth(Op::Rename, 2);
    EXPECT_FALSE(SaveFile(d.tfile("f.xml"), kNew, true, 2, false, 1252, 5));
    platform::fs::ResetFaults();
    std::string kept = log.Named("Error while trying to restore the original filename: ");
    ASSERT_FALSE(kept.empty());
    EXPECT_EQ(ReadAll(kept), kOld);
  }
  {
    // The partial file cannot even be deleted: it blocks the restore, the old content waits
    // under the temporary name.
    TempDir d;
    WriteAll(d.file("f.xml"), kOld);
    QuietLog log;
    platform::fs::ResetFaults();
    platform::fs::FailNth(Op::Write, 1);
    platform::fs::FailAlways(Op::Remove);
    EXPECT_FALSE(SaveFile(d.tfile("f.xml"), kNew));
    platform::fs::ResetFaults();
    std::string kept = log.Named("Error while trying to restore the original file: ");
    ASSERT_FALSE(kept.empty());
    EXPECT_EQ(ReadAll(kept), kOld);
    EXPECT_NE(ReadAll(d.file("f.xml")), kNewBytes);
  }
}

TEST(SaveFileFaults, FailedAppendLeavesTheFileAsItWas) {
  TempDir d;
  WriteAll(d.file("log.txt"), kOld);
  QuietLog log;
  for (Op op : {Op::Write, Op::Fsync, Op::Open}) {
    platform::fs::ResetFaults();
    platform::fs::FailNth(op, 1);
    EXPECT_FALSE(SaveFile(d.tfile("log.txt"), kNew, true, 2, false, 1252, 0, true));
    platform::fs::ResetFaults();
    EXPECT_EQ(ReadAll(d.file("log.txt")), kOld);
  }
}
