#include "platform/FileDialog.h"

#include <QApplication>
#include <QFileDialog>

#include "platform/ErrLog.h"
#include "platform/QtText.h"

namespace platform {
namespace {

FileDialogHandler& Handler() {
  static FileDialogHandler h;
  return h;
}

Text Trim(TextView t) {
  size_t a = 0, b = t.size();
  while (a < b && t[a] == u' ') ++a;
  while (b > a && t[b - 1] == u' ') --b;
  return Text(t.substr(a, b - a));
}

Text Run(FileDialogRequest r) {
  try {
    Text path;
    if (Handler()) {
      path = Handler()(r);
    } else {
      if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return {};
      QString dir = qtxt::ToQ(r.initialDir);
      if (!r.fileName.empty()) dir = dir.isEmpty() ? qtxt::ToQ(r.fileName) : dir + "/" + qtxt::ToQ(r.fileName);
      QString filter = qtxt::ToQ(FilterToToolkit(r.filter));
      QString chosen = r.folder ? QFileDialog::getExistingDirectory(r.owner, qtxt::ToQ(r.title), dir)
                       : r.save ? QFileDialog::getSaveFileName(r.owner, qtxt::ToQ(r.title), dir, filter)
                                : QFileDialog::getOpenFileName(r.owner, qtxt::ToQ(r.title), dir, filter);
      path = qtxt::FromQ(chosen);
    }
    if (r.save) path = WithDefaultExt(path, r.defaultExt);
    return path;
  } catch (const std::exception& e) {
    ErrLog::Exception("platform.FileDialog", e.what());
  } catch (...) {
    ErrLog::Exception("platform.FileDialog", "unknown exception");
  }
  return {};
}

}  // namespace

Text FilterToToolkit(TextView windowsFilter) {
  std::vector<Text> parts = txt::Split(windowsFilter, u"|");
  Text out;
  for (size_t i = 0; i < parts.size(); i += 2) {
    Text desc = Trim(parts[i]);
    Text pats = i + 1 < parts.size() ? Trim(parts[i + 1]) : Text();
    if (desc.empty() && pats.empty()) continue;
    std::vector<Text> list = txt::Split(pats, u";");
    Text joined;
    for (auto& p : list) {
      Text q = Trim(p);
      if (q.empty()) continue;
      if (q == u"*.*") q = u"*";
      if (!joined.empty()) joined += u' ';
      joined += q;
    }
    if (joined.empty()) joined = u"*";
    if (!out.empty()) out += u";;";
    if (desc.find(u'(') != Text::npos && desc.back() == u')') {
      // The toolkit reads the patterns from the parentheses: make them the real ones.
      desc = Trim(desc.substr(0, desc.rfind(u'(')));
    }
    out += (desc.empty() ? joined : desc) + u" (" + joined + u")";
  }
  return out;
}

Text WithDefaultExt(TextView path, TextView defaultExt) {
  if (path.empty() || defaultExt.empty()) return Text(path);
  size_t slash = path.find_last_of(u"/\\");
  TextView name = slash == TextView::npos ? path : path.substr(slash + 1);
  if (name.empty() || name.find(u'.') != TextView::npos) return Text(path);
  Text ext(defaultExt);
  if (ext[0] != u'.') ext = u"." + ext;
  return Text(path) + ext;
}

FileDialogHandler SetFileDialogHandler(FileDialogHandler h) {
  FileDialogHandler old = std::move(Handler());
  Handler() = std::move(h);
  return old;
}

Text ShowOpenFile(TextView title, TextView filter, TextView initialDir, QWidget* owner) {
  FileDialogRequest r;
  r.title = Text(title);
  r.filter = Text(filter);
  r.initialDir = Text(initialDir);
  r.owner = owner;
  return Run(std::move(r));
}

Text ShowFolder(TextView title, TextView initialDir, QWidget* owner) {
  FileDialogRequest r;
  r.folder = true;
  r.title = Text(title);
  r.initialDir = Text(initialDir);
  r.owner = owner;
  return Run(std::move(r));
}

Text ShowSaveFile(TextView title, TextView filter, TextView defaultExt, TextView initialDir, TextView fileName,
                  QWidget* owner) {
  FileDialogRequest r;
  r.save = true;
  r.title = Text(title);
  r.filter = Text(filter);
  r.defaultExt = Text(defaultExt);
  r.initialDir = Text(initialDir);
  r.fileName = Text(fileName);
  r.owner = owner;
  return Run(std::move(r));
}

}  // namespace platform
