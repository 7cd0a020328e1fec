#pragma once
// Sends one file, or one block of data held in memory, as a single-part
// multipart/form-data POST over HTTP/1.0, in 4096-byte blocks paced by the socket's send
// completions (or by the owner through SetTimer/PulseTimer), and collects the answer.
#include <cstdint>
#include <memory>
#include <vector>

#include "net/CSocket.h"
#include "platform/Event.h"
#include "platform/FileSys.h"
#include "platform/Text.h"
#include "storage/VbDate.h"

class cHTTPUpload {
 public:
  static constexpr long kBlockSize = 4096;
  // A receiver's answer is kept up to these sizes; beyond them the transfer fails.
  static constexpr size_t kMaxAnswerHeaderBytes = 64 * 1024;
  static constexpr size_t kMaxAnswerBodyBytes = 1024 * 1024;
  // A transfer that makes no progress either way for this long fails.
  static constexpr long kDefaultStallTimeoutMs = 60000;
  // How long a complete answer waits for the receiver's close before it counts.
  static constexpr int kAnswerGraceMs = 500;

  cHTTPUpload();
  // Closes the connection and stops pacing; no event is raised.
  ~cHTTPUpload();
  cHTTPUpload(const cHTTPUpload&) = delete;
  cHTTPUpload& operator=(const cHTTPUpload&) = delete;

  // Extra header lines ("Name: value"), sent after the standard ones.
  std::vector<Text> RequestHeaders;

  const Text& Username() const { return username_; }
  void Username(TextView v) { username_ = Text(v); }
  const Text& Password() const { return password_; }
  void Password(TextView v) { password_ = Text(v); }
  void ProxyHost(TextView v) { proxyHost_ = Text(v); }
  long ProxyPort() const { return proxyPort_; }
  void ProxyPort(long v) { proxyPort_ = v; }
  void ProxyUserName(TextView v) { proxyUserName_ = Text(v); }
  void ProxyPassword(TextView v) { proxyPassword_ = Text(v); }
  const Text& LocalFileName() const { return localFileName_; }
  bool Busy() const { return busy_; }

  // Starts the upload; progress and the outcome come as events. Non-empty credentials
  // replace the stored ones. Non-empty data is sent instead of the file's content.
  bool SendFile(TextView fileName, TextView url, TextView userName = u"", TextView password = u"",
                TextView proxyUserName = u"", TextView proxyPassword = u"", TextView fieldName = u"file",
                BytesView data = {});
  long StallTimeoutMs() const { return stallTimeoutMs_; }
  void StallTimeoutMs(long ms) { stallTimeoutMs_ = ms > 0 ? ms : kDefaultStallTimeoutMs; }
  const Text& ResponsePage() const { return responsePage_; }
  const Text& ResponseCode() const { return responseCode_; }
  // Sends the next block when the owner took over the pacing.
  void PulseTimer();
  // Stops a running transfer: TransfertEnd(false, code) follows. TransfertEnd(true, code)
  // only comes when the whole body was sent and a complete 2xx answer arrived.
  void Cancel();

  // RFC 1123 date ("Sun, 06 Nov 1994 08:49:37 GMT") of a local time.
  static Text HTTPDate(VbDate localTime);
  // The part boundary for a time of day (seconds since midnight).
  static Text MakeBoundary(double secondsSinceMidnight);

  Event<> TransfertStart;
  // NextPosition (one more than the content bytes handed to the socket), DataLength.
  Event<long, long> TransfertProgress;
  Event<bool, const Text&> TransfertEnd;
  Event<long, const Text&> TransfertError;
  // Set Pending to space the blocks with your own timer, then call PulseTimer.
  Event<bool&> SetTimer;

 private:
  void wsk_OnConnect();
  void wsk_OnSendComplete();
  void wsk_OnDataArrival();
  void wsk_OnClose();
  void wsk_OnError(int number, const Text& description);
  void SendNextBlock();
  bool GetChunkFromFile(Bytes& chunk);
  void EndTransfer();
  void CloseFile();
  // Reads what arrived into the answer; false when the transfer ended meanwhile.
  bool TakeAnswerBytes();
  void ParseAnswerHeader(size_t end);
  void AnswerDone();
  // The one way a transfer fails: the error is raised and the transfer ends unsuccessful.
  void Fail(long number, const Text& description);
  bool BodySent() const;
  void Watch();

  CSocket wsk;
  std::vector<Connection> conns_;
  Text username_, password_, proxyUserName_, proxyPassword_, proxyHost_;
  long proxyPort_ = 3128;
  Text localFileName_;
  Text url_, path_ = u"/", host_, fieldName_;
  int64_t dataLength_ = 0;
  int64_t nextPosition_ = 1;
  int64_t partHeaderLength_ = 0;
  Text trailer_;
  Text responseCode_, responsePage_;
  Bytes answer_;               // the answer's bytes as they came (header, then body)
  size_t scanFrom_ = 0;        // where the search for the header's end resumes
  size_t headerLength_ = 0;    // 0 until the header block is complete
  size_t pageBytes_ = 0;       // body bytes already in ResponsePage
  int64_t answerLength_ = -1;  // the answer's Content-Length, -1 without one
  bool trailerQueued_ = false; // the trailer was handed to the socket
  bool trailerSent_ = false;   // ... and the socket reported it sent
  bool stopSending_ = false;
  long stallTimeoutMs_ = kDefaultStallTimeoutMs;
  double lastProgressMs_ = 0;
  uint64_t watchdog_ = 0;
  uint64_t graceTimer_ = 0;
  bool failed_ = false;  // the connection broke or the transfer was given up
  bool timerPending_ = false;
  bool busy_ = false;
  Bytes memData_;
  platform::fs::File file_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};
