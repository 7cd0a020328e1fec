// File-mode download of a large file from a loopback server, against curl fetching the
// same URL in the same run; and the throttle's accuracy over five seconds.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <atomic>
#include <cstdio>
#include <string>
#include <thread>

#include "net/cHTTPGet.h"
#include "platform/EventLoop.h"

extern char** environ;

namespace {

const size_t kFileSize = 200u << 20;
std::string g_dir, g_file;
double g_oursBps = 0, g_curlBps = 0;

// Serves g_file to every connection with sendfile, so the server is not what limits.
class FileServer {
 public:
  FileServer() {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(fd_, 8);
    socklen_t len = sizeof a;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    th_ = std::thread([this] { Run(); });
  }
  ~FileServer() {
    stop_ = true;
    th_.join();
    ::close(fd_);
  }
  std::string url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/big.bin"; }

 private:
  void Run() {
    while (!stop_) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      int c = ::accept(fd_, nullptr, nullptr);
      if (c < 0) continue;
      std::string req;
      char buf[4096];
      while (req.find("\r\n\r\n") == std::string::npos) {
        ssize_t n = ::recv(c, buf, sizeof buf, 0);
        if (n <= 0) break;
        req.append(buf, static_cast<size_t>(n));
      }
      int f = ::open(g_file.c_str(), O_RDONLY);
      struct stat st {};
      ::fstat(f, &st);
      std::string head = "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(st.st_size) + "\r\n\r\n";
      ::send(c, head.data(), head.size(), MSG_NOSIGNAL);
      off_t off = 0;
      while (off < st.st_size && !stop_)
        if (::sendfile(c, f, &off, static_cast<size_t>(st.st_size - off)) <= 0) break;
      ::close(f);
      ::shutdown(c, SHUT_WR);
      while (::recv(c, buf, sizeof buf, 0) > 0) {
      }
      ::close(c);
    }
  }
  int fd_ = -1, port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread th_;
};

FileServer* g_server = nullptr;

void BM_Download_Ours(benchmark::State& state) {
  std::string out = g_dir + "/ours.bin";
  for (auto _ : state) {
    ::unlink(out.c_str());
    cHTTPGet h;
    bool ended = false, ok = false;
    auto c = h.FileTransfertEnd.Subscribe([&](bool s) {
      ended = true;
      ok = s;
    });
    double t0 = platform::HiResMs();
    h.GetFile(txt::FromUtf8(g_server->url()), txt::FromUtf8(out));
    platform::WaitUntil([&] { return ended; }, 120000);
    double secs = (platform::HiResMs() - t0) / 1000.0;
    if (!ok) state.SkipWithError("download failed");
    g_oursBps = static_cast<double>(kFileSize) / secs;
    state.SetIterationTime(secs);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileSize));
}

void BM_Download_Curl(benchmark::State& state) {
  std::string out = g_dir + "/curl.bin";
  std::string url = g_server->url();
  for (auto _ : state) {
    ::unlink(out.c_str());
    const char* argv[] = {"curl", "-s", "-o", out.c_str(), url.c_str(), nullptr};
    double t0 = platform::HiResMs();
    pid_t pid;
    if (posix_spawnp(&pid, "curl", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) {
      state.SkipWithError("curl not found");
      break;
    }
    int st = 0;
    ::waitpid(pid, &st, 0);
    double secs = (platform::HiResMs() - t0) / 1000.0;
    g_curlBps = static_cast<double>(kFileSize) / secs;
    state.SetIterationTime(secs);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileSize));
}

void BM_Throttle_200000_5s(benchmark::State& state) {
  const long perSec = 200000;
  for (auto _ : state) {
    cHTTPGet h;
    h.MaxDownloadBytesPerSec(perSec);
    double t0 = 0;
    auto c = h.DataArrival.Subscribe([&](long, long, const Bytes&) {
      if (t0 == 0) t0 = platform::HiResMs();
    });
    h.GetFile(txt::FromUtf8(g_server->url()), txt::FromUtf8(g_dir + "/throttled.bin"));
    platform::WaitUntil([&] { return t0 != 0; }, 10000);
    platform::WaitMs(5000);
    double secs = (platform::HiResMs() - t0) / 1000.0;
    long got = h.ReceivedBytes();
    h.CancelTransfert(0, u"");
    state.counters["received"] = static_cast<double>(got);
    state.counters["allowance"] = secs * perSec;
    state.counters["ratio"] = got / (secs * perSec);
  }
}

BENCHMARK(BM_Download_Ours)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Download_Curl)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Throttle_200000_5s)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  // The server thread writes with sendfile, which has no per-call way to avoid the signal.
  ::signal(SIGPIPE, SIG_IGN);
  char tmpl[] = "/tmp/ksvbench-XXXXXX";
  if (!::mkdtemp(tmpl)) return 1;
  g_dir = tmpl;
  g_file = g_dir + "/big.bin";
  {
    int f = ::open(g_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::string block(1 << 20, '\0');
    for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>(i * 131 + 7);
    for (size_t i = 0; i < kFileSize / block.size(); ++i)
      if (::write(f, block.data(), block.size()) < 0) return 1;
    ::close(f);
  }
  g_server = new FileServer();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (g_oursBps > 0 && g_curlBps > 0)
    std::printf("download throughput: ours %.1f MB/s, curl %.1f MB/s, ratio %.2f\n", g_oursBps / 1e6,
                g_curlBps / 1e6, g_oursBps / g_curlBps);
  delete g_server;
  for (const char* n : {"/big.bin", "/ours.bin", "/curl.bin", "/throttled.bin"}) ::unlink((g_dir + n).c_str());
  ::rmdir(g_dir.c_str());
  return 0;
}
