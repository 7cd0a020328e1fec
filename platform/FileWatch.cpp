#include "platform/FileWatch.h"

#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>
#include <set>

#include "platform/ErrLog.h"

namespace platform {

namespace {
QString ToQ(const Text& t) { return QString::fromStdU16String(t); }
}  // namespace

struct FileWatch::Impl {
  QFileSystemWatcher watcher;
  QTimer quiet;
  std::vector<Text> files;
  std::set<Text> pending;
  FileWatch* owner = nullptr;

  // Re-arms every file that exists again; a rename over a file ends the system's watch
  // on it. Folders are watched so a file written anew is seen.
  void Arm() {
    QStringList have = watcher.files() + watcher.directories();
    for (const Text& f : files) {
      QString q = ToQ(f);
      QFileInfo info(q);
      if (info.exists() && !have.contains(q)) watcher.addPath(q);
      QString dir = info.absolutePath();
      if (QFileInfo(dir).isDir() && !have.contains(dir)) watcher.addPath(dir);
    }
  }
  void Touched(const QString& path) {
    Text t = path.toStdU16String();
    for (const Text& f : files)
      if (f == t) pending.insert(f);
    Arm();
    if (!pending.empty()) quiet.start();
  }
  void FolderTouched(const QString& dir) {
    // A file of the folder may have been replaced, deleted or created: those whose watch
    // lapsed are reported, the reader compares contents anyway.
    QStringList watched = watcher.files();
    for (const Text& f : files) {
      QString q = ToQ(f);
      QFileInfo info(q);
      if (info.absolutePath() == dir && !watched.contains(q)) pending.insert(f);
    }
    Arm();
    if (!pending.empty()) quiet.start();
  }
  void Report() {
    std::set<Text> now;
    now.swap(pending);
    for (const Text& f : now) {
      if (!owner->Changed) continue;
      try {
        owner->Changed(f);
      } catch (const std::exception& e) {
        ErrLog::Exception("FileWatch.Changed", e.what());
      }
    }
  }
};

FileWatch::FileWatch() : d_(std::make_unique<Impl>()) {
  d_->owner = this;
  d_->quiet.setSingleShot(true);
  d_->quiet.setInterval(300);
  QObject::connect(&d_->watcher, &QFileSystemWatcher::fileChanged, &d_->watcher,
                   [this](const QString& p) { d_->Touched(p); });
  QObject::connect(&d_->watcher, &QFileSystemWatcher::directoryChanged, &d_->watcher,
                   [this](const QString& p) { d_->FolderTouched(p); });
  QObject::connect(&d_->quiet, &QTimer::timeout, &d_->quiet, [this] { d_->Report(); });
}

FileWatch::~FileWatch() = default;

void FileWatch::SetFiles(const std::vector<Text>& paths) {
  if (paths == d_->files) return;
  QStringList all = d_->watcher.files() + d_->watcher.directories();
  if (!all.isEmpty()) d_->watcher.removePaths(all);
  d_->files = paths;
  d_->pending.clear();
  d_->Arm();
}

std::vector<Text> FileWatch::Files() const { return d_->files; }

void FileWatch::DelayMs(int ms) { d_->quiet.setInterval(ms < 0 ? 0 : ms); }

}  // namespace platform
