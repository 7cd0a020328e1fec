#pragma once
// The editor's update check and the suite's update-channel commands. The main window owns
// one of these: it calls CheckForUdpate (silently at start-up, from the menu later), follows
// UpdateCommandEnabled for "Check for &updates...", and hands UpdateInfo to the loading code.
// Every message goes through the message-box routine and every address through the
// desktop's URL handler, so the whole road runs without widgets.
#include <memory>
#include <optional>
#include <vector>

#include "net/cHTTPGet.h"
#include "platform/EventLoop.h"
#include "platform/Event.h"
#include "platform/Text.h"
#include "xml/cXmlNode.h"

class cUpdateCheck {
 public:
  // An answer larger than this is not an update description; the check fails.
  static constexpr size_t kMaxUpdateInfoBytes = 1024 * 1024;
  // A check that receives nothing for this long fails, so the menu command comes back.
  static constexpr long kDefaultIdleTimeoutMs = 30000;
  // However lively the server, a check ends after this long.
  static constexpr long kDefaultDeadlineMs = 60000;
  // Redirects followed before the check gives up.
  static constexpr int kMaxRedirects = 5;

  cUpdateCheck();
  ~cUpdateCheck();
  cUpdateCheck(const cUpdateCheck&) = delete;
  cUpdateCheck& operator=(const cUpdateCheck&) = delete;

  // Starts a check (cancelling a running one); the outcome comes through the HTTP events.
  void CheckForUdpate(bool silent);
  // Ends a running check without any message (the window is closing).
  void Cancel();
  // True from CheckForUdpate until the outcome has been handled.
  bool Running() const { return running_; }
  bool Silent() const { return silent_; }

  // The handlers of the HTTP client's events.
  void HTTP_FileTransfertStart();
  void HTTP_DataArrival(long receivedBytes, long contentLength, const Bytes& data);
  void HTTP_FileTransfertEnd(bool success);

  // The last update description received: the root element ("Version", "Description",
  // "DownloadURL", "Message", "FormatVersion" as children). The same node for the whole
  // life of this object; without children until the first valid answer.
  const XmlNodePtr& UpdateInfo() const { return updateInfo_; }

  // "Read beta channel info (online)...", "Activate BETA channel on my Kestrova",
  // "Activate PUBLIC channel on my Kestrova". False when the desktop refused the address.
  bool ShowBetaInfo();
  bool ActivateBetaChannel();
  bool ActivatePublicChannel();

  // The web server's host (or host:port): the setter's value, else the configuration key
  // "Server.Host", else the built-in deployment host.
  Text ServerHost() const;
  void ServerHost(TextView host) { hostOverride_ = Text(host); }
  Text UpdateURL() const;
  Text BetaInfoURL() const;
  // The suite's own address that switches its update channel.
  static Text ChannelURL(bool beta);
  // A server's text made safe for a message box: no control or direction-changing
  // characters (line breaks only when multiLine, as CR LF), at most maxLength characters.
  static Text ServerText(TextView text, size_t maxLength, bool multiLine);
  // major.minor.revision of this program.
  static Text RunningVersion();

  long DeadlineMs() const { return deadlineMs_; }
  void DeadlineMs(long ms) { deadlineMs_ = ms > 0 ? ms : kDefaultDeadlineMs; }
  long IdleTimeoutMs() const { return idleTimeoutMs_; }
  void IdleTimeoutMs(long ms) { idleTimeoutMs_ = ms > 0 ? ms : kDefaultIdleTimeoutMs; }

  // The client of the running (or last) check; null before the first one.
  cHTTPGet* HTTP() const { return http_.get(); }

  // Whether "Check for &updates..." may be used now.
  Event<bool> UpdateCommandEnabled;

 private:
  void ReleaseClient();
  void StartWatchdog();
  void StopWatchdog();
  void WatchdogTick();
  // Cancels the transfer and handles the check as failed.
  void Abort(TextView reason);
  void Finish(bool success);
  // Parses the answer into UpdateInfo; false when it is no update description.
  bool TakeAnswer();
  void OfferDownload();

  std::shared_ptr<cHTTPGet> http_;
  std::vector<Connection> httpLinks_;
  XmlNodePtr updateInfo_;
  Bytes buffer_;
  bool silent_ = false;
  bool running_ = false;
  Text hostOverride_;
  long idleTimeoutMs_ = kDefaultIdleTimeoutMs;
  long deadlineMs_ = kDefaultDeadlineMs;
  double startMs_ = 0;
  int redirects_ = 0;
  platform::TimerId watchdog_ = 0;
  double lastActivityMs_ = 0;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};
