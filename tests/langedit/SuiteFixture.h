#pragma once
// The editing state on a private copy of the demo suite, with every message box and file
// dialog recorded and answered by the test.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "langedit/cLangEditor.h"
#include "platform/FileDialog.h"
#include "platform/MsgBox.h"
#include "tests/common/TestUtil.h"

class SuiteFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    root = dir.path() + "/suite";
    std::filesystem::copy(std::string(KSV_TEST_DATA) + "/../../demo/suite", root,
                          std::filesystem::copy_options::recursive);
    prevBox = platform::SetMsgBoxHandler([this](const platform::MsgBoxRequest& r) {
      messages.push_back(txt::ToUtf8(r.text));
      flags.push_back(r.flags);
      return testutil::NextAnswer(answers, answer);
    });
    prevDialog = platform::SetFileDialogHandler([this](const platform::FileDialogRequest& r) {
      dialogs.push_back(r);
      return dialogAnswer;
    });
    ed.SetSuiteRoot(txt::FromUtf8(root));
  }
  void TearDown() override {
    platform::SetMsgBoxHandler(prevBox);
    platform::SetFileDialogHandler(prevDialog);
  }

  std::string File(const std::string& rel) { return root + "/KestrovaTools/" + rel; }
  std::string Lang(const std::string& name) { return File("KestrovaMenu/Languages/" + name); }
  std::vector<std::string> LoadedIds() {
    std::vector<std::string> ids;
    for (long i = 1; i <= ed.LoadedLangs()->ChildCount(); ++i) ids.push_back(txt::ToUtf8(ed.LoadedLangs()->Child(i)->Name()));
    return ids;
  }

  testutil::TempDir dir;
  std::string root;
  cLangEditor ed;
  std::vector<std::string> messages;
  std::vector<long> flags;
  std::vector<int> answers;     // answered in turn, then `answer`
  int answer = platform::vbOK;
  std::vector<platform::FileDialogRequest> dialogs;
  Text dialogAnswer;
  platform::MsgBoxHandler prevBox;
  platform::FileDialogHandler prevDialog;
};
