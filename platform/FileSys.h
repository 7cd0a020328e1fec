#pragma once
// The file system as the program uses it: thin POSIX calls on UTF-8 paths, with a fault
// seam so tests can make the Nth open, write, fsync, rename, delete or mkdir fail.
// No Qt here: core code calls it directly.
#include <cstdint>
#include <string>
#include <utility>
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
[[nodiscard]] int OpenRead(const std::string& path);
[[nodiscard]] int OpenWrite(const std::string& path, bool truncate);
// Writes everything or fails; returns the bytes written (short on failure, errno set).
[[nodiscard]] int64_t WriteAll(int fd, const void* data, size_t n);
[[nodiscard]] int64_t ReadAt(int fd, void* buf, size_t n, int64_t offset);
[[nodiscard]] bool SeekEnd(int fd);
// Cuts the file back to `size` bytes (undoing a failed append).
[[nodiscard]] bool Truncate(int fd, int64_t size);
[[nodiscard]] bool Fsync(int fd);
// Starts writing a written range to the disk without waiting, so a later Fsync has less
// left to wait for. Only a hint.
void StartWriteback(int fd, int64_t offset, int64_t length);
[[nodiscard]] bool Close(int fd);
// Flushes a folder's entry table so a rename or create in it survives a crash.
[[nodiscard]] bool FsyncDir(const std::string& dir);

// Fails when the target exists (like a plain Windows move). Falls back to copy + delete
// across file systems.
[[nodiscard]] bool MoveNoReplace(const std::string& from, const std::string& to);
// Atomically puts `from` in the place of `to` (which may exist): at every instant `to`
// names either the old or the new file. Both must be on one file system.
[[nodiscard]] bool ReplaceFile(const std::string& from, const std::string& to);
// Makes `to` (which must not exist) a second name of `from`, or a flushed copy where the
// file system has no hard links. Counts as a rename for the fault seam.
[[nodiscard]] bool LinkOrCopy(const std::string& from, const std::string& to);
// Gives the open file the permission bits of the file at `like` (when it exists).
[[nodiscard]] bool CopyMode(const std::string& like, int fd);

[[nodiscard]] bool Remove(const std::string& path);
[[nodiscard]] bool MakeDir(const std::string& path);
[[nodiscard]] bool RemoveDir(const std::string& path);
[[nodiscard]] bool ListDir(const std::string& path, std::vector<DirEntry>& out);
[[nodiscard]] bool SetReadOnly(const std::string& path, bool readOnly);
[[nodiscard]] bool SetMTime(const std::string& path, int64_t unixSeconds);
std::string CurrentDir();

// An open descriptor that closes itself. Close() is where a delayed write-back error shows,
// so a writer calls it and checks it; the destructor's close is for the failure paths.
class File {
 public:
  File() = default;
  explicit File(int fd) : fd_(fd) {}
  File(File&& o) noexcept : fd_(std::exchange(o.fd_, -1)) {}
  File& operator=(File&& o) noexcept {
    if (this != &o) {
      Drop();
      fd_ = std::exchange(o.fd_, -1);
    }
    return *this;
  }
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  ~File() { Drop(); }

  [[nodiscard]] static File ForRead(const std::string& path) { return File(OpenRead(path)); }
  [[nodiscard]] static File ForWrite(const std::string& path, bool truncate) { return File(OpenWrite(path, truncate)); }
  bool IsOpen() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  // True when the file was closed cleanly (or was not open); errno tells why not.
  [[nodiscard]] bool Close() {
    int fd = std::exchange(fd_, -1);
    return fd < 0 || fs::Close(fd);
  }

 private:
  // Keeps errno: the failure being reported is the one that made the caller give up.
  void Drop() noexcept;
  int fd_ = -1;
};

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
