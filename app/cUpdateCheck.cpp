#include "app/cUpdateCheck.h"

#include <algorithm>
#include <exception>

#include "AppInfo.h"
#include "app/mConfig.h"
#include "platform/Desktop.h"
#include "platform/ErrLog.h"
#include "platform/MsgBox.h"
#include "storage/mStringTools.h"

namespace {

const char16_t kCrLf[] = u"\r\n";
const char16_t kCanceledByUser[] = u"Download canceled by user";

bool HasScheme(TextView url, TextView scheme) {
  return url.size() > scheme.size() && txt::EqualsNoCase(url.substr(0, scheme.size()), scheme);
}

// Control characters and surrounding blanks never belong in a host taken from a file.
Text CleanHost(TextView host) {
  Text out;
  for (char16_t c : mStringTools::xTrim(host))
    if (c > 0x20 && c != 0x7F) out += c;
  return out;
}

}  // namespace

cUpdateCheck::cUpdateCheck() : updateInfo_(cXmlNode::New()) {}

cUpdateCheck::~cUpdateCheck() {
  *alive_ = false;
  StopWatchdog();
  try {
    if (http_ && http_->Busy()) http_->CancelTransfert(0, kCanceledByUser);
    ReleaseClient();
  } catch (...) {
    ErrLog::Exception("cUpdateCheck.Terminate", "unexpected failure");
  }
}

Text cUpdateCheck::ServerText(TextView text, size_t maxLength, bool multiLine) {
  Text out;
  for (size_t i = 0; i < text.size() && out.size() < maxLength; ++i) {
    char16_t c = text[i];
    if (c == u'\r' || c == u'\n') {
      if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
      if (multiLine) out += u"\r\n";
      else out += u' ';
      continue;
    }
    if (c == u'\t') c = u' ';
    bool control = c < 0x20 || (c >= 0x7F && c <= 0x9F);
    // Marks and overrides that reorder or hide what is shown, and invisible separators.
    bool direction = c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) ||
                     (c >= 0x2066 && c <= 0x2069) || c == 0x2028 || c == 0x2029;
    if (control || direction) continue;
    out += c;
  }
  // Never end inside a surrogate pair.
  if (!out.empty() && out.back() >= 0xD800 && out.back() <= 0xDBFF) out.pop_back();
  return mStringTools::xTrim(out);
}

Text cUpdateCheck::RunningVersion() {
  return txt::FromInt(KSV_VERSION_MAJOR) + u"." + txt::FromInt(KSV_VERSION_MINOR) + u"." +
         txt::FromInt(KSV_VERSION_REVISION);
}

Text cUpdateCheck::ServerHost() const {
  Text host = CleanHost(hostOverride_);
  if (host.empty()) host = CleanHost(mConfig::GetConfig(u"Server.Host"));
  if (host.empty()) host = KSV_SERVER_HOST;
  return host;
}

Text cUpdateCheck::UpdateURL() const { return u"http://" + ServerHost() + u"/translation/version.xml"; }

Text cUpdateCheck::BetaInfoURL() const { return u"http://" + ServerHost() + u"/translation/beta_channel.php"; }

Text cUpdateCheck::ChannelURL(bool beta) {
  return Text(u"ksv://updatecheck/") + (beta ? u"beta" : u"normal");
}

// The client may be inside one of its own event handlers when a check is replaced or the
// window closes; it is destroyed from the loop once that handler has returned.
void cUpdateCheck::ReleaseClient() {
  httpLinks_.clear();
  if (!http_) return;
  std::shared_ptr<cHTTPGet> old = std::move(http_);
  if (platform::HasEventLoop()) platform::PostCall([old]() {});
}

void cUpdateCheck::CheckForUdpate(bool silent) {
  try {
    StopWatchdog();
    if (http_ && http_->Busy()) http_->CancelTransfert(0, kCanceledByUser);
    ReleaseClient();

    http_ = std::make_shared<cHTTPGet>();
    cHTTPGet& h = *http_;
    httpLinks_.push_back(h.FileTransfertStart.Subscribe([this]() { HTTP_FileTransfertStart(); }));
    httpLinks_.push_back(h.DataArrival.Subscribe(
        [this](long received, long length, const Bytes& data) { HTTP_DataArrival(received, length, data); }));
    httpLinks_.push_back(h.FileTransfertEnd.Subscribe([this](bool success) { HTTP_FileTransfertEnd(success); }));
    // A moved description is fetched from its new place at once, within limits.
    httpLinks_.push_back(h.Redirected.Subscribe([this](Text& where, bool& follow) {
      Text to = mStringTools::xTrim(where);
      follow = running_ && redirects_ < kMaxRedirects && (HasScheme(to, u"http:") || HasScheme(to, u"https:"));
      if (follow) {
        ++redirects_;
        lastActivityMs_ = platform::HiResMs();
        where = to;
      } else if (running_) {
        platform::PostCall([this, alive = alive_, client = http_] {
          if (*alive && running_ && http_ == client) Abort(u"Redirect not followed");
        });
      }
    }));
    // Header bytes count as activity too: a slow but living server is not a dead one.
    httpLinks_.push_back(h.Socket().OnDataArrival.Subscribe([this](long) { lastActivityMs_ = platform::HiResMs(); }));
    buffer_.clear();
    silent_ = silent;
    running_ = true;
    redirects_ = 0;
    startMs_ = platform::HiResMs();
    StartWatchdog();

    auto alive = alive_;
    auto client = http_;
    bool started = h.GetFile(UpdateURL(), u"", u"", u"", false, -1L);
    if (!*alive) return;
    // A start that failed at once may or may not have reported through the end event.
    if (!started && running_ && http_ == client) Finish(false);
  } catch (const std::exception& e) {
    ErrLog::Exception("cUpdateCheck.CheckForUdpate", e.what());
  } catch (...) {
    ErrLog::Exception("cUpdateCheck.CheckForUdpate", "unknown exception");
  }
}

void cUpdateCheck::Cancel() {
  try {
    StopWatchdog();
    bool wasRunning = running_;
    running_ = false;
    silent_ = false;
    buffer_.clear();
    if (http_ && http_->Busy()) http_->CancelTransfert(0, kCanceledByUser);
    ReleaseClient();
    if (wasRunning) UpdateCommandEnabled.Raise(true);
  } catch (...) {
    ErrLog::Exception("cUpdateCheck.Cancel", "unexpected failure");
  }
}

void cUpdateCheck::HTTP_FileTransfertStart() {
  if (!running_) return;
  lastActivityMs_ = platform::HiResMs();
  UpdateCommandEnabled.Raise(false);
}

void cUpdateCheck::HTTP_DataArrival(long, long, const Bytes& data) {
  try {
    if (!running_) return;
    lastActivityMs_ = platform::HiResMs();
    if (buffer_.size() + data.size() > kMaxUpdateInfoBytes) {
      Abort(u"Update information too large");
      return;
    }
    buffer_ += data;
  } catch (...) {
    ErrLog::Exception("cUpdateCheck.HTTP_DataArrival", "unexpected failure");
  }
}

void cUpdateCheck::HTTP_FileTransfertEnd(bool success) {
  if (!running_) return;
  Finish(success);
}

void cUpdateCheck::StartWatchdog() {
  StopWatchdog();
  lastActivityMs_ = platform::HiResMs();
  int interval = static_cast<int>(std::clamp<long>(std::min(idleTimeoutMs_, deadlineMs_) / 10, 10, 1000));
  watchdog_ = platform::StartTimer(interval, [this]() { WatchdogTick(); });
}

void cUpdateCheck::StopWatchdog() {
  if (watchdog_) platform::StopTimer(watchdog_);
  watchdog_ = 0;
}

void cUpdateCheck::WatchdogTick() {
  if (!running_) {
    StopWatchdog();
    return;
  }
  double now = platform::HiResMs();
  if (now - lastActivityMs_ >= static_cast<double>(idleTimeoutMs_)) Abort(u"Server timeout");
  else if (now - startMs_ >= static_cast<double>(deadlineMs_)) Abort(u"Server too slow");
}

void cUpdateCheck::Abort(TextView reason) {
  auto alive = alive_;
  StopWatchdog();
  // The cancel raises no end event; the check's outcome is handled here instead.
  if (http_ && http_->Busy()) http_->CancelTransfert(0, reason);
  if (!*alive || !running_) return;
  ErrLog::Line(u"Update check failed: " + Text(reason));
  Finish(false);
}

bool cUpdateCheck::TakeAnswer() {
  int mode = mStringTools::ModeAutoDetect;
  Text text = mStringTools::StrDataToUnicode(buffer_, mode, mStringTools::CP_WINDOWS_1252);
  auto answer = cXmlNode::New();
  answer->XmlData___NonRecursif(text);
  // An error page or a portal's greeting served with 200 is no answer; the last good one stays.
  if (mStringTools::xTrim(answer->ChildValue(u"Version")).empty()) return false;
  updateInfo_->XmlData___NonRecursif(std::move(text));
  return true;
}

void cUpdateCheck::OfferDownload() {
  Text url = mStringTools::xTrim(updateInfo_->ChildValue(u"DownloadURL"));
  // Only web addresses go to the desktop; anything else is treated as unopenable.
  if (!HasScheme(url, u"http:") && !HasScheme(url, u"https:")) {
    ErrLog::Line(u"Download address refused: " + url);
    return;
  }
  // Without a desktop to open it the offer has nowhere to go: the log keeps the address.
  if (!platform::OpenURL(url, 2)) ErrLog::Line(u"Download page not opened: " + url);
}

void cUpdateCheck::Finish(bool success) {
  auto alive = alive_;
  try {
    StopWatchdog();
    running_ = false;
    bool silent = silent_;
    bool ok = success && TakeAnswer();
    buffer_.clear();
    buffer_.shrink_to_fit();
    const Text title = KSV_TITLE;
    if (ok) {
      Text offered = ServerText(updateInfo_->ChildValue(u"Version"), 40, false);
      if (mStringTools::NeedUpdate(RunningVersion(), offered)) {
        Text q = u"A new version of \"" + title + u"\" is available." + kCrLf + kCrLf + u"Your version: " +
                 RunningVersion() + u"  /  " + u"Available version: " + offered + kCrLf + kCrLf +
                 ServerText(updateInfo_->ChildValue(u"Description"), 2000, true) + kCrLf + u"Do you want to download the new version now ?";
        int answer = platform::MsgBox(q, platform::vbYesNo | platform::vbInformation);
        if (!*alive) return;
        if (answer == platform::vbYes) OfferDownload();
      } else if (!silent) {
        platform::MsgBox(u"Your version of \"" + title + u"\" is up to date.", platform::vbInformation);
        if (!*alive) return;
      }
    } else if (!silent) {
      platform::MsgBox(u"An error occured while trying to get the update information!", platform::vbCritical);
      if (!*alive) return;
    }
    // A failed check shows nothing when silent, not even an older answer's notice.
    if (silent && ok) {
      Text message = ServerText(updateInfo_->ChildValue(u"Message"), 2000, true);
      if (!mStringTools::xTrim(message).empty()) {
        platform::MsgBox(message, platform::vbInformation);
        if (!*alive) return;
      }
    }
    // A new check may have started while a box was open; its state is not ours to clear.
    if (running_) return;
    silent_ = false;
    UpdateCommandEnabled.Raise(true);
  } catch (const std::exception& e) {
    ErrLog::Exception("cUpdateCheck.HTTP_FileTransfertEnd", e.what());
  } catch (...) {
    ErrLog::Exception("cUpdateCheck.HTTP_FileTransfertEnd", "unknown exception");
  }
}

bool cUpdateCheck::ShowBetaInfo() {
  try {
    if (platform::OpenURL(BetaInfoURL(), 1)) return true;
    platform::MsgBox(u"Error opening the website!", platform::vbCritical);
  } catch (...) {
    ErrLog::Exception("cUpdateCheck.mnuShowBetaInfo_Click", "unexpected failure");
  }
  return false;
}

namespace {
bool SwitchChannel(bool beta) {
  try {
    if (platform::OpenURL(cUpdateCheck::ChannelURL(beta), 2)) return true;
    platform::MsgBox(u"Error starting the update. Make sure your Kestrova is running.", platform::vbCritical);
  } catch (...) {
    ErrLog::Exception(beta ? "cUpdateCheck.mnuKsvUpdateBeta_Click" : "cUpdateCheck.mnuKsvUpdatePublic_Click",
                      "unexpected failure");
  }
  return false;
}
}  // namespace

bool cUpdateCheck::ActivateBetaChannel() { return SwitchChannel(true); }

bool cUpdateCheck::ActivatePublicChannel() { return SwitchChannel(false); }
