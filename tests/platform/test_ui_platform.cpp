#include <gtest/gtest.h>

#include <QApplication>
#include <QString>
#include <QWidget>
#include <Qt>
#include <vector>

#include "tests/common/TestUtil.h"
#include "platform/Desktop.h"
#include "platform/MsgBox.h"

namespace {
// Restores the real handlers even when an assertion ends the test early.
struct ScriptedBoxes {
  std::vector<platform::MsgBoxRequest> seen;
  std::vector<int> answers;
  ScriptedBoxes() {
    platform::SetMsgBoxHandler([this](const platform::MsgBoxRequest& r) {
      seen.push_back(r);
      return testutil::NextAnswer(answers, platform::vbCancel);
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
