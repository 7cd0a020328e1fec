#pragma once
// Synthetic input for the control tests.
#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>

namespace ctltest {

// A press holds the button; a move reports none of its own; a release holds none.
inline void SendMouse(QWidget* w, QEvent::Type type, int x, int y, Qt::MouseButton b = Qt::LeftButton,
                      Qt::KeyboardModifiers mods = Qt::NoModifier) {
  Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(b);
  QMouseEvent e(type, QPointF(x, y), w->mapToGlobal(QPoint(x, y)), type == QEvent::MouseMove ? Qt::NoButton : b,
                held, mods);
  QApplication::sendEvent(w, &e);
}

inline void SendKey(QWidget* w, int key, const QString& text = {}, Qt::KeyboardModifiers mods = Qt::NoModifier) {
  QKeyEvent down(QEvent::KeyPress, key, mods, text);
  QApplication::sendEvent(w, &down);
  QKeyEvent up(QEvent::KeyRelease, key, mods, text);
  QApplication::sendEvent(w, &up);
}

}  // namespace ctltest
