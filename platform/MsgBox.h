#pragma once
// The one message-box routine every user-visible message goes through. Flags and results
// are the Windows values, so the program's logic states its buttons and icons as usual.
// Tests replace the handler to record the requests and script the answers.
#include <functional>

#include "platform/Text.h"

class QWidget;

namespace platform {

// Buttons (low nibble), icons, default button, modality.
enum MsgBoxFlags : long {
  vbOKOnly = 0,
  vbOKCancel = 1,
  vbAbortRetryIgnore = 2,
  vbYesNoCancel = 3,
  vbYesNo = 4,
  vbRetryCancel = 5,
  vbCritical = 16,
  vbQuestion = 32,
  vbExclamation = 48,
  vbInformation = 64,
  vbDefaultButton2 = 256,
  vbDefaultButton3 = 512,
  vbSystemModal = 4096,
};

// Buttons pressed.
enum MsgBoxResult : int { vbOK = 1, vbCancel = 2, vbAbort = 3, vbRetry = 4, vbIgnore = 5, vbYes = 6, vbNo = 7 };

struct MsgBoxRequest {
  Text text;
  long flags = 0;
  Text title;               // already defaulted
  QWidget* owner = nullptr;  // already resolved by the owner rules
  bool taskModal = false;
};
using MsgBoxHandler = std::function<int(const MsgBoxRequest&)>;

// Shows the box and returns the button pressed. An empty title becomes the product title +
// " v" + major.minor.revision; without an owner the active window is used, or the main
// window when there is none or the active window's name contains "menu" (any case).
int MsgBox(TextView text, long flags = vbOKOnly, TextView title = {}, QWidget* owner = nullptr,
           bool taskModal = false);

// The default title: product title + " v" + major.minor.revision.
Text DefaultMsgBoxTitle();

// The window that owns boxes when the active window does not qualify.
void SetMainWindow(QWidget* w);
QWidget* MainWindow();

// Replaces the dialog (an empty function restores it); returns the previous handler.
MsgBoxHandler SetMsgBoxHandler(MsgBoxHandler h);

}  // namespace platform
