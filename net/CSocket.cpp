#include "net/CSocket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>

#include "net/MSocketSupport.h"
#include "platform/ErrLog.h"
#include "platform/EventLoop.h"
#include "storage/mStringTools.h"

namespace {

// Only the four-part dotted form counts as an address; anything else is a name.
bool ParseDotted(TextView t, uint32_t& out) {
  if (t.empty() || t.size() > 15) return false;
  std::string s = txt::ToUtf8(t);
  int dots = 0;
  for (char c : s) {
    if (c == '.') ++dots;
    else if (c < '0' || c > '9') return false;
  }
  if (dots != 3) return false;
  in_addr a{};
  if (::inet_pton(AF_INET, s.c_str(), &a) != 1) return false;
  out = a.s_addr;
  return true;
}

Text DottedText(uint32_t addrNetOrder) {
  char buf[INET_ADDRSTRLEN] = {};
  in_addr a{};
  a.s_addr = addrNetOrder;
  if (!::inet_ntop(AF_INET, &a, buf, sizeof buf)) return Text();
  return txt::FromUtf8(buf);
}

Text AnsiToText(const Bytes& b) { return txt::FromBytes(b).empty() ? Text() : mStringTools::StrCodePageToUnicode(b, mStringTools::CP_WINDOWS_1252); }

}  // namespace

CSocket::CSocket() { maxDatagram_ = MSocketSupport::InitWinsockService(); }

CSocket::~CSocket() {
  try {
    DestroySocket();
  } catch (...) {
  }
  MSocketSupport::SocketDestroyed(this);
}

// --- errors ------------------------------------------------------------------------------

bool CSocket::RaiseText(long number, TextView description, const char* source) {
  lastErrNumber_ = number;
  lastErrDescription_ = Text(description);
  lastErrSource_ = txt::FromUtf8(source);
  std::string_view src(source);
  auto dot = src.find('.');
  ErrLog::Error(number, description, src.substr(0, dot), dot == std::string_view::npos ? "" : src.substr(dot + 1));
  return false;
}

bool CSocket::Raise(long number, const char* source) {
  return RaiseText(number, MSocketSupport::GetErrorDescription(number), source);
}

void CSocket::RaiseOnError(int number, const Text& description, const Text& source) {
  lastErrNumber_ = number;
  lastErrDescription_ = description;
  lastErrSource_ = source;
  bool cancelDisplay = false;
  OnError.Raise(number, description, 0, source, Text(), 0, cancelDisplay);
}

// --- timing ------------------------------------------------------------------------------

double CSocket::PerformanceCounterMS() {
  double now = platform::HiResMs();
  if (!counterStarted_) {
    counterStarted_ = true;
    counterOrigin_ = now;
  }
  return std::round((now - counterOrigin_) * 10000.0) / 10000.0;
}

void CSocket::UpdateDownloadSpeed(long count) {
  double now = PerformanceCounterMS();
  if (lastReceive_ == 0) {
    downloadSpeed_ = 0;
    windowStart_ = now;
    windowBytes_ = 0;
  } else {
    windowBytes_ += count;
    double span = now - windowStart_;
    if (span > 1000.0) {
      downloadSpeed_ = static_cast<long>((windowBytes_ / (span / 1000.0) + downloadSpeed_) / 2.0);
      windowStart_ = now;
      windowBytes_ = 0;
    }
  }
  // 0 means "nothing received yet"; a receive at the very origin must not look like that.
  lastReceive_ = now > 0 ? now : 0.0001;
}

// --- creation and registration -----------------------------------------------------------

long CSocket::vbSocket() {
  int type = protocol_ == sckUDPProtocol ? SOCK_DGRAM : SOCK_STREAM;
  int proto = protocol_ == sckUDPProtocol ? IPPROTO_UDP : IPPROTO_TCP;
  int fd = ::socket(AF_INET, type | SOCK_NONBLOCK | SOCK_CLOEXEC, proto);
  if (fd < 0) {
    Raise(MSocketSupport::WinsockError(errno), "CSocket.vbSocket");
    return -1;
  }
  if (!MSocketSupport::RegisterSocket(fd, this)) {
    ::close(fd);
    RaiseText(MSocketSupport::LastErrorNumber(), MSocketSupport::LastErrorDescription(),
              "MSocketSupport.RegisterSocket");
    return -1;
  }
  socket_ = fd;
  readArmed_ = true;
  writeArmed_ = false;
  ReadBufferLengths();
  ApplyWatch();
  return socket_;
}

bool CSocket::SocketExists() {
  if (socket_ >= 0) return true;
  return vbSocket() >= 0;
}

void CSocket::ReadBufferLengths() {
  if (socket_ < 0) return;
  if (protocol_ == sckUDPProtocol) {
    recvBufferLen_ = sendBufferLen_ = maxDatagram_;
    return;
  }
  int v = 0;
  socklen_t len = sizeof v;
  if (::getsockopt(static_cast<int>(socket_), SOL_SOCKET, SO_RCVBUF, &v, &len) == 0) recvBufferLen_ = v;
  len = sizeof v;
  if (::getsockopt(static_cast<int>(socket_), SOL_SOCKET, SO_SNDBUF, &v, &len) == 0) sendBufferLen_ = v;
  if (recvBufferLen_ < 1) recvBufferLen_ = 8192;
}

bool CSocket::RecvBufferLen(long bytes) {
  if (bytes < 1 || !SocketExists()) return false;
  int v = static_cast<int>(bytes);
  if (::setsockopt(static_cast<int>(socket_), SOL_SOCKET, SO_RCVBUF, &v, sizeof v) != 0)
    return Raise(MSocketSupport::WinsockError(errno), "CSocket.RecvBufferLen");
  ReadBufferLengths();
  return true;
}

void CSocket::ApplyWatch() {
  if (socket_ < 0) return;
  bool readState = protocol_ == sckUDPProtocol || state_ == SocketListening || state_ == SocketConnected ||
                   state_ == SocketClosing;
  MSocketSupport::SetWatch(socket_, readArmed_ && readState, writeArmed_);
}

void CSocket::DestroySocket() {
  recvBuffer_.clear();
  lastReceive_ = 0;
  if (socket_ < 0) return;
  long s = socket_;
  socket_ = -1;
  MSocketSupport::UnregisterSocket(s);
  if (::close(static_cast<int>(s)) != 0) Raise(MSocketSupport::WinsockError(errno), "CSocket.DestroySocket");
  bound_ = false;
  broadcast_ = false;
  writeArmed_ = false;
}

// --- readiness ---------------------------------------------------------------------------

void CSocket::OnReadiness(bool readable, bool writable) {
  if (socket_ < 0) return;
  int fd = static_cast<int>(socket_);
  if (writable) {
    writeArmed_ = false;
    ApplyWatch();
    if (state_ == SocketConnecting) {
      int err = 0;
      socklen_t len = sizeof err;
      if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0) err = errno;
      PostSocketEvent(FD_CONNECT_, MSocketSupport::WinsockError(err));
    } else {
      PostSocketEvent(FD_WRITE_, 0);
    }
    return;
  }
  if (!readable) return;
  if (state_ == SocketListening) {
    PostSocketEvent(FD_ACCEPT_, 0);
    return;
  }
  if (protocol_ == sckUDPProtocol) {
    readArmed_ = false;
    ApplyWatch();
    PostSocketEvent(FD_READ_, 0);
    return;
  }
  // A stream turns readable for data, for the peer's close and for a reset; a one-byte
  // peek tells them apart.
  char c;
  ssize_t n = ::recv(fd, &c, 1, MSG_PEEK | MSG_DONTWAIT);
  if (n > 0) {
    readArmed_ = false;
    ApplyWatch();
    PostSocketEvent(FD_READ_, 0);
  } else if (n == 0) {
    readArmed_ = false;
    ApplyWatch();
    PostSocketEvent(FD_CLOSE_, 0);
  } else if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
    int err = MSocketSupport::WinsockError(errno);
    readArmed_ = false;
    ApplyWatch();
    PostSocketEvent(FD_CLOSE_, err);
  }
}

void CSocket::PostSocketEvent(int event, int error) {
  if (error >= 1) {
    state_ = SocketError;
    DestroySocket();
    RaiseOnError(error, MSocketSupport::GetErrorDescription(error), Text());
    return;
  }
  switch (event) {
    case FD_READ_: {
      if (closingByForce_ && state_ == SocketClosing) return;
      if (dataAvailableMode_ && error == 0) {
        DataAvailable.Raise();
        return;
      }
      long n = RecvToBuffer();
      if (n > 0) {
        UpdateDownloadSpeed(n);
        bytesReceived_ += n;
        if (protocol_ == sckUDPProtocol || state_ == SocketConnected)
          OnDataArrival.Raise(static_cast<long>(recvBuffer_.size()));
      }
      break;
    }
    case FD_WRITE_:
      if (!sendBuffer_.empty()) SendBufferedData();
      else if (sending_) {
        sending_ = false;
        OnSendComplete.Raise();
      }
      break;
    case FD_ACCEPT_: {
      if (socket_ < 0) return;
      sockaddr_in peer{};
      socklen_t len = sizeof peer;
      int fd = ::accept4(static_cast<int>(socket_), reinterpret_cast<sockaddr*>(&peer), &len,
                         SOCK_NONBLOCK | SOCK_CLOEXEC);
      if (fd < 0) return;
      OnConnectionRequest.Raise(fd);
      // Nobody adopted it: do not leak the descriptor.
      if (!MSocketSupport::IsRegistered(fd)) ::close(fd);
      break;
    }
    case FD_CONNECT_:
      ReadLocalAddress();
      state_ = SocketConnected;
      readArmed_ = true;
      ApplyWatch();
      OnConnect.Raise();
      break;
    case FD_CLOSE_: {
      while (socket_ >= 0) {
        long n = RecvToBuffer();
        if (n <= 0) break;
        bytesReceived_ = static_cast<long>(recvBuffer_.size());
        OnDataArrival.Raise(bytesReceived_);
      }
      if (state_ != SocketClosing) {
        state_ = SocketClosing;
        if (!sendBuffer_.empty()) SendBufferedData();
      }
      DestroySocket();
      state_ = SocketClosed;
      OnClose.Raise();
      break;
    }
    default:
      break;
  }
}

void CSocket::ReadLocalAddress() {
  if (socket_ < 0) return;
  sockaddr_in a{};
  socklen_t len = sizeof a;
  if (::getsockname(static_cast<int>(socket_), reinterpret_cast<sockaddr*>(&a), &len) != 0) return;
  localPort_ = ntohs(a.sin_port);
  localIP_ = DottedText(a.sin_addr.s_addr);
  // A reverse lookup could block the GUI thread for seconds: the dotted form stands in.
  localHostName_ = localIP_;
}

void CSocket::PostGetHostEvent(long request, uint32_t address, const Text& name, int error) {
  if (error > 0) {
    uint32_t dotted = 0;
    if (!remoteHostIP_.empty() && ParseDotted(name, dotted)) {
      address = dotted;
    } else {
      resolveRequest_ = 0;
      state_ = SocketError;
      RaiseOnError(error, MSocketSupport::GetErrorDescription(error), u"");
      return;
    }
  }
  if (request == 0 || request != resolveRequest_) return;
  resolveRequest_ = 0;
  state_ = SocketHostResolved;
  remoteHost_ = name;
  remoteHostIP_ = DottedText(address);
  if (resolvePurpose_ == 0) ConnectTo(address, "CSocket.PostGetHostEvent", true);
  else SendBufferedData();
}

bool CSocket::ConnectTo(uint32_t addressNetOrder, const char* source, bool raiseAsEvent) {
  if (socket_ < 0) return false;
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(remotePort_));
  a.sin_addr.s_addr = addressNetOrder;
  int rc = ::connect(static_cast<int>(socket_), reinterpret_cast<sockaddr*>(&a), sizeof a);
  // Loopback may connect at once; the write notification then reports it like any other.
  if (rc == 0 || errno == EINPROGRESS || errno == EAGAIN) {
    state_ = SocketConnecting;
    writeArmed_ = true;
    ApplyWatch();
    return true;
  }
  int err = MSocketSupport::WinsockError(errno);
  if (raiseAsEvent) {
    state_ = SocketError;
    DestroySocket();
    RaiseOnError(err, MSocketSupport::GetErrorDescription(err), txt::FromUtf8(source));
    return false;
  }
  return Raise(err, source);
}

bool CSocket::connect(TextView remoteHost, long remotePort) {
  if (!SocketExists()) return false;
  if (!remoteHost.empty()) remoteHost_ = Text(remoteHost);
  if (remotePort >= 0) remotePort_ = remotePort;
  if (remoteHost_.empty()) return Raise(10049, "CSocket.Connect");
  resolvePurpose_ = 0;
  uint32_t addr = 0;
  if (ParseDotted(remoteHost_, addr)) {
    remoteHostIP_ = remoteHost_;
    return ConnectTo(addr, "CSocket.Connect", false);
  }
  state_ = SocketResolvingHost;
  resolveRequest_ = MSocketSupport::ResolveHost(remoteHost_, this);
  if (resolveRequest_ == 0) {
    DestroySocket();
    state_ = SocketError;
    return RaiseText(MSocketSupport::LastErrorNumber(), MSocketSupport::LastErrorDescription(),
                     "MSocketSupport.ResolveHost");
  }
  return true;
}

long CSocket::RecvToBuffer() {
  if (socket_ < 0) return -1;
  int fd = static_cast<int>(socket_);
  long cap = recvBufferLen_ > 0 ? recvBufferLen_ : 8192;
  size_t old = recvBuffer_.size();
  recvBuffer_.resize(old + static_cast<size_t>(cap));
  ssize_t n;
  if (protocol_ == sckUDPProtocol) {
    sockaddr_in from{};
    socklen_t len = sizeof from;
    n = ::recvfrom(fd, recvBuffer_.data() + old, static_cast<size_t>(cap), 0, reinterpret_cast<sockaddr*>(&from), &len);
    if (n >= 0) {
      remotePort_ = ntohs(from.sin_port);
      remoteHostIP_ = DottedText(from.sin_addr.s_addr);
      remoteHost_ = remoteHostIP_;
    }
  } else {
    n = ::recv(fd, recvBuffer_.data() + old, static_cast<size_t>(cap), 0);
  }
  int err = errno;
  recvBuffer_.resize(old + static_cast<size_t>(n > 0 ? n : 0));
  // A receive re-arms the read notification, whatever it returned.
  readArmed_ = true;
  ApplyWatch();
  if (n >= 0) return static_cast<long>(n);
  // Nothing there yet is not a failure for a non-blocking socket.
  if (err == EAGAIN || err == EWOULDBLOCK || err == EINTR) return 0;
  Raise(MSocketSupport::WinsockError(err), "CSocket.RecvToBuffer");
  return -1;
}

bool CSocket::RecvData(Bytes& out, long maxLen, bool peek) {
  if (recvBuffer_.empty()) return false;
  long have = static_cast<long>(recvBuffer_.size());
  if (maxLen <= 0 || maxLen >= have) {
    if (peek) out = recvBuffer_;
    else {
      out.swap(recvBuffer_);
      recvBuffer_.clear();
    }
  } else {
    out.assign(recvBuffer_, 0, static_cast<size_t>(maxLen));
    if (!peek) recvBuffer_.erase(0, static_cast<size_t>(maxLen));
  }
  bytesReceived_ = static_cast<long>(recvBuffer_.size());
  return true;
}

bool CSocket::PeekData(Text& text, long maxLen) {
  Bytes b;
  if (!RecvData(b, maxLen, true)) return false;
  text = AnsiToText(b);
  return true;
}

bool CSocket::GetData(Text& text, long maxLen) {
  Bytes b;
  if (!RecvData(b, maxLen, false)) return false;
  text = AnsiToText(b);
  return true;
}

bool CSocket::SendData(TextView text) {
  return SendData(BytesView(mStringTools::StrUnicodeToCodePage(text, mStringTools::CP_WINDOWS_1252)));
}

bool CSocket::SendData(BytesView data) {
  if (protocol_ == sckTCPProtocol) {
    if (socket_ < 0)
      return RaiseText(kWrongStateError,
                       u"Wrong protocol or connection state for the requested transaction or request.",
                       "CSocket.SendData");
    if (state_ != SocketConnected) {
      // The system says why a socket that exists cannot send (not connected, shut down).
      ssize_t n = ::send(static_cast<int>(socket_), data.data(), 0, MSG_NOSIGNAL);
      int e = errno;
      long err = n < 0 && e != EAGAIN && e != EWOULDBLOCK ? MSocketSupport::WinsockError(e) : 10057;
      return Raise(err, "CSocket.SendData");
    }
  } else if (!SocketExists()) {
    return false;
  }
  sendBuffer_.append(data.data(), data.size());
  sending_ = true;
  return SendBufferedData();
}

bool CSocket::SendBufferedData() {
  if (socket_ < 0) return false;
  int fd = static_cast<int>(socket_);
  if (protocol_ == sckUDPProtocol && remoteHostIP_.empty()) {
    resolvePurpose_ = 1;
    resolveRequest_ = MSocketSupport::ResolveHost(remoteHost_, this);
    if (resolveRequest_ == 0)
      return RaiseText(MSocketSupport::LastErrorNumber(), MSocketSupport::LastErrorDescription(),
                       "MSocketSupport.ResolveHost");
    return true;
  }
  if (sendBuffer_.empty()) return true;
  ssize_t n;
  if (protocol_ == sckUDPProtocol) {
    uint32_t addr = 0;
    ParseDotted(remoteHostIP_, addr);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(remotePort_));
    a.sin_addr.s_addr = addr;
    n = ::sendto(fd, sendBuffer_.data(), sendBuffer_.size(), MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&a), sizeof a);
  } else {
    n = ::send(fd, sendBuffer_.data(), sendBuffer_.size(), MSG_NOSIGNAL);
  }
  if (n < 0) {
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
      writeArmed_ = true;
      ApplyWatch();
      return true;
    }
    return Raise(MSocketSupport::WinsockError(errno), "CSocket.SendData");
  }
  long sent = static_cast<long>(n);
  if (static_cast<size_t>(n) >= sendBuffer_.size()) {
    sendBuffer_.clear();
    // Queued behind what is already waiting, so the progress below comes first.
    MSocketSupport::PostWriteNotification(socket_);
  } else {
    sendBuffer_.erase(0, static_cast<size_t>(n));
    writeArmed_ = true;
    ApplyWatch();
  }
  OnSendProgress.Raise(sent, static_cast<long>(sendBuffer_.size()));
  return true;
}

bool CSocket::closesocket() {
  if (socket_ < 0) {
    state_ = SocketClosed;
    return true;
  }
  if (state_ == SocketConnected) {
    state_ = SocketClosing;
    ApplyWatch();
    if (::shutdown(static_cast<int>(socket_), SHUT_WR) != 0)
      return Raise(MSocketSupport::WinsockError(errno), "CSocket.CloseSocket");
    return true;
  }
  DestroySocket();
  state_ = SocketClosed;
  return true;
}

bool CSocket::ForceClose() {
  closingByForce_ = true;
  bool ok = closesocket();
  closingByForce_ = false;
  return ok;
}

bool CSocket::bind(long localPort, TextView localIP) {
  if (!SocketExists()) return false;
  if (!localIP.empty()) localIP_ = Text(localIP);
  if (localPort >= 0) localPort_ = localPort;
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(localPort_));
  a.sin_addr.s_addr = htonl(INADDR_ANY);
  if (!localIP_.empty()) {
    uint32_t addr = 0;
    if (!ParseDotted(localIP_, addr)) return Raise(10049, "CSocket.Bind");
    a.sin_addr.s_addr = addr;
  }
  if (::bind(static_cast<int>(socket_), reinterpret_cast<sockaddr*>(&a), sizeof a) != 0)
    return Raise(MSocketSupport::WinsockError(errno), "CSocket.Bind");
  bound_ = true;
  ReadLocalAddress();
  return true;
}

bool CSocket::listen() {
  if (!SocketExists()) return false;
  if (!bound_ && !bind()) {
    state_ = SocketError;
    return false;
  }
  if (::listen(static_cast<int>(socket_), 5) != 0) {
    state_ = SocketError;
    return Raise(MSocketSupport::WinsockError(errno), "CSocket.Listen");
  }
  state_ = SocketListening;
  readArmed_ = true;
  ApplyWatch();
  return true;
}

bool CSocket::accept(long requestID) {
  if (requestID < 0) return Raise(10038, "CSocket.Accept");
  if (socket_ >= 0 && socket_ != requestID) DestroySocket();
  int fd = static_cast<int>(requestID);
  int fl = ::fcntl(fd, F_GETFL);
  if (fl == -1) return Raise(MSocketSupport::WinsockError(errno), "CSocket.Accept");
  ::fcntl(fd, F_SETFL, fl | O_NONBLOCK);
  socket_ = requestID;
  sendBuffer_.clear();
  sending_ = false;
  ReadLocalAddress();
  sockaddr_in peer{};
  socklen_t len = sizeof peer;
  if (::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &len) == 0) {
    remotePort_ = ntohs(peer.sin_port);
    remoteHostIP_ = DottedText(peer.sin_addr.s_addr);
    remoteHost_ = remoteHostIP_;
  }
  int type = 0;
  len = sizeof type;
  if (::getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &len) == 0)
    protocol_ = type == SOCK_STREAM ? sckTCPProtocol : sckUDPProtocol;
  ReadBufferLengths();
  if (!MSocketSupport::RegisterSocket(socket_, this)) {
    socket_ = -1;
    return RaiseText(MSocketSupport::LastErrorNumber(), MSocketSupport::LastErrorDescription(),
                     "MSocketSupport.RegisterSocket");
  }
  state_ = SocketConnected;
  readArmed_ = true;
  writeArmed_ = false;
  ApplyWatch();
  return true;
}

void CSocket::RemoteHost(TextView host) {
  remoteHost_ = Text(host);
  if (protocol_ != sckUDPProtocol) return;
  uint32_t addr = 0;
  if (!ParseDotted(host, addr)) return;
  bool wantBroadcast = host.size() >= 4 && host.substr(host.size() - 4) == u".255";
  if (wantBroadcast == broadcast_) return;
  if (!SocketExists()) return;
  int v = wantBroadcast ? 1 : 0;
  if (::setsockopt(static_cast<int>(socket_), SOL_SOCKET, SO_BROADCAST, &v, sizeof v) != 0) {
    Raise(MSocketSupport::WinsockError(errno), "CSocket.RemoteHost");
    return;
  }
  broadcast_ = wantBroadcast;
}

void CSocket::protocol(long p) {
  if (socket_ >= 0) return;
  protocol_ = p == sckUDPProtocol ? sckUDPProtocol : sckTCPProtocol;
}

void CSocket::CheckIdle() {
  if (dataAvailableMode_) return;
  if (state_ != SocketConnected) return;
  if (PerformanceCounterMS() - lastReceive_ > 2000.0) ReadAvailableData();
}

void CSocket::ReadAvailableData() {
  if (state_ != SocketConnected || sending_) return;
  long before = lastErrNumber_;
  lastErrNumber_ = 0;
  PostSocketEvent(FD_READ_, -1);
  if (lastErrNumber_ == 10053 && lastErrSource_ == u"CSocket.RecvToBuffer") {
    state_ = SocketError;
    DestroySocket();
    RaiseOnError(10053, lastErrDescription_, lastErrSource_);
  } else if (lastErrNumber_ == 0) {
    lastErrNumber_ = before;
  }
}
