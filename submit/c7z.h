#pragma once
// Drives the external 7-Zip console archiver: builds its command lines, runs it through
// cShellPipe, waits while letting events run, and reads the markers of its output.
#include <memory>

#include "platform/Event.h"
#include "platform/Text.h"
#include "submit/cShellPipe.h"

class c7z {
 public:
  c7z();
  ~c7z();
  c7z(const c7z&) = delete;
  c7z& operator=(const c7z&) = delete;

  // 0 = no type switch; 1 7z, 2 split, 3 zip, 4 gzip, 5 bzip2, 6 tar, 7 udf, 8 iso.
  int ArchiveType = 0;

  bool Extracting() const { return extracting_; }
  const Text& LastExecShellOutput() const { return lastOutput_; }
  const Text& FileName() const { return fileName_; }
  void FileName(TextView path) { fileName_ = Text(path); }

  // The "key = value" lines of the listing (CR LF joined), counting files and folders.
  Text GetFileList(TextView arguments, long& files, long& folders);
  // The value of one property of the listing (the last one wins).
  Text GetFileInfo(TextView arguments, TextView property);
  // Adds the files (a name or pattern relative to the archive's folder).
  bool Add(TextView files);
  bool TestArchive(TextView file, long& files, long& folders);
  // One file of the archive as text.
  Text GetFileContent(TextView file, bool& found);
  bool Extract(TextView file, TextView destination);
  // The temporary folder, with its trailing separator.
  Text TmpPath();
  // A new, empty, uniquely named file in the temporary folder ("" on failure).
  Text GetTmpFile();
  // When empty: the program's own folder + "7z.exe".
  Text Path7zip() const;
  void Path7zip(TextView path) { path7zip_ = Text(path); }

  // The command line of the last run, as it was started.
  const Text& LastCommandLine() const { return lastCommand_; }

  Event<const Text&> ExtractLog;

 private:
  Text RunSevenZip(TextView arguments, bool wait);
  // The program actually run: Path7zip when executable here, else 7z on PATH.
  Text ProgramToRun() const;
  Text TypeSwitch() const;
  static Text Win2Dos(TextView text);
  static Text Dos2Win(TextView text);
  static Text ShortPath(TextView path);
  static Text LongPath(TextView path);

  Text fileName_;
  Text path7zip_;
  Text lastOutput_;
  Text lastCommand_;
  bool finished_ = true;
  bool extracting_ = false;
  bool running_ = false;
  cShellPipe ShellPipe;
  Connection dataConn_, finishConn_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};
