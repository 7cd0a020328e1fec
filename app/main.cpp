// Kestrova Lang Editor: the program's entry.
#include <QApplication>
#include <cstdio>

#include "app/mCmdLine.h"
#include "app/mSuiteCheck.h"
#include "forms/frmMain.h"
#include "platform/AppIcon.h"

int main(int argc, char** argv) {
  // The command line is settled before the toolkit starts: --help, --version and bad
  // arguments must work without a display.
  mCmdLine::Options options = mCmdLine::Parse(std::vector<std::string>(argv + 1, argv + argc));
  std::string out, err;
  int code = mCmdLine::Handle(options, out, err);
  if (code < 0 && options.action == mCmdLine::Action::Check) code = mSuiteCheck::Main(options, {}, out, err);
  if (code >= 0) {
    std::fputs(out.c_str(), stdout);
    std::fputs(err.c_str(), stderr);
    return code;
  }

  // The toolkit sees only the program name: every argument has been read above.
  int qtArgc = 1;
  QApplication app(qtArgc, argv);
  QApplication::setApplicationName(QStringLiteral("KsvLangEditor"));
  QApplication::setDesktopFileName(QStringLiteral("KsvLangEditor"));
  QApplication::setWindowIcon(platform::AppIcon());
  auto* w = new frmMain();
  w->setAttribute(Qt::WA_DeleteOnClose);
  frmMain::StartOptions start;
  start.suiteRoot = options.suiteRoot;
  start.langFile = options.langFile;
  if (!w->Form_Load(start)) {
    delete w;
    return 0;
  }
  return app.exec();
}
