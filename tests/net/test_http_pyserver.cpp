#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <random>
#include <string>

#include "net/cHTTPGet.h"
#include "platform/EventLoop.h"
#include "tests/common/TestUtil.h"
#include "tests/net/PyHttpServer.h"

namespace {

struct Outcome {
  bool ended = false, success = false;
  std::string body;
  long httpError = 0;
  std::vector<Connection> links;
  explicit Outcome(cHTTPGet& h) {
    links.push_back(h.FileTransfertEnd.Subscribe([this](bool ok) {
      ended = true;
      success = ok;
    }));
    links.push_back(h.DataArrival.Subscribe([this](long, long, const Bytes& d) { body += d; }));
    links.push_back(h.HttpError.Subscribe([this](long n, const Text&) { httpError = n; }));
  }
};

class PyServer : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new testutil::TempDir();
    version_ =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<Update>\r\n\t<Version>9.9.9</Version>\r\n"
        "\t<DownloadURL>http://127.0.0.1/get</DownloadURL>\r\n</Update>\r\n";
    testutil::WriteAll(dir_->file("version.xml"), version_);
    std::mt19937 rng(7);
    big_.resize(6u << 20);
    for (auto& c : big_) c = static_cast<char>(rng());
    testutil::WriteAll(dir_->file("big.bin"), big_);
    server_ = new nettest::PyHttpServer(dir_->path());
  }
  static void TearDownTestSuite() {
    delete server_;
    delete dir_;
  }
  static testutil::TempDir* dir_;
  static nettest::PyHttpServer* server_;
  static std::string version_, big_;
};
testutil::TempDir* PyServer::dir_ = nullptr;
nettest::PyHttpServer* PyServer::server_ = nullptr;
std::string PyServer::version_, PyServer::big_;

Text T(const std::string& s) { return txt::FromUtf8(s); }

}  // namespace

TEST_F(PyServer, MemoryAndFileDownloads) {
  ASSERT_TRUE(server_->ready());
  {
    cHTTPGet h;
    Outcome o(h);
    ASSERT_TRUE(h.GetFile(T(server_->base() + "/version.xml")));
    ASSERT_TRUE(platform::WaitUntil([&] { return o.ended; }, 10000));
    EXPECT_TRUE(o.success);
    EXPECT_EQ(o.body, version_);
    EXPECT_EQ(h.ContentLength(), static_cast<long>(version_.size()));
  }
  {
    testutil::TempDir out;
    std::string path = out.file("big.bin");
    testutil::WriteAll(path, "stale content that must go");
    cHTTPGet h;
    Outcome o(h);
    // The server knows no ranges: it answers 200 and the file is replaced.
    ASSERT_TRUE(h.GetFile(T(server_->base() + "/big.bin"), T(path), u"", u"", true, -1L));
    ASSERT_TRUE(platform::WaitUntil([&] { return o.ended; }, 30000));
    EXPECT_TRUE(o.success);
    EXPECT_EQ(h.ReceivedBytes(), static_cast<long>(big_.size()));
    EXPECT_TRUE(testutil::ReadAll(path) == big_);
    struct stat src {}, dst {};
    ::stat(dir_->file("big.bin").c_str(), &src);
    ::stat(path.c_str(), &dst);
    EXPECT_EQ(dst.st_mtime, src.st_mtime);  // from Last-Modified
  }
}

TEST_F(PyServer, MissingFileAndStoppedServer) {
  ASSERT_TRUE(server_->ready());
  cHTTPGet h;
  Outcome o(h);
  h.GetFile(T(server_->base() + "/nothing-here.xml"));
  ASSERT_TRUE(platform::WaitUntil([&] { return o.ended; }, 10000));
  EXPECT_FALSE(o.success);
  EXPECT_EQ(o.httpError, 404);

  int port;
  {
    testutil::TempDir empty;
    nettest::PyHttpServer other(empty.path());
    ASSERT_TRUE(other.ready());
    port = other.port();
  }
  cHTTPGet d;
  Outcome od(d);
  d.GetFile(T("http://127.0.0.1:" + std::to_string(port) + "/version.xml"));
  ASSERT_TRUE(platform::WaitUntil([&] { return od.ended; }, 10000));
  EXPECT_FALSE(od.success);
  EXPECT_EQ(d.LastErrorNumber(), 10061);
}
