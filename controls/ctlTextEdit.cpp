#include "controls/ctlTextEdit.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QProxyStyle>
#include <QScrollBar>
#include <QTextBlock>
#include <QWheelEvent>

#include "platform/ErrLog.h"
#include "platform/KeyCodes.h"
#include "platform/QtText.h"

namespace {

using ErrLog::Trap;

bool IsArrow(int key) { return key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Up || key == Qt::Key_Down; }

const QColor kUnderlineColor(Qt::red);

// The inner edits keep the arrow keys for themselves: a key they ignore would otherwise
// travel to the form and move the focus.
class EditLine : public QLineEdit {
 public:
  using QLineEdit::QLineEdit;
  std::vector<std::pair<long, long>> underlines;

 protected:
  void keyPressEvent(QKeyEvent* e) override {
    QLineEdit::keyPressEvent(e);
    if (IsArrow(e->key()) && e->modifiers() == Qt::NoModifier) e->accept();
  }
  // The line edit has no character formats: the waves are drawn over it, placed from the
  // caret's rectangle and the text's advances (left-to-right text).
  void paintEvent(QPaintEvent* e) override {
    QLineEdit::paintEvent(e);
    if (underlines.empty() || echoMode() != QLineEdit::Normal) return;
    QPainter p(this);
    p.setPen(QPen(kUnderlineColor, 1));
    QFontMetrics fm(font());
    QString t = text();
    int caretX = cursorRect().center().x() - fm.horizontalAdvance(t.left(cursorPosition()));
    int y = cursorRect().bottom() - 1;
    for (auto [start, len] : underlines) {
      int x1 = caretX + fm.horizontalAdvance(t.left(static_cast<int>(start)));
      int x2 = caretX + fm.horizontalAdvance(t.left(static_cast<int>(start + len)));
      QPainterPath wave(QPointF(x1, y));
      for (int x = x1, k = 0; x < x2; x += 2, ++k) wave.lineTo(x + 2, k % 2 ? y : y + 2);
      p.drawPath(wave);
    }
  }
};

class EditArea : public QPlainTextEdit {
 public:
  using QPlainTextEdit::QPlainTextEdit;

 protected:
  void keyPressEvent(QKeyEvent* e) override {
    QPlainTextEdit::keyPressEvent(e);
    if (IsArrow(e->key()) && e->modifiers() == Qt::NoModifier) e->accept();
  }
};

}  // namespace

// Shows the chosen password character instead of the style's own.
class ctlTextEdit::PasswordStyle : public QProxyStyle {
 public:
  char16_t ch = u'*';
  int styleHint(StyleHint hint, const QStyleOption* opt, const QWidget* w, QStyleHintReturn* ret) const override {
    if (hint == SH_LineEdit_PasswordCharacter) return ch;
    return QProxyStyle::styleHint(hint, opt, w, ret);
  }
};

ctlTextEdit::ctlTextEdit(QWidget* parent) : QWidget(parent) {
  CreateEdit();
}

ctlTextEdit::~ctlTextEdit() {
  DestroyEdit();
  delete pwStyle_;
}

long ctlTextEdit::ToCrLfPos(const Text& plain, long pos) {
  long out = 0;
  for (long i = 0; i < pos && i < static_cast<long>(plain.size()); ++i) out += plain[i] == u'\n' ? 2 : 1;
  if (pos > static_cast<long>(plain.size())) out += pos - static_cast<long>(plain.size());
  return out;
}

long ctlTextEdit::FromCrLfPos(const Text& plain, long pos) {
  long win = 0, i = 0;
  for (; i < static_cast<long>(plain.size()); ++i) {
    long step = plain[i] == u'\n' ? 2 : 1;
    if (win + step > pos) break;
    win += step;
  }
  return i;
}

Text ctlTextEdit::PlainText() const {
  if (auto* l = qobject_cast<QLineEdit*>(edit_)) return qtxt::FromQ(l->text());
  if (auto* a = qobject_cast<QPlainTextEdit*>(edit_)) return qtxt::FromQ(a->toPlainText());
  return {};
}

Text ctlTextEdit::GetText() const {
  Text t = PlainText();
  return multiLine_ ? txt::Replace(t, u"\n", u"\r\n") : t;
}

void ctlTextEdit::SetText(TextView t) {
  Trap("ctlTextEdit.Text", [&] {
    {
      // Every set reports one Change, also when the text stays the same.
      QSignalBlocker block(edit_);
      if (auto* l = qobject_cast<QLineEdit*>(edit_))
        l->setText(qtxt::ToQ(t));
      else if (auto* a = qobject_cast<QPlainTextEdit*>(edit_))
        a->setPlainText(qtxt::ToQ(txt::Replace(t, u"\r\n", u"\n")));
    }
    underlines_.clear();
    ApplyUnderlines();
    if (!rebuilding_) Change.Raise();
  });
}

void ctlTextEdit::SetUnderlines(std::vector<std::pair<long, long>> ranges) {
  underlines_ = std::move(ranges);
  ApplyUnderlines();
}

void ctlTextEdit::ApplyUnderlines() {
  if (auto* l = dynamic_cast<EditLine*>(edit_)) {
    l->underlines = underlines_;
    l->update();
  } else if (auto* a = qobject_cast<QPlainTextEdit*>(edit_)) {
    Text plain = PlainText();
    long n = static_cast<long>(plain.size());
    QList<QTextEdit::ExtraSelection> marks;
    for (auto [start, len] : underlines_) {
      QTextEdit::ExtraSelection m;
      m.cursor = QTextCursor(a->document());
      m.cursor.setPosition(static_cast<int>(std::min(FromCrLfPos(plain, start), n)));
      m.cursor.setPosition(static_cast<int>(std::min(FromCrLfPos(plain, start + len), n)), QTextCursor::KeepAnchor);
      m.format.setUnderlineStyle(QTextCharFormat::WaveUnderline);
      m.format.setUnderlineColor(kUnderlineColor);
      marks.push_back(m);
    }
    a->setExtraSelections(marks);
  }
}

void ctlTextEdit::ReplaceRange(long start, long length, TextView with) {
  if (locked_ || start < 0 || length < 0) return;
  if (auto* l = qobject_cast<QLineEdit*>(edit_)) {
    l->setSelection(static_cast<int>(start), static_cast<int>(length));
    l->insert(qtxt::ToQ(with));
  } else if (auto* a = qobject_cast<QPlainTextEdit*>(edit_)) {
    Text plain = PlainText();
    long n = static_cast<long>(plain.size());
    QTextCursor c = a->textCursor();
    c.setPosition(static_cast<int>(std::min(FromCrLfPos(plain, start), n)));
    c.setPosition(static_cast<int>(std::min(FromCrLfPos(plain, start + length), n)), QTextCursor::KeepAnchor);
    c.insertText(qtxt::ToQ(txt::Replace(with, u"\r\n", u"\n")));
    a->setTextCursor(c);
  }
}

void ctlTextEdit::ShowContextMenu(QContextMenuEvent* e) {
  QMenu* menu = nullptr;
  long pos = 0;
  if (auto* l = qobject_cast<QLineEdit*>(edit_)) {
    menu = l->createStandardContextMenu();
    pos = l->cursorPositionAt(e->pos());
  } else if (auto* a = qobject_cast<QPlainTextEdit*>(edit_)) {
    menu = a->createStandardContextMenu(e->pos());
    pos = ToCrLfPos(PlainText(), a->cursorForPosition(e->pos()).position());
  }
  if (!menu) return;
  menu->setAttribute(Qt::WA_DeleteOnClose);
  ContextMenu.Raise(menu, pos);
  // Not exec(): the menu lives on its own, so nothing waits on it.
  menu->popup(e->globalPos());
}

long ctlTextEdit::SelStart() const {
  if (auto* l = qobject_cast<QLineEdit*>(edit_))
    return l->hasSelectedText() ? l->selectionStart() : l->cursorPosition();
  if (auto* a = qobject_cast<QPlainTextEdit*>(edit_)) return ToCrLfPos(PlainText(), a->textCursor().selectionStart());
  return 0;
}

void ctlTextEdit::SelStart(long pos) {
  if (pos < 0) pos = 0;
  if (auto* l = qobject_cast<QLineEdit*>(edit_)) {
    l->setCursorPosition(static_cast<int>(pos));
  } else if (auto* a = qobject_cast<QPlainTextEdit*>(edit_)) {
    QTextCursor c = a->textCursor();
    long p = std::min<long>(FromCrLfPos(PlainText(), pos), static_cast<long>(PlainText().size()));
    c.setPosition(static_cast<int>(p));
    a->setTextCursor(c);
  }
}

long ctlTextEdit::SelLength() const {
  if (auto* l = qobject_cast<QLineEdit*>(edit_)) return l->hasSelectedText() ? l->selectedText().size() : 0;
  if (auto* a = qobject_cast<QPlainTextEdit*>(edit_)) {
    Text plain = PlainText();
    QTextCursor c = a->textCursor();
    return ToCrLfPos(plain, c.selectionEnd()) - ToCrLfPos(plain, c.selectionStart());
  }
  return 0;
}

void ctlTextEdit::SelLength(long len) {
  if (len < 0) len = 0;
  long start = SelStart();
  if (auto* l = qobject_cast<QLineEdit*>(edit_)) {
    l->setSelection(static_cast<int>(start), static_cast<int>(len));
  } else if (auto* a = qobject_cast<QPlainTextEdit*>(edit_)) {
    Text plain = PlainText();
    long n = static_cast<long>(plain.size());
    QTextCursor c = a->textCursor();
    c.setPosition(static_cast<int>(std::min(FromCrLfPos(plain, start), n)));
    c.setPosition(static_cast<int>(std::min(FromCrLfPos(plain, start + len), n)), QTextCursor::KeepAnchor);
    a->setTextCursor(c);
  }
}

void ctlTextEdit::MultiLine(bool on) {
  multiLine_ = on;
  Rebuild();
}
void ctlTextEdit::ScrollBars(int bars) {
  scrollBars_ = bars & 3;
  Rebuild();
}
void ctlTextEdit::Locked(bool on) {
  locked_ = on;
  Rebuild();
}
void ctlTextEdit::HideSelection(bool on) {
  hideSelection_ = on;
  Rebuild();
}
void ctlTextEdit::PasswordChar(TextView c) {
  passwordChar_ = Text(c);
  Rebuild();
}

void ctlTextEdit::LimitText(int chars) {
  limitText_ = chars < 0 ? 0 : chars;
  ApplyLimit();
}

void ctlTextEdit::Enabled(bool on) {
  enabled_ = on;
  setEnabled(on);
  if (edit_) edit_->setEnabled(on);
}

void ctlTextEdit::Font(const QFont& f) {
  setFont(f);
  if (edit_) edit_->setFont(font());
}

QSize ctlTextEdit::sizeHint() const { return edit_ ? edit_->sizeHint() : QWidget::sizeHint(); }
QSize ctlTextEdit::minimumSizeHint() const { return edit_ ? edit_->minimumSizeHint() : QWidget::minimumSizeHint(); }

void ctlTextEdit::resizeEvent(QResizeEvent*) {
  if (edit_) edit_->setGeometry(0, 0, width(), height());
}

void ctlTextEdit::Rebuild() {
  Trap("ctlTextEdit.Rebuild", [&] {
    Text keep = GetText();
    bool hadFocus = edit_ && edit_->hasFocus();
    DestroyEdit();
    CreateEdit();
    // Putting the text back is part of the rebuild, not a change.
    rebuilding_ = true;
    SetText(keep);
    rebuilding_ = false;
    if (hadFocus) edit_->setFocus();
  });
}

void ctlTextEdit::DestroyEdit() {
  if (!edit_) return;
  QWidget* e = edit_;
  edit_ = nullptr;
  e->hide();
  e->removeEventFilter(this);
  e->deleteLater();
  e->setParent(nullptr);
}

void ctlTextEdit::ApplyLimit() {
  if (auto* l = qobject_cast<QLineEdit*>(edit_)) l->setMaxLength(limitText_ > 0 ? limitText_ : 32767);
}

void ctlTextEdit::ApplySelectionPalette() {
  if (!edit_) return;
  QPalette pal = edit_->palette();
  QPalette base = QApplication::palette(edit_);
  if (hideSelection_) {
    pal.setColor(QPalette::Inactive, QPalette::Highlight, base.color(QPalette::Inactive, QPalette::Base));
    pal.setColor(QPalette::Inactive, QPalette::HighlightedText, base.color(QPalette::Inactive, QPalette::Text));
  } else {
    pal.setColor(QPalette::Inactive, QPalette::Highlight, base.color(QPalette::Active, QPalette::Highlight));
    pal.setColor(QPalette::Inactive, QPalette::HighlightedText, base.color(QPalette::Active, QPalette::HighlightedText));
  }
  edit_->setPalette(pal);
}

void ctlTextEdit::CreateEdit() {
  QWidget* w = nullptr;
  if (multiLine_) {
    auto* a = new EditArea(this);
    a->setLineWrapMode((scrollBars_ & 1) ? QPlainTextEdit::NoWrap : QPlainTextEdit::WidgetWidth);
    a->setHorizontalScrollBarPolicy((scrollBars_ & 1) ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    a->setVerticalScrollBarPolicy((scrollBars_ & 2) ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    a->setReadOnly(locked_);
    a->setTabChangesFocus(true);
    connect(a, &QPlainTextEdit::textChanged, this, [this] {
      if (limitText_ > 0 && !applyingLimit_) {
        auto* ar = qobject_cast<QPlainTextEdit*>(edit_);
        long over = ar ? static_cast<long>(GetText().size()) - limitText_ : 0;
        if (over > 0) {
          // Take back what went beyond the limit, just before the caret.
          applyingLimit_ = true;
          QTextCursor c = ar->textCursor();
          c.clearSelection();
          for (long i = 0; i < over && c.position() > 0; ++i) c.deletePreviousChar();
          applyingLimit_ = false;
        }
      }
      if (!applyingLimit_) Trap("ctlTextEdit.Change", [&] { Change.Raise(); });
    });
    connect(a->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { VScroll.Raise(); });
    connect(a->horizontalScrollBar(), &QScrollBar::valueChanged, this, [this] { HScroll.Raise(); });
    a->viewport()->installEventFilter(this);
    a->viewport()->setMouseTracking(true);
    for (QScrollBar* sb : {a->verticalScrollBar(), a->horizontalScrollBar()}) {
      sb->installEventFilter(this);
      sb->setMouseTracking(true);
    }
    w = a;
  } else {
    auto* l = new EditLine(this);
    l->setReadOnly(locked_);
    if (!passwordChar_.empty()) {
      if (!pwStyle_) pwStyle_ = new PasswordStyle;
      pwStyle_->ch = passwordChar_[0];
      l->setStyle(pwStyle_);
      l->setEchoMode(QLineEdit::Password);
    }
    connect(l, &QLineEdit::textChanged, this, [this] { Trap("ctlTextEdit.Change", [&] { Change.Raise(); }); });
    l->setMouseTracking(true);
    w = l;
  }
  w->setFont(font());
  w->setEnabled(enabled_);
  w->setGeometry(0, 0, width(), height());
  w->installEventFilter(this);
  edit_ = w;
  setFocusProxy(w);
  ApplyUnderlines();
  ApplyLimit();
  ApplySelectionPalette();
  w->show();
  updateGeometry();
}

bool ctlTextEdit::OnKey(QEvent* e) {
  auto* ke = static_cast<QKeyEvent*>(e);
  int shift = vk::ShiftFromQt(ke->modifiers()) & (vk::ShiftMask | vk::CtrlMask | vk::AltMask);
  int code = vk::FromQtKey(ke->key());
  if (e->type() == QEvent::KeyRelease) {
    if (code != 0) {
      KeyUp.Raise(code, shift);
      if (code == 0) return true;
    }
    return false;
  }
  if (code != 0) {
    KeyDown.Raise(code, shift);
    if (code == 0) return true;
  }
  QString s = ke->text();
  if (s.isEmpty()) return false;
  // Enter arrives as CR, as the edit window would see it.
  int ascii = s.at(0).unicode();
  int original = ascii;
  KeyPress.Raise(ascii);
  if (ascii == 0) return true;
  if (ascii != original && !locked_) {
    QString repl(QChar(static_cast<char16_t>(ascii)));
    if (auto* l = qobject_cast<QLineEdit*>(edit_)) l->insert(repl);
    if (auto* a = qobject_cast<QPlainTextEdit*>(edit_)) a->insertPlainText(repl);
    return true;
  }
  return false;
}

bool ctlTextEdit::eventFilter(QObject* o, QEvent* e) {
  if (!edit_) return false;
  bool swallow = false;
  Trap("ctlTextEdit.Event", [&] {
    auto* area = qobject_cast<QPlainTextEdit*>(edit_);
    bool isScrollBar = area && (o == area->verticalScrollBar() || o == area->horizontalScrollBar());
    if (isScrollBar) {
      if (e->type() == QEvent::MouseMove || e->type() == QEvent::HoverMove) NCMouseMove.Raise();
      if (e->type() == QEvent::Leave) NCMouseLeave.Raise();
      return;
    }
    switch (e->type()) {
      case QEvent::ShortcutOverride: {
        // Arrow keys belong to the box, not to the form's shortcuts.
        auto* ke = static_cast<QKeyEvent*>(e);
        if (IsArrow(ke->key()) && ke->modifiers() == Qt::NoModifier) e->accept();
        break;
      }
      case QEvent::KeyPress:
      case QEvent::KeyRelease: swallow = OnKey(e); break;
      case QEvent::ContextMenu:
        ShowContextMenu(static_cast<QContextMenuEvent*>(e));
        swallow = true;
        break;
      case QEvent::FocusIn: EditGotFocus.Raise(); break;
      case QEvent::FocusOut: EditLostFocus.Raise(); break;
      case QEvent::Wheel: {
        auto* we = static_cast<QWheelEvent*>(e);
        long amount = -static_cast<long>(we->angleDelta().y() / 120.0 * QApplication::wheelScrollLines());
        MouseWheel.Raise(amount);
        break;
      }
      case QEvent::MouseMove: {
        auto* me = static_cast<QMouseEvent*>(e);
        MouseMove.Raise(vk::ButtonsFromQt(me->buttons()), vk::ShiftFromQt(me->modifiers()),
                        static_cast<long>(me->position().x()), static_cast<long>(me->position().y()));
        break;
      }
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease: {
        auto* me = static_cast<QMouseEvent*>(e);
        int b = vk::ButtonsFromQt(me->button());
        if (b == 0) break;
        auto& ev = e->type() == QEvent::MouseButtonPress ? MouseDown : MouseUp;
        ev.Raise(b, vk::ShiftFromQt(me->modifiers()), static_cast<long>(me->position().x()),
                 static_cast<long>(me->position().y()));
        break;
      }
      case QEvent::MouseButtonDblClick: {
        auto* me = static_cast<QMouseEvent*>(e);
        if (me->button() == Qt::LeftButton) DblClick.Raise();
        break;
      }
      default: break;
    }
  });
  return swallow;
}
