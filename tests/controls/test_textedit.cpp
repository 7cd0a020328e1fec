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

TEST(TextEdit, CrLfPositionsMapBothWays) {
  Text plain = u"ab\ncd\n\ne";
  struct Case {
    long qt, win;
  } cases[] = {{0, 0}, {2, 2}, {3, 4}, {5, 6}, {6, 8}, {7, 10}, {8, 11}};
  for (const auto& c : cases) {
    EXPECT_EQ(ctlTextEdit::ToCrLfPos(plain, c.qt), c.win) << c.qt;
    EXPECT_EQ(ctlTextEdit::FromCrLfPos(plain, c.win), c.qt) << c.win;
  }
  EXPECT_EQ(ctlTextEdit::FromCrLfPos(plain, 3), 2);  // inside a CR LF: before the break
}

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
}

TEST(TextEdit, PasswordOnlyOnSingleLineAndLimit) {
  ctlTextEdit box;
  box.PasswordChar(u"#");
  auto* l = qobject_cast<QLineEdit*>(box.hWnd());
  ASSERT_NE(l, nullptr);
  EXPECT_EQ(l->echoMode(), QLineEdit::Password);
  EXPECT_EQ(l->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, l), u'#');
  box.MultiLine(true);
  box.SetText(u"secret");
  EXPECT_TEXT_EQ(box.GetText(), u"secret");  // no mask on a multi-line box
  box.MultiLine(false);
  box.PasswordChar(u"");
  EXPECT_EQ(qobject_cast<QLineEdit*>(box.hWnd())->echoMode(), QLineEdit::Normal);

  box.LimitText(4);
  box.SetText(u"");
  box.show();
  box.hWnd()->setFocus();
  for (const char* ch : {"a", "b", "c", "d", "e"}) SendKey(box.hWnd(), Qt::Key_A, ch);
  EXPECT_TEXT_EQ(box.GetText(), u"abcd");
  box.MultiLine(true);
  box.SetText(u"");
  for (const char* ch : {"a", "b", "c", "d", "e"}) SendKey(box.hWnd(), Qt::Key_A, ch);
  EXPECT_TEXT_EQ(box.GetText(), u"abcd");
}

TEST(TextEdit, HostCanSwallowKeysAndCharacters) {
  ctlTextEdit box;
  box.MultiLine(true);
  box.show();
  box.hWnd()->setFocus();
  std::vector<int> downs, presses;
  auto kd = box.KeyDown.Subscribe([&](int& code, int& shift) {
    downs.push_back(code * 10 + shift);
    if (code == vk::Return) code = 0;
  });
  auto kp = box.KeyPress.Subscribe([&](int& ascii) {
    presses.push_back(ascii);
    if (ascii == 'x') ascii = 0;
    if (ascii == 'q') ascii = 'Q';
  });
  SendKey(box.hWnd(), Qt::Key_A, "a");
  SendKey(box.hWnd(), Qt::Key_Return, "\r");
  SendKey(box.hWnd(), Qt::Key_X, "x");
  SendKey(box.hWnd(), Qt::Key_Q, "q");
  SendKey(box.hWnd(), Qt::Key_B, "B", Qt::ShiftModifier);
  EXPECT_TEXT_EQ(box.GetText(), u"aQB");
  EXPECT_EQ(downs, (std::vector<int>{650, 130, 880, 810, 661}));
  EXPECT_EQ(presses, (std::vector<int>{'a', 'x', 'q', 'B'}));  // Enter never got to be a character
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

TEST(TextEdit, MouseAndFocusEvents) {
  ctlTextEdit box;
  box.resize(200, 40);
  box.show();
  std::vector<std::vector<long>> downs;
  int dbl = 0, got = 0, lost = 0;
  auto d = box.MouseDown.Subscribe([&](int b, int s, long x, long y) { downs.push_back({b, s, x, y}); });
  auto dc = box.DblClick.Subscribe([&] { ++dbl; });
  auto g = box.EditGotFocus.Subscribe([&] { ++got; });
  auto l = box.EditLostFocus.Subscribe([&] { ++lost; });
  ctltest::SendMouse(box.hWnd(), QEvent::MouseButtonPress, 7, 9, Qt::MiddleButton, Qt::ControlModifier);
  EXPECT_EQ(downs, (std::vector<std::vector<long>>{{4, 2, 7, 9}}));
  ctltest::SendMouse(box.hWnd(), QEvent::MouseButtonDblClick, 7, 9, Qt::RightButton);
  EXPECT_EQ(dbl, 0);  // right double clicks raise nothing
  QFocusEvent in(QEvent::FocusIn), out(QEvent::FocusOut);
  QApplication::sendEvent(box.hWnd(), &in);
  QApplication::sendEvent(box.hWnd(), &out);
  EXPECT_EQ(got, 1);
  EXPECT_EQ(lost, 1);
}
