// Upload of a 50 MB file to a loopback receiver: our paced multipart upload against curl
// posting the same file to the same server in the same run.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "net/cHTTPUpload.h"
#include "platform/ChildProcess.h"
#include "platform/EventLoop.h"
#include "platform/ProcessTools.h"

namespace {

constexpr size_t kFileSize = 50u * 1024 * 1024;

struct Fixture {
  std::string dir, file, url;
  platform::ChildProcess server;
  bool ok = false;

  Fixture() {
    char tmpl[] = "/tmp/ksv_bench_upload_XXXXXX";
    if (!::mkdtemp(tmpl)) return;
    dir = tmpl;
    file = dir + "/KSVLangPack_bench.7z";
    {
      FILE* f = std::fopen(file.c_str(), "wb");
      if (!f) return;
      std::mt19937 rng(1);
      std::string block(1 << 20, '\0');
      for (auto& c : block) c = static_cast<char>(rng());
      for (size_t i = 0; i < kFileSize / block.size(); ++i) std::fwrite(block.data(), 1, block.size(), f);
      std::fclose(f);
    }
    std::string portFile = dir + "/port";
    if (!server.Start({"python3", std::string(KSV_TEST_DATA) + "/submit/upload_server.py", "--no-parse",
                       "--port-file", portFile, "--report", dir + "/report.jsonl"},
                      false, platform::ChildProcess::Priority::Normal))
      return;
    std::string port;
    platform::WaitUntil(
        [&] {
          FILE* f = std::fopen(portFile.c_str(), "r");
          if (!f) return false;
          char buf[16] = {};
          size_t n = std::fread(buf, 1, sizeof buf - 1, f);
          std::fclose(f);
          port.assign(buf, n);
          return !port.empty();
        },
        10000);
    platform::WaitMs(50);
    url = "http://127.0.0.1:" + port + "/translation/";
    ok = !port.empty();
  }
  ~Fixture() {
    server.Terminate();
    std::string cmd = "rm -rf '" + dir + "'";
    if (!dir.empty()) (void)std::system(cmd.c_str());
  }
};

Fixture* g_fx = nullptr;
double g_ours = 0, g_curl = 0;

void BM_UploadOurs(benchmark::State& state) {
  if (!g_fx || !g_fx->ok) {
    state.SkipWithError("no loopback server");
    return;
  }
  double total = 0;
  for (auto _ : state) {
    cHTTPUpload up;
    bool done = false, success = false;
    auto c = up.TransfertEnd.Subscribe([&](bool s, const Text&) {
      done = true;
      success = s;
    });
    double t0 = platform::HiResMs();
    if (!up.SendFile(txt::FromUtf8(g_fx->file), txt::FromUtf8(g_fx->url))) {
      state.SkipWithError("SendFile refused");
      return;
    }
    platform::WaitUntil([&] { return done; }, 120000);
    double ms = platform::HiResMs() - t0;
    if (!success) {
      state.SkipWithError("upload failed");
      return;
    }
    state.SetIterationTime(ms / 1000.0);
    total += ms;
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileSize));
  g_ours = static_cast<double>(kFileSize) * static_cast<double>(state.iterations()) / (total / 1000.0);
}

void BM_UploadCurl(benchmark::State& state) {
  std::string curl = platform::proc::FindOnPath("curl");
  if (!g_fx || !g_fx->ok || curl.empty()) {
    state.SkipWithError("no curl or no loopback server");
    return;
  }
  double total = 0;
  for (auto _ : state) {
    platform::ChildProcess p;
    double t0 = platform::HiResMs();
    // No "Expect: 100-continue" pause: the receiver speaks HTTP/1.0.
    if (!p.Start({curl, "-s", "-o", "/dev/null", "-H", "Expect:", "-F", "file=@" + g_fx->file, g_fx->url}, false,
                 platform::ChildProcess::Priority::Normal)) {
      state.SkipWithError("curl did not start");
      return;
    }
    while (!p.Finished()) ::usleep(200);
    double ms = platform::HiResMs() - t0;
    if (p.ExitCode() != 0) {
      state.SkipWithError("curl failed");
      return;
    }
    state.SetIterationTime(ms / 1000.0);
    total += ms;
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileSize));
  g_curl = static_cast<double>(kFileSize) * static_cast<double>(state.iterations()) / (total / 1000.0);
}

BENCHMARK(BM_UploadCurl)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UploadOurs)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  Fixture fx;
  g_fx = &fx;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (g_ours > 0 && g_curl > 0)
    std::printf("upload 50 MB: ours %.1f MB/s, curl %.1f MB/s, ratio %.2f\n", g_ours / 1048576.0, g_curl / 1048576.0,
                g_ours / g_curl);
  g_fx = nullptr;
  return 0;
}
