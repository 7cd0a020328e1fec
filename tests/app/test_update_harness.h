#pragma once
// Drives cUpdateCheck without widgets: message boxes and opened addresses are recorded,
// answers are scripted, the menu command's state is followed.
#include <deque>
#include <string>
#include <vector>

#include "AppInfo.h"
#include "app/cUpdateCheck.h"
#include "platform/Desktop.h"
#include "platform/EventLoop.h"
#include "platform/MsgBox.h"
#include "tests/common/TestUtil.h"

namespace updtest {

struct Box { std::string text; long flags = 0; };
struct Opened { std::string url; int showMode = 0; };

class Harness {
 public:
  Harness() {
    oldBox_ = platform::SetMsgBoxHandler([this](const platform::MsgBoxRequest& r) {
      boxes.push_back({txt::ToUtf8(r.text), r.flags});
      return testutil::NextAnswer(answers, platform::vbOK);
    });
    oldUrl_ = platform::SetOpenURLHandler([this](const Text& url, int mode) {
      opened.push_back({txt::ToUtf8(url), mode});
      return true;
    });
    link_ = check.UpdateCommandEnabled.Subscribe([this](bool on) { enabled.push_back(on); });
  }
  ~Harness() {
    platform::SetMsgBoxHandler(oldBox_);
    platform::SetOpenURLHandler(oldUrl_);
  }

  void Point(int port) { check.ServerHost(txt::FromUtf8("127.0.0.1:" + std::to_string(port))); }

  // Runs one check to its end; false when it did not end in time.
  bool Run(bool silent, int timeoutMs = 10000) {
    check.CheckForUdpate(silent);
    return platform::WaitUntil([this] { return !check.Running(); }, timeoutMs);
  }

  // The menu command ends usable whatever happened.
  bool CommandUsable() const { return !enabled.empty() && enabled.back(); }

  cUpdateCheck check;
  std::vector<Box> boxes;
  std::deque<int> answers;
  std::vector<Opened> opened;
  std::vector<bool> enabled;

 private:
  platform::MsgBoxHandler oldBox_;
  platform::OpenURLHandler oldUrl_;
  Connection link_;
};

// The running version, or the one after it.
inline std::string Running(int ahead = 0) {
  return std::to_string(KSV_VERSION_MAJOR) + "." + std::to_string(KSV_VERSION_MINOR) + "." +
         std::to_string(KSV_VERSION_REVISION + ahead);
}
inline std::string NextRevision() { return Running(1); }

inline std::string Describe(const std::string& version, const std::string& message = "",
                            const std::string& url = "http://127.0.0.1/files/Setup.exe") {
  std::string s = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<Update>\r\n\t<Version>" + version +
                  "</Version>\r\n\t<Description>Faster saving.</Description>\r\n\t<DownloadURL>" + url +
                  "</DownloadURL>\r\n";
  if (!message.empty()) s += "\t<Message>" + message + "</Message>\r\n";
  s += "\t<FormatVersion>0.5</FormatVersion>\r\n</Update>\r\n";
  return s;
}

}  // namespace updtest
