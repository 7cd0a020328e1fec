#pragma once
// Readiness notifications for socket descriptors, delivered on the GUI thread from the
// message loop. Level-triggered: a watch that stays enabled keeps firing while the
// condition holds, so owners switch a direction off once it fired and on again when
// they want to hear about it (the way the network stack re-arms its notifications).
#include <cstdint>
#include <functional>

namespace platform {

using SocketWatchId = uint64_t;

// onReady(readable, writable) runs on the GUI thread. 0 when there is no loop or fd < 0.
SocketWatchId WatchSocket(int fd, std::function<void(bool readable, bool writable)> onReady);
// Switches the two directions; unknown ids are ignored.
void SetSocketWatch(SocketWatchId id, bool read, bool write);
// Ends the watch; safe from inside its own callback and for ids already ended.
void UnwatchSocket(SocketWatchId id);
// Watches alive (for tests of the socket module's clean-up).
int ActiveSocketWatches();

}  // namespace platform
