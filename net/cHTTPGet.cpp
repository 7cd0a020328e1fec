#include "net/cHTTPGet.h"

#include <cerrno>
#include <cmath>
#include <ctime>

#include "AppInfo.h"
#include "platform/ErrLog.h"
#include "platform/FileSys.h"
#include "storage/mFileUtils.h"
#include "storage/mStringTools.h"

namespace {

const Text kCrLf = u"\r\n";
constexpr char16_t kInvalidResponse[] = u"Invalid server response";

// Header values and the request target never carry line breaks: no caller can inject
// header lines through them.
Text NoLineBreaks(TextView t) {
  Text out;
  out.reserve(t.size());
  for (char16_t c : t)
    if (c != u'\r' && c != u'\n') out.push_back(c);
  return out;
}

Text TrimBlanks(TextView t) {
  size_t b = 0, e = t.size();
  while (b < e && (t[b] == u' ' || t[b] == u'\t')) ++b;
  while (e > b && (t[e - 1] == u' ' || t[e - 1] == u'\t')) --e;
  return Text(t.substr(b, e - b));
}

Text Ansi(const Bytes& b) { return mStringTools::StrCodePageToUnicode(b, mStringTools::CP_WINDOWS_1252); }
Bytes ToAnsi(TextView t) { return mStringTools::StrUnicodeToCodePage(t, mStringTools::CP_WINDOWS_1252); }

Text Base64Of(TextView t) { return txt::FromBytes(mStringTools::Base64_EncodeData(ToAnsi(t))); }

size_t FindNoCase(TextView hay, TextView needle, size_t from = 0) {
  if (needle.empty() || hay.size() < needle.size()) return TextView::npos;
  Text h = txt::LCase(hay), n = txt::LCase(needle);
  return h.find(n, from);
}

}  // namespace

cHTTPGet::cHTTPGet() {
  userAgent_ = Text(u"Mozilla/3.0 (") + KSV_TITLE + u" v" + KSV_VERSION_TEXT + u")";
  wskLinks_.push_back(wsk_.OnConnect.Subscribe([this]() { SendRequest(); }));
  wskLinks_.push_back(wsk_.OnDataArrival.Subscribe([this](long) { ArrivalHandler(); }));
  wskLinks_.push_back(wsk_.OnClose.Subscribe([this]() {
    // A connection that ends before a complete header block is a failed transfer, not a
    // silent one.
    if (!finished_ && (status_ == TransferStatus::Requesting || status_ == TransferStatus::Connecting))
      Fail(TransferStatus::Failed, 0, kInvalidResponse);
    else
      FinishTransfer();
  }));
  wskLinks_.push_back(wsk_.OnError.Subscribe(
      [this](int number, const Text& description, long, const Text&, const Text&, long, bool&) {
        OnSocketError(number, description);
      }));
  wskLinks_.push_back(wsk_.DataAvailable.Subscribe([this]() {
    if (!timerData_ || !timerData_->Enabled()) wsk_.ReadAvailableData();
  }));
}

cHTTPGet::~cHTTPGet() {
  *alive_ = false;
  timerLink_.Disconnect();
  timerData_.reset();
  wskLinks_.clear();
  DropFile();
}

// --- settings ----------------------------------------------------------------------------

void cHTTPGet::MaxDownloadBytesPerSec(long bytesPerSec) {
  if (bytesPerSec < 0) bytesPerSec = 0;
  maxBytesPerSec_ = bytesPerSec;
  timerLink_.Disconnect();
  timerData_.reset();
  if (bytesPerSec < 1) {
    wsk_.DataAvailableMode(false);
    return;
  }
  wsk_.DataAvailableMode(true);
  timerData_ = std::make_unique<cTimer>();
  timerLink_ = timerData_->Timer.Subscribe([this]() {
    if (wsk_.State() != SocketConnected) {
      if (timerData_) timerData_->Enabled(false);
    } else {
      wsk_.ReadAvailableData();
    }
  });
}

long cHTTPGet::ThrottleIntervalMs() const {
  return timerData_ && timerData_->Enabled() ? timerData_->Interval() : 0;
}

void cHTTPGet::RemoveRequestHeader(TextView pattern) {
  for (size_t i = requestHeaders_.size(); i-- > 0;)
    if (LikeMatch(requestHeaders_[i], pattern)) requestHeaders_.erase(requestHeaders_.begin() + static_cast<long>(i));
}

void cHTTPGet::SetRequestHeader(TextView line) {
  if (mStringTools::xTrim(line).empty()) return;
  requestHeaders_.emplace_back(line);
}

void cHTTPGet::ClearForm() {
  formNames_.clear();
  formValues_.clear();
}

void cHTTPGet::AddFormValue(TextView name, TextView value) {
  formNames_.emplace_back(name);
  formValues_.emplace_back(value);
}

void cHTTPGet::RemoveFormValue(TextView name) {
  for (size_t i = 0; i < formNames_.size(); ++i)
    if (formNames_[i] == name) {
      formNames_.erase(formNames_.begin() + static_cast<long>(i));
      formValues_.erase(formValues_.begin() + static_cast<long>(i));
      return;
    }
}

Text cHTTPGet::BuildFormBody() const {
  Text body;
  for (size_t i = 0; i < formNames_.size(); ++i) {
    body += u"&";
    body += formNames_[i];
    body += u"=";
    body += URLEncode(formValues_[i]);
  }
  if (!body.empty()) body.erase(0, 1);
  return body;
}

Text cHTTPGet::URLEncode(TextView text) {
  static const TextView keep =
      u"$-_.!*'(),0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  static const char16_t* hex = u"0123456789ABCDEF";
  Text out;
  for (char16_t c : text) {
    if (keep.find(c) != TextView::npos) {
      out.push_back(c);
      continue;
    }
    Bytes b = ToAnsi(TextView(&c, 1));
    unsigned char v = b.empty() ? '?' : static_cast<unsigned char>(b[0]);
    out.push_back(u'%');
    out.push_back(hex[v >> 4]);
    out.push_back(hex[v & 15]);
  }
  return out;
}

bool cHTTPGet::LikeMatch(TextView text, TextView pattern) {
  // Iterative wildcard match with one backtrack point for the last '*'.
  size_t t = 0, p = 0, starP = TextView::npos, starT = 0;
  auto matchOne = [&](size_t& pi, char16_t c) -> bool {
    char16_t pc = pattern[pi];
    if (pc == u'?') {
      ++pi;
      return true;
    }
    if (pc == u'#') {
      ++pi;
      return c >= u'0' && c <= u'9';
    }
    if (pc == u'[') {
      size_t close = pattern.find(u']', pi + 1);
      if (close == TextView::npos) {  // a lone '[' stands for itself
        ++pi;
        return c == u'[';
      }
      size_t i = pi + 1;
      bool negate = i < close && pattern[i] == u'!';
      if (negate) ++i;
      bool found = false;
      for (; i < close; ++i) {
        if (i + 2 < close && pattern[i + 1] == u'-') {
          if (c >= pattern[i] && c <= pattern[i + 2]) found = true;
          i += 2;
        } else if (pattern[i] == c) {
          found = true;
        }
      }
      pi = close + 1;
      return found != negate;
    }
    ++pi;
    return pc == c;
  };
  while (t < text.size()) {
    if (p < pattern.size() && pattern[p] == u'*') {
      starP = ++p;
      starT = t;
      continue;
    }
    size_t p2 = p;
    if (p < pattern.size() && matchOne(p2, text[t])) {
      p = p2;
      ++t;
      continue;
    }
    if (starP == TextView::npos) return false;
    p = starP;
    t = ++starT;
  }
  while (p < pattern.size() && pattern[p] == u'*') ++p;
  return p == pattern.size();
}

// --- response header ---------------------------------------------------------------------

Text cHTTPGet::ResponseCode() const {
  return responseHeader_.size() > 9 ? responseHeader_.substr(9, 3) : Text();
}

Text cHTTPGet::ResponseMessage() const {
  size_t eol = responseHeader_.find(kCrLf);
  Text first = responseHeader_.substr(0, eol);
  return first.size() > 13 ? first.substr(13) : Text();
}

Text cHTTPGet::GetHeaderField(TextView name) const {
  if (name.empty()) return Text();
  Text key = kCrLf + Text(name) + u": ";
  size_t p = FindNoCase(responseHeader_, key);
  if (p == Text::npos) return Text();
  p += key.size();
  size_t e = responseHeader_.find(kCrLf, p);
  return responseHeader_.substr(p, e == Text::npos ? Text::npos : e - p);
}

Text cHTTPGet::ResponseHeaderField(TextView name) const { return TrimBlanks(GetHeaderField(name)); }

std::vector<Text> cHTTPGet::GetResponseCookies() const {
  std::vector<Text> out;
  std::vector<Text> lines = txt::Split(responseHeader_, kCrLf);
  for (size_t i = 1; i < lines.size(); ++i) {
    const Text& l = lines[i];
    if (l.size() < 11 || !txt::EqualsNoCase(TextView(l).substr(0, 11), u"Set-Cookie:")) continue;
    for (const Text& piece : txt::Split(mStringTools::xTrim(TextView(l).substr(11)), u",")) {
      Text first = mStringTools::xTrim(txt::Split(piece, u";")[0]);
      if (first.find(u'=') != Text::npos) out.push_back(first);
    }
  }
  return out;
}

void cHTTPGet::RemoveResponseHeader(TextView pattern) {
  std::vector<Text> kept;
  for (Text& l : txt::Split(responseHeader_, kCrLf))
    if (!LikeMatch(l, pattern)) kept.push_back(std::move(l));
  Text joined;
  for (size_t i = 0; i < kept.size(); ++i) {
    if (i) joined += kCrLf;
    joined += kept[i];
  }
  responseHeader_ = joined;
}

VbDate cHTTPGet::GetDateTime(TextView text) {
  VbDate fallback = vbdate::Now();
  size_t comma = text.find(u',');
  TextView rest = comma == TextView::npos ? text : text.substr(comma + 1);
  std::vector<Text> tok;
  for (Text& t : txt::Split(rest, u" "))
    if (!mStringTools::xTrim(t).empty()) tok.push_back(mStringTools::xTrim(t));
  if (tok.size() < 3) return fallback;
  auto allDigits = [](TextView t) {
    if (t.empty()) return false;
    for (char16_t c : t)
      if (c < u'0' || c > u'9') return false;
    return true;
  };
  if (!allDigits(tok[0]) || !allDigits(tok[2]) || tok[1].size() != 3) return fallback;
  int day = static_cast<int>(txt::ToInt(tok[0]));
  size_t mpos = FindNoCase(u"  JanFebMarAprMayJunJulAugSepOctNovDec", tok[1]);
  if (mpos == Text::npos || (mpos + 1) % 3 != 0) return fallback;
  int month = static_cast<int>((mpos + 1) / 3);
  int year = static_cast<int>(txt::ToInt(tok[2]));
  if (tok[2].size() <= 2) year += year < 50 ? 2000 : 1900;
  if (day < 1 || day > 31 || year < 1601 || year > 9999) return fallback;
  int hh = 0, mm = 0, ss = 0;
  if (tok.size() > 3) {
    std::vector<Text> hms = txt::Split(tok[3], u":");
    if (hms.size() < 2 || hms.size() > 3) return fallback;
    for (auto& h : hms)
      if (!allDigits(h)) return fallback;
    hh = static_cast<int>(txt::ToInt(hms[0]));
    mm = static_cast<int>(txt::ToInt(hms[1]));
    ss = hms.size() > 2 ? static_cast<int>(txt::ToInt(hms[2])) : 0;
    if (hh > 23 || mm > 59 || ss > 60) return fallback;
  }
  long offset = 0;
  if (tok.size() > 4) {
    Text z = txt::UCase(tok[4]);
    static const std::pair<const char16_t*, long> zones[] = {
        {u"UT", 0},      {u"GMT", 0},     {u"Z", 0},       {u"EST", -300}, {u"EDT", -240},
        {u"CST", -360},  {u"CDT", -300},  {u"MST", -420},  {u"MDT", -360}, {u"PST", -480},
        {u"PDT", -420},  {u"N", 60},      {u"M", -720},    {u"Y", 720}};
    bool known = false;
    for (auto& [name, off] : zones)
      if (z == name) {
        offset = off;
        known = true;
      }
    if (!known && z.size() == 5 && (z[0] == u'+' || z[0] == u'-') && allDigits(TextView(z).substr(1))) {
      long h = txt::ToInt(TextView(z).substr(1, 2)), m = txt::ToInt(TextView(z).substr(3, 2));
      offset = (z[0] == u'-' ? -1 : 1) * (h * 60 + m);
    }
  }
  VbDate utc = vbdate::FromParts(year, month, day, hh, mm, ss) - offset / 1440.0;
  time_t now = time(nullptr);
  double localMinusUtc = vbdate::FromUnix(now, true) - vbdate::FromUnix(now, false);
  long diffMin = std::lround(localMinusUtc * 1440.0);
  return utc + diffMin / 1440.0;
}

long cHTTPGet::ThrottleWaitMs(double elapsedSec, double receivedBytes, long bytesPerSec) {
  if (bytesPerSec < 1) return 1;
  double allowed = std::round(elapsedSec * bytesPerSec);
  long wait = 1;
  if (receivedBytes > allowed) wait = std::lround(1000.0 * (receivedBytes - allowed) / bytesPerSec);
  return wait < 1 ? 1 : wait;
}

// --- the transfer ------------------------------------------------------------------------

bool cHTTPGet::GetFile(TextView location, TextView localPath, TextView username, TextView password,
                       std::optional<bool> continueMode, std::optional<long> continuePos) {
  try {
    if (wsk_.State() != SocketClosed) wsk_.closesocket();
    if (!username.empty()) username_ = Text(username);
    if (!password.empty()) password_ = Text(password);
    if (!location.empty()) location_ = Text(location);
    if (!localPath.empty()) localPath_ = Text(localPath);
    if (continueMode) continueMode_ = *continueMode;
    if (continuePos) continuePos_ = *continuePos;

    Text lower = txt::LCase(TextView(location_).substr(0, 8));
    Text rest;
    long port;
    if (lower.size() >= 8 && lower.substr(0, 8) == u"https://") {
      port = 443;
      rest = location_.substr(8);
    } else if (lower.size() >= 7 && lower.substr(0, 7) == u"http://") {
      port = 80;
      rest = location_.substr(7);
    } else {
      lastErrorNumber_ = 500;
      lastErrorMessage_ = u"Invalid URL";
      return false;
    }
    size_t slash = rest.find(u'/');
    Text authority = rest.substr(0, slash);
    currentRessource_ = slash == Text::npos ? Text(u"/") : rest.substr(slash);
    size_t at = authority.find(u'@');
    if (at != Text::npos) {
      Text user = authority.substr(0, at);
      authority.erase(0, at + 1);
      size_t colon = user.find(u':');
      Text u = user.substr(0, colon);
      Text p = colon == Text::npos ? Text() : user.substr(colon + 1);
      if (!u.empty()) username_ = u;
      if (!p.empty()) password_ = p;
    }
    size_t colon = authority.find(u':');
    if (colon != Text::npos) {
      port = static_cast<long>(txt::ToInt(TextView(authority).substr(colon + 1)));
      authority.erase(colon);
    }
    originHost_ = authority;
    originPort_ = port;

    DropFile();
    receivedBytes_ = 0;
    throttleStart_ = 0;
    contentLength_ = 0;
    skipFirstByte_ = false;
    busy_ = true;
    status_ = TransferStatus::Connecting;
    return OpenConnection();
  } catch (...) {
    ErrLog::Exception("cHTTPGet.GetFile", "unexpected failure");
    busy_ = false;
    return false;
  }
}

bool cHTTPGet::OpenConnection() {
  Text host = originHost_;
  long port = originPort_;
  if (!proxyHost_.empty() && proxyPort_ != 0) {
    host = proxyHost_;
    port = proxyPort_;
  }
  if (port == 0) port = 80;
  wsk_.closesocket();
  wsk_.bind(0, localIP_);
  // A throttled transfer keeps a small window, so the server cannot run far ahead of the
  // allowance and each read stays a small part of a second's worth.
  if (maxBytesPerSec_ >= 1) {
    long want = maxBytesPerSec_ / 16;
    wsk_.RecvBufferLen(want < 2048 ? 2048 : want);
  }
  status_ = TransferStatus::Connecting;
  wsk_.RemoteHost(host);
  wsk_.RemotePort(port);
  finished_ = false;
  if (!wsk_.connect()) {
    // Nothing will follow a connect that did not start: report it now.
    Fail(TransferStatus::Failed, wsk_.LastErrorNumber(), wsk_.LastErrorDescription());
    busy_ = false;
  }
  return true;
}

void cHTTPGet::SendRequest() {
  bool proxied = !proxyHost_.empty() && proxyPort_ >= 1;
  Text target = NoLineBreaks(proxied ? location_ : currentRessource_);
  Text req;
  auto line = [&req](TextView l) {
    req += NoLineBreaks(l);
    req += kCrLf;
  };
  Text body;
  if (postMode_) {
    body = BuildFormBody();
    line(u"POST " + target + u" HTTP/1.0");
    line(u"Content-Type: application/x-www-form-urlencoded");
    line(u"Content-Length: " + txt::FromInt(static_cast<long long>(body.size())));
  } else if (!continueMode_) {
    line(u"GET " + target + u" HTTP/1.0");
  } else if (continuePos_ == -1) {
    double size = 0;
    if (!localPath_.empty() && mFileUtils::FileExists(localPath_, &size) && size > 0) {
      line(u"GET " + target + u" HTTP/1.1");
      line(u"Range: bytes=" + txt::FromInt(static_cast<long long>(size) - 1) + u"-");
    } else {
      continueMode_ = false;
      line(u"GET " + target + u" HTTP/1.0");
    }
  } else {
    line(u"GET " + target + u" HTTP/1.1");
    line(u"Range: bytes=" + txt::FromInt(continuePos_) + u"-");
  }
  if (!userAgent_.empty()) line(u"User-Agent: " + userAgent_);
  line(u"Host: " + originHost_);
  if (!username_.empty() || !password_.empty())
    line(u"Authorization: Basic " + Base64Of(username_ + u":" + password_));
  if (proxied && !proxyUser_.empty())
    line(u"Proxy-Authorization: Basic " + Base64Of(proxyUser_ + u":" + proxyPassword_));
  line(u"Connection: close");
  for (const Text& h : requestHeaders_) line(h);
  req += kCrLf;
  if (postMode_) req += body;
  status_ = TransferStatus::Requesting;
  responseHeader_.clear();
  wsk_.SendData(TextView(req));
}

void cHTTPGet::ArrivalHandler() {
  if (processing_) {
    pending_ = true;
    return;
  }
  processing_ = true;
  do {
    pending_ = false;
    if (!ArrivalPass()) return;
  } while (pending_);
  processing_ = false;
  ThrottleStep();
}

// One pass; false when the object went away under an event handler.
bool cHTTPGet::ArrivalPass() {
  if (finished_) return true;
  if (responseHeader_.empty()) return HandleHeaderBlock();
  if (status_ != TransferStatus::Receiving || wsk_.BytesReceived() <= 0) return true;
  Bytes chunk;
  if (!wsk_.GetData(chunk)) return true;
  // Bytes past the announced length belong to no answer.
  if (contentLength_ > 0 && receivedBytes_ + static_cast<long>(chunk.size()) > contentLength_)
    chunk.resize(static_cast<size_t>(contentLength_ - receivedBytes_));
  receivedBytes_ += static_cast<long>(chunk.size());
  if (!localPath_.empty()) {
    bool ok;
    if (skipFirstByte_) {
      skipFirstByte_ = false;
      ok = AppendToFile(chunk.substr(1));
    } else {
      ok = AppendToFile(chunk);
    }
    if (!ok) {
      if (!RaiseWhileAlive(alive_, InternalError, lastErrorNumber_, lastErrorMessage_)) return false;
      return Fail(TransferStatus::Failed, lastErrorNumber_, lastErrorMessage_);
    }
  }
  if (!RaiseWhileAlive(alive_, DataArrival, receivedBytes_, contentLength_, chunk)) return false;
  // The whole announced body is here: done, even if the server keeps the connection open.
  if (contentLength_ > 0 && receivedBytes_ >= contentLength_ && !finished_) return FinishTransfer();
  return true;
}

bool cHTTPGet::HandleHeaderBlock() {
  Bytes peek;
  if (!wsk_.PeekData(peek)) return true;
  size_t end = peek.find("\r\n\r\n");
  if (end == Bytes::npos && peek.size() <= kMaxHeaderBytes) return true;
  // A header block without end would grow without bound.
  if (end == Bytes::npos || end + 4 > kMaxHeaderBytes) return Fail(TransferStatus::Failed, 0, kInvalidResponse);
  Bytes head;
  wsk_.GetData(head, static_cast<long>(end + 4));
  responseHeader_ = Ansi(head.substr(0, end));
  Text status = responseHeader_.substr(0, responseHeader_.find(kCrLf));
  size_t blank = status.find(u' ');
  if (blank == Text::npos) return Fail(TransferStatus::Failed, 0, kInvalidResponse);
  Text code = status.substr(blank + 1, 3);
  if (code == u"301" || code == u"302") return OnRedirect();
  if (code == u"200" || code == u"206") return OnBodyFollows(code == u"206");
  if (code == u"401") return HandleAuth();
  return OnHttpError(code, blank + 5 <= status.size() ? TextView(status).substr(blank + 5) : TextView());
}

bool cHTTPGet::OnRedirect() {
  auto alive = alive_;
  status_ = TransferStatus::Moved;
  if (!FinishTransfer()) return false;
  status_ = TransferStatus::Receiving;
  Text where = ResponseHeaderField(u"Location");
  bool follow = false;
  if (!RaiseWhileAlive(alive_, Redirected, where, follow)) return false;
  // A failed start of the next transfer ends it at once, under handlers that may destroy this.
  if (follow) GetFile(where, localPath_, u"", u"", continueMode_, -1L);
  return *alive;
}

// 200 or 206: the body follows the header block.
bool cHTTPGet::OnBodyFollows(bool partial) {
  status_ = TransferStatus::Receiving;
  contentLength_ = static_cast<long>(txt::ToInt(GetHeaderField(u"Content-Length")));
  if (partial) {
    if (contentLength_ == 1) {
      // The local file already holds everything: the one byte asked for is its last.
      receivedBytes_ = 1;
      return FinishTransfer();
    }
    skipFirstByte_ = true;
    Text range = GetHeaderField(u"Content-Range");
    size_t sp = range.find(u' ');
    if (sp != Text::npos) range.erase(0, sp + 1);
    double start = static_cast<double>(txt::ToInt(range.substr(0, range.find(u'-'))));
    size_t slash = range.find(u'/');
    fileSize_ = slash == Text::npos ? 0 : static_cast<double>(txt::ToInt(range.substr(slash + 1)));
    if (!RaiseWhileAlive(alive_, FileTransfertRestart, start, fileSize_)) return false;
  } else {
    fileSize_ = contentLength_;
    if (!localPath_.empty() && mFileUtils::FileExists(localPath_)) {
      DropFile();
      if (!platform::fs::Remove(mFileUtils::NativePath(localPath_)))
        return Fail(TransferStatus::FileError, errno, u"Can't delete the local file");
    }
    if (!RaiseWhileAlive(alive_, FileTransfertStart)) return false;
    // An announced empty body is complete already.
    if (contentLength_ == 0 && !GetHeaderField(u"Content-Length").empty()) return FinishTransfer();
  }
  if (wsk_.BytesReceived() > 0) pending_ = true;
  return true;
}

bool cHTTPGet::OnHttpError(TextView code, TextView reason) {
  // Set before the event, so its handlers read this answer's number, not an earlier one.
  lastErrorNumber_ = static_cast<long>(txt::ToInt(code));
  lastErrorMessage_ = Text(reason);
  Text message = lastErrorMessage_;
  if (!RaiseWhileAlive(alive_, HttpError, lastErrorNumber_, message)) return false;
  return Fail(TransferStatus::Failed, lastErrorNumber_, message);
}

bool cHTTPGet::HandleAuth() {
  const Text denied = u"Access denied";
  if (!Fail(TransferStatus::AuthRequired, 401, denied)) return false;
  Text realm;
  const Text key = u"WWW-Authenticate: Basic realm=";
  size_t p = FindNoCase(responseHeader_, key);
  if (p != Text::npos) {
    p += key.size();
    size_t e = responseHeader_.find(kCrLf, p);
    realm = responseHeader_.substr(p, e == Text::npos ? Text::npos : e - p);
    if (!realm.empty() && realm.front() == u'"') realm.erase(0, 1);
    if (!realm.empty() && realm.back() == u'"') realm.pop_back();
  }
  auto refuse = [&] {
    authAttempts_ = 0;
    if (!RaiseWhileAlive(alive_, HttpError, 401L, denied)) return false;
    finished_ = false;
    return Fail(TransferStatus::Failed, 401, denied);
  };
  if (authAttempts_ >= 3) return refuse();
  Text user = username_, pass = password_;
  bool retry = false;
  if (!RaiseWhileAlive(alive_, LoginRequired, user, pass, realm, retry)) return false;
  if (!retry || (user == username_ && pass == password_)) return refuse();
  username_ = user;
  password_ = pass;
  ++authAttempts_;
  wsk_.closesocket();
  finished_ = false;
  busy_ = true;
  // A connect that fails at once ends the transfer under handlers that may destroy this.
  auto alive = alive_;
  OpenConnection();
  return *alive;
}

void cHTTPGet::ThrottleStep() {
  if (maxBytesPerSec_ < 1 || !timerData_ || finished_) return;
  double now = wsk_.PerformanceCounterMS() / 1000.0;
  long wait = 1;
  if (throttleStart_ == 0) throttleStart_ = now > 0 ? now : 1e-6;
  else wait = ThrottleWaitMs(now - throttleStart_, receivedBytes_, maxBytesPerSec_);
  if (timerData_->Interval() != wait || !timerData_->Enabled()) {
    timerData_->Enabled(false);
    timerData_->Interval(wait);
    timerData_->Enabled(true);
  }
}

bool cHTTPGet::FinishTransfer() {
  if (timerData_) timerData_->Enabled(false);
  if (finished_) return true;
  finished_ = true;
  if (!CloseFile() && status_ == TransferStatus::Receiving) {
    // Its last writes may be lost: not a finished download.
    lastErrorNumber_ = errno;
    lastErrorMessage_ = u"Can't write the local file";
    status_ = TransferStatus::Failed;
  }
  wsk_.closesocket();
  // Do not wait for the server's close: whatever it still sends is of no use, and a
  // server that keeps sending must not fill memory.
  if (wsk_.State() == SocketClosing) wsk_.closesocket();
  busy_ = false;
  bool success = status_ == TransferStatus::Receiving && (contentLength_ == 0 || contentLength_ == receivedBytes_);
  if (success && !localPath_.empty()) {
    Text lm = GetHeaderField(u"Last-Modified");
    if (!lm.empty() &&
        !platform::fs::SetMTime(mFileUtils::NativePath(localPath_), vbdate::ToUnixLocal(GetDateTime(lm))))
      ErrLog::Line(u"File time not set: " + localPath_);
  }
  switch (status_) {
    case TransferStatus::Cancelled: return RaiseWhileAlive(alive_, FileTransfertCancel);
    case TransferStatus::Receiving: return RaiseWhileAlive(alive_, FileTransfertEnd, success);
    case TransferStatus::Failed: return RaiseWhileAlive(alive_, FileTransfertEnd, false);
    default: return true;
  }
}

bool cHTTPGet::Fail(TransferStatus status, long number, TextView message) {
  status_ = status;
  lastErrorNumber_ = number;
  lastErrorMessage_ = Text(message);
  return FinishTransfer();
}

void cHTTPGet::CancelTransfert(long number, TextView message) {
  if (!Fail(TransferStatus::Cancelled, number, message)) return;
  wsk_.ForceClose();
  busy_ = false;
}

void cHTTPGet::OnSocketError(long number, const Text& description) {
  if (Fail(TransferStatus::Failed, number, description)) busy_ = false;
}

bool cHTTPGet::AppendToFile(const Bytes& chunk) {
  namespace fs = platform::fs;
  if (!file_.IsOpen()) {
    file_ = fs::File::ForWrite(mFileUtils::NativePath(localPath_), false);
    if (!file_.IsOpen() || !fs::SeekEnd(file_.fd())) {
      lastErrorNumber_ = errno;
      lastErrorMessage_ = u"Can't open the local file";
      DropFile();
      return false;
    }
  }
  if (chunk.empty()) return true;
  if (fs::WriteAll(file_.fd(), chunk.data(), chunk.size()) != static_cast<int64_t>(chunk.size())) {
    lastErrorNumber_ = errno;
    lastErrorMessage_ = u"Can't write the local file";
    return false;
  }
  return true;
}

