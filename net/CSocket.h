#pragma once
// Event-driven, non-blocking TCP/UDP socket. Nothing blocks: connecting, resolving,
// sending and receiving complete through events raised on the GUI thread.
// Failures of the methods are kept in LastErrorNumber/Description/Source (the source
// names the operation, "CSocket.Connect") and the method reports false; failures that
// arrive later come as OnError.
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "platform/Event.h"
#include "platform/Text.h"

enum SocketState : int {
  SocketClosed = 0,
  SocketListening = 2,
  SocketResolvingHost = 4,
  SocketHostResolved = 5,
  SocketConnecting = 6,
  SocketConnected = 7,
  SocketClosing = 8,
  SocketError = 9,
};

enum SocketProtocol : int { sckTCPProtocol = 0, sckUDPProtocol = 1 };

// Notification codes as the network stack numbers them.
enum SocketEventCode : int { FD_READ_ = 1, FD_WRITE_ = 2, FD_ACCEPT_ = 8, FD_CONNECT_ = 16, FD_CLOSE_ = 32 };

// The bad-state error of SendData on a TCP socket without a connection.
constexpr long kWrongStateError = 40006;

class CSocket {
 public:
  CSocket();
  ~CSocket();
  CSocket(const CSocket&) = delete;
  CSocket& operator=(const CSocket&) = delete;

  // When set, a read notification raises DataAvailable instead of reading.
  bool DataAvailableMode() const { return dataAvailableMode_; }
  void DataAvailableMode(bool on) { dataAvailableMode_ = on; }

  long DownloadBytesPerSec() const { return downloadSpeed_; }
  // Reads now (connected, nothing being sent), even in DataAvailableMode.
  void ReadAvailableData();
  // Milliseconds since this object first asked the high-resolution counter.
  double PerformanceCounterMS();

  // Text goes out through the system code page; scalars as their raw little-endian image
  // (a bool takes 2 bytes).
  bool SendData(BytesView data);
  bool SendData(TextView text);
  template <class T>
    requires std::is_arithmetic_v<T>
  bool SendData(T value) {
    char raw[8] = {};
    size_t n = ScalarImage(value, raw);
    return SendData(BytesView(raw, n));
  }

  // maxLen <= 0 or at least the buffered length takes everything. False when nothing is
  // buffered (the argument is left alone then).
  bool PeekData(Bytes& data, long maxLen = 0) { return RecvData(data, maxLen, true); }
  bool PeekData(Text& text, long maxLen = 0);
  bool GetData(Bytes& data, long maxLen = 0) { return RecvData(data, maxLen, false); }
  bool GetData(Text& text, long maxLen = 0);
  template <class T>
    requires std::is_arithmetic_v<T>
  bool GetData(T& value) {
    return ScalarData(value, false);
  }
  template <class T>
    requires std::is_arithmetic_v<T>
  bool PeekData(T& value) {
    return ScalarData(value, true);
  }

  bool listen();
  // An empty host keeps the stored one; a negative port keeps the stored one.
  bool connect(TextView remoteHost = u"", long remotePort = -1);
  bool ForceClose();
  bool closesocket();
  // A negative port and an empty IP keep the stored ones.
  bool bind(long localPort = -1, TextView localIP = u"");
  // Adopts a connection handed out by OnConnectionRequest.
  bool accept(long requestID);

  SocketState State() const { return state_; }
  long SocketHandle() const { return socket_; }
  long RemotePort() const { return remotePort_; }
  void RemotePort(long port) { remotePort_ = port; }
  const Text& RemoteHostIP() const { return remoteHostIP_; }
  const Text& RemoteHost() const { return remoteHost_; }
  void RemoteHost(TextView host);
  long protocol() const { return protocol_; }
  void protocol(long p);
  long LocalPort() const { return localPort_; }
  void LocalPort(long port) { localPort_ = port; }
  const Text& LocalIP() const { return localIP_; }
  const Text& LocalHostName() const { return localHostName_; }
  long BytesReceived() const { return bytesReceived_; }
  // Bytes handed to SendData that the system has not taken yet.
  long BytesToSend() const { return static_cast<long>(sendBuffer_.size()); }
  // Creates and registers the system socket; the handle or -1.
  long vbSocket();
  long RecvBufferLen() const { return recvBufferLen_; }
  long SendBufferLen() const { return sendBufferLen_; }
  // Asks the system for another receive buffer size (best before connecting: the
  // advertised window follows it); creates the socket when needed.
  bool RecvBufferLen(long bytes);

  long LastErrorNumber() const { return lastErrNumber_; }
  const Text& LastErrorDescription() const { return lastErrDescription_; }
  const Text& LastErrorSource() const { return lastErrSource_; }

  Event<> OnClose;
  Event<> OnConnect;
  Event<long> OnConnectionRequest;
  Event<long> OnDataArrival;
  // Number, Description, Scode, Source, HelpFile, HelpContext, CancelDisplay
  Event<int, const Text&, long, const Text&, const Text&, long, bool&> OnError;
  Event<> OnSendComplete;
  Event<long, long> OnSendProgress;
  Event<> DataAvailable;

  // Delivery from the socket module (GUI thread).
  void PostSocketEvent(int event, int error);
  void PostGetHostEvent(long request, uint32_t address, const Text& name, int error);
  void CheckIdle();
  void OnReadiness(bool readable, bool writable);
  long ResolveRequest() const { return resolveRequest_; }

 private:
  bool SocketExists();
  void DestroySocket();
  long RecvToBuffer();
  bool RecvData(Bytes& out, long maxLen, bool peek);
  bool SendBufferedData();
  void UpdateDownloadSpeed(long count);
  void ReadBufferLengths();
  void ReadLocalAddress();
  void ApplyWatch();
  bool ConnectTo(uint32_t addressNetOrder, const char* source, bool raiseAsEvent);
  bool Raise(long number, const char* source);
  bool RaiseText(long number, TextView description, const char* source);
  void RaiseOnError(int number, const Text& description, const Text& source);

  template <class T>
  static size_t ScalarImage(T value, char* raw) {
    if constexpr (std::is_same_v<T, bool>) {
      int16_t v = value ? -1 : 0;
      std::memcpy(raw, &v, 2);
      return 2;
    } else {
      std::memcpy(raw, &value, sizeof(T));
      return sizeof(T);
    }
  }
  template <class T>
  bool ScalarData(T& value, bool peek) {
    Bytes b;
    size_t n = std::is_same_v<T, bool> ? 2 : sizeof(T);
    if (!RecvData(b, static_cast<long>(n), peek)) return false;
    if constexpr (std::is_same_v<T, bool>) {
      value = b.find_first_not_of('\0') != Bytes::npos;
    } else {
      T v{};
      std::memcpy(&v, b.data(), b.size() < sizeof(T) ? b.size() : sizeof(T));
      value = v;
    }
    return true;
  }

  bool dataAvailableMode_ = false;
  int resolvePurpose_ = 0;
  long protocol_ = sckTCPProtocol;
  SocketState state_ = SocketClosed;
  long bytesReceived_ = 0;
  Text localHostName_, localIP_;
  long localPort_ = 0;
  Text remoteHost_, remoteHostIP_;
  long remotePort_ = 0;
  long socket_ = -1;
  long resolveRequest_ = 0;
  Bytes sendBuffer_, recvBuffer_;
  long recvBufferLen_ = 0, sendBufferLen_ = 0;
  long maxDatagram_ = 0;
  bool bound_ = false;
  bool sending_ = false;
  bool broadcast_ = false;
  bool closingByForce_ = false;
  long downloadSpeed_ = 0;
  double lastReceive_ = 0;
  double windowStart_ = 0, windowBytes_ = 0;
  bool counterStarted_ = false;
  double counterOrigin_ = 0;
  // Which notifications are armed: a read fires once until the next receive, a write
  // once after a send could not finish or while connecting.
  bool readArmed_ = true;
  bool writeArmed_ = false;
  long lastErrNumber_ = 0;
  Text lastErrDescription_, lastErrSource_;
};
