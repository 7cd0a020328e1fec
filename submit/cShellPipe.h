#pragma once
// Runs one child process at a time and reports it through events: DataStream with each
// piece of output (standard output and standard error joined), OnFinish once at the end.
// The child is polled every 50 ms by WaitTimer, so everything arrives on the GUI thread.
#include <memory>
#include <string>
#include <vector>

#include "platform/ChildProcess.h"
#include "platform/Event.h"
#include "platform/Text.h"
#include "platform/cTimer.h"

class cShellPipe {
 public:
  // Priority class asking for the idle scheduling of the child.
  static constexpr long IDLE_PRIORITY_CLASS = 64;

  cShellPipe();
  // A child still running is killed.
  ~cShellPipe();
  cShellPipe(const cShellPipe&) = delete;
  cShellPipe& operator=(const cShellPipe&) = delete;

  // Output (and input) passed byte for byte instead of through the code page.
  bool BinaryOutput = false;

  // Ends the child's input once what is pending has been written.
  void CloseWritePipe();
  // Starts the command as another user, with that user's environment, without pipes.
  bool ShellRunAsAsync(TextView user, TextView domain, TextView password, TextView command, bool visible);
  // No pipes: the child shares our standard streams.
  bool ShellExecAsync(TextView command, bool visible);
  bool ShellExecPipeAsync(TextView command, bool visible, long priority);
  // Queues input for the child; flush writes it now instead of at the next poll.
  void WritePipe(TextView text, bool flush);

  Event<> OnFinish;
  Event<const Text&> DataStream;

  // A child started here has not been seen ending yet.
  bool Running() const { return WaitTimer.Enabled(); }
  int ExitCode() const { return child_.ExitCode(); }
  long ProcessId() const { return static_cast<long>(child_.Pid()); }

 private:
  bool Start(TextView command, bool pipes, long priority, const char* routine,
             const std::vector<std::string>& prefix = {});
  void WaitTimer_Timer();
  // Reads what the pipe holds now; false when the object died in a handler.
  bool ReadOutput(const std::shared_ptr<bool>& alive);
  void WritePending();

  cTimer WaitTimer;
  Connection timerConn_;
  platform::ChildProcess child_;
  bool pipeMode_ = false;
  bool closeInputWhenWritten_ = false;
  Bytes pending_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};
