#pragma once
// The GUI thread's message loop as the program's logic uses it. No Qt types here.
// Everything runs on one thread; calls and ticks are delivered from the loop.
#include <cstdint>
#include <functional>

namespace platform {

// Queues a call for the loop; calls run in the order they were posted.
void PostCall(std::function<void()> fn);

using TimerId = uint64_t;
// Starts a periodic timer; 0 when it cannot run (no loop, interval below 1).
TimerId StartTimer(int intervalMs, std::function<void()> onTick);
// Stops it; safe from inside its own tick and for ids already stopped.
void StopTimer(TimerId id);
bool TimerActive(TimerId id);

// Runs the events waiting now (a no-op when there is no loop).
void DoEvents();
// Sleeps without processing events.
void SleepMs(int ms);
// Waits while letting events run (timers, sockets, window messages), in short slices.
void WaitMs(int ms);
// Runs the loop until cond() holds or timeoutMs passes; true when cond() held.
bool WaitUntil(const std::function<bool()>& cond, int timeoutMs);
// Milliseconds from a fixed origin, high resolution, never going back.
double HiResMs();
// Whether an application object (and so a loop) exists.
bool HasEventLoop();

}  // namespace platform
