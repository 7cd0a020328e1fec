#pragma once
// The main window on a private copy of the demo suite, offscreen, with every message box,
// file dialog and the read-me recorded and answered by the test.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <algorithm>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/mConfig.h"
#include "controls/ctlTextEdit.h"
#include "controls/ctlXmlTree.h"
#include "forms/frmMain.h"
#include "forms/frmReadme.h"
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
    Hook(&platform::SetMsgBoxHandler, [this](const platform::MsgBoxRequest& r) {
      messages.push_back(txt::ToUtf8(r.text));
      boxFlags.push_back(r.flags);
      if (answers.empty()) return static_cast<int>(platform::vbOK);
      int a = answers.front();
      answers.pop_front();
      return a;
    });
    Hook(&platform::SetFileDialogHandler, [this](const platform::FileDialogRequest& r) {
      dialogs.push_back(r);
      if (dialogAnswers.empty()) return Text();
      Text a = dialogAnswers.front();
      dialogAnswers.pop_front();
      return a;
    });
    Hook(&frmReadme::SetShowHandler, [this](frmReadme& d) { readmeTexts.push_back(d.txtReadMe->GetText()); });
  }
  void TearDown() override {
    win.reset();
    for (auto it = restore.rbegin(); it != restore.rend(); ++it) (*it)();
    // The settings of this test's folder go with it.
    mConfig::SetConfigPath(u"");
  }
  // Installs a handler through its setter for the length of the test.
  template <class Set, class Handler>
  void Hook(Set set, Handler h) {
    restore.push_back([set, prev = set(std::move(h))] { set(prev); });
  }

  // Starts the window as the program does, inside the suite's tools folder.
  bool Start(const std::string& programFolder = "", bool silentUpdateCheck = false) {
    win = std::make_unique<frmMain>();
    frmMain::StartOptions o;
    o.programFolder = txt::FromUtf8(programFolder.empty() ? root + "/KestrovaTools" : programFolder);
    o.runningImages = [] { return std::vector<Text>{}; };
    o.silentUpdateCheck = silentUpdateCheck;
    return win->Form_Load(o);
  }
  std::string File(const std::string& rel) { return root + "/KestrovaTools/" + rel; }
  // The tree item of the first element named `name`, depth first.
  static cVisualNode* FindItem(cVisualNode* n, const Text& name) {
    if (n->XmlNode && n->XmlNode->Name() == name) return n;
    for (long i = 1; i <= n->ChildCount(); ++i)
      if (cVisualNode* f = FindItem(n->Child(i), name)) return f;
    return nullptr;
  }
  static std::vector<std::string> Captions(const std::vector<QAction*>& arr) {
    std::vector<std::string> out;
    for (QAction* a : arr)
      if (a->isVisible()) out.push_back(a->text().toStdString());
    return out;
  }
  static bool HasMenuItem(const std::vector<QAction*>& arr, const std::string& caption) {
    auto c = Captions(arr);
    return std::find(c.begin(), c.end(), caption) != c.end();
  }
  bool CaptionDirty() { return win->windowTitle().endsWith(QStringLiteral(" *")); }

  testutil::TempDir dir;
  std::string root;
  std::unique_ptr<frmMain> win;
  std::vector<std::string> messages;
  std::vector<long> boxFlags;
  std::deque<int> answers;
  std::vector<platform::FileDialogRequest> dialogs;
  std::deque<Text> dialogAnswers;
  std::vector<Text> readmeTexts;
  std::vector<std::function<void()>> restore;
};
