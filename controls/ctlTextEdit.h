#pragma once
// A Unicode text box over the toolkit's line and plain-text edits, with the interface of an
// ordinary text box. Changing a style property rebuilds the inner edit and keeps the text.
// Multi-line text uses CR LF line breaks and positions count them as two characters.
#include <QFont>
#include <QWidget>
#include <utility>
#include <vector>

#include "platform/Event.h"
#include "platform/Text.h"

class QMenu;

class ctlTextEdit : public QWidget {
 public:
  explicit ctlTextEdit(QWidget* parent = nullptr);
  ~ctlTextEdit() override;

  Text GetText() const;
  void SetText(TextView t);
  long SelStart() const;
  void SelStart(long pos);
  long SelLength() const;
  void SelLength(long len);

  bool MultiLine() const { return multiLine_; }
  void MultiLine(bool on);
  int ScrollBars() const { return scrollBars_; }
  void ScrollBars(int bars);
  bool Locked() const { return locked_; }
  void Locked(bool on);
  bool HideSelection() const { return hideSelection_; }
  void HideSelection(bool on);
  Text PasswordChar() const { return passwordChar_; }
  void PasswordChar(TextView c);
  int LimitText() const { return limitText_; }
  void LimitText(int chars);
  bool Enabled() const { return enabled_; }
  void Enabled(bool on);
  QFont Font() const { return font(); }
  void Font(const QFont& f);
  // The inner edit (the edit window); null only while it is rebuilt.
  QWidget* hWnd() const { return edit_; }
  // Layouts size the box as they would size its inner edit.
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

  Event<> Change;
  Event<> VScroll;
  Event<> HScroll;
  Event<long> MouseWheel;
  Event<> NCMouseMove;
  Event<> NCMouseLeave;
  Event<int&, int&> KeyDown;  // KeyCode, Shift; KeyCode 0 swallows the key
  Event<int&, int&> KeyUp;
  Event<int&> KeyPress;  // KeyAscii (UTF-16 unit); 0 swallows the character
  Event<int, int, long, long> MouseMove;
  Event<int, int, long, long> MouseDown;
  Event<int, int, long, long> MouseUp;
  Event<> DblClick;
  // Raised before the box's context menu opens, with that menu and the text position
  // clicked: a handler adds its own items.
  Event<QMenu*, long> ContextMenu;
  Event<> EditGotFocus;
  Event<> EditLostFocus;

  // Wavy red lines under (start, length) stretches, counted as SelStart counts; setting the
  // text drops them.
  void SetUnderlines(std::vector<std::pair<long, long>> ranges);
  const std::vector<std::pair<long, long>>& Underlines() const { return underlines_; }
  // Replaces a stretch as typing would: the edit's own undo and Change follow.
  void ReplaceRange(long start, long length, TextView with);

  // Position conversions between text with CR LF breaks and the edit's single-character
  // breaks (plain is the edit's text).
  static long ToCrLfPos(const Text& plain, long pos);
  static long FromCrLfPos(const Text& plain, long pos);

 protected:
  void resizeEvent(QResizeEvent* e) override;
  bool eventFilter(QObject* o, QEvent* e) override;

 private:
  class PasswordStyle;
  void Rebuild();
  void CreateEdit();
  void DestroyEdit();
  Text PlainText() const;
  void ApplyLimit();
  void ApplySelectionPalette();
  bool OnKey(QEvent* e);
  void ShowContextMenu(QContextMenuEvent* e);
  void ApplyUnderlines();

  bool multiLine_ = false;
  int scrollBars_ = 0;
  bool locked_ = false;
  bool hideSelection_ = true;
  Text passwordChar_;
  int limitText_ = 0;
  bool enabled_ = true;
  QWidget* edit_ = nullptr;
  PasswordStyle* pwStyle_ = nullptr;
  bool applyingLimit_ = false;
  bool rebuilding_ = false;
  std::vector<std::pair<long, long>> underlines_;
};
