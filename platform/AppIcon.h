#pragma once
// The program's own icon, built into the executable at every size it ships in.
#include <QIcon>

class QWidget;

namespace platform {

// Null only when the built-in pictures are missing.
QIcon AppIcon();
// Gives a window (the main window or a dialog) the program's icon.
void SetAppIcon(QWidget* w);

}  // namespace platform
