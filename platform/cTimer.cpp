#include "platform/cTimer.h"

cTimer::~cTimer() { StopTimer(); }

void cTimer::Enabled(bool on) {
  if (on == Enabled()) return;
  if (on) StartTimer();
  else StopTimer();
}

bool cTimer::StartTimer() {
  StopTimer();
  if (interval_ < 1) return false;
  id_ = platform::StartTimer(static_cast<int>(interval_), [this]() { Timer.Raise(); });
  return id_ != 0;
}

void cTimer::StopTimer() {
  if (id_ != 0) platform::StopTimer(id_);
  id_ = 0;
}
