#pragma once
// Sends one file, or one block of data held in memory, as a single-part
// multipart/form-data POST over HTTP/1.0, in 4096-byte blocks paced by the socket's send
// completions (or by the owner through SetTimer/PulseTimer), and collects the answer.
#include <cstdint>
#include <memory>
#include <vector>

#include "net/CSocket.h"
#include "platform/Event.h"
#include "platform/Text.h"
#include "storage/VbDate.h"

class cHTTPUpload {
 public:
  static constexpr long kBlockSize = 4096;

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
  const Text& ResponsePage() const { return responsePage_; }
  const Text& ResponseCode() const { return responseCode_; }
  // Sends the next block when the owner took over the pacing.
  void PulseTimer();
  // Stops a running transfer: TransfertEnd(false, code) follows.
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
  bool timerPending_ = false;
  bool busy_ = false;
  Bytes memData_;
  int fileFd_ = -1;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};
