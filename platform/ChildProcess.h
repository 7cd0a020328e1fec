#pragma once
// One child process started directly (never through a shell), optionally with pipes: the
// child's standard output and standard error go to one pipe we read without blocking, its
// standard input comes from a pipe we write. The end is found by polling (Finished), so
// the owner decides when to look; nothing here runs on its own.
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

class ChildProcess {
 public:
  enum class Priority { Normal, Idle };

  ChildProcess() = default;
  // A child still running is killed and reaped.
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // argv[0] without a "/" is looked up on PATH. False (and nothing running) when the
  // program cannot be started or a child is already running.
  [[nodiscard]] bool Start(const std::vector<std::string>& argv, bool pipes, Priority priority);

  // Reaps the child when it has ended; true from then on.
  bool Finished();
  bool Running() { return pid_ > 0 && !Finished(); }
  bool Started() const { return pid_ > 0; }
  // The exit code, or 128 + signal for a killed child; -1 before the end.
  int ExitCode() const { return exitCode_; }
  pid_t Pid() const { return pid_; }
  const std::string& LastError() const { return lastError_; }

  // Bytes waiting in the output pipe (0 without pipes or when none).
  long AvailableBytes() const;
  // Reads up to n bytes without waiting: the count, 0 when none or at the end, -1 and
  // errno on failure.
  [[nodiscard]] long Read(char* buf, size_t n);
  // Writes what the input pipe takes now without waiting: the count accepted (possibly
  // 0), or -1 and errno when the pipe is broken.
  [[nodiscard]] long Write(const char* data, size_t n);
  // Our side of the input pipe: the child then sees the end of its input.
  void CloseInput();
  void CloseOutput();

  // Kills the child (and what it started in its group) and reaps it.
  void Terminate();

 private:
  void Reset();

  pid_t pid_ = -1;
  bool reaped_ = false;
  int exitCode_ = -1;
  int outFd_ = -1;  // read end of the child's output
  int inFd_ = -1;   // write end of the child's input
  std::string lastError_;
};

}  // namespace platform
