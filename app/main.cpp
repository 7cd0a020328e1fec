// Kestrova Lang Editor: the program's entry.
#include <QApplication>

#include "forms/frmMain.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("KsvLangEditor"));
  auto* w = new frmMain();
  w->setAttribute(Qt::WA_DeleteOnClose);
  if (!w->Form_Load()) {
    delete w;
    return 0;
  }
  return app.exec();
}
