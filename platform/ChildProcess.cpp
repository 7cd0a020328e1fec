#include "platform/ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

extern char** environ;

namespace platform {
namespace {

void CloseFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

// Writing to a pipe whose reader is gone must give EPIPE, not end the program.
void IgnoreSigPipe() {
  static bool done = false;
  if (done) return;
  struct sigaction sa {};
  if (::sigaction(SIGPIPE, nullptr, &sa) == 0 && sa.sa_handler == SIG_DFL) {
    sa.sa_handler = SIG_IGN;
    ::sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0;
    ::sigaction(SIGPIPE, &sa, nullptr);
  }
  done = true;
}

}  // namespace

ChildProcess::~ChildProcess() {
  Terminate();
  Reset();
}

void ChildProcess::Reset() {
  CloseFd(outFd_);
  CloseFd(inFd_);
  pid_ = -1;
  reaped_ = false;
  exitCode_ = -1;
}

bool ChildProcess::Start(const std::vector<std::string>& argv, bool pipes, Priority priority) {
  lastError_.clear();
  if (Running()) {
    lastError_ = "a child is already running";
    return false;
  }
  Reset();
  if (argv.empty() || argv[0].empty()) {
    lastError_ = "no program";
    return false;
  }
  IgnoreSigPipe();

  int outPipe[2] = {-1, -1};
  int inPipe[2] = {-1, -1};
  if (pipes) {
    if (::pipe2(outPipe, O_CLOEXEC) != 0 || ::pipe2(inPipe, O_CLOEXEC) != 0) {
      lastError_ = std::strerror(errno);
      for (int fd : {outPipe[0], outPipe[1], inPipe[0], inPipe[1]})
        if (fd >= 0) ::close(fd);
      return false;
    }
  }

  posix_spawn_file_actions_t fa;
  posix_spawnattr_t attr;
  posix_spawn_file_actions_init(&fa);
  posix_spawnattr_init(&attr);
  if (pipes) {
    // dup2 clears close-on-exec on the targets; every other descriptor of ours is closed.
    posix_spawn_file_actions_adddup2(&fa, inPipe[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&fa, outPipe[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&fa, outPipe[1], STDERR_FILENO);
  }
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
  posix_spawn_file_actions_addclosefrom_np(&fa, 3);
#endif
  // The child gets default signal handling (we ignore SIGPIPE) and its own group, so
  // terminating it also ends whatever it started.
  sigset_t def, none;
  sigemptyset(&def);
  sigaddset(&def, SIGPIPE);
  sigemptyset(&none);
  posix_spawnattr_setsigdefault(&attr, &def);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setpgroup(&attr, 0);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETPGROUP);

  std::vector<char*> args;
  args.reserve(argv.size() + 1);
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);

  pid_t pid = -1;
  int rc = ::posix_spawnp(&pid, args[0], &fa, &attr, args.data(), environ);
  posix_spawn_file_actions_destroy(&fa);
  posix_spawnattr_destroy(&attr);

  if (pipes) {
    ::close(inPipe[0]);
    ::close(outPipe[1]);
  }
  if (rc != 0 || pid <= 0) {
    lastError_ = std::strerror(rc != 0 ? rc : ECHILD);
    if (pipes) {
      ::close(inPipe[1]);
      ::close(outPipe[0]);
    }
    return false;
  }
  pid_ = pid;
  if (pipes) {
    outFd_ = outPipe[0];
    inFd_ = inPipe[1];
    ::fcntl(outFd_, F_SETFL, ::fcntl(outFd_, F_GETFL) | O_NONBLOCK);
    ::fcntl(inFd_, F_SETFL, ::fcntl(inFd_, F_GETFL) | O_NONBLOCK);
  }
  // Lowering a child's priority needs no privilege; a failure leaves it at normal.
  if (priority == Priority::Idle) ::setpriority(PRIO_PROCESS, static_cast<id_t>(pid), 19);
  return true;
}

bool ChildProcess::Finished() {
  if (pid_ <= 0) return true;
  if (reaped_) return true;
  int status = 0;
  pid_t r = ::waitpid(pid_, &status, WNOHANG);
  if (r == 0) return false;
  if (r == pid_) {
    if (WIFEXITED(status)) exitCode_ = WEXITSTATUS(status);
    else if (WIFSIGNALED(status)) exitCode_ = 128 + WTERMSIG(status);
    else return false;  // stopped or continued: still alive
  } else {
    // Reaped elsewhere or not our child any more: it is gone either way.
    exitCode_ = -1;
  }
  reaped_ = true;
  return true;
}

long ChildProcess::AvailableBytes() const {
  if (outFd_ < 0) return 0;
  int n = 0;
  if (::ioctl(outFd_, FIONREAD, &n) != 0) return 0;
  return n;
}

long ChildProcess::Read(char* buf, size_t n) {
  if (outFd_ < 0 || !buf || n == 0) return 0;
  while (true) {
    ssize_t r = ::read(outFd_, buf, n);
    if (r >= 0) return static_cast<long>(r);
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
    return -1;
  }
}

long ChildProcess::Write(const char* data, size_t n) {
  if (inFd_ < 0) {
    errno = EBADF;
    return -1;
  }
  if (n == 0) return 0;
  size_t done = 0;
  while (done < n) {
    ssize_t r = ::write(inFd_, data + done, n - done);
    if (r > 0) {
      done += static_cast<size_t>(r);
      continue;
    }
    if (r < 0 && errno == EINTR) continue;
    if (r < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
    if (done > 0) break;
    return -1;
  }
  return static_cast<long>(done);
}

void ChildProcess::CloseInput() { CloseFd(inFd_); }
void ChildProcess::CloseOutput() { CloseFd(outFd_); }

void ChildProcess::Terminate() {
  if (pid_ <= 0 || reaped_) return;
  if (Finished()) return;
  ::kill(-pid_, SIGKILL);
  ::kill(pid_, SIGKILL);
  int status = 0;
  while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
  reaped_ = true;
  exitCode_ = 128 + SIGKILL;
}

}  // namespace platform
