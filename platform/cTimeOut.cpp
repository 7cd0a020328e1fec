#include "platform/cTimeOut.h"

cTimeOut::cTimeOut() {
  conn_ = timer_.Timer.Subscribe([this]() { OnTimer(); });
  TickIntervall(1000);
  timeOut_ = 0;
}

cTimeOut::~cTimeOut() { timer_.Enabled(false); }

void cTimeOut::Enabled(bool on) {
  if (on) elapsed_ = 0;
  timer_.Enabled(on);
}

void cTimeOut::TickIntervall(long ms) {
  tick_ = ms;
  timer_.Interval(ms);
  // A running counter ticks at the new pace at once, not only after its next start.
  if (timer_.Enabled()) {
    timer_.Enabled(false);
    timer_.Enabled(true);
  }
}

void cTimeOut::OnTimer() {
  if (timeOut_ >= 1 && elapsed_ >= timeOut_) {
    timer_.Enabled(false);
    elapsed_ = 0;
    TimeOut.Raise();
    return;
  }
  Tick.Raise(static_cast<float>(elapsed_));
  elapsed_ += tick_;
}
