#pragma once
// One HTTP request at a time over a CSocket: a GET (optionally resumed with a byte range)
// or a form POST, through an optional proxy, with Basic authentication. The body goes to
// LocalPath, or to the owner chunk by chunk through DataArrival when LocalPath is empty.
// GetFile only starts the work; progress and the outcome arrive as events.
#include <memory>
#include <optional>
#include <vector>

#include "net/CSocket.h"
#include "platform/Event.h"
#include "platform/FileSys.h"
#include "platform/Text.h"
#include "storage/VbDate.h"
#include "platform/cTimer.h"

class cHTTPGet {
 public:
  enum class TransferStatus { Idle, Connecting, Requesting, Receiving, Failed, FileError, AuthRequired, Moved, Cancelled };

  // A header block that grows past this without its empty line fails the transfer.
  static constexpr size_t kMaxHeaderBytes = 64 * 1024;

  cHTTPGet();
  ~cHTTPGet();
  cHTTPGet(const cHTTPGet&) = delete;
  cHTTPGet& operator=(const cHTTPGet&) = delete;

  long MaxDownloadBytesPerSec() const { return maxBytesPerSec_; }
  void MaxDownloadBytesPerSec(long bytesPerSec);
  void ClearRequestHeaders() { requestHeaders_.clear(); }
  // Removes every header line matching the pattern (* ? # [set] [!set]).
  void RemoveRequestHeader(TextView pattern);
  // Appends a whole header line ("Name: value"); blank lines are ignored.
  void SetRequestHeader(TextView line);
  const Text& LocalIP() const { return localIP_; }
  void LocalIP(TextView ip) { localIP_ = Text(ip); }
  Text CurrentLocalIP() const { return wsk_.LocalIP(); }
  void ClearForm();
  double FileSize() const { return fileSize_; }
  void AddFormValue(TextView name, TextView value);
  void RemoveFormValue(TextView name);
  bool PostMode() const { return postMode_; }
  void PostMode(bool on) { postMode_ = on; }
  const Text& ProxyHost() const { return proxyHost_; }
  void ProxyHost(TextView h) { proxyHost_ = Text(h); }
  long ProxyPort() const { return proxyPort_; }
  void ProxyPort(long p) { proxyPort_ = p; }
  const Text& ProxyUserName() const { return proxyUser_; }
  void ProxyUserName(TextView u) { proxyUser_ = Text(u); }
  const Text& ProxyPassword() const { return proxyPassword_; }
  void ProxyPassword(TextView p) { proxyPassword_ = Text(p); }
  long ContentLength() const { return contentLength_; }
  long ReceivedBytes() const { return receivedBytes_; }
  const Text& Username() const { return username_; }
  void Username(TextView u) { username_ = Text(u); }
  const Text& Password() const { return password_; }
  void Password(TextView p) { password_ = Text(p); }
  const Text& LastErrorMessage() const { return lastErrorMessage_; }
  long LastErrorNumber() const { return lastErrorNumber_; }
  // Ends the running transfer; raises FileTransfertCancel.
  void CancelTransfert(long number, TextView message);
  const Text& CurrentRessource() const { return currentRessource_; }
  const Text& CurrentLocation() const { return location_; }
  // True when the connection was started. Empty texts keep the stored values.
  bool GetFile(TextView location, TextView localPath = u"", TextView username = u"", TextView password = u"",
               std::optional<bool> continueMode = std::nullopt, std::optional<long> continuePos = std::nullopt);
  const Text& Location() const { return location_; }
  void Location(TextView l) { location_ = Text(l); }
  const Text& LocalPath() const { return localPath_; }
  void LocalPath(TextView p) { localPath_ = Text(p); }
  long ContinuePos() const { return continuePos_; }
  void ContinuePos(long p) { continuePos_ = p; }
  bool ContinueMode() const { return continueMode_; }
  void ContinueMode(bool on) { continueMode_ = on; }
  bool Busy() const { return busy_; }
  Text ResponseCode() const;
  Text ResponseMessage() const;
  const Text& ResponseHeader() const { return responseHeader_; }
  std::vector<Text> GetResponseCookies() const;
  void RemoveResponseHeader(TextView pattern);
  Text ResponseHeaderField(TextView name) const;
  Text GetHeaderField(TextView name) const;

  const Text& UserAgent() const { return userAgent_; }
  void UserAgent(TextView ua) { userAgent_ = Text(ua); }
  TransferStatus Status() const { return status_; }
  // The host the Host header names (no port) and the port connected to.
  const Text& OriginHost() const { return originHost_; }
  long OriginPort() const { return originPort_; }
  // The throttle timer's current interval (0 when there is none or it is stopped).
  long ThrottleIntervalMs() const;

  // Form body: "name=value" pairs joined by "&", values URL-encoded.
  Text BuildFormBody() const;
  static Text URLEncode(TextView text);
  // RFC 822/1123 date in local time; malformed text gives the current time.
  static VbDate GetDateTime(TextView text);
  // The throttle's wait before the next read: elapsed seconds since the first arrival,
  // bytes received, allowance per second.
  static long ThrottleWaitMs(double elapsedSec, double receivedBytes, long bytesPerSec);
  // The wildcard rule used by the two Remove... routines.
  static bool LikeMatch(TextView text, TextView pattern);

  Event<> FileTransfertStart;
  Event<double, double> FileTransfertRestart;
  Event<bool> FileTransfertEnd;
  Event<> FileTransfertCancel;
  Event<long, long, const Bytes&> DataArrival;
  Event<long, const Text&> InternalError;
  Event<long, const Text&> HttpError;
  Event<Text&, Text&, const Text&, bool&> LoginRequired;
  Event<Text&, bool&> Redirected;

  // The socket underneath (for the throttle tests and the proxy-less local address).
  CSocket& Socket() { return wsk_; }

 private:
  bool OpenConnection();
  void SendRequest();
  void ArrivalHandler();
  bool ArrivalPass();
  bool HandleHeaderBlock();
  bool OnRedirect();
  bool OnBodyFollows(bool partial);
  bool OnHttpError(TextView code, TextView reason);
  bool HandleAuth();
  // Ends the transfer as failed: its status, error number and message set together.
  // These and the steps above return false when an event handler destroyed this object.
  bool Fail(TransferStatus status, long number, TextView message);
  void ThrottleStep();
  bool FinishTransfer();
  void OnSocketError(long number, const Text& description);
  bool AppendToFile(const Bytes& chunk);
  // False when the written file did not close cleanly (its last writes may be lost).
  [[nodiscard]] bool CloseFile() { return file_.Close(); }
  void DropFile() { file_ = {}; }

  CSocket wsk_;
  std::vector<Connection> wskLinks_;
  Text userAgent_;
  Text username_, password_;
  Text currentRessource_, location_, localPath_;
  Text responseHeader_;
  long contentLength_ = 0, receivedBytes_ = 0;
  bool continueMode_ = false;
  long continuePos_ = -1;
  Text lastErrorMessage_;
  long lastErrorNumber_ = 0;
  Text originHost_;
  long originPort_ = 80;
  bool busy_ = false;
  TransferStatus status_ = TransferStatus::Idle;
  Text proxyHost_;
  long proxyPort_ = 0;
  Text proxyUser_, proxyPassword_;
  std::vector<Text> formNames_, formValues_;
  bool postMode_ = false;
  double fileSize_ = 0;
  platform::fs::File file_;
  bool skipFirstByte_ = false;
  int authAttempts_ = 0;
  bool finished_ = true;
  Text localIP_;
  std::vector<Text> requestHeaders_;
  long maxBytesPerSec_ = 0;
  double throttleStart_ = 0;
  std::unique_ptr<cTimer> timerData_;
  Connection timerLink_;
  bool processing_ = false, pending_ = false;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};
