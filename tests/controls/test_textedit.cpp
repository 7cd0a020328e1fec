#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "ControlsTestUtil.h"
#include "controls/ctlTextEdit.h"
#include "platform/KeyCodes.h"
#include "tests/common/TestUtil.h"

using ctltest::SendKey;

TEST(TextEdit, UnicodeTextSurvivesEveryRebuild) {
  ctlTextEdit box;
  int changes = 0;
  auto c = box.Change.Subscribe([&] { ++changes; });
  const Text t = u"Привет, \u4E16\u754C \U0001F600 \u00E9";
  box.SetText(t);
  EXPECT_EQ(changes, 1);
  EXPECT_TEXT_EQ(box.GetText(), t);
  box.SetText(t);  // the same text still reports, as a replaced text does
  EXPECT_EQ(changes, 2);

  box.MultiLine(true);
  EXPECT_TEXT_EQ(box.GetText(), t);
  EXPECT_NE(qobject_cast<QPlainTextEdit*>(box.hWnd()), nullptr);
  box.SetText(u"line 1\r\nline 2\r\n\r\nдва");
  EXPECT_TEXT_EQ(box.GetText(), u"line 1\r\nline 2\r\n\r\nдва");
  box.ScrollBars(3);
  box.Locked(true);
  box.HideSelection(false);
  EXPECT_TEXT_EQ(box.GetText(), u"line 1\r\nline 2\r\n\r\nдва");
  EXPECT_TRUE(static_cast<QPlainTextEdit*>(box.hWnd())->isReadOnly());
  box.MultiLine(false);
  EXPECT_NE(qobject_cast<QLineEdit*>(box.hWnd()), nullptr);
  EXPECT_EQ(changes, 3);  // rebuilding is not a change
}

TEST(TextEdit, SelectionInSingleAndMultiLine) {
  ctlTextEdit box;
  box.SetText(u"0123456789");
  box.SelStart(5);
  box.SelLength(3);
  EXPECT_EQ(box.SelStart(), 5);
  EXPECT_EQ(box.SelLength(), 3);
  EXPECT_EQ(qobject_cast<QLineEdit*>(box.hWnd())->selectedText(), QString("567"));

  box.MultiLine(true);
  box.SetText(u"ab\r\ncd");
  box.SelStart(1);
  box.SelLength(4);  // "b", CR LF, "c"
  EXPECT_EQ(box.SelStart(), 1);
  EXPECT_EQ(box.SelLength(), 4);
  box.SelStart(4);
  EXPECT_EQ(box.SelStart(), 4);
  EXPECT_EQ(box.SelLength(), 0);

  // Underlined and replaced stretches count CR LF as selections do.
  auto* area = qobject_cast<QPlainTextEdit*>(box.hWnd());
  box.SetText(u"ab\r\ncdd ef");
  box.SetUnderlines({{4, 3}});
  ASSERT_EQ(area->extraSelections().size(), 1);
  EXPECT_EQ(area->extraSelections()[0].cursor.selectedText(), QString("cdd"));
  box.ReplaceRange(4, 3, u"cd\r\nx");
  EXPECT_TEXT_EQ(box.GetText(), u"ab\r\ncd\r\nx ef");
  box.SetText(u"other");
  EXPECT_TRUE(box.Underlines().empty() && area->extraSelections().isEmpty());
}

TEST(TextEdit, ArrowKeysStayInTheBox) {
  QWidget form;
  auto* lay = new QVBoxLayout(&form);
  auto* before = new QPushButton("before", &form);
  auto* box = new ctlTextEdit(&form);
  auto* after = new QPushButton("after", &form);
  lay->addWidget(before);
  lay->addWidget(box);
  lay->addWidget(after);
  form.show();
  QApplication::setActiveWindow(&form);
  box->SetText(u"abc");
  box->setFocus();
  QApplication::processEvents();
  box->SelStart(1);
  SendKey(box->hWnd(), Qt::Key_Right);
  EXPECT_EQ(box->SelStart(), 2);
  SendKey(box->hWnd(), Qt::Key_Down);  // a single line box has nowhere to go, and neither has the focus
  SendKey(box->hWnd(), Qt::Key_Up);
  SendKey(box->hWnd(), Qt::Key_Left);
  EXPECT_EQ(box->SelStart(), 1);
  if (QApplication::focusWidget()) {
    EXPECT_EQ(QApplication::focusWidget(), box->hWnd());
  }
}
