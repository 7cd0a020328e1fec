#include "net/MSocketSupport.h"

#include <arpa/inet.h>
#include <cerrno>
#include <map>
#include <set>
#include <vector>

#include "net/CSocket.h"
#include "platform/ErrLog.h"
#include "platform/EventLoop.h"
#include "platform/HostLookup.h"
#include "platform/SocketNotifier.h"

namespace MSocketSupport {
namespace {

struct Registered {
  long socket = -1;
  CSocket* obj = nullptr;
  uint64_t serial = 0;  // tells a reused handle from the one a notification was for
  platform::SocketWatchId watch = 0;
};

struct Module {
  bool started = false;
  long maxDatagram = 0;
  bool window = false;
  platform::TimerId tick = 0;
  std::vector<Registered> sockets;         // registration order
  std::map<long, CSocket*> pending;        // request -> object
  std::set<long> cancelled;                // requests whose cancellation failed
  uint64_t nextSerial = 0;
  long errNumber = 0;
  Text errDescription, errSource;
};

Module& M() {
  static Module m;
  return m;
}

Registered* Find(long socket) {
  for (auto& r : M().sockets)
    if (r.socket == socket) return &r;
  return nullptr;
}

void SetError(long number, TextView description, const char* source) {
  M().errNumber = number;
  M().errDescription = Text(description);
  M().errSource = txt::FromUtf8(source);
  std::string_view src(source);
  auto dot = src.find('.');
  ErrLog::Error(number, description, src.substr(0, dot), dot == std::string_view::npos ? "" : src.substr(dot + 1));
}

// Readiness of a registered socket. Looked up again by handle and serial, since an
// earlier handler may have closed the socket or the handle may be in use again.
void Deliver(long socket, uint64_t serial, bool readable, bool writable) {
  Registered* r = Find(socket);
  if (!r || r->serial != serial || !r->obj) return;
  r->obj->OnReadiness(readable, writable);
}

void DeliverPosted(long socket, uint64_t serial, int event) {
  Registered* r = Find(socket);
  if (!r || r->serial != serial || !r->obj) return;
  r->obj->PostSocketEvent(event, 0);
}

void OnTick() {
  // Handlers may unregister sockets while we walk: take a snapshot and re-check.
  std::vector<std::pair<long, uint64_t>> snap;
  for (auto& r : M().sockets) snap.emplace_back(r.socket, r.serial);
  for (auto& [s, serial] : snap) {
    Registered* r = Find(s);
    if (r && r->serial == serial && r->obj) r->obj->CheckIdle();
  }
}

void OnResolved(platform::HostLookupId request, const platform::HostLookupResult& res) {
  long req = static_cast<long>(request);
  Module& m = M();
  if (m.cancelled.erase(req)) return;
  auto it = m.pending.find(req);
  if (it == m.pending.end()) return;
  CSocket* obj = it->second;
  m.pending.erase(it);
  if (!obj) return;
  obj->PostGetHostEvent(req, res.address, txt::FromUtf8(res.name), res.error);
}

}  // namespace

long InitWinsockService() {
  Module& m = M();
  if (!m.started) {
    // Nothing to start on this system; the largest UDP payload over IPv4.
    m.started = true;
    m.maxDatagram = 65507;
  }
  return m.maxDatagram;
}

bool ServiceStarted() { return M().started; }

bool CreateSocketWindow() {
  Module& m = M();
  if (m.window) return true;
  if (!platform::HasEventLoop()) return false;
  m.tick = platform::StartTimer(1000, OnTick);
  if (m.tick == 0) return false;
  m.window = true;
  return true;
}

void DestroySocketWindow() {
  Module& m = M();
  if (m.tick) platform::StopTimer(m.tick);
  m.tick = 0;
  m.window = false;
}

bool HasSocketWindow() { return M().window; }

bool RegisterSocket(long socket, CSocket* obj) {
  Module& m = M();
  if (socket < 0 || !obj) return false;
  if (!CreateSocketWindow()) {
    SetError(10004, u"The operation was canceled.", "MSocketSupport.RegisterSocket");
    return false;
  }
  if (Registered* old = Find(socket)) UnregisterSocket(old->socket);
  Registered r;
  r.socket = socket;
  r.obj = obj;
  r.serial = ++m.nextSerial;
  uint64_t serial = r.serial;
  r.watch = platform::WatchSocket(static_cast<int>(socket), [socket, serial](bool rd, bool wr) {
    Deliver(socket, serial, rd, wr);
  });
  if (r.watch == 0) {
    SetError(10022, GetErrorDescription(10022), "MSocketSupport.RegisterSocket");
    if (m.sockets.empty()) DestroySocketWindow();
    return false;
  }
  m.sockets.push_back(r);
  return true;
}

bool UnregisterSocket(long socket) {
  Module& m = M();
  if (socket < 0) return false;
  size_t i = 0;
  while (i < m.sockets.size() && m.sockets[i].socket != socket) ++i;
  if (i == m.sockets.size()) return false;
  CSocket* obj = m.sockets[i].obj;
  if (obj && !m.pending.empty() && obj->State() == SocketResolvingHost) {
    long req = obj->ResolveRequest();
    if (m.pending.count(req)) {
      if (platform::CancelHostLookup(static_cast<platform::HostLookupId>(req))) m.pending.erase(req);
      else {
        m.cancelled.insert(req);
        m.pending.erase(req);
      }
    }
  }
  platform::UnwatchSocket(m.sockets[i].watch);
  m.sockets.erase(m.sockets.begin() + static_cast<long>(i));
  if (m.sockets.empty()) DestroySocketWindow();
  return true;
}

void SocketDestroyed(CSocket* obj) {
  Module& m = M();
  for (auto it = m.pending.begin(); it != m.pending.end();) {
    if (it->second == obj) {
      if (!platform::CancelHostLookup(static_cast<platform::HostLookupId>(it->first))) m.cancelled.insert(it->first);
      it = m.pending.erase(it);
    } else {
      ++it;
    }
  }
  std::vector<long> mine;
  for (auto& r : m.sockets)
    if (r.obj == obj) mine.push_back(r.socket);
  for (long s : mine) UnregisterSocket(s);
  if (m.sockets.empty() && m.pending.empty()) m.started = false;
}

long ResolveHost(TextView hostName, CSocket* obj) {
  Module& m = M();
  if (!obj) return 0;
  // One lookup per object: a new one replaces the old.
  for (auto it = m.pending.begin(); it != m.pending.end();) {
    if (it->second == obj) {
      if (!platform::CancelHostLookup(static_cast<platform::HostLookupId>(it->first))) m.cancelled.insert(it->first);
      it = m.pending.erase(it);
    } else {
      ++it;
    }
  }
  platform::HostLookupId id = platform::StartHostLookup(txt::ToUtf8(hostName), OnResolved);
  if (id == 0) {
    SetError(11003, GetErrorDescription(11003), "MSocketSupport.ResolveHost");
    return 0;
  }
  m.pending[static_cast<long>(id)] = obj;
  return static_cast<long>(id);
}

void PostWriteNotification(long socket) {
  Registered* r = Find(socket);
  if (!r) return;
  uint64_t serial = r->serial;
  platform::PostCall([socket, serial]() { DeliverPosted(socket, serial, FD_WRITE_); });
}

void SetWatch(long socket, bool read, bool write) {
  if (Registered* r = Find(socket)) platform::SetSocketWatch(r->watch, read, write);
}

bool IsRegistered(long socket) { return Find(socket) != nullptr; }
int RegisteredSockets() { return static_cast<int>(M().sockets.size()); }
int PendingResolutions() { return static_cast<int>(M().pending.size()); }
int CancelledResolutions() { return static_cast<int>(M().cancelled.size()); }

long LastErrorNumber() { return M().errNumber; }
const Text& LastErrorDescription() { return M().errDescription; }
const Text& LastErrorSource() { return M().errSource; }

int WinsockError(int err) {
  switch (err) {
    case 0: return 0;
    case EINTR: return 10004;
    case EACCES: case EPERM: return 10013;
    case EFAULT: return 10014;
    case EINVAL: return 10022;
    case EMFILE: case ENFILE: return 10024;
    case EAGAIN: return 10035;
    case EINPROGRESS: return 10036;
    case EALREADY: return 10037;
    case ENOTSOCK: case EBADF: return 10038;
    case EDESTADDRREQ: return 10039;
    case EMSGSIZE: return 10040;
    case EPROTOTYPE: return 10041;
    case ENOPROTOOPT: return 10042;
    case EPROTONOSUPPORT: return 10043;
    case ESOCKTNOSUPPORT: return 10044;
    case EOPNOTSUPP: return 10045;
    case EPFNOSUPPORT: return 10046;
    case EAFNOSUPPORT: return 10047;
    case EADDRINUSE: return 10048;
    case EADDRNOTAVAIL: return 10049;
    case ENETDOWN: return 10050;
    case ENETUNREACH: return 10051;
    case ENETRESET: return 10052;
    case ECONNABORTED: return 10053;
    case ECONNRESET: return 10054;
    case ENOBUFS: case ENOMEM: return 10055;
    case EISCONN: return 10056;
    case ENOTCONN: return 10057;
    case ESHUTDOWN: case EPIPE: return 10058;
    case ETIMEDOUT: return 10060;
    case ECONNREFUSED: return 10061;
    case EHOSTDOWN: return 10064;
    case EHOSTUNREACH: return 10065;
    default: return 10107;
  }
}

Text GetErrorDescription(long code) {
  static const std::map<long, const char16_t*> texts = {
      {10004, u"Interrupted function call."},
      {10013, u"Permission denied."},
      {10014, u"Bad address."},
      {10022, u"Invalid argument."},
      {10024, u"Too many open files."},
      {10035, u"Resource temporarily unavailable."},
      {10036, u"Operation now in progress."},
      {10037, u"Operation already in progress."},
      {10038, u"Socket operation on nonsocket."},
      {10039, u"Destination address required."},
      {10040, u"Message too long."},
      {10041, u"Protocol wrong type for socket."},
      {10042, u"Bad protocol option."},
      {10043, u"Protocol not supported."},
      {10044, u"Socket type not supported."},
      {10045, u"Operation not supported."},
      {10046, u"Protocol family not supported."},
      {10047, u"Address family not supported by protocol family."},
      {10048, u"Address already in use."},
      {10049, u"Cannot assign requested address."},
      {10050, u"Network is down."},
      {10051, u"Network is unreachable."},
      {10052, u"Network dropped connection on reset."},
      {10053, u"Software caused connection abort."},
      {10054, u"Connection reset by peer."},
      {10055, u"No buffer space available."},
      {10056, u"Socket is already connected."},
      {10057, u"Socket is not connected."},
      {10058, u"Cannot send after socket shutdown."},
      {10060, u"Connection timed out."},
      {10061, u"Connection refused."},
      {10064, u"Host is down."},
      {10065, u"No route to host."},
      {10067, u"Too many processes."},
      {10091, u"Network subsystem is unavailable."},
      {10092, u"Winsock.dll version out of range."},
      {10093, u"Successful WSAStartup not yet performed."},
      {10101, u"Graceful shutdown in progress."},
      {10107, u"System call failure."},
      {10109, u"Class type not found."},
      {11001, u"Host not found."},
      {11002, u"Nonauthoritative host not found."},
      {11003, u"This is a nonrecoverable error."},
      {11004, u"Valid name, no data record of requested type."},
  };
  auto it = texts.find(code);
  return it != texts.end() ? Text(it->second) : Text(u"Unknown error.");
}

}  // namespace MSocketSupport
