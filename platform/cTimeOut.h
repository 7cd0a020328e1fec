#pragma once
// A tick counter with a time-out: Tick(elapsed ms) on every tick until the time-out is
// reached, then TimeOut once and the counter stops.
#include "platform/Event.h"
#include "platform/cTimer.h"

class cTimeOut {
 public:
  cTimeOut();
  ~cTimeOut();

  void Reset() { elapsed_ = 0; }
  bool Enabled() const { return timer_.Enabled(); }
  void Enabled(bool on);
  void TimeOutIntervall(long ms) { timeOut_ = ms; }
  long TickIntervall() const { return tick_; }
  void TickIntervall(long ms);

  Event<> TimeOut;
  Event<float> Tick;

 private:
  void OnTimer();

  cTimer timer_;
  Connection conn_;
  long tick_ = 1000;
  long timeOut_ = 0;
  long elapsed_ = 0;
};
