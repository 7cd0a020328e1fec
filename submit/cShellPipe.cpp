#include "submit/cShellPipe.h"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <exception>
#include <vector>

#include "platform/ErrLog.h"
#include "platform/ProcessTools.h"
#include "storage/mStringTools.h"

namespace {

constexpr const char* kObj = "cShellPipe";
constexpr long kChunkMax = 1 << 20;
// Output still arriving after the end (from something the child left behind) is read a
// bounded number of times so the end is always reported.
constexpr int kFinalReads = 64;

void Trap(const char* routine, const std::exception* e) {
  ErrLog::Error(5, e ? txt::FromUtf8(e->what()) : Text(u"Unknown error"), kObj, routine);
}

}  // namespace

cShellPipe::cShellPipe() {
  WaitTimer.Interval(50);
  timerConn_ = WaitTimer.Timer.Subscribe([this] { WaitTimer_Timer(); });
}

cShellPipe::~cShellPipe() {
  *alive_ = false;
  try {
    WaitTimer.Enabled(false);
    child_.Terminate();
  } catch (...) {
  }
}

bool cShellPipe::Start(TextView command, bool pipes, long priority, const char* routine,
                       const std::vector<std::string>& prefix) {
  try {
    if (WaitTimer.Enabled()) return false;
    std::vector<std::string> argv = platform::proc::SplitCommandLine(txt::ToUtf8(command));
    if (argv.empty()) return false;
    argv.insert(argv.begin(), prefix.begin(), prefix.end());
    pending_.clear();
    closeInputWhenWritten_ = false;
    pipeMode_ = pipes;
    auto prio = priority == IDLE_PRIORITY_CLASS ? platform::ChildProcess::Priority::Idle
                                                : platform::ChildProcess::Priority::Normal;
    if (!child_.Start(argv, pipes, prio)) {
      ErrLog::Error(2, txt::FromUtf8(child_.LastError()), kObj, routine, ErrLog::Kind::Function);
      return false;
    }
    WaitTimer.Enabled(true);
    if (!WaitTimer.Enabled()) {
      // Nobody would ever see this child end: do not leave it running.
      child_.Terminate();
      ErrLog::Error(5, u"No timer for the child process", kObj, routine, ErrLog::Kind::Function);
      return false;
    }
    return true;
  } catch (const std::exception& e) {
    Trap(routine, &e);
  } catch (...) {
    Trap(routine, nullptr);
  }
  return false;
}

// The child runs as `user` with that user's own environment (home, shell, name), in its own
// process group, without pipes. As root the switch needs no password (runuser); otherwise
// sudo is asked never to prompt, so a switch the system does not allow fails instead of
// waiting for a password nobody can type. The domain has no meaning here.
bool cShellPipe::ShellRunAsAsync(TextView user, TextView, TextView, TextView command, bool) {
  try {
    if (WaitTimer.Enabled()) return false;
    std::string name = txt::ToUtf8(user);
    struct passwd* pw = name.empty() || name[0] == '-' ? nullptr : ::getpwnam(name.c_str());
    if (!pw) {
      ErrLog::Error(2, u"Unknown user: " + Text(user), kObj, "ShellRunAsAsync", ErrLog::Kind::Function);
      return false;
    }
    std::vector<std::string> prefix;
    if (::geteuid() == 0) prefix = {"runuser", "-u", name, "--"};
    else prefix = {"sudo", "-n", "-u", name, "--"};
    prefix.insert(prefix.end(), {"env", "-i", "HOME=" + std::string(pw->pw_dir), "USER=" + name, "LOGNAME=" + name,
                                 "SHELL=" + std::string(pw->pw_shell), "PATH=/usr/local/bin:/usr/bin:/bin"});
    return Start(command, false, 0, "ShellRunAsAsync", prefix);
  } catch (const std::exception& e) {
    Trap("ShellRunAsAsync", &e);
  } catch (...) {
    Trap("ShellRunAsAsync", nullptr);
  }
  return false;
}

bool cShellPipe::ShellExecAsync(TextView command, bool) { return Start(command, false, 0, "ShellExecAsync"); }

bool cShellPipe::ShellExecPipeAsync(TextView command, bool, long priority) {
  return Start(command, true, priority, "ShellExecPipeAsync");
}

void cShellPipe::WaitTimer_Timer() {
  try {
    auto alive = alive_;
    if (child_.Finished()) {
      WaitTimer.Enabled(false);
      if (pipeMode_) {
        WritePending();
        for (int i = 0; i < kFinalReads && child_.AvailableBytes() > 0; ++i)
          if (!ReadOutput(alive)) return;
      }
      OnFinish.Raise();
      return;
    }
    if (pipeMode_) {
      WritePending();
      ReadOutput(alive);
    }
  } catch (const std::exception& e) {
    Trap("WaitTimer_Timer", &e);
  } catch (...) {
    Trap("WaitTimer_Timer", nullptr);
  }
}

bool cShellPipe::ReadOutput(const std::shared_ptr<bool>& alive) {
  long n = child_.AvailableBytes();
  if (n <= 0) return true;
  if (n > kChunkMax) n = kChunkMax;
  Bytes buf(static_cast<size_t>(n), '\0');
  long got = child_.Read(buf.data(), buf.size());
  Text chunk;
  if (got < 0) {
    chunk = u"Error: ReadFile failed. " + txt::FromInt(errno);
  } else if (got == 0) {
    return true;
  } else {
    buf.resize(static_cast<size_t>(got));
    if (BinaryOutput) {
      chunk = txt::FromBytes(buf);
    } else {
      int mode = mStringTools::ModeAutoDetect;
      chunk = mStringTools::StrDataToUnicode(buf, mode, mStringTools::CP_WINDOWS_1252);
    }
  }
  DataStream.Raise(chunk);
  return *alive;
}

void cShellPipe::WritePipe(TextView text, bool flush) {
  try {
    pending_ += BinaryOutput ? txt::ToBytes(text)
                             : mStringTools::StrUnicodeToCodePage(text, mStringTools::CP_WINDOWS_1252);
    if (flush) WritePending();
  } catch (const std::exception& e) {
    Trap("WritePipe", &e);
  } catch (...) {
    Trap("WritePipe", nullptr);
  }
}

void cShellPipe::WritePending() {
  if (!pending_.empty()) {
    long w = child_.Write(pending_.data(), pending_.size());
    if (w < 0) {
      // The child closed its input or ended: this input can go nowhere.
      ErrLog::Error(109, u"WriteFile failed. " + txt::FromInt(errno), kObj, "WritePipe");
      pending_.clear();
    } else {
      // What the pipe did not take now waits for the next poll rather than blocking us.
      pending_.erase(0, static_cast<size_t>(w));
    }
  }
  if (closeInputWhenWritten_ && pending_.empty()) {
    child_.CloseInput();
    closeInputWhenWritten_ = false;
  }
}

void cShellPipe::CloseWritePipe() {
  try {
    closeInputWhenWritten_ = true;
    WritePending();
  } catch (...) {
    Trap("CloseWritePipe", nullptr);
  }
}
