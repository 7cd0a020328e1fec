#include "platform/HostLookup.h"

#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <QCoreApplication>
#include <atomic>
#include <chrono>
#include <map>
#include <thread>

#include "platform/ErrLog.h"
#include "platform/EventLoop.h"

namespace platform {
namespace {

using DoneFn = std::function<void(HostLookupId, const HostLookupResult&)>;
// GUI thread only.
std::map<HostLookupId, DoneFn>& Pending() {
  static std::map<HostLookupId, DoneFn> p;
  return p;
}
HostLookupId g_nextLookup = 0;
std::atomic<int> g_delayMs{0};
bool g_cancelFails = false;

int MapResolverError(int rc) {
  switch (rc) {
    case EAI_NONAME: return 11001;
    case EAI_AGAIN: return 11002;
    case EAI_FAIL: return 11003;
#ifdef EAI_NODATA
    case EAI_NODATA: return 11004;
#endif
#ifdef EAI_ADDRFAMILY
    case EAI_ADDRFAMILY: return 11004;
#endif
    default: return 11003;
  }
}

HostLookupResult Resolve(const std::string& name) {
  HostLookupResult r;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_CANONNAME;
  addrinfo* res = nullptr;
  int rc = ::getaddrinfo(name.c_str(), nullptr, &hints, &res);
  if (rc != 0 || !res) {
    r.error = rc != 0 ? MapResolverError(rc) : 11004;
    if (res) ::freeaddrinfo(res);
    return r;
  }
  r.error = 11004;
  for (addrinfo* p = res; p; p = p->ai_next) {
    if (p->ai_family == AF_INET && p->ai_addr) {
      r.address = reinterpret_cast<sockaddr_in*>(p->ai_addr)->sin_addr.s_addr;
      r.error = 0;
      break;
    }
  }
  r.name = (res->ai_canonname && *res->ai_canonname) ? res->ai_canonname : name;
  ::freeaddrinfo(res);
  return r;
}

void Deliver(HostLookupId id, const HostLookupResult& r) {
  auto it = Pending().find(id);
  if (it == Pending().end()) return;  // cancelled
  DoneFn fn = std::move(it->second);
  Pending().erase(it);
  if (fn) fn(id, r);
}

}  // namespace

HostLookupId StartHostLookup(const std::string& name, DoneFn done) {
  if (name.empty() || !done || !QCoreApplication::instance()) return 0;
  HostLookupId id = ++g_nextLookup;
  Pending().emplace(id, std::move(done));
  int delay = g_delayMs.load();
  try {
    std::thread([id, name, delay]() {
      if (delay > 0) std::this_thread::sleep_for(std::chrono::milliseconds(delay));
      HostLookupResult r = Resolve(name);
      // PostCall is safe from any thread; the delivery itself runs on the GUI thread.
      PostCall([id, r]() { Deliver(id, r); });
    }).detach();
  } catch (...) {
    Pending().erase(id);
    ErrLog::Exception("platform.StartHostLookup", "cannot start the lookup thread");
    return 0;
  }
  return id;
}

bool CancelHostLookup(HostLookupId id) {
  if (g_cancelFails) return false;
  return Pending().erase(id) != 0;
}

bool HostLookupPending(HostLookupId id) { return Pending().count(id) != 0; }

void SetHostLookupDelayForTest(int ms) { g_delayMs.store(ms < 0 ? 0 : ms); }
void SetHostLookupCancelFailsForTest(bool fail) { g_cancelFails = fail; }

}  // namespace platform
