#pragma once
// Desktop services: plain-text clipboard, opening URLs with the desktop's handler, moving a
// window with the mouse, and the screen's twips per pixel.
#include <functional>

#include "platform/Text.h"

class QWidget;

namespace platform {

void ClipboardClear();
// Puts plain text on the clipboard; false without a window system.
[[nodiscard]] bool ClipboardSetText(TextView t);
Text ClipboardGetText();

// Opens an http:, https: or the suite's ksv: URL with the desktop's handler; anything else
// is refused. showMode is the caller's wish (1 normal, 2 minimised) and only informs.
[[nodiscard]] bool OpenURL(TextView url, int showMode = 1);
// Whether OpenURL accepts the scheme of this URL.
bool IsOpenableURL(TextView url);
// Replaces the desktop handler (tests); returns the previous one. Called only for accepted URLs.
using OpenURLHandler = std::function<bool(const Text& url, int showMode)>;
OpenURLHandler SetOpenURLHandler(OpenURLHandler h);

// Lets the window manager move the top-level window of w with the pressed mouse button.
bool StartWindowMove(QWidget* w);

// Twips per pixel of the primary screen (15 at 96 dpi).
int TwipsPerPixelX();
int TwipsPerPixelY();

}  // namespace platform
