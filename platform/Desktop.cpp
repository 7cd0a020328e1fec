#include "platform/Desktop.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QScreen>
#include <QUrl>
#include <QWidget>
#include <QWindow>

#include "platform/ErrLog.h"
#include "platform/QtText.h"

namespace platform {
namespace {

OpenURLHandler& UrlHandler() {
  static OpenURLHandler h;
  return h;
}

QClipboard* Board() {
  if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return nullptr;
  return QGuiApplication::clipboard();
}

int Twips(bool horizontal) {
  if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return 15;
  QScreen* s = QGuiApplication::primaryScreen();
  if (!s) return 15;
  double dpi = horizontal ? s->logicalDotsPerInchX() : s->logicalDotsPerInchY();
  if (dpi < 1) return 15;
  int t = static_cast<int>(1440.0 / dpi + 0.5);
  return t < 1 ? 1 : t;
}

}  // namespace

void ClipboardClear() {
  if (QClipboard* c = Board()) c->clear();
}

bool ClipboardSetText(TextView t) {
  QClipboard* c = Board();
  if (!c) return false;
  c->setText(qtxt::ToQ(t));
  return true;
}

Text ClipboardGetText() {
  QClipboard* c = Board();
  return c ? qtxt::FromQ(c->text()) : Text();
}

bool IsOpenableURL(TextView url) {
  size_t colon = url.find(u':');
  if (colon == TextView::npos) return false;
  Text scheme = txt::LCase(url.substr(0, colon));
  if (scheme != u"http" && scheme != u"https" && scheme != u"ksv") return false;
  // No control characters: the URL travels as one argument and must not smuggle lines.
  for (char16_t c : url)
    if (c < 0x20 || c == 0x7F) return false;
  return url.size() > colon + 1;
}

OpenURLHandler SetOpenURLHandler(OpenURLHandler h) {
  OpenURLHandler old = std::move(UrlHandler());
  UrlHandler() = std::move(h);
  return old;
}

bool OpenURL(TextView url, int showMode) {
  try {
    if (!IsOpenableURL(url)) {
      ErrLog::Line(u"OpenURL refused: " + Text(url));
      return false;
    }
    if (UrlHandler()) return UrlHandler()(Text(url), showMode);
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return false;
    QUrl u(qtxt::ToQ(url), QUrl::StrictMode);
    if (!u.isValid()) return false;
    return QDesktopServices::openUrl(u);
  } catch (const std::exception& e) {
    ErrLog::Exception("platform.OpenURL", e.what());
  } catch (...) {
    ErrLog::Exception("platform.OpenURL", "unknown exception");
  }
  return false;
}

bool StartWindowMove(QWidget* w) {
  if (!w) return false;
  QWidget* top = w->window();
  QWindow* h = top ? top->windowHandle() : nullptr;
  return h && h->startSystemMove();
}

int TwipsPerPixelX() { return Twips(true); }
int TwipsPerPixelY() { return Twips(false); }

}  // namespace platform
