#pragma once
// Loading text files with encoding detection, and saving them so that the old content is
// never lost: it stays at the path, or under a temporary or backup name, at every moment.
// Nothing here throws or shows a message; failures are reported by the result and a log line.
#include <cstdint>

#include "platform/Text.h"
#include "storage/VbDate.h"

namespace mTextFile {

// Stamp of date-stamped backups; also how stamps are read back.
inline constexpr char16_t kBackupStampFormat[] = u"yyyy-mm-dd_hh-nn-ss";

// Reads `length` bytes (the whole rest of the file when below 1) from `offset` into buffer.
// Returns the number of bytes read; 0 when missing, unreadable, a folder or empty.
[[nodiscard]] int64_t LoadFile(TextView path, Bytes& buffer, int64_t offset = 0, int64_t length = 0);

// asBytes: the bytes as a byte string. asText: the encoding is detected and returned in
// mode. Neither: the bytes through the system code page.
Text LoadTextFile(TextView path, bool asBytes, bool asText, int& mode, bool keepMark = false,
                  bool* markChanged = nullptr);

// The step where a save stopped.
enum class SaveStep { None, Prepare, Convert, Folder, Open, Write, Flush, Close, Backup, Replace };

// What a save came to: ok, or the step that failed and its errno.
struct SaveOutcome {
  SaveStep failedStep = SaveStep::None;
  int error = 0;
  bool ok() const { return failedStep == SaveStep::None; }
  explicit operator bool() const { return ok(); }
};

// True only when the complete new content is on disk (written, flushed and closed).
[[nodiscard]] bool SaveFile(TextView path, TextView data, bool isText = true, int mode = 2, bool writeMark = false,
              int codePage = 1252, long numberedBackups = 0, bool append = false, TextView backupFolder = u"",
              long backupDays = 0, long minBackupInterval = 5);
// The same save, telling why it failed.
[[nodiscard]] SaveOutcome SaveFileOutcome(TextView path, TextView data, bool isText = true, int mode = 2,
                                          bool writeMark = false, int codePage = 1252, long numberedBackups = 0,
                                          bool append = false, TextView backupFolder = u"", long backupDays = 0,
                                          long minBackupInterval = 5);
// The cause of a failed save in the user's words ("disk full", "permission denied").
Text SaveFailureReason(const SaveOutcome& outcome);

// First free name base + ".001" + ext ... base + "." + max + ext; when all are taken the
// oldest is dropped and the others move down one number.
Text BackupFileName(TextView base, long maxCount, TextView ext);
// The date-stamped name to use now for the file (or "*" pattern); converts old numbered
// backups when asked and deletes stamped backups older than `days`.
Text BackupDateFileName(TextView pattern, long days, TextView format, bool convert);
// Newest stamp among the existing date-stamped backups; 0 when there is none.
VbDate LastBackupDate(TextView pattern, TextView format);
// Reads the letters y m d h n s of `format` back from the same positions of `text`.
VbDate ParseDate(TextView text, TextView format);
// Deletes a file, retrying every 200 ms (events keep running) up to `retries` times.
// A file that is already gone counts as deleted.
[[nodiscard]] bool KillFile(TextView path, long retries);

}  // namespace mTextFile
