#include "platform/AppIcon.h"

#include <QWidget>

// The resource lives in a static library: naming its initialiser keeps it linked in.
static void InitIconResource() { Q_INIT_RESOURCE(KsvLangEditor); }

namespace platform {

QIcon AppIcon() {
  static const QIcon icon = [] {
    InitIconResource();
    QIcon i;
    for (int n : {16, 22, 24, 32, 48, 64, 128, 256})
      i.addFile(QStringLiteral(":/icons/KsvLangEditor-%1.png").arg(n), QSize(n, n));
    return i;
  }();
  return icon;
}

void SetAppIcon(QWidget* w) {
  if (w) w->setWindowIcon(AppIcon());
}

}  // namespace platform
