#pragma once
// A periodic timer raising Timer on the GUI thread. Created stopped; setting Interval
// while running does not restart it (stop, set, start again).
#include "platform/Event.h"
#include "platform/EventLoop.h"

class cTimer {
 public:
  cTimer() = default;
  ~cTimer();
  cTimer(const cTimer&) = delete;
  cTimer& operator=(const cTimer&) = delete;

  long Interval() const { return interval_; }
  void Interval(long ms) { interval_ = ms; }
  bool Enabled() const { return id_ != 0; }
  void Enabled(bool on);

  Event<> Timer;

 private:
  bool StartTimer();
  void StopTimer();

  long interval_ = 0;
  platform::TimerId id_ = 0;
};
