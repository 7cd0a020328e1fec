#pragma once
// Python servers on 127.0.0.1, started and killed by the test that holds them: the standard
// http.server serving a folder (a server nobody here wrote), and the upload receiver that
// parses multipart bodies with Python's own email package.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "tests/common/TestUtil.h"
#include "tests/net/ScriptServer.h"

extern char** environ;

namespace nettest {

inline bool CanConnect(int port) {
  int s = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bool ok = ::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  ::close(s);
  return ok;
}

// A python3 child with its output thrown away; killed with the object.
class PyProcess {
 public:
  PyProcess(const PyProcess&) = delete;
  PyProcess& operator=(const PyProcess&) = delete;
  ~PyProcess() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  bool ready() const { return ready_; }
  int port() const { return port_; }
  std::string base() const { return "http://127.0.0.1:" + std::to_string(port_); }

 protected:
  PyProcess() = default;
  // Starts python3 with `args` and waits (up to 10 s) until `up` says it serves.
  void Start(const std::vector<std::string>& args, const std::function<bool()>& up) {
    std::vector<char*> argv{const_cast<char*>("python3")};
    for (auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
    if (posix_spawnp(&pid_, "python3", &fa, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&fa);
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (pid_ > 0 && !ready_ && std::chrono::steady_clock::now() < end) {
      ready_ = up();
      if (!ready_) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
  pid_t pid_ = -1;
  int port_ = 0;
  bool ready_ = false;
};

class PyHttpServer : public PyProcess {
 public:
  explicit PyHttpServer(const std::string& dir) {
    port_ = ClosedPort();
    Start({"-m", "http.server", "--bind", "127.0.0.1", std::to_string(port_), "--directory", dir},
          [this] { return CanConnect(port_); });
  }
};

// The upload receiver; `args` are its expectations and answer (see its --help).
class UploadServer : public PyProcess {
 public:
  explicit UploadServer(std::vector<std::string> args) {
    args.insert(args.begin(), {std::string(KSV_TEST_DATA) + "/submit/upload_server.py", "--port-file",
                               dir_.file("port"), "--report", dir_.file("report.jsonl")});
    Start(args, [this] {
      port_ = std::atoi(testutil::ReadAll(dir_.file("port")).c_str());
      return port_ > 0 && CanConnect(port_);
    });
  }
  std::string url(const std::string& path = "/translation/") const { return base() + path; }
  // The last request's report line (JSON).
  std::string Report() const {
    std::string all = testutil::ReadAll(dir_.file("report.jsonl"));
    while (!all.empty() && all.back() == '\n') all.pop_back();
    size_t start = all.rfind('\n');
    return start == std::string::npos ? all : all.substr(start + 1);
  }

 private:
  testutil::TempDir dir_;
};

}  // namespace nettest
