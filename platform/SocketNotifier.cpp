#include "platform/SocketNotifier.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <map>
#include <memory>

#include "platform/ErrLog.h"

namespace platform {
namespace {

struct Watch {
  QSocketNotifier* read = nullptr;
  QSocketNotifier* write = nullptr;
  std::function<void(bool, bool)> fn;
};

std::map<SocketWatchId, Watch>& Watches() {
  static std::map<SocketWatchId, Watch> w;
  return w;
}
SocketWatchId g_nextWatch = 0;

void Fire(SocketWatchId id, bool readable) {
  auto it = Watches().find(id);
  if (it == Watches().end()) return;
  auto fn = it->second.fn;  // the callback may end its own watch
  try {
    fn(readable, !readable);
  } catch (const std::exception& e) {
    ErrLog::Exception("platform.SocketNotifier", e.what());
  } catch (...) {
    ErrLog::Exception("platform.SocketNotifier", "unknown exception");
  }
}

void Drop(QSocketNotifier*& n) {
  if (!n) return;
  n->setEnabled(false);
  // May be running its own activation right now.
  n->deleteLater();
  n = nullptr;
}

}  // namespace

SocketWatchId WatchSocket(int fd, std::function<void(bool, bool)> onReady) {
  if (fd < 0 || !onReady || !QCoreApplication::instance()) return 0;
  SocketWatchId id = ++g_nextWatch;
  Watch w;
  w.fn = std::move(onReady);
  w.read = new QSocketNotifier(fd, QSocketNotifier::Read);
  w.write = new QSocketNotifier(fd, QSocketNotifier::Write);
  w.read->setEnabled(false);
  w.write->setEnabled(false);
  QObject::connect(w.read, &QSocketNotifier::activated, [id]() { Fire(id, true); });
  QObject::connect(w.write, &QSocketNotifier::activated, [id]() { Fire(id, false); });
  Watches().emplace(id, std::move(w));
  return id;
}

void SetSocketWatch(SocketWatchId id, bool read, bool write) {
  auto it = Watches().find(id);
  if (it == Watches().end()) return;
  if (it->second.read->isEnabled() != read) it->second.read->setEnabled(read);
  if (it->second.write->isEnabled() != write) it->second.write->setEnabled(write);
}

void UnwatchSocket(SocketWatchId id) {
  auto it = Watches().find(id);
  if (it == Watches().end()) return;
  Drop(it->second.read);
  Drop(it->second.write);
  Watches().erase(it);
}

int ActiveSocketWatches() { return static_cast<int>(Watches().size()); }

}  // namespace platform
