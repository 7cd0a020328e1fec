#include "platform/EventLoop.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>
#include <chrono>
#include <map>
#include <memory>
#include <thread>

#include "platform/ErrLog.h"

namespace platform {
namespace {

struct TimerRec {
  std::unique_ptr<QTimer> timer;
  std::function<void()> fn;
};
std::map<TimerId, TimerRec>& Timers() {
  static std::map<TimerId, TimerRec> t;
  return t;
}
TimerId g_nextTimer = 0;

}  // namespace

bool HasEventLoop() { return QCoreApplication::instance() != nullptr; }

void PostCall(std::function<void()> fn) {
  if (!fn) return;
  auto* app = QCoreApplication::instance();
  if (!app) return;
  QMetaObject::invokeMethod(
      app, [f = std::move(fn)]() { ErrLog::Trap("platform.PostCall", f); }, Qt::QueuedConnection);
}

TimerId StartTimer(int intervalMs, std::function<void()> onTick) {
  if (!HasEventLoop() || intervalMs < 1 || !onTick) return 0;
  TimerId id = ++g_nextTimer;
  TimerRec rec;
  rec.timer = std::make_unique<QTimer>();
  rec.timer->setInterval(intervalMs);
  rec.timer->setTimerType(intervalMs < 100 ? Qt::PreciseTimer : Qt::CoarseTimer);
  rec.fn = std::move(onTick);
  QObject::connect(rec.timer.get(), &QTimer::timeout, [id]() {
    auto it = Timers().find(id);
    if (it == Timers().end()) return;
    auto fn = it->second.fn;  // the tick may stop (and erase) its own timer
    ErrLog::Trap("platform.Timer", fn);
  });
  rec.timer->start();
  if (!rec.timer->isActive()) return 0;
  Timers().emplace(id, std::move(rec));
  return id;
}

void StopTimer(TimerId id) {
  auto it = Timers().find(id);
  if (it == Timers().end()) return;
  it->second.timer->stop();
  // A timer stopped from inside its own tick is still executing: delete it later.
  it->second.timer.release()->deleteLater();
  Timers().erase(it);
}

bool TimerActive(TimerId id) { return Timers().count(id) != 0; }

void DoEvents() {
  if (!HasEventLoop()) return;
  QCoreApplication::sendPostedEvents();
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void SleepMs(int ms) {
  if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void WaitMs(int ms) {
  double end = HiResMs() + ms;
  while (true) {
    DoEvents();
    double left = end - HiResMs();
    if (left <= 0) break;
    SleepMs(left > 10 ? 10 : static_cast<int>(left) + 1);
  }
}

bool WaitUntil(const std::function<bool()>& cond, int timeoutMs) {
  double end = HiResMs() + timeoutMs;
  while (true) {
    if (cond()) return true;
    if (HiResMs() >= end) return cond();
    if (HasEventLoop()) QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 10);
    else SleepMs(1);
  }
}

double HiResMs() {
  static const auto origin = std::chrono::steady_clock::now();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - origin).count();
}

}  // namespace platform
