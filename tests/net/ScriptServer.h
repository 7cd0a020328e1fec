#pragma once
// A scriptable TCP server on 127.0.0.1 for the network tests, running in its own thread.
// Each accepted connection takes the next script (the last one repeats): it reads the
// request (header block and any Content-Length body), records it, then plays the steps:
// send bytes, wait, or end the connection early.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/EventLoop.h"

// Scripts are written as brace lists that name only the fields they need.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace nettest {
struct Step {
  std::string send;
  int delayMs = 0;  // waited before sending
};

struct Script {
  std::vector<Step> steps;
  int readDelayMs = 0;       // wait before reading the request at all
  bool drainOnly = false;    // no request parsing: read everything until the peer closes
  int holdOpenMs = 0;        // keep the connection open after the steps
  size_t replyAfterBytes = 0; // answer once this much of the request is in, not at its end
  std::string streamChunk;   // after the steps, send this again and again until stopped
  bool reset = false;        // end the connection with a reset instead of a close
};

// A socket bound to a free loopback port; `port` receives the port.
inline int BindLoopback(int& port) {
  int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
  socklen_t len = sizeof a;
  ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
  port = ntohs(a.sin_port);
  return s;
}

// A loopback port nobody listens on: connections to it are refused.
inline int ClosedPort() {
  int port = 0;
  ::close(BindLoopback(port));
  return port;
}

// Waits up to `ms` for `done`, sampling this process's resident memory meanwhile; prints
// and returns how long it took and how far memory grew.
struct Measured { bool done; double ms; long peakKb; };
inline Measured WaitMeasured(const char* what, const std::function<bool()>& done, int ms) {
  auto rssKb = [] {
    long pages = 0, resident = 0;
    FILE* f = std::fopen("/proc/self/statm", "r");
    if (f && std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    if (f) std::fclose(f);
    return resident * (::sysconf(_SC_PAGESIZE) / 1024);
  };
  long base = rssKb(), peak = base;
  double t0 = platform::HiResMs();
  bool ok = platform::WaitUntil([&] {
    peak = std::max(peak, rssKb());
    return done();
  }, ms);
  Measured m{ok, platform::HiResMs() - t0, peak - base};
  std::printf("[ hostile peer ] %-45s ended after %6.0f ms, peak memory +%ld KB\n", what, m.ms, m.peakKb);
  return m;
}

// "HTTP/1.0 200 OK" + headers + body as one step.
inline Step Reply(const std::string& status, const std::vector<std::string>& headers, const std::string& body) {
  std::string s = status + "\r\n";
  for (auto& h : headers) s += h + "\r\n";
  s += "\r\n" + body;
  return Step{s, 0};
}

class ScriptServer {
 public:
  ScriptServer() {
    listen_ = BindLoopback(port_);
    ::listen(listen_, 16);
    thread_ = std::thread([this]() { Run(); });
  }
  ~ScriptServer() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    ::close(listen_);
  }
  int port() const { return port_; }
  std::string base() const { return "http://127.0.0.1:" + std::to_string(port_); }
  void Add(Script s) {
    std::lock_guard<std::mutex> g(mu_);
    scripts_.push_back(std::move(s));
  }
  std::vector<std::string> Requests() {
    std::lock_guard<std::mutex> g(mu_);
    return requests_;
  }
  std::string Request(size_t i) {
    auto r = Requests();
    return i < r.size() ? r[i] : std::string();
  }
  int Connections() const { return connections_; }

 private:
  bool Readable(int fd, int ms) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, ms) > 0;
  }
  void Run() {
    while (!stop_) {
      if (!Readable(listen_, 20)) continue;
      int c = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
      if (c < 0) continue;
      Script s;
      {
        std::lock_guard<std::mutex> g(mu_);
        size_t i = static_cast<size_t>(connections_);
        if (!scripts_.empty()) s = scripts_[i < scripts_.size() ? i : scripts_.size() - 1];
      }
      ++connections_;
      Serve(c, s);
      if (s.reset) {
        linger l{1, 0};
        ::setsockopt(c, SOL_SOCKET, SO_LINGER, &l, sizeof l);
      }
      ::close(c);
    }
  }
  void Serve(int c, const Script& s) {
    Pause(s.readDelayMs);
    std::string req;
    char buf[65536];
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!stop_ && std::chrono::steady_clock::now() < deadline) {
      if (s.replyAfterBytes && req.size() >= s.replyAfterBytes) break;
      if (!s.drainOnly && !s.replyAfterBytes) {
        size_t end = req.find("\r\n\r\n");
        if (end != std::string::npos) {
          size_t need = end + 4;
          size_t cl = req.find("Content-Length: ");
          if (cl != std::string::npos && cl < end) need += std::strtoul(req.c_str() + cl + 16, nullptr, 10);
          if (req.size() >= need) break;
        }
      }
      if (!Readable(c, 20)) continue;
      ssize_t n = ::recv(c, buf, sizeof buf, 0);
      if (n <= 0) break;
      req.append(buf, static_cast<size_t>(n));
    }
    {
      std::lock_guard<std::mutex> g(mu_);
      requests_.push_back(req);
    }
    for (auto& st : s.steps) {
      Pause(st.delayMs);
      if (!SendAll(c, st.send)) return;
    }
    while (!s.streamChunk.empty() && !stop_)
      if (!SendAll(c, s.streamChunk)) return;
    // Held open until the time is up or the peer leaves (then the next connection is served).
    auto hold = std::chrono::steady_clock::now() + std::chrono::milliseconds(s.holdOpenMs);
    while (!stop_ && std::chrono::steady_clock::now() < hold) {
      if (!Readable(c, 5)) continue;
      ssize_t n = ::recv(c, buf, sizeof buf, 0);
      if (n <= 0) break;
    }
  }

  void Pause(int ms) {
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!stop_ && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  bool SendAll(int c, const std::string& data) {
    size_t off = 0;
    while (off < data.size() && !stop_) {
      pollfd p{c, POLLOUT, 0};
      if (::poll(&p, 1, 20) <= 0) continue;
      ssize_t n = ::send(c, data.data() + off, data.size() - off, MSG_NOSIGNAL | MSG_DONTWAIT);
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) continue;
      if (n <= 0) return false;
      off += static_cast<size_t>(n);
    }
    return !stop_;
  }

  int listen_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int> connections_{0};
  std::mutex mu_;
  std::vector<Script> scripts_;
  std::vector<std::string> requests_;
  std::thread thread_;
};

}  // namespace nettest
