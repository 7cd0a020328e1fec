#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "AppInfo.h"
#include "net/cHTTPUpload.h"
#include "platform/EventLoop.h"
#include "platform/ProcessTools.h"
#include "storage/VbDate.h"
#include "tests/common/TestUtil.h"
#include "tests/net/PyHttpServer.h"

namespace {

using nettest::UploadServer;
using testutil::Contains;

Text T(const std::string& s) { return txt::FromUtf8(s); }

// Records an uploader's events.
struct Watch {
  explicit Watch(cHTTPUpload& u) {
    c.push_back(u.TransfertStart.Subscribe([this] { ++starts; }));
    c.push_back(u.TransfertProgress.Subscribe([this](long next, long len) {
      progress.push_back(next);
      length = len;
    }));
    c.push_back(u.TransfertEnd.Subscribe([this](bool ok, const Text& code) {
      ++ends;
      success = ok;
      endCode = code;
    }));
    c.push_back(u.TransfertError.Subscribe([this](long n, const Text&) { errors.push_back(n); }));
  }
  bool WaitEnd(int ms = 15000) {
    return platform::WaitUntil([this] { return ends > 0; }, ms);
  }
  int starts = 0, ends = 0;
  bool success = false;
  Text endCode;
  std::vector<long> progress;
  std::vector<long> errors;
  long length = -1;
  std::vector<Connection> c;
};

std::string RandomBytes(size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::string s(n, '\0');
  for (auto& ch : s) ch = static_cast<char>(rng() & 0xFF);
  // boundary-like and line-break sequences inside the content must not confuse anyone
  const std::string tricky = "\r\n--\r\n----KESTROVA_UPLOADER--";
  if (n > 64) s.replace(10, tricky.size(), tricky);
  return s;
}

std::string Sha256(const std::string& path) {
  std::string cmd = "sha256sum \"" + path + "\"";
  std::string out;
  if (FILE* f = ::popen(cmd.c_str(), "r")) {
    char buf[128];
    while (fgets(buf, sizeof buf, f)) out += buf;
    ::pclose(f);
  }
  return out.substr(0, 64);
}

TEST(Upload, FileReachesAMultipartParserWithNameCredentialsAndHeaders) {
  testutil::TempDir d;
  std::string file = d.file("KSVLangPack_fr_2024.7z");
  testutil::WriteAll(file, RandomBytes(3 * 4096 + 123, 7));
  ASSERT_EQ(::chmod(file.c_str(), 0644), 0);
  UploadServer srv({"--expect-filename", "KSVLangPack_fr_2024.7z", "--expect-user", "ana@example.org",
                "--expect-password", "T-42", "--expect-header", "x-lng-id: fr"});
  ASSERT_TRUE(srv.ready());

  cHTTPUpload up;
  Watch w(up);
  up.RequestHeaders.push_back(u"x-lng-id: fr");
  up.Username(u"ana@example.org");
  up.Password(u"T-42");
  ASSERT_TRUE(up.SendFile(T(file), T(srv.url()), u"", u"", u"", u"", u"file"));
  EXPECT_TRUE(up.Busy());
  ASSERT_TRUE(w.WaitEnd());
  EXPECT_TRUE(w.success) << txt::ToUtf8(up.ResponsePage());
  EXPECT_TEXT_EQ(w.endCode, Text(u"200"));
  EXPECT_TEXT_EQ(up.ResponsePage(), Text(u"OK thanks"));
  EXPECT_FALSE(up.Busy());
  EXPECT_EQ(w.starts, 1);
  EXPECT_EQ(w.ends, 1);
  EXPECT_TRUE(w.errors.empty());

  std::string report = srv.Report();
  EXPECT_TRUE(Contains(report, "\"problems\": []")) << report;
  EXPECT_TRUE(Contains(report, "\"data_sha256\": \"" + Sha256(file) + "\"")) << report;
  // Last-Modified is the file's time in GMT
  struct stat st {};
  ::stat(file.c_str(), &st);
  char expect[64];
  std::tm g{};
  gmtime_r(&st.st_mtime, &g);
  std::strftime(expect, sizeof expect, "%a, %d %b %Y %H:%M:%S GMT", &g);
  EXPECT_TRUE(Contains(report, std::string("\"last_modified\": \"") + expect + "\"")) << report;
}

TEST(Upload, MemoryDataIsSentOnceWithoutLastModified) {
  UploadServer srv({"--expect-filename", "notes.txt"});
  ASSERT_TRUE(srv.ready());
  std::string data = RandomBytes(10000, 3);
  cHTTPUpload up;
  Watch w(up);
  // the file does not need to exist when the data is given
  ASSERT_TRUE(up.SendFile(u"C:\\somewhere/else\\notes.txt", T(srv.url()), u"", u"", u"", u"", u"file", data));
  ASSERT_TRUE(w.WaitEnd());
  EXPECT_TRUE(w.success);
  std::string report = srv.Report();
  EXPECT_TRUE(Contains(report, "\"problems\": []")) << report;
  EXPECT_TRUE(Contains(report, "\"data_length\": 10000")) << report;
  EXPECT_TRUE(Contains(report, "\"last_modified\": null")) << report;
  // header sent, then the whole data in one block, then the trailer
  EXPECT_EQ(w.progress, (std::vector<long>{1, 10001}));

  // an empty file still makes a well-formed body
  testutil::TempDir d;
  testutil::WriteAll(d.file("notes.txt"), "");
  cHTTPUpload empty;
  Watch we(empty);
  ASSERT_TRUE(empty.SendFile(d.tfile("notes.txt"), T(srv.url())));
  ASSERT_TRUE(we.WaitEnd());
  EXPECT_TRUE(we.success);
  EXPECT_TRUE(Contains(srv.Report(), "\"problems\": []")) << srv.Report();
  EXPECT_TRUE(Contains(srv.Report(), "\"data_length\": 0")) << srv.Report();
}

struct Request {
  std::string head, body;
  std::vector<std::string> lines;
};
Request SplitRequest(const std::string& raw) {
  Request r;
  size_t end = raw.find("\r\n\r\n");
  r.head = raw.substr(0, end);
  r.body = end == std::string::npos ? std::string() : raw.substr(end + 4);
  std::stringstream ss(r.head);
  std::string line;
  while (std::getline(ss, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    r.lines.push_back(line);
  }
  return r;
}

TEST(Upload, RequestHeaderAndBodyBytesViaProxy) {
  nettest::ScriptServer srv;
  srv.Add({{nettest::Reply("HTTP/1.0 200 OK", {}, "OK fine")}});
  testutil::TempDir d;
  std::string content = RandomBytes(4097, 11);
  testutil::WriteAll(d.file("pack.7z"), content);

  cHTTPUpload up;
  Watch w(up);
  up.ProxyHost(u"127.0.0.1");
  up.ProxyPort(srv.port());
  up.RequestHeaders = {u"x-lng-id: de", u"X-Second: 2", u"X-Bad: a\r\nInjected: 1"};
  ASSERT_TRUE(up.SendFile(d.tfile("pack.7z"), u"HTTP://www.kestrova.invalid/translation/", u"me", u"pw", u"puser",
                          u"ppass", u"file"));
  ASSERT_TRUE(w.WaitEnd());
  EXPECT_TRUE(w.success);
  EXPECT_TEXT_EQ(up.ResponsePage(), Text(u"OK fine"));
  EXPECT_EQ(w.progress, (std::vector<long>{1, 4097, 4098}));
  EXPECT_EQ(w.length, 4097);

  Request r = SplitRequest(srv.Request(0));
  ASSERT_GE(r.lines.size(), 10u);
  std::string boundary = r.lines[1].substr(r.lines[1].find("boundary=") + 9);
  std::vector<std::string> expected = {
      "POST HTTP://www.kestrova.invalid/translation/ HTTP/1.0",
      "Content-Type: multipart/form-data; boundary=" + boundary,
      "User-Agent: Mozilla/4.0 (compatible; Kestrova Lang Editor v" + std::to_string(KSV_VERSION_MAJOR) + "." +
          std::to_string(KSV_VERSION_MINOR) + "." + std::to_string(KSV_VERSION_REVISION) + ")",
      "Host: www.kestrova.invalid",
      "Authorization: Basic bWU6cHc=",
      "Proxy-Authorization: Basic cHVzZXI6cHBhc3M=",
      "Content-Length: " + std::to_string(r.body.size()),
      "Pragma: no-cache",
      "x-lng-id: de",
      "X-Second: 2",
  };
  EXPECT_EQ(r.lines, expected);
  EXPECT_EQ(boundary.rfind("----KESTROVA_UPLOADER----", 0), 0u);

  std::string partStart = "--" + boundary + "\r\nContent-Disposition: form-data; name=\"file\"; filename=\"pack.7z\"\r\n" +
                          "Content-Type: application/octet-stream\r\nLast-Modified: ";
  EXPECT_EQ(r.body.substr(0, partStart.size()), partStart);
  std::string tail = "\r\n\r\n" + content + "\r\n--" + boundary + "--\r\n";
  ASSERT_GT(r.body.size(), tail.size());
  EXPECT_TRUE(r.body.compare(r.body.size() - tail.size(), tail.size(), tail) == 0);
}

TEST(Upload, StatusLineWithTooFewFieldsIsNoSuccess) {
  struct Case {
    const char* status;
    const char* code;
    bool success;
  };
  const Case cases[] = {
      {"HTTP/1.0 200", "", false},
      {"HTTP/1.1 200 OK", "200", true},
      {"HTTP/1.0 500 Internal Server Error", "500", false},
  };
  for (const auto& c : cases) {
    nettest::ScriptServer srv;
    srv.Add({{nettest::Reply(c.status, {"Content-Type: text/plain"}, "OK page")}});
    cHTTPUpload up;
    Watch w(up);
    ASSERT_TRUE(up.SendFile(u"x.bin", T(srv.base() + "/up"), u"", u"", u"", u"", u"file", "abc"));
    ASSERT_TRUE(w.WaitEnd()) << c.status;
    EXPECT_EQ(w.success, c.success) << c.status;
    EXPECT_EQ(txt::ToUtf8(up.ResponseCode()), c.code) << c.status;
    if (*c.code) {
      EXPECT_TEXT_EQ(up.ResponsePage(), Text(u"OK page"));
    }
    EXPECT_TRUE(Contains(srv.Request(0), "POST /up HTTP/1.0\r\n"));
  }
}

TEST(Upload, OwnerPacesTheBlocksAndMayCancel) {
  nettest::ScriptServer srv;
  srv.Add({{nettest::Reply("HTTP/1.0 200 OK", {}, "OK")}});
  testutil::TempDir d;
  std::string content = RandomBytes(5 * 4096, 5);
  testutil::WriteAll(d.file("f.bin"), content);

  cHTTPUpload up;
  Watch w(up);
  int asked = 0;
  auto c = up.SetTimer.Subscribe([&](bool& pending) {
    ++asked;
    pending = true;
  });
  ASSERT_TRUE(up.SendFile(d.tfile("f.bin"), T(srv.base() + "/")));
  ASSERT_TRUE(platform::WaitUntil([&] { return asked == 1; }, 5000));
  platform::WaitMs(100);
  EXPECT_EQ(w.progress.size(), 1u);  // nothing moves until the owner pulses
  while (w.ends == 0 && platform::WaitUntil([&] { return w.ends > 0 || asked > static_cast<int>(w.progress.size()) - 1; }, 5000)) {
    up.PulseTimer();
    platform::DoEvents();
    if (w.progress.size() > 8) break;
  }
  ASSERT_TRUE(w.WaitEnd());
  EXPECT_TRUE(w.success);
  EXPECT_EQ(w.progress.back(), 5 * 4096 + 1);
  EXPECT_TRUE(Contains(srv.Request(0), content));

  // a transfer held by the owner can be cancelled: one end, no success
  nettest::ScriptServer slow;
  slow.Add({{nettest::Reply("HTTP/1.0 200 OK", {}, "OK")}});
  cHTTPUpload up2;
  Watch w2(up2);
  auto c2 = up2.SetTimer.Subscribe([](bool& pending) { pending = true; });
  ASSERT_TRUE(up2.SendFile(d.tfile("f.bin"), T(slow.base() + "/")));
  ASSERT_TRUE(platform::WaitUntil([&] { return !w2.progress.empty(); }, 5000));
  up2.Cancel();
  EXPECT_FALSE(up2.Busy());
  platform::WaitMs(100);
  EXPECT_EQ(w2.ends, 1);
  EXPECT_FALSE(w2.success);
}

TEST(Upload, RefusedStartsAndConnectionErrors) {
  testutil::TempDir d;
  testutil::WriteAll(d.file("f.bin"), "x");
  cHTTPUpload up;
  Watch w(up);
  EXPECT_FALSE(up.SendFile(d.tfile("missing.bin"), u"http://127.0.0.1:9/"));
  EXPECT_FALSE(up.SendFile(d.tfile("f.bin"), u"https://127.0.0.1/"));
  EXPECT_FALSE(up.SendFile(d.tfile("f.bin"), u"ftp://127.0.0.1/"));
  EXPECT_FALSE(up.SendFile(d.tfile("f.bin"), u"http://127.0.0.1:notaport/"));
  EXPECT_FALSE(up.SendFile(d.tfile("f.bin"), u"http:///x"));
  EXPECT_FALSE(up.SendFile(T(d.path()), u"http://127.0.0.1/"));  // a folder
  EXPECT_FALSE(up.Busy());
  platform::WaitMs(50);
  EXPECT_EQ(w.ends + w.starts + static_cast<int>(w.errors.size()), 0);

  // nobody listens on the port: an error, then one unsuccessful end
  ASSERT_TRUE(up.SendFile(d.tfile("f.bin"), T("http://127.0.0.1:" + std::to_string(nettest::ClosedPort()) + "/")));
  ASSERT_TRUE(w.WaitEnd());
  EXPECT_FALSE(w.success);
  ASSERT_EQ(w.errors.size(), 1u);
  EXPECT_EQ(w.errors[0], 10061);
  EXPECT_EQ(w.ends, 1);
}

class ZoneGuard {
 public:
  explicit ZoneGuard(const char* tz) {
    const char* old = std::getenv("TZ");
    had_ = old != nullptr;
    if (had_) old_ = old;
    ::setenv("TZ", tz, 1);
    ::tzset();
  }
  ~ZoneGuard() {
    if (had_) ::setenv("TZ", old_.c_str(), 1);
    else ::unsetenv("TZ");
    ::tzset();
  }

 private:
  bool had_ = false;
  std::string old_;
};

TEST(Upload, HttpDateAndBoundaryTexts) {
  {
    ZoneGuard z("CET-1");  // one hour ahead of GMT, no summer time
    EXPECT_TEXT_EQ(cHTTPUpload::HTTPDate(vbdate::FromParts(2024, 3, 10, 13, 5, 9)),
                   Text(u"Sun, 10 Mar 2024 12:05:09 GMT"));
    // crossing midnight backwards changes weekday, day, month and year
    EXPECT_TEXT_EQ(cHTTPUpload::HTTPDate(vbdate::FromParts(2025, 1, 1, 0, 30, 0)),
                   Text(u"Tue, 31 Dec 2024 23:30:00 GMT"));
  }
  {
    ZoneGuard z("UTC0");
    EXPECT_TEXT_EQ(cHTTPUpload::HTTPDate(vbdate::FromParts(1999, 12, 4, 7, 8, 9)),
                   Text(u"Sat, 04 Dec 1999 07:08:09 GMT"));
  }
  struct B {
    double seconds;
    const char16_t* text;
  };
  const B cases[] = {
      {0.0, u"----KESTROVA_UPLOADER----0-0-0----"},
      {3600.5, u"----KESTROVA_UPLOADER----57E72-1EC42-11CCE2----"},
      {86399.99, u"----KESTROVA_UPLOADER----83D5FF-2E2480-1AB25FE----"},
  };
  for (const auto& c : cases) EXPECT_TEXT_EQ(cHTTPUpload::MakeBoundary(c.seconds), Text(c.text)) << c.seconds;
  EXPECT_NE(cHTTPUpload::MakeBoundary(100.0), cHTTPUpload::MakeBoundary(101.0));
}

}  // namespace
