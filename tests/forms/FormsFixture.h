#pragma once
// The main window on a private copy of the demo suite, offscreen, with every message box,
// file dialog and the read-me recorded and answered by the test.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTest>
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
#include "forms/frmLangSelector.h"
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
      return testutil::NextAnswer(answers, platform::vbOK);
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
  bool Start(const std::string& programFolder = "", bool silentUpdateCheck = false, const Text& langFile = {}) {
    win = std::make_unique<frmMain>();
    frmMain::StartOptions o;
    o.programFolder = txt::FromUtf8(programFolder.empty() ? root + "/KestrovaTools" : programFolder);
    o.runningImages = [] { return std::vector<Text>{}; };
    o.silentUpdateCheck = silentUpdateCheck;
    o.langFile = langFile;
    return win->Form_Load(o);
  }
  // Started on the first tool (English loaded unless the last session left languages),
  // then the languages of `ids` loaded.
  void StartTool(std::initializer_list<const char*> ids = {}) {
    ASSERT_TRUE(Start());
    UseTool(ids);
  }
  void UseTool(std::initializer_list<const char*> ids) {
    if (win->Editor().LoadedLangs()->ChildCount() == 0) win->mnuSelectToolChoice[1]->trigger();
    for (const char* id : ids)
      for (QAction* a : win->mnuLoadLanguageChoice)
        if (a->data().toString() == QString::fromLatin1(id) && a->isEnabled()) a->trigger();
  }
  // The window active, for its shortcuts.
  void Activate() {
    win->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(win.get()));
  }
  // The language picker takes the row captioned `pickRow`, or is cancelled.
  void AnswerPicker() {
    Hook(&frmLangSelector::SetShowHandler, [this](frmLangSelector& d) {
      pickerCaption = d.windowTitle().toStdString();
      for (int i = 0; i < d.lstLanguages->count(); ++i)
        if (d.lstLanguages->item(i)->text().toStdString() == pickRow) {
          d.lstLanguages->setCurrentRow(i);
          return d.cmdOK->click();
        }
      d.cmdCancel->click();
    });
  }
  // Selects a string and a language row, then types the whole text into the edit box.
  void Type(const Text& name, int row, const Text& text) {
    win->XmlTree->SelectNode(FindItem(win->XmlTree->Tree(), name));
    win->lstValues->setCurrentRow(row);
    win->txtValue->SetText(text);
  }
  std::string Value(const std::string& path) { return txt::ToUtf8(win->Editor().GetString(txt::FromUtf8(path))); }
  std::string File(const std::string& rel) { return root + "/KestrovaTools/" + rel; }
  std::string Menu(const std::string& name) { return File("KestrovaMenu/Languages/" + name); }
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
  std::string pickRow, pickerCaption;
  std::vector<std::function<void()>> restore;
};
