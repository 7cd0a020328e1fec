#include "platform/MsgBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QWidget>

#include "AppInfo.h"
#include "platform/ErrLog.h"
#include "platform/QtText.h"

namespace platform {
namespace {

QPointer<QWidget>& MainWin() {
  static QPointer<QWidget> w;
  return w;
}
MsgBoxHandler& Handler() {
  static MsgBoxHandler h;
  return h;
}

QWidget* ResolveOwner(QWidget* owner) {
  if (owner) return owner;
  QWidget* active = QApplication::activeWindow();
  if (!active || active->objectName().contains(QLatin1String("menu"), Qt::CaseInsensitive)) return MainWin().data();
  return active;
}

struct ButtonSpec {
  QMessageBox::StandardButton qt;
  int result;
};

int ShowDialog(const MsgBoxRequest& r) {
  QMessageBox box(r.owner);
  box.setText(qtxt::ToQ(r.text));
  box.setWindowTitle(qtxt::ToQ(r.title));
  switch (r.flags & 0x70) {
    case vbCritical: box.setIcon(QMessageBox::Critical); break;
    case vbQuestion: box.setIcon(QMessageBox::Question); break;
    case vbExclamation: box.setIcon(QMessageBox::Warning); break;
    case vbInformation: box.setIcon(QMessageBox::Information); break;
    default: box.setIcon(QMessageBox::NoIcon); break;
  }
  std::vector<ButtonSpec> buttons;
  switch (r.flags & 0x0F) {
    case vbOKCancel: buttons = {{QMessageBox::Ok, vbOK}, {QMessageBox::Cancel, vbCancel}}; break;
    case vbAbortRetryIgnore:
      buttons = {{QMessageBox::Abort, vbAbort}, {QMessageBox::Retry, vbRetry}, {QMessageBox::Ignore, vbIgnore}};
      break;
    case vbYesNoCancel:
      buttons = {{QMessageBox::Yes, vbYes}, {QMessageBox::No, vbNo}, {QMessageBox::Cancel, vbCancel}};
      break;
    case vbYesNo: buttons = {{QMessageBox::Yes, vbYes}, {QMessageBox::No, vbNo}}; break;
    case vbRetryCancel: buttons = {{QMessageBox::Retry, vbRetry}, {QMessageBox::Cancel, vbCancel}}; break;
    default: buttons = {{QMessageBox::Ok, vbOK}}; break;
  }
  QMessageBox::StandardButtons all;
  for (auto& b : buttons) all |= b.qt;
  box.setStandardButtons(all);
  size_t def = (r.flags & vbDefaultButton3) ? 2 : (r.flags & vbDefaultButton2) ? 1 : 0;
  if (def >= buttons.size()) def = 0;
  box.setDefaultButton(buttons[def].qt);
  // Escape answers as Windows does: Cancel when there is one, OK for a lone OK, else nothing.
  for (auto& b : buttons)
    if (b.result == vbCancel) box.setEscapeButton(b.qt);
  if (buttons.size() == 1) box.setEscapeButton(buttons[0].qt);
  box.setWindowModality(r.taskModal || !r.owner ? Qt::ApplicationModal : Qt::WindowModal);
  box.exec();
  QAbstractButton* clicked = box.clickedButton();
  for (auto& b : buttons)
    if (clicked && box.standardButton(clicked) == b.qt) return b.result;
  // Closed without a button (only possible where Escape maps to nothing).
  return buttons.size() == 1 ? vbOK : vbCancel;
}

}  // namespace

Text DefaultMsgBoxTitle() {
  return Text(KSV_TITLE) + u" v" + txt::FromInt(KSV_VERSION_MAJOR) + u"." + txt::FromInt(KSV_VERSION_MINOR) + u"." +
         txt::FromInt(KSV_VERSION_REVISION);
}

void SetMainWindow(QWidget* w) { MainWin() = w; }
QWidget* MainWindow() { return MainWin().data(); }

MsgBoxHandler SetMsgBoxHandler(MsgBoxHandler h) {
  MsgBoxHandler old = std::move(Handler());
  Handler() = std::move(h);
  return old;
}

int MsgBox(TextView text, long flags, TextView title, QWidget* owner, bool taskModal) {
  try {
    MsgBoxRequest r;
    r.text = Text(text);
    r.flags = flags;
    r.title = title.empty() ? DefaultMsgBoxTitle() : Text(title);
    r.taskModal = taskModal;
    r.owner = ResolveOwner(owner);
    if (Handler()) return Handler()(r);
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
      ErrLog::Line(u"MsgBox without a window system: " + r.text);
      return 0;
    }
    return ShowDialog(r);
  } catch (const std::exception& e) {
    ErrLog::Exception("platform.MsgBox", e.what());
  } catch (...) {
    ErrLog::Exception("platform.MsgBox", "unknown exception");
  }
  return 0;
}

}  // namespace platform
