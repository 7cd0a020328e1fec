#include "platform/FileSys.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace platform::fs {
namespace {

struct Fault {
  int countdown = 0;  // fail when it reaches 1
  bool always = false;
  int err = EIO;
  int calls = 0;
};
Fault g_faults[static_cast<int>(Op::Count_)];

// Counts the call and tells whether it must fail (errno set).
bool Injected(Op op) {
  Fault& f = g_faults[static_cast<int>(op)];
  ++f.calls;
  if (f.always) {
    errno = f.err;
    return true;
  }
  if (f.countdown > 0) {
    if (--f.countdown == 0) {
      errno = f.err;
      return true;
    }
  }
  return false;
}

}  // namespace

void FailNth(Op op, int n, int err) {
  Fault& f = g_faults[static_cast<int>(op)];
  f.countdown = n > 0 ? n : 0;
  f.err = err;
}
void FailAlways(Op op, int err) {
  Fault& f = g_faults[static_cast<int>(op)];
  f.always = true;
  f.err = err;
}
void ResetFaults() {
  for (auto& f : g_faults) f = Fault{};
}
int CallCount(Op op) { return g_faults[static_cast<int>(op)].calls; }

Info Stat(const std::string& path) {
  Info i;
  struct stat st {};
  if (path.empty() || ::stat(path.c_str(), &st) != 0) return i;
  i.exists = true;
  i.isDir = S_ISDIR(st.st_mode);
  i.readOnly = (st.st_mode & S_IWUSR) == 0;
  i.size = static_cast<uint64_t>(st.st_size);
  i.mtime = static_cast<int64_t>(st.st_mtim.tv_sec);
  return i;
}

int OpenRead(const std::string& path) {
  if (Injected(Op::Open)) return -1;
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd >= 0) {
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
      ::close(fd);
      errno = EISDIR;
      return -1;
    }
  }
  return fd;
}

int OpenWrite(const std::string& path, bool truncate) {
  if (Injected(Op::Open)) return -1;
  return ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | (truncate ? O_TRUNC : 0), 0644);
}

int64_t WriteAll(int fd, const void* data, size_t n) {
  const char* p = static_cast<const char*>(data);
  size_t done = 0;
  if (Injected(Op::Write)) {
    // A failing disk usually gets part of the data out before it stops.
    size_t part = n / 2;
    if (part > 0) {
      int saved = errno;
      ssize_t w = ::write(fd, p, part);
      errno = saved;
      return w > 0 ? w : 0;
    }
    return 0;
  }
  while (done < n) {
    ssize_t w = ::write(fd, p + done, n - done);
    if (w < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (w == 0) {
      errno = ENOSPC;
      break;
    }
    done += static_cast<size_t>(w);
  }
  return static_cast<int64_t>(done);
}

int64_t ReadAt(int fd, void* buf, size_t n, int64_t offset) {
  char* p = static_cast<char*>(buf);
  size_t done = 0;
  while (done < n) {
    ssize_t r = ::pread(fd, p + done, n - done, static_cast<off_t>(offset + static_cast<int64_t>(done)));
    if (r < 0) {
      if (errno == EINTR) continue;
      return done > 0 ? static_cast<int64_t>(done) : -1;
    }
    if (r == 0) break;
    done += static_cast<size_t>(r);
  }
  return static_cast<int64_t>(done);
}

bool SeekEnd(int fd) { return ::lseek(fd, 0, SEEK_END) >= 0; }

bool Truncate(int fd, int64_t size) { return ::ftruncate(fd, static_cast<off_t>(size)) == 0; }

bool Fsync(int fd) {
  if (Injected(Op::Fsync)) return false;
  return ::fsync(fd) == 0;
}

void StartWriteback(int fd, int64_t offset, int64_t length) {
  int saved = errno;
  ::sync_file_range(fd, static_cast<off_t>(offset), static_cast<off_t>(length), SYNC_FILE_RANGE_WRITE);
  errno = saved;
}

bool Close(int fd) { return ::close(fd) == 0; }

void File::Drop() noexcept {
  if (fd_ < 0) return;
  int saved = errno;
  ::close(std::exchange(fd_, -1));
  errno = saved;
}

bool FsyncDir(const std::string& dir) {
  int fd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = ::fsync(fd) == 0;
  ::close(fd);
  return ok;
}

namespace {
bool CopyFile(const std::string& from, const std::string& to) {
  int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (out < 0) {
    ::close(in);
    return false;
  }
  char buf[1 << 16];
  bool ok = true;
  while (true) {
    ssize_t r = ::read(in, buf, sizeof buf);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) { ok = false; break; }
    if (r == 0) break;
    size_t off = 0;
    while (off < static_cast<size_t>(r)) {
      ssize_t w = ::write(out, buf + off, static_cast<size_t>(r) - off);
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) { ok = false; break; }
      off += static_cast<size_t>(w);
    }
    if (!ok) break;
  }
  ok = ::fsync(out) == 0 && ok;
  ok = ::close(out) == 0 && ok;
  ::close(in);
  if (!ok) ::unlink(to.c_str());
  return ok;
}
}  // namespace

bool MoveNoReplace(const std::string& from, const std::string& to) {
  if (Injected(Op::Rename)) return false;
  if (from.empty() || to.empty()) {
    errno = ENOENT;
    return false;
  }
  long r = ::syscall(SYS_renameat2, AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE);
  if (r == 0) return true;
  if (errno == EINVAL || errno == ENOSYS) {
    // File systems without the flag: check, then rename.
    struct stat st {};
    if (::lstat(to.c_str(), &st) == 0) {
      errno = EEXIST;
      return false;
    }
    if (::rename(from.c_str(), to.c_str()) == 0) return true;
  }
  if (errno == EXDEV) {
    struct stat st {};
    if (::stat(from.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
    if (!CopyFile(from, to)) return false;
    if (::unlink(from.c_str()) != 0) {
      int e = errno;
      ::unlink(to.c_str());
      errno = e;
      return false;
    }
    return true;
  }
  return false;
}

bool ReplaceFile(const std::string& from, const std::string& to) {
  if (Injected(Op::Rename)) return false;
  if (from.empty() || to.empty()) {
    errno = ENOENT;
    return false;
  }
  return ::rename(from.c_str(), to.c_str()) == 0;
}

bool LinkOrCopy(const std::string& from, const std::string& to) {
  if (Injected(Op::Rename)) return false;
  if (::link(from.c_str(), to.c_str()) == 0) return true;
  if (errno != EXDEV && errno != EPERM && errno != EOPNOTSUPP && errno != EMLINK) return false;
  return CopyFile(from, to);
}

bool CopyMode(const std::string& like, int fd) {
  struct stat st {};
  if (::stat(like.c_str(), &st) != 0) return false;
  return ::fchmod(fd, st.st_mode & 07777) == 0;
}

bool Remove(const std::string& path) {

  if (Injected(Op::Remove)) return false;
  return ::unlink(path.c_str()) == 0;
}

bool MakeDir(const std::string& path) {
  if (Injected(Op::MakeDir)) return false;
  return ::mkdir(path.c_str(), 0755) == 0;
}

bool RemoveDir(const std::string& path) { return ::rmdir(path.c_str()) == 0; }

bool ListDir(const std::string& path, std::vector<DirEntry>& out) {
  out.clear();
  DIR* d = ::opendir(path.empty() ? "." : path.c_str());
  if (!d) return false;
  while (struct dirent* e = ::readdir(d)) {
    std::string n = e->d_name;
    if (n == "." || n == "..") continue;
    bool isDir = false, isLink = e->d_type == DT_LNK;
    if (e->d_type == DT_DIR) {
      isDir = true;
    } else if (e->d_type == DT_UNKNOWN || e->d_type == DT_LNK) {
      struct stat st {};
      std::string full = path.empty() ? n : (path.back() == '/' ? path + n : path + "/" + n);
      if (e->d_type == DT_UNKNOWN && ::lstat(full.c_str(), &st) == 0) isLink = S_ISLNK(st.st_mode);
      isDir = ::stat(full.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    }
    out.push_back({std::move(n), isDir, isLink});
  }
  ::closedir(d);
  return true;
}

bool SetReadOnly(const std::string& path, bool readOnly) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return false;
  mode_t m = st.st_mode & 07777;
  m = readOnly ? (m & ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH)) : (m | S_IWUSR);
  return ::chmod(path.c_str(), m) == 0;
}

bool SetMTime(const std::string& path, int64_t unixSeconds) {
  struct timespec ts[2];
  ts[0].tv_sec = 0;
  ts[0].tv_nsec = UTIME_OMIT;
  ts[1].tv_sec = static_cast<time_t>(unixSeconds);
  ts[1].tv_nsec = 0;
  return ::utimensat(AT_FDCWD, path.c_str(), ts, 0) == 0;
}

std::string CurrentDir() {
  char buf[4096];
  if (::getcwd(buf, sizeof buf)) return buf;
  return std::string();
}

}  // namespace platform::fs
