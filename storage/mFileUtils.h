#pragma once
// Path texts, files and folders. Path texts follow the program's Windows-style rules
// ("\" and "/" both accepted); file-system calls go through platform/FileSys on the native
// form of the path. Nothing here shows a message or throws: failures give false, 0 or "".
#include <cstdint>
#include <string>
#include <vector>

#include "platform/Text.h"
#include "storage/VbDate.h"

namespace mFileUtils {

// Windows file attribute bits, as the program passes them around.
enum Attr : long {
  ATTR_READONLY = 1,
  ATTR_HIDDEN = 2,
  ATTR_SYSTEM = 4,
  ATTR_DIRECTORY = 16,
  ATTR_ARCHIVE = 32,
  ATTR_NORMAL = 128,
};

// --- path text -------------------------------------------------------------------------
Text AddBackSlash(TextView path);
// Appends the native separator ("/") unless the path already ends with either separator.
Text AddDirSep(TextView path);
Text FilePathOnly(TextView path);
Text FileNameOnly(TextView path);
Text FileExtention(TextView path);
Text GetFullPath(TextView path);
Text AddLongPathPrefix(TextView path);
Text PathRoot(TextView path);
// The path as the system takes it: UTF-8, "\" read as "/", a long-path prefix dropped.
std::string NativePath(TextView path);
Text FromNativePath(const std::string& path);
// Windows wildcard match ("*", "?"), ASCII case-insensitive.
bool WildcardMatch(TextView pattern, TextView name);

// --- files and folders -----------------------------------------------------------------
bool FileExists(TextView path, double* size = nullptr, VbDate* date = nullptr);
double FileLen(TextView path);
VbDate FileDate(TextView path, bool local);
bool FolderExists(TextView path);
// First call with a pattern starts a search; later calls with "" give the next name.
Text FindFile(TextView pattern, long attributes = 23);
std::vector<Text> GetFileList(TextView pattern, long attributes = 0);
long GetAttributes(TextView path);
[[nodiscard]] bool SetAttributes(TextView path, long attributes);
[[nodiscard]] bool CreateFolderPath(TextView path);
// Deletes the files matching a path or wildcard pattern; with force, read-only files too.
[[nodiscard]] bool DeleteFiles(TextView pattern, bool force);
[[nodiscard]] bool RemoveFolder(TextView path);
[[nodiscard]] bool KillFolder(TextView path, bool recursive, std::vector<Text>* errors = nullptr);
[[nodiscard]] bool MoveFileTo(TextView from, TextView to);
[[nodiscard]] bool GetVolumeInfo(TextView driveLetter, Text* label, long* serial, Text* fileSystem);

}  // namespace mFileUtils
