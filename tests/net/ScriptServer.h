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
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

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
};

// A loopback port nobody listens on: connections to it are refused.
inline int ClosedPort() {
  int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
  socklen_t len = sizeof a;
  ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
  ::close(s);
  return ntohs(a.sin_port);
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
    listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(listen_, 16);
    socklen_t len = sizeof a;
    ::getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
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
      ::close(c);
    }
  }
  void Serve(int c, const Script& s) {
    if (s.readDelayMs) std::this_thread::sleep_for(std::chrono::milliseconds(s.readDelayMs));
    std::string req;
    char buf[65536];
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!stop_ && std::chrono::steady_clock::now() < deadline) {
      if (!s.drainOnly) {
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
      if (st.delayMs) std::this_thread::sleep_for(std::chrono::milliseconds(st.delayMs));
      size_t off = 0;
      while (off < st.send.size() && !stop_) {
        ssize_t n = ::send(c, st.send.data() + off, st.send.size() - off, MSG_NOSIGNAL);
        if (n <= 0) return;
        off += static_cast<size_t>(n);
      }
    }
    auto hold = std::chrono::steady_clock::now() + std::chrono::milliseconds(s.holdOpenMs);
    while (!stop_ && std::chrono::steady_clock::now() < hold) std::this_thread::sleep_for(std::chrono::milliseconds(5));
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
