#pragma once
// The file system as the program uses it: thin POSIX calls on UTF-8 paths, with a fault
// seam so tests can make the Nth open, write, fsync, rename, delete or mkdir fail.
// No Qt here: core code calls it directly.
#include <cstdint>
#include <string>
#include <vector>

namespace platform::fs {

struct Info {
  bool exists = false;
  bool isDir = false;
  bool readOnly = false;
  uint64_t size = 0;
  int64_t mtime = 0;  // Unix seconds
};

struct DirEntry {
  std::string name;
  bool isDir = false;   // a link to a folder counts as a folder
  bool isLink = false;  // the entry itself is a symbolic link
};

Info Stat(const std::string& path);

// Returns a descriptor or -1 (errno set). forWrite opens (creating) for writing without
// truncation; append positions at the end.
int OpenRead(const std::string& path);
int OpenWrite(const std::string& path, bool truncate);
// Writes everything or fails; returns the bytes written (short on failure, errno set).
int64_t WriteAll(int fd, const void* data, size_t n);
int64_t ReadAt(int fd, void* buf, size_t n, int64_t offset);
bool SeekEnd(int fd);
// Cuts the file back to `size` bytes (undoing a failed append).
bool Truncate(int fd, int64_t size);
bool Fsync(int fd);
// Starts writing a written range to the disk without waiting, so a later Fsync has less
// left to wait for. Only a hint: false changes nothing.
bool StartWriteback(int fd, int64_t offset, int64_t length);
bool Close(int fd);
// Flushes a folder's entry table so a rename or create in it survives a crash.
bool FsyncDir(const std::string& dir);

// Fails when the target exists (like a plain Windows move). Falls back to copy + delete
// across file systems.
bool MoveNoReplace(const std::string& from, const std::string& to);
// Atomically puts `from` in the place of `to` (which may exist): at every instant `to`
// names either the old or the new file. Both must be on one file system.
bool ReplaceFile(const std::string& from, const std::string& to);
// Makes `to` (which must not exist) a second name of `from`, or a flushed copy where the
// file system has no hard links. Counts as a rename for the fault seam.
bool LinkOrCopy(const std::string& from, const std::string& to);
// Gives the open file the permission bits of the file at `like` (when it exists).
bool CopyMode(const std::string& like, int fd);

bool Remove(const std::string& path);
bool MakeDir(const std::string& path);
bool RemoveDir(const std::string& path);
bool ListDir(const std::string& path, std::vector<DirEntry>& out);
bool SetReadOnly(const std::string& path, bool readOnly);
bool SetMTime(const std::string& path, int64_t unixSeconds);
std::string CurrentDir();

// Fault seam for tests.
enum class Op { Open, Write, Fsync, Rename, Remove, MakeDir, Count_ };
// Makes the nth call of op from now (1-based) fail with errno = err; n = 0 clears it.
void FailNth(Op op, int n, int err = 5 /* EIO */);
// Every call of op from now fails (until ResetFaults).
void FailAlways(Op op, int err = 5);
void ResetFaults();
// Calls of op made since the last ResetFaults.
int CallCount(Op op);

}  // namespace platform::fs
