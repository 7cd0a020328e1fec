#include <gtest/gtest.h>

#include <QApplication>
#include <QString>
#include <QWidget>
#include <Qt>
#include <vector>

#include "tests/common/TestUtil.h"
#include "platform/Desktop.h"
#include "platform/FileDialog.h"
#include "platform/KeyCodes.h"
#include "platform/MsgBox.h"
#include "platform/QtText.h"

namespace {

// Restores the real handlers even when an assertion ends the test early.
struct ScriptedBoxes {
  std::vector<platform::MsgBoxRequest> seen;
  std::vector<int> answers;
  ScriptedBoxes() {
    platform::SetMsgBoxHandler([this](const platform::MsgBoxRequest& r) {
      seen.push_back(r);
      if (answers.empty()) return static_cast<int>(platform::vbCancel);
      int a = answers.front();
      answers.erase(answers.begin());
      return a;
    });
  }
  ~ScriptedBoxes() {
    platform::SetMsgBoxHandler({});
    platform::SetMainWindow(nullptr);
  }
};

}  // namespace

TEST(MsgBox, DefaultTitleFlagsAndAnswerReachTheHandler) {
  ScriptedBoxes boxes;
  boxes.answers = {platform::vbNo};
  int r = platform::MsgBox(u"Save changes in fr ?", platform::vbYesNo | platform::vbQuestion);
  EXPECT_EQ(r, platform::vbNo);
  ASSERT_EQ(boxes.seen.size(), 1u);
  EXPECT_TEXT_EQ(boxes.seen[0].text, u"Save changes in fr ?");
  EXPECT_EQ(boxes.seen[0].flags, platform::vbYesNo | platform::vbQuestion);
  EXPECT_TEXT_EQ(boxes.seen[0].title, u"Kestrova Lang Editor v1.4.2");
  EXPECT_FALSE(boxes.seen[0].taskModal);

  platform::MsgBox(u"x", 0, u"Error 404", nullptr, true);
  EXPECT_TEXT_EQ(boxes.seen[1].title, u"Error 404");
  EXPECT_TRUE(boxes.seen[1].taskModal);
}

TEST(MsgBox, OwnerRules) {
  ScriptedBoxes boxes;
  QWidget mainWin, dialog, menuForm, other;
  mainWin.setObjectName("frmMain");
  dialog.setObjectName("frmLangProperties");
  menuForm.setObjectName("frmToolMENU");
  platform::SetMainWindow(&mainWin);

  // An explicit owner always wins.
  platform::MsgBox(u"a", 0, {}, &other);
  EXPECT_EQ(boxes.seen.back().owner, &other);

  struct Case {
    QWidget* active;
    QWidget* expected;
  } cases[] = {{nullptr, &mainWin}, {&dialog, &dialog}, {&menuForm, &mainWin}};
  for (const auto& c : cases) {
    if (c.active) {
      c.active->show();
      QApplication::setActiveWindow(c.active);
    } else {
      QApplication::setActiveWindow(nullptr);
    }
    QApplication::processEvents();
    if (c.active && QApplication::activeWindow() != c.active) GTEST_SKIP() << "platform cannot activate windows";
    platform::MsgBox(u"b");
    EXPECT_EQ(boxes.seen.back().owner, c.expected) << (c.active ? c.active->objectName().toStdString() : "none");
    if (c.active) c.active->hide();
  }
}

TEST(FileDialog, WindowsFiltersBecomeToolkitFilters) {
  struct Case {
    const char16_t* in;
    const char16_t* out;
  } cases[] = {
      {u"XML Files (*.xml)|*.xml|All files|*.*", u"XML Files (*.xml);;All files (*)"},
      {u"XML files (*.xml)|*.xml|All files|*.*", u"XML files (*.xml);;All files (*)"},
      {u"Text|*.txt;*.log", u"Text (*.txt *.log)"},
      {u"Lonely description", u"Lonely description (*)"},
      {u"", u""},
      {u"||", u""},
  };
  for (const auto& c : cases) EXPECT_TEXT_EQ(platform::FilterToToolkit(c.in), c.out) << txt::ToUtf8(c.in);
}

TEST(FileDialog, ScriptedAnswersAndDefaultExtension) {
  std::vector<platform::FileDialogRequest> seen;
  std::vector<Text> answers = {u"/tmp/a/lang", u"", u"/tmp/b/x.txt", u"/tmp/c/open"};
  platform::SetFileDialogHandler([&](const platform::FileDialogRequest& r) {
    seen.push_back(r);
    Text a = answers.front();
    answers.erase(answers.begin());
    return a;
  });
  EXPECT_TEXT_EQ(platform::ShowSaveFile(u"Save the language file as...", u"XML Files (*.xml)|*.xml|All files|*.*", u".xml"),
                 u"/tmp/a/lang.xml");
  EXPECT_TEXT_EQ(platform::ShowSaveFile(u"t", u"", u".xml"), u"");  // cancelled stays empty
  EXPECT_TEXT_EQ(platform::ShowSaveFile(u"t", u"", u"xml"), u"/tmp/b/x.txt");
  EXPECT_TEXT_EQ(platform::ShowOpenFile(u"o", u"", u"/tmp"), u"/tmp/c/open");  // open adds nothing
  platform::SetFileDialogHandler({});
  ASSERT_EQ(seen.size(), 4u);
  EXPECT_TRUE(seen[0].save);
  EXPECT_FALSE(seen[3].save);
  EXPECT_TEXT_EQ(seen[3].initialDir, u"/tmp");
  EXPECT_TEXT_EQ(platform::WithDefaultExt(u"/tmp/dir.d/name", u".xml"), u"/tmp/dir.d/name.xml");
}

TEST(OpenURL, OnlyWebAndSuiteSchemesReachTheHandler) {
  std::vector<std::pair<Text, int>> opened;
  platform::SetOpenURLHandler([&](const Text& u, int mode) {
    opened.emplace_back(u, mode);
    return true;
  });
  struct Case {
    const char16_t* url;
    bool ok;
  } cases[] = {
      {u"http://127.0.0.1/translation/beta_channel.php", true},
      {u"HTTPS://127.0.0.1/", true},
      {u"ksv://update/beta", true},
      {u"file:///etc/passwd", false},
      {u"/usr/bin/xterm", false},
      {u"javascript:alert(1)", false},
      {u"http:", false},
      {u"http://a/\nb", false},
      {u"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(platform::OpenURL(c.url, 2), c.ok) << txt::ToUtf8(c.url);
  platform::SetOpenURLHandler({});
  ASSERT_EQ(opened.size(), 3u);
  EXPECT_EQ(opened[2].second, 2);
}

TEST(Desktop, ClipboardRoundTripsUnicode) {
  Text t = u"Привет \u4E2D\u6587 \U0001F600";
  ASSERT_TRUE(platform::ClipboardSetText(t));
  EXPECT_TEXT_EQ(platform::ClipboardGetText(), t);
  platform::ClipboardClear();
  EXPECT_TEXT_EQ(platform::ClipboardGetText(), u"");
  EXPECT_GE(platform::TwipsPerPixelX(), 1);
}

TEST(QtText, RoundTripKeepsSurrogatesAndNuls) {
  Text t = u"a\0b\U0001F600\xD800z";
  t[1] = 0;
  QString q = qtxt::ToQ(t);
  EXPECT_EQ(q.size(), static_cast<qsizetype>(t.size()));
  EXPECT_EQ(qtxt::FromQ(q), t);
}

TEST(KeyCodes, NamedKeysMapBothWays) {
  struct Case {
    int qt;
    int vkCode;
  } cases[] = {{Qt::Key_Left, 37}, {Qt::Key_Up, 38},     {Qt::Key_Right, 39}, {Qt::Key_Down, 40},
               {Qt::Key_PageUp, 33}, {Qt::Key_PageDown, 34}, {Qt::Key_Return, 13}, {Qt::Key_F3, 114},
               {Qt::Key_A, 65}};
  for (const auto& c : cases) {
    EXPECT_EQ(vk::FromQtKey(c.qt), c.vkCode);
    EXPECT_EQ(vk::ToQtKey(c.vkCode), c.qt);
  }
  EXPECT_EQ(vk::FromQtKey(Qt::Key_Enter), 13);
  EXPECT_EQ(vk::FromQtKey(Qt::Key_Dead_Grave), 0);
  EXPECT_EQ(vk::ShiftFromQt(Qt::ShiftModifier | Qt::ControlModifier), 3);
  EXPECT_EQ(vk::ButtonsFromQt(Qt::LeftButton | Qt::MiddleButton), 5);
}
