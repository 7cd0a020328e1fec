#pragma once
// The main window on a private copy of the demo suite, offscreen, with every message box,
// file dialog and the read-me recorded and answered by the test.
#include <gtest/gtest.h>

#include <QApplication>
#include <deque>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/mConfig.h"
#include "controls/ctlTextEdit.h"
#include "langedit/frmMain.h"
#include "langedit/frmReadme.h"
#include "platform/FileDialog.h"
#include "platform/MsgBox.h"
#include "tests/common/TestUtil.h"

class FormsFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    root = dir.path() + "/suite";
    std::filesystem::copy(std::string(KSV_TEST_DATA) + "/../../demo/suite", root,
                          std::filesystem::copy_options::recursive);
    mConfig::SetConfigPath(dir.tfile("KsvLangEditor.xml"));
    prevBox = platform::SetMsgBoxHandler([this](const platform::MsgBoxRequest& r) {
      messages.push_back(txt::ToUtf8(r.text));
      boxFlags.push_back(r.flags);
      if (answers.empty()) return static_cast<int>(platform::vbOK);
      int a = answers.front();
      answers.pop_front();
      return a;
    });
    prevDialog = platform::SetFileDialogHandler([this](const platform::FileDialogRequest& r) {
      dialogs.push_back(r);
      if (dialogAnswers.empty()) return Text();
      Text a = dialogAnswers.front();
      dialogAnswers.pop_front();
      return a;
    });
    prevReadme = frmReadme::SetShowHandler([this](frmReadme& d) { readmeTexts.push_back(d.txtReadMe->GetText()); });
  }
  void TearDown() override {
    win.reset();
    platform::SetMsgBoxHandler(prevBox);
    platform::SetFileDialogHandler(prevDialog);
    frmReadme::SetShowHandler(prevReadme);
  }

  // Starts the window as the program does, inside the suite's tools folder.
  bool Start(const std::string& programFolder = "") {
    win = std::make_unique<frmMain>();
    frmMain::StartOptions o;
    o.programFolder = txt::FromUtf8(programFolder.empty() ? root + "/KestrovaTools" : programFolder);
    o.runningImages = [] { return std::vector<Text>{}; };
    o.silentUpdateCheck = false;
    return win->Form_Load(o);
  }
  std::string File(const std::string& rel) { return root + "/KestrovaTools/" + rel; }

  testutil::TempDir dir;
  std::string root;
  std::unique_ptr<frmMain> win;
  std::vector<std::string> messages;
  std::vector<long> boxFlags;
  std::deque<int> answers;
  std::vector<platform::FileDialogRequest> dialogs;
  std::deque<Text> dialogAnswers;
  std::vector<Text> readmeTexts;
  platform::MsgBoxHandler prevBox;
  platform::FileDialogHandler prevDialog;
  frmReadme::Handler prevReadme;
};
