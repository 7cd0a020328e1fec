// SaveFile of a 10 MB language text with the program's parameters, beside a plain
// open/write/fsync/close of the same bytes in the same run. The closing line prints the
// ratio of their throughputs (SaveFile / plain). Files go to $KSV_BENCH_DIR or $TMPDIR.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "storage/mStringTools.h"
#include "storage/mTextFile.h"

namespace {

constexpr size_t kSize = 10 * 1024 * 1024;

// Tab-indented strings with accented words, as translators' files hold them.
const Text& LanguageText() {
  static Text text = [] {
    std::string b;
    b.reserve(kSize + 256);
    b += "<Languages version=\"0.4\">\r\n\t<fr name=\"Fran\xC3\xA7" "ais\" en_name=\"French\">\r\n";
    std::mt19937 rng(7);
    const char* words[] = {"fichier", "ouvrir", "enregistrer", "annuler", "options", "langue", "traduction",
                           "fermer", "caf\xC3\xA9", "\xC3\xA9l\xC3\xA8ve", "tr\xC3\xA8s", "c\xC5\x93ur", "&amp;"};
    int n = 0;
    while (b.size() < kSize) {
      b += "\t\t<String" + std::to_string(++n) + ">";
      int count = 2 + static_cast<int>(rng() % 10);
      for (int k = 0; k < count; ++k) {
        b += words[rng() % 13];
        b += ' ';
      }
      b += "</String" + std::to_string(n) + ">\r\n";
    }
    b += "\t</fr>\r\n</Languages>\r\n";
    return mStringTools::UTF8_DecodeBytes(b);
  }();
  return text;
}

std::string Folder() {
  for (const char* var : {"KSV_BENCH_DIR", "TMPDIR"}) {
    const char* v = std::getenv(var);
    if (v && *v) return v;
  }
  return "/tmp";
}

double g_saveRate = 0, g_plainRate = 0;

void BM_SaveFile(benchmark::State& state) {
  const Text& text = LanguageText();
  std::string path = Folder() + "/ksv_bench_save.xml";
  Text tpath = mStringTools::UTF8_DecodeBytes(path);
  if (!mTextFile::SaveFile(tpath, text)) state.SkipWithError("save failed");
  int64_t bytes = static_cast<int64_t>(mStringTools::UTF8_EncodeBytes(text).size());
  for (auto _ : state) {
    if (!mTextFile::SaveFile(tpath, text)) state.SkipWithError("save failed");
  }
  state.SetBytesProcessed(state.iterations() * bytes);
  ::unlink(path.c_str());
}

void BM_PlainWrite(benchmark::State& state) {
  Bytes bytes = mStringTools::UTF8_EncodeBytes(LanguageText());
  std::string path = Folder() + "/ksv_bench_plain.xml";
  for (auto _ : state) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    size_t done = 0;
    while (fd >= 0 && done < bytes.size()) {
      ssize_t w = ::write(fd, bytes.data() + done, bytes.size() - done);
      if (w <= 0) break;
      done += static_cast<size_t>(w);
    }
    if (fd < 0 || done != bytes.size() || ::fsync(fd) != 0 || ::close(fd) != 0) state.SkipWithError("write failed");
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes.size()));
  ::unlink(path.c_str());
}

// Remembers each run's throughput so main can print the ratio.
class RateReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs) {
      auto it = r.counters.find("bytes_per_second");
      if (it == r.counters.end() || r.run_type != Run::RT_Iteration) continue;
      if (r.benchmark_name().rfind("BM_SaveFile", 0) == 0) g_saveRate = it->second;
      if (r.benchmark_name().rfind("BM_PlainWrite", 0) == 0) g_plainRate = it->second;
    }
    ConsoleReporter::ReportRuns(runs);
  }
};

}  // namespace

BENCHMARK(BM_PlainWrite)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_SaveFile)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RateReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  if (g_plainRate > 0) std::printf("SaveFile / plain write throughput: %.2f\n", g_saveRate / g_plainRate);
  benchmark::Shutdown();
  return 0;
}
