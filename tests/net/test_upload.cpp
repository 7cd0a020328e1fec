#include <gtest/gtest.h>

#include <unistd.h>

#include <random>
#include <string>
#include <vector>

#include "AppInfo.h"
#include "net/cHTTPUpload.h"
#include "platform/EventLoop.h"
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

  const std::string raw = srv.Request(0);
  const size_t end = raw.find("\r\n\r\n"), at = raw.find("boundary=") + 9;
  ASSERT_NE(end, std::string::npos);
  const std::string head = raw.substr(0, end + 2), body = raw.substr(end + 4);
  const std::string boundary = raw.substr(at, raw.find("\r\n", at) - at);
  std::string expected;
  for (const std::string& line : std::initializer_list<std::string>{
      "POST HTTP://www.kestrova.invalid/translation/ HTTP/1.0",
      "Content-Type: multipart/form-data; boundary=" + boundary,
      "User-Agent: Mozilla/4.0 (compatible; Kestrova Lang Editor v" + std::to_string(KSV_VERSION_MAJOR) + "." +
          std::to_string(KSV_VERSION_MINOR) + "." + std::to_string(KSV_VERSION_REVISION) + ")",
      "Host: www.kestrova.invalid",
      "Authorization: Basic bWU6cHc=",
      "Proxy-Authorization: Basic cHVzZXI6cHBhc3M=",
      "Content-Length: " + std::to_string(body.size()),
      "Pragma: no-cache",
      "x-lng-id: de",
      "X-Second: 2",
  })
    expected += line + "\r\n";
  EXPECT_EQ(head, expected);
  EXPECT_EQ(boundary.rfind("----KESTROVA_UPLOADER----", 0), 0u);

  std::string partStart = "--" + boundary + "\r\nContent-Disposition: form-data; name=\"file\"; filename=\"pack.7z\"\r\n" +
                          "Content-Type: application/octet-stream\r\nLast-Modified: ";
  EXPECT_EQ(body.substr(0, partStart.size()), partStart);
  std::string tail = "\r\n\r\n" + content + "\r\n--" + boundary + "--\r\n";
  ASSERT_GT(body.size(), tail.size());
  EXPECT_TRUE(body.compare(body.size() - tail.size(), tail.size(), tail) == 0);
}

// A transfer held by the owner's pacing can be cancelled: one end, no success.
TEST(Upload, OwnerPacedTransferMayBeCancelled) {
  testutil::TempDir d;
  testutil::WriteAll(d.file("f.bin"), RandomBytes(5 * 4096, 5));
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
  EXPECT_EQ(w.errors, std::vector<long>{10061});
  EXPECT_EQ(w.ends, 1);

  // The file is gone once the connection is up: the transfer fails then, not at the stall watch.
  nettest::ScriptServer srv;
  srv.Add({.drainOnly = true});
  up.StallTimeoutMs(60000);
  w.ends = 0;
  w.errors.clear();
  ASSERT_TRUE(up.SendFile(d.tfile("f.bin"), T(srv.base() + "/up")));
  ASSERT_EQ(::unlink(d.file("f.bin").c_str()), 0);
  ASSERT_TRUE(w.WaitEnd(5000));
  EXPECT_FALSE(w.success);
  EXPECT_EQ(w.errors, std::vector<long>{53});
}

// Receivers that misbehave: each transfer ends on its own, in time, with bounded memory,
// and success only when the whole body went out and a complete 2xx answer came back.
TEST(Upload, HostileReceiversEndTheTransferSoundly) {
  using nettest::Reply;
  using nettest::Script;
  const size_t size = 8u << 20;
  const std::string data = RandomBytes(size, 9);
  struct Case {
    const char* name;
    Script script;
    bool success;
    std::string code;  // "" when no answer counts
    long error;        // the error reported, 0 for none expected
  };
  const nettest::Step ok = Reply("HTTP/1.0 200 OK", {"Content-Length: 2"}, "OK");
  const Case cases[] = {
      {"answer streamed without end",
       {.steps = {Reply("HTTP/1.0 200 OK", {}, "OK")}, .streamChunk = std::string(65536, 'z')}, false, "", 10040},
      {"header block without end",
       {.steps = {{"HTTP/1.0 200 OK\r\n", 0}}, .streamChunk = "X-Pad: " + std::string(1000, 'p') + "\r\n"}, false, "",
       10040},
      {"early 200 then reset at 76 %", {.steps = {ok}, .replyAfterBytes = size * 76 / 100, .reset = true}, false, "", 0},
      {"early 200 then close at 2.3 %", {.steps = {ok}, .replyAfterBytes = size * 23 / 1000}, false, "", 0},
      {"stops reading", {.readDelayMs = 60000}, false, "", 10060},
      {"413 with the connection held open",
       {.steps = {Reply("HTTP/1.0 413 Request Entity Too Large", {}, "too big")}, .holdOpenMs = 60000,
        .replyAfterBytes = 1000},
       false, "413", 0},
      {"complete 200 with the connection held open",
       {.steps = {Reply("HTTP/1.0 200 OK", {"Content-Length: 9"}, "OK thanks")}, .holdOpenMs = 60000}, true, "200", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    nettest::ScriptServer srv;
    srv.Add(c.script);
    cHTTPUpload up;
    up.StallTimeoutMs(1500);
    Watch w(up);
    ASSERT_TRUE(up.SendFile(u"pack.7z", T(srv.base() + "/up"), u"", u"", u"", u"", u"file", data));
    nettest::Measured m = nettest::WaitMeasured(c.name, [&] { return w.ends > 0; }, 10000);
    ASSERT_TRUE(m.done);
    EXPECT_EQ(w.ends, 1);
    EXPECT_EQ(w.success, c.success);
    if (!c.code.empty()) {
      EXPECT_EQ(txt::ToUtf8(w.endCode), c.code);
    }
    if (c.error) {
      EXPECT_EQ(w.errors, std::vector<long>{c.error});
    }
    EXPECT_LT(m.peakKb, 64 * 1024);  // the answer's caps, not the receiver, bound memory
    EXPECT_FALSE(up.Busy());
  }
}

}  // namespace
