#pragma once
// Asynchronous IPv4 host-name lookup. A helper thread runs the system resolver; the
// result is delivered on the GUI thread through the message loop. A cancelled lookup
// delivers nothing.
#include <cstdint>
#include <functional>
#include <string>

namespace platform {

struct HostLookupResult {
  int error = 0;           // 0, or a resolver error number (11001 host not found ...)
  uint32_t address = 0;    // first IPv4 address, network byte order
  std::string name;        // canonical name (the name asked for when there is none)
};

using HostLookupId = uint64_t;

// 0 when the lookup cannot start (no loop, empty name).
HostLookupId StartHostLookup(const std::string& name,
                             std::function<void(HostLookupId, const HostLookupResult&)> done);
// True when the completion will not be delivered.
bool CancelHostLookup(HostLookupId id);
bool HostLookupPending(HostLookupId id);

// Test seams: every lookup waits this long before resolving; cancellations report
// failure (and leave the completion to be delivered) while the flag is set.
void SetHostLookupDelayForTest(int ms);
void SetHostLookupCancelFailsForTest(bool fail);

}  // namespace platform
