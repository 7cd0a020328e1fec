#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <string>
#include <vector>

#include "net/CSocket.h"
#include "net/MSocketSupport.h"
#include "platform/EventLoop.h"
#include "platform/HostLookup.h"
#include "platform/SocketNotifier.h"
#include "tests/common/TestUtil.h"
#include "tests/net/ScriptServer.h"

using nettest::Script;
using nettest::ScriptServer;
using nettest::Step;

namespace {
struct Recorder {
  std::vector<std::string> log;
  std::vector<Connection> links;
  int lastError = 0;
  void Attach(CSocket& s, const std::string& tag = "") {
    links.push_back(s.OnConnect.Subscribe([this, tag]() { log.push_back(tag + "connect"); }));
    links.push_back(s.OnClose.Subscribe([this, tag]() { log.push_back(tag + "close"); }));
    links.push_back(s.OnDataArrival.Subscribe([this, tag](long n) { log.push_back(tag + "data:" + std::to_string(n)); }));
    links.push_back(s.OnSendComplete.Subscribe([this, tag]() { log.push_back(tag + "sent"); }));
    links.push_back(s.OnSendProgress.Subscribe(
        [this, tag](long a, long b) { log.push_back(tag + "progress:" + std::to_string(a) + "/" + std::to_string(b)); }));
    links.push_back(s.DataAvailable.Subscribe([this, tag]() { log.push_back(tag + "available"); }));
    links.push_back(s.OnError.Subscribe(
        [this, tag](int n, const Text&, long, const Text&, const Text&, long, bool&) {
          lastError = n;
          log.push_back(tag + "error:" + std::to_string(n));
        }));
  }
  bool Has(const std::string& what) const { return std::ranges::find(log, what) != log.end(); }
  long Count(const std::string& prefix) const {
    return std::ranges::count_if(log, [&](const std::string& l) { return l.starts_with(prefix); });
  }
};

bool Wait(const std::function<bool()>& cond, int ms = 5000) { return platform::WaitUntil(cond, ms); }

// Connects to the script server and sends an empty request so that its script plays.
void Open(CSocket& s, Recorder& r, ScriptServer& srv) {
  r.Attach(s);
  s.connect(u"127.0.0.1", srv.port());
  ASSERT_TRUE(Wait([&] { return r.Has("connect"); }));
  s.SendData(BytesView("\r\n\r\n"));
}

}  // namespace

TEST(Socket, BadCallsReportWithoutChangingState) {
  CSocket s;
  // No host: the stored state stays as it was.
  EXPECT_FALSE(s.connect());
  EXPECT_EQ(s.LastErrorNumber(), 10049);
  EXPECT_TEXT_EQ(s.LastErrorSource(), u"CSocket.Connect");
  EXPECT_EQ(s.State(), SocketClosed);
  CSocket t, b;
  EXPECT_FALSE(t.SendData(BytesView("x")));
  EXPECT_EQ(t.LastErrorNumber(), kWrongStateError);
  EXPECT_TEXT_EQ(t.LastErrorSource(), u"CSocket.SendData");
  EXPECT_FALSE(b.bind(0, u"300.1.2.3"));
  EXPECT_TEXT_EQ(b.LastErrorSource(), u"CSocket.Bind");
}

TEST(Socket, ClientAndServerExchangeAndClose) {
  CSocket server;
  ASSERT_TRUE(server.bind(0, u"127.0.0.1"));
  ASSERT_TRUE(server.listen());
  EXPECT_EQ(server.State(), SocketListening);
  long port = server.LocalPort();
  ASSERT_GT(port, 0);

  std::unique_ptr<CSocket> peer;
  Recorder pr;
  auto acc = server.OnConnectionRequest.Subscribe([&](long id) {
    peer = std::make_unique<CSocket>();
    pr.Attach(*peer, "peer:");
    peer->accept(id);
  });

  CSocket client;
  Recorder cr;
  cr.Attach(client);
  ASSERT_TRUE(client.connect(u"127.0.0.1", port));
  EXPECT_EQ(client.State(), SocketConnecting);  // no lookup for a dotted address
  ASSERT_TRUE(Wait([&] { return cr.Has("connect") && peer && peer->State() == SocketConnected; }));
  EXPECT_EQ(client.State(), SocketConnected);

  ASSERT_TRUE(client.SendData(TextView(u"hello \u00e9")));
  ASSERT_TRUE(Wait([&] { return peer->BytesReceived() >= 7; }));
  Text got;
  ASSERT_TRUE(peer->GetData(got));
  EXPECT_TEXT_EQ(got, u"hello \u00e9");  // through the system code page both ways
  EXPECT_EQ(peer->BytesReceived(), 0);

  // Progress comes before completion.
  ASSERT_TRUE(Wait([&] { return cr.Has("sent"); }));
  EXPECT_EQ(cr.log[1], "progress:7/0");
  EXPECT_EQ(cr.log[2], "sent");

  // Graceful close from the client: it waits in Closing until the peer closes too.
  ASSERT_TRUE(client.closesocket());
  EXPECT_EQ(client.State(), SocketClosing);
  // A socket that exists but can no longer send reports the system's reason.
  EXPECT_FALSE(client.SendData(BytesView("late")));
  EXPECT_EQ(client.LastErrorNumber(), 10058);
  ASSERT_TRUE(Wait([&] { return pr.Has("peer:close"); }));
  EXPECT_EQ(peer->State(), SocketClosed);
  EXPECT_EQ(peer->SocketHandle(), -1);
  ASSERT_TRUE(Wait([&] { return cr.Has("close"); }));
  EXPECT_EQ(client.State(), SocketClosed);
}

TEST(Socket, CancelledLookupRaisesNothingLater) {
  ScriptServer srv;
  for (bool cancelFails : {false, true}) {
    SCOPED_TRACE(cancelFails);
    platform::SetHostLookupDelayForTest(150);
    platform::SetHostLookupCancelFailsForTest(cancelFails);
    CSocket s;
    Recorder r;
    r.Attach(s);
    ASSERT_TRUE(s.connect(u"localhost", srv.port()));
    EXPECT_EQ(MSocketSupport::PendingResolutions(), 1);
    s.closesocket();
    EXPECT_EQ(s.State(), SocketClosed);
    EXPECT_EQ(MSocketSupport::PendingResolutions(), 0);
    EXPECT_EQ(MSocketSupport::CancelledResolutions(), cancelFails ? 1 : 0);
    platform::WaitMs(400);
    EXPECT_TRUE(r.log.empty());
    EXPECT_EQ(MSocketSupport::CancelledResolutions(), 0);
    EXPECT_EQ(srv.Connections(), 0);
    platform::SetHostLookupCancelFailsForTest(false);
    platform::SetHostLookupDelayForTest(0);
  }
  // The object itself going away while its lookup runs.
  platform::SetHostLookupDelayForTest(100);
  {
    auto s = std::make_unique<CSocket>();
    s->connect(u"localhost", srv.port());
    s.reset();
  }
  platform::WaitMs(250);
  platform::SetHostLookupDelayForTest(0);
  EXPECT_EQ(MSocketSupport::PendingResolutions(), 0);
}

TEST(Socket, RefusedConnectionEndsInError) {
  CSocket s;
  Recorder r;
  r.Attach(s);
  ASSERT_TRUE(s.connect(u"127.0.0.1", nettest::ClosedPort()));
  ASSERT_TRUE(Wait([&] { return r.Count("error") > 0; }));
  EXPECT_EQ(r.lastError, 10061);
  EXPECT_EQ(s.State(), SocketError);
  EXPECT_EQ(s.SocketHandle(), -1);
}

TEST(Socket, PartialSendReportsProgressThenCompletes) {
  ScriptServer srv;
  srv.Add({.readDelayMs = 300, .drainOnly = true});
  CSocket s;
  Recorder r;
  r.Attach(s);
  s.connect(u"127.0.0.1", srv.port());
  ASSERT_TRUE(Wait([&] { return r.Has("connect"); }));
  const size_t total = 16u << 20;
  std::string payload(total, 'x');
  for (size_t i = 0; i < total; i += 4096) payload[i] = static_cast<char>('a' + (i / 4096) % 26);
  ASSERT_TRUE(s.SendData(BytesView(payload)));
  ASSERT_TRUE(Wait([&] { return r.Has("sent"); }, 20000));
  long sum = 0;
  std::string lastProgress;
  for (const std::string& l : r.log)
    if (l.starts_with("progress:")) sum += std::stol((lastProgress = l).substr(9));
  EXPECT_GT(r.Count("progress:"), 1);  // the first part could not go out whole
  EXPECT_EQ(sum, static_cast<long>(total));
  EXPECT_TRUE(lastProgress.ends_with("/0"));
  EXPECT_EQ(r.log.back(), "sent");
  EXPECT_EQ(r.Count("sent"), 1);
  s.closesocket();
  ASSERT_TRUE(Wait([&] { return srv.Requests().size() == 1; }, 10000));
  EXPECT_EQ(srv.Request(0), payload);
}

TEST(Socket, EveryChunkArrivesBeforeTheClose) {
  ScriptServer srv;
  std::string body(300000, 'z');
  srv.Add(Script{{Step{body, 0}}});
  CSocket s;
  Recorder r;
  long got = 0;
  bool closed = false, dataAfterClose = false;
  auto d = s.OnDataArrival.Subscribe([&](long) {
    if (closed) dataAfterClose = true;
    Bytes b;
    s.GetData(b);
    got += static_cast<long>(b.size());
  });
  auto c = s.OnClose.Subscribe([&]() { closed = true; });
  Open(s, r, srv);
  ASSERT_TRUE(Wait([&] { return closed; }));
  EXPECT_EQ(got, 300000);
  EXPECT_FALSE(dataAfterClose);
  EXPECT_EQ(s.State(), SocketClosed);
}
