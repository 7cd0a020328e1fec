#include "net/cHTTPUpload.h"

#include <cfenv>
#include <chrono>
#include <algorithm>
#include <cmath>
#include <ctime>
#include <exception>

#include "AppInfo.h"
#include "platform/ErrLog.h"
#include "platform/EventLoop.h"
#include "platform/FileSys.h"
#include "storage/mFileUtils.h"
#include "storage/mStringTools.h"

namespace {

constexpr const char* kObj = "cHTTPUpload";
const Text kCrLf = u"\r\n";

void Trap(const char* routine, const std::exception* e) {
  ErrLog::Error(5, e ? txt::FromUtf8(e->what()) : Text(u"Unknown error"), kObj, routine);
}

Bytes Ansi(TextView t) { return mStringTools::StrUnicodeToCodePage(t, mStringTools::CP_WINDOWS_1252); }

Text Base64Text(TextView t) { return txt::FromBytes(mStringTools::Base64_EncodeData(Ansi(t))); }

Text Hex(long long v) {
  static const char16_t digits[] = u"0123456789ABCDEF";
  if (v <= 0) return u"0";
  Text out;
  while (v > 0) {
    out.insert(out.begin(), digits[v % 16]);
    v /= 16;
  }
  return out;
}

Text Two(int v) {
  Text t = txt::FromInt(v);
  return t.size() < 2 ? u"0" + t : t;
}

double SecondsSinceMidnight() {
  auto now = std::chrono::system_clock::now();
  auto us = std::chrono::duration_cast<std::chrono::microseconds>(now.time_since_epoch()).count();
  std::time_t secs = static_cast<std::time_t>(us / 1000000);
  std::tm lt{};
  localtime_r(&secs, &lt);
  return lt.tm_hour * 3600.0 + lt.tm_min * 60.0 + lt.tm_sec + static_cast<double>(us % 1000000) / 1e6;
}

}  // namespace

cHTTPUpload::cHTTPUpload() {
  conns_.push_back(wsk.OnConnect.Subscribe([this] { wsk_OnConnect(); }));
  conns_.push_back(wsk.OnSendComplete.Subscribe([this] { wsk_OnSendComplete(); }));
  // Any byte the receiver takes counts as progress for the stall watch.
  conns_.push_back(wsk.OnSendProgress.Subscribe([this](long, long) { lastProgressMs_ = platform::HiResMs(); }));
  conns_.push_back(wsk.OnDataArrival.Subscribe([this](long) { wsk_OnDataArrival(); }));
  conns_.push_back(wsk.OnClose.Subscribe([this] { wsk_OnClose(); }));
  conns_.push_back(wsk.OnError.Subscribe(
      [this](int number, const Text& description, long, const Text&, const Text&, long, bool&) {
        wsk_OnError(number, description);
      }));
}

cHTTPUpload::~cHTTPUpload() {
  *alive_ = false;
  try {
    conns_.clear();
    timerPending_ = false;
    if (watchdog_) platform::StopTimer(watchdog_);
    if (graceTimer_) platform::StopTimer(graceTimer_);
    CloseFile();
    if (wsk.State() != SocketClosed) wsk.ForceClose();
  } catch (...) {
  }
}

Text cHTTPUpload::MakeBoundary(double seconds) {
  // Single-precision products, rounded half to even like the original conversion.
  auto part = [seconds](float factor) {
    float product = static_cast<float>(seconds) * factor;
    return Hex(static_cast<long long>(std::nearbyint(product)));
  };
  return u"----KESTROVA_UPLOADER----" + part(100.0f) + u"-" + part(35.0f) + u"-" + part(324.0f) + u"----";
}

Text cHTTPUpload::HTTPDate(VbDate localTime) {
  try {
    // The zone difference as the clocks give it now, in whole minutes.
    std::time_t now = std::time(nullptr);
    VbDate utcNow = vbdate::FromUnix(now, false);
    VbDate localNow = vbdate::FromUnix(now, true);
    double minutes = std::round((utcNow - localNow) * 1440.0);
    VbDate utc = localTime + minutes / 1440.0;
    vbdate::Parts p = vbdate::ToParts(utc);
    long day = static_cast<long>(std::floor(utc));
    int weekday = static_cast<int>(((day - 1) % 7 + 7) % 7) + 1;  // 1 = Sunday; day 0 was a Saturday
    static const Text kDays = u"  SunMonTueWedThuFriSat";
    static const Text kMonths = u"  JanFebMarAprMayJunJulAugSepOctNovDec";
    if (p.month < 1 || p.month > 12) return Text();
    Text year = txt::FromInt(p.year);
    while (year.size() < 4) year = u"0" + year;
    return kDays.substr(static_cast<size_t>(weekday * 3 - 1), 3) + u", " + Two(p.day) + u" " +
           kMonths.substr(static_cast<size_t>(p.month * 3 - 1), 3) + u" " + year + u" " + Two(p.hour) + u":" +
           Two(p.minute) + u":" + Two(p.second) + u" GMT";
  } catch (const std::exception& e) {
    ErrLog::Error(5, txt::FromUtf8(e.what()), kObj, "HTTPDate", ErrLog::Kind::Function);
  } catch (...) {
    ErrLog::Error(5, u"Unknown error", kObj, "HTTPDate", ErrLog::Kind::Function);
  }
  return Text();
}

bool cHTTPUpload::SendFile(TextView fileName, TextView url, TextView userName, TextView password,
                           TextView proxyUserName, TextView proxyPassword, TextView fieldName, BytesView data) {
  try {
    if (busy_) Cancel();
    localFileName_ = Text(fileName);
    memData_ = Bytes(data);
    if (memData_.empty()) {
      platform::fs::Info info = platform::fs::Stat(mFileUtils::NativePath(fileName));
      if (!info.exists || info.isDir) return false;
      dataLength_ = static_cast<int64_t>(info.size);
    } else {
      dataLength_ = static_cast<int64_t>(memData_.size());
    }

    if (wsk.State() != SocketClosed) wsk.closesocket();
    if (!userName.empty()) username_ = Text(userName);
    if (!password.empty()) password_ = Text(password);
    if (!proxyUserName.empty()) proxyUserName_ = Text(proxyUserName);
    if (!proxyPassword.empty()) proxyPassword_ = Text(proxyPassword);

    if (txt::LCase(url.substr(0, 7)) != u"http://") return false;
    TextView rest = url.substr(7);
    size_t slash = rest.find(u'/');
    Text hostPart(slash == TextView::npos ? rest : rest.substr(0, slash));
    Text path = slash == TextView::npos ? Text(u"/") : Text(rest.substr(slash));
    long port = 80;
    size_t colon = hostPart.find(u':');
    if (colon != Text::npos) {
      port = static_cast<long>(txt::ToInt(TextView(hostPart).substr(colon + 1)));
      hostPart.resize(colon);
      // A port no server can listen on is a bad address, not something to connect to.
      if (port < 1 || port > 65535) return false;
    }
    if (hostPart.empty()) return false;
    // A line break in the address would end the request line early.
    if (url.find_first_of(u"\r\n") != TextView::npos) return false;

    host_ = hostPart;
    path_ = path;
    fieldName_ = Text(fieldName);
    url_ = Text(url);
    responseCode_.clear();
    responsePage_.clear();
    answer_.clear();
    scanFrom_ = headerLength_ = pageBytes_ = 0;
    answerLength_ = -1;
    trailerQueued_ = trailerSent_ = stopSending_ = failed_ = false;
    trailer_.clear();
    nextPosition_ = 1;
    timerPending_ = false;
    CloseFile();

    wsk.protocol(sckTCPProtocol);
    bool viaProxy = !proxyHost_.empty();
    wsk.RemoteHost(viaProxy ? TextView(proxyHost_) : TextView(host_));
    wsk.RemotePort(viaProxy ? proxyPort_ : port);
    busy_ = true;
    Watch();
    if (!wsk.connect()) {
      busy_ = false;
      if (watchdog_) platform::StopTimer(watchdog_);
      watchdog_ = 0;
      ErrLog::Error(wsk.LastErrorNumber(), wsk.LastErrorDescription(), kObj, "SendFile", ErrLog::Kind::Function);
      return false;
    }
    return true;
  } catch (const std::exception& e) {
    ErrLog::Error(5, txt::FromUtf8(e.what()), kObj, "SendFile", ErrLog::Kind::Function);
  } catch (...) {
    ErrLog::Error(5, u"Unknown error", kObj, "SendFile", ErrLog::Kind::Function);
  }
  busy_ = false;
  return false;
}

void cHTTPUpload::wsk_OnConnect() {
  try {
    Text boundary = MakeBoundary(SecondsSinceMidnight());
    Text shownName = txt::Replace(localFileName_, u"/", u"\\");
    size_t bs = shownName.rfind(u'\\');
    if (bs != Text::npos) shownName = shownName.substr(bs + 1);

    Text part = u"--" + boundary + kCrLf;
    part += u"Content-Disposition: form-data; name=\"" + fieldName_ + u"\"; filename=\"" + shownName + u"\"" + kCrLf;
    part += u"Content-Type: application/octet-stream" + kCrLf;
    if (memData_.empty()) {
      part += u"Last-Modified: " + HTTPDate(mFileUtils::FileDate(localFileName_, true)) + kCrLf;
      file_ = platform::fs::File::ForRead(mFileUtils::NativePath(localFileName_));
      // Gone since SendFile: nothing to send, and no reason to wait for a time-out.
      if (!file_.IsOpen()) {
        Fail(53, u"File not found");
        return;
      }
    }
    part += kCrLf;
    Bytes partBytes = Ansi(part);
    partHeaderLength_ = static_cast<int64_t>(partBytes.size());
    trailer_ = kCrLf + u"--" + boundary + u"--" + kCrLf;
    int64_t contentLength = partHeaderLength_ + dataLength_ + static_cast<int64_t>(boundary.size()) + 8;

    bool viaProxy = !proxyHost_.empty();
    Text head = u"POST " + (viaProxy ? url_ : path_) + u" HTTP/1.0" + kCrLf;
    head += u"Content-Type: multipart/form-data; boundary=" + boundary + kCrLf;
    head += Text(u"User-Agent: Mozilla/4.0 (compatible; ") + KSV_TITLE + u" v" + txt::FromInt(KSV_VERSION_MAJOR) +
            u"." + txt::FromInt(KSV_VERSION_MINOR) + u"." + txt::FromInt(KSV_VERSION_REVISION) + u")" + kCrLf;
    head += u"Host: " + host_ + kCrLf;
    if (!username_.empty() || !password_.empty())
      head += u"Authorization: Basic " + Base64Text(username_ + u":" + password_) + kCrLf;
    if (viaProxy && !proxyUserName_.empty())
      head += u"Proxy-Authorization: Basic " + Base64Text(proxyUserName_ + u":" + proxyPassword_) + kCrLf;
    head += u"Content-Length: " + txt::FromInt(contentLength) + kCrLf;
    head += u"Pragma: no-cache" + kCrLf;
    for (const Text& line : RequestHeaders) {
      // One header per entry: a line break inside would smuggle in more.
      if (line.find_first_of(u"\r\n") != Text::npos) continue;
      head += line + kCrLf;
    }
    head += kCrLf;

    nextPosition_ = 1;
    wsk.SendData(BytesView(Ansi(head) + partBytes));
  } catch (const std::exception& e) {
    Trap("wsk_OnConnect", &e);
  } catch (...) {
    Trap("wsk_OnConnect", nullptr);
  }
}

void cHTTPUpload::wsk_OnSendComplete() {
  try {
    if (!busy_) return;
    lastProgressMs_ = platform::HiResMs();
    // A handler may destroy this object or end the transfer.
    auto goOn = [this](bool alive) { return alive && busy_; };
    if (trailerQueued_) {
      // The trailer is out: the whole body has been sent.
      trailerSent_ = true;
      if (headerLength_ > 0) AnswerDone();
      return;
    }
    if (stopSending_) return;
    if (nextPosition_ == 1 && !goOn(RaiseWhileAlive(alive_, TransfertStart))) return;
    if (nextPosition_ > dataLength_) {
      if (trailer_.empty()) return;
      Text t = trailer_;
      trailer_.clear();
      trailerQueued_ = true;
      wsk.SendData(BytesView(Ansi(t)));
    }
    if (!goOn(RaiseWhileAlive(alive_, TransfertProgress, static_cast<long>(nextPosition_),
                              static_cast<long>(dataLength_))))
      return;
    timerPending_ = false;
    bool pending = false;
    if (!goOn(RaiseWhileAlive(alive_, SetTimer, pending))) return;
    if (pending) timerPending_ = true;
    else SendNextBlock();
  } catch (const std::exception& e) {
    Trap("wsk_OnSendComplete", &e);
  } catch (...) {
    Trap("wsk_OnSendComplete", nullptr);
  }
}

void cHTTPUpload::PulseTimer() {
  try {
    if (!timerPending_) return;
    timerPending_ = false;
    SendNextBlock();
  } catch (const std::exception& e) {
    Trap("PulseTimer", &e);
  } catch (...) {
    Trap("PulseTimer", nullptr);
  }
}

void cHTTPUpload::SendNextBlock() {
  // Past the content (the trailer is on its way) nothing more belongs to the body.
  if (!busy_ || stopSending_ || nextPosition_ > dataLength_) return;
  if (!memData_.empty()) {
    nextPosition_ += static_cast<int64_t>(memData_.size());
    wsk.SendData(BytesView(memData_));
    return;
  }
  Bytes chunk;
  if (GetChunkFromFile(chunk) && !chunk.empty()) {
    nextPosition_ += static_cast<int64_t>(chunk.size());
    wsk.SendData(BytesView(chunk));
  }
}

bool cHTTPUpload::GetChunkFromFile(Bytes& chunk) {
  chunk.clear();
  if (!file_.IsOpen()) return false;
  int64_t left = dataLength_ - nextPosition_ + 1;
  if (left <= 0) return false;
  size_t n = static_cast<size_t>(left < kBlockSize ? left : kBlockSize);
  chunk.resize(n);
  int64_t got = platform::fs::ReadAt(file_.fd(), chunk.data(), n, nextPosition_ - 1);
  if (got <= 0) {
    // Unreadable now: a body cut short cannot make a successful upload.
    ErrLog::Error(57, u"Device I/O error", kObj, "GetChunkFromFile", ErrLog::Kind::Function);
    chunk.clear();
    Fail(57, u"Device I/O error");
    return false;
  }
  chunk.resize(static_cast<size_t>(got));
  return true;
}

void cHTTPUpload::wsk_OnDataArrival() {
  try {
    if (!busy_) return;
    lastProgressMs_ = platform::HiResMs();
    TakeAnswerBytes();
  } catch (const std::exception& e) {
    Trap("wsk_OnDataArrival", &e);
  } catch (...) {
    Trap("wsk_OnDataArrival", nullptr);
  }
}

bool cHTTPUpload::TakeAnswerBytes() {
  auto alive = alive_;
  Bytes more;
  if (!wsk.GetData(more) || more.empty()) return busy_;
  answer_ += more;
  while (busy_ && headerLength_ == 0) {
    // Only the new bytes (and three before them) can complete the empty line.
    size_t end = answer_.find("\r\n\r\n", scanFrom_);
    if (end == Bytes::npos && answer_.size() <= kMaxAnswerHeaderBytes) {
      scanFrom_ = answer_.size() < 3 ? 0 : answer_.size() - 3;
      return true;
    }
    if (end == Bytes::npos || end + 4 > kMaxAnswerHeaderBytes) {
      Fail(10040, u"Invalid server response: header block too large");
      return false;
    }
    ParseAnswerHeader(end);
    if (!*alive) return false;
  }
  if (!busy_) return false;
  if (answer_.size() - headerLength_ > kMaxAnswerBodyBytes) {
    Fail(10040, u"Invalid server response: answer too large");
    return false;
  }
  // Only the new bytes are converted: a receiver sending tiny pieces costs no rescans.
  size_t pageEnd = headerLength_ + pageBytes_;
  responsePage_ += mStringTools::StrCodePageToUnicode(BytesView(answer_).substr(pageEnd), mStringTools::CP_WINDOWS_1252);
  pageBytes_ = answer_.size() - headerLength_;
  if (answerLength_ >= 0 && static_cast<int64_t>(answer_.size() - headerLength_) >= answerLength_) AnswerDone();
  return *alive && busy_;
}

void cHTTPUpload::ParseAnswerHeader(size_t end) {
  Text header = mStringTools::StrCodePageToUnicode(BytesView(answer_).substr(0, end), mStringTools::CP_WINDOWS_1252);
  Text status = header.substr(0, header.find(kCrLf));
  std::vector<Text> fields;
  size_t i = 0;
  while (i <= status.size()) {
    size_t sp = status.find(u' ', i);
    if (sp == Text::npos) sp = status.size();
    fields.push_back(status.substr(i, sp - i));
    i = sp + 1;
  }
  Text code = fields.size() >= 3 ? fields[1] : Text();
  // An interim answer ("100 Continue") is followed by the real one.
  if (code.size() == 3 && code[0] == u'1') {
    answer_.erase(0, end + 4);
    scanFrom_ = 0;
    return;
  }
  responseCode_ = code;
  headerLength_ = end + 4;
  answerLength_ = -1;
  size_t pos = 0;
  while ((pos = header.find(kCrLf, pos)) != Text::npos) {
    pos += 2;
    size_t colon = header.find(u':', pos);
    size_t eol = header.find(kCrLf, pos);
    if (colon == Text::npos || (eol != Text::npos && colon > eol)) continue;
    if (txt::EqualsNoCase(mStringTools::xTrim(TextView(header).substr(pos, colon - pos)), u"Content-Length")) {
      Text v = mStringTools::xTrim(TextView(header).substr(colon + 1, eol == Text::npos ? Text::npos : eol - colon - 1));
      if (!v.empty() && std::all_of(v.begin(), v.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; }))
        answerLength_ = txt::ToInt(v);
    }
  }
  if (!BodySent()) {
    // The receiver answered before taking the whole body: nothing more is sent, and the
    // transfer cannot have succeeded whatever the code says.
    stopSending_ = true;
    timerPending_ = false;
    EndTransfer();
  }
}

bool cHTTPUpload::BodySent() const {
  // The trailer was handed over and the socket holds nothing more to send, even when its
  // completion has not been reported yet.
  return trailerSent_ || (trailerQueued_ && wsk.BytesToSend() == 0);
}

// The answer is complete. A receiver that answered before reading everything resets the
// connection when it closes; a short grace for that reset decides, unless it closes first.
void cHTTPUpload::AnswerDone() {
  if (!busy_ || headerLength_ == 0 || graceTimer_) return;
  if (answerLength_ >= 0 && static_cast<int64_t>(answer_.size() - headerLength_) < answerLength_) return;
  if (!BodySent()) return;
  graceTimer_ = platform::StartTimer(kAnswerGraceMs, [this] {
    platform::StopTimer(graceTimer_);
    graceTimer_ = 0;
    EndTransfer();
  });
  if (!graceTimer_) EndTransfer();
}

void cHTTPUpload::Fail(long number, const Text& description) {
  if (!busy_) return;
  failed_ = true;
  responseCode_.clear();
  if (wsk.State() != SocketClosed) wsk.ForceClose();
  if (RaiseWhileAlive(alive_, TransfertError, number, description)) EndTransfer();
}

void cHTTPUpload::Watch() {
  if (watchdog_) platform::StopTimer(watchdog_);
  lastProgressMs_ = platform::HiResMs();
  int tick = static_cast<int>(std::clamp<long>(stallTimeoutMs_ / 10, 10, 1000));
  watchdog_ = platform::StartTimer(tick, [this] {
    if (!busy_) return;
    if (platform::HiResMs() - lastProgressMs_ >= static_cast<double>(stallTimeoutMs_))
      Fail(10060, u"Connection timed out.");
  });
}

void cHTTPUpload::wsk_OnClose() {
  try {
    if (busy_ && !TakeAnswerBytes()) return;
    // Without a Content-Length the receiver's close ends its answer.
    if (busy_ && headerLength_ > 0 && answerLength_ < 0) answerLength_ = static_cast<int64_t>(answer_.size() - headerLength_);
    EndTransfer();
  } catch (...) {
    Trap("wsk_OnClose", nullptr);
  }
}

void cHTTPUpload::wsk_OnError(int number, const Text& description) {
  try {
    Fail(number, description);
  } catch (...) {
    Trap("wsk_OnError", nullptr);
  }
}

void cHTTPUpload::Cancel() {
  try {
    if (!busy_) return;
    if (wsk.State() != SocketClosed) wsk.ForceClose();
    EndTransfer();
  } catch (...) {
    Trap("Cancel", nullptr);
  }
}

void cHTTPUpload::EndTransfer() {
  bool bodySent = BodySent();
  // Whatever the receiver still sends is of no use: the connection is dropped, not drained.
  if (wsk.State() != SocketClosed && wsk.State() != SocketError) wsk.ForceClose();
  CloseFile();
  timerPending_ = false;
  if (watchdog_) platform::StopTimer(watchdog_);
  if (graceTimer_) platform::StopTimer(graceTimer_);
  watchdog_ = graceTimer_ = 0;
  if (!busy_) return;  // one end per transfer
  busy_ = false;
  Text code = responseCode_;
  bool complete = headerLength_ > 0 && answerLength_ >= 0 &&
                  static_cast<int64_t>(answer_.size() - headerLength_) >= answerLength_;
  bool success = complete && bodySent && !failed_ && code.size() == 3 && code[0] == u'2';
  answer_.clear();
  answer_.shrink_to_fit();
  TransfertEnd.Raise(success, code);
}

void cHTTPUpload::CloseFile() {
  // Only read from: its close has nothing to report.
  file_ = {};
}
