// XML engine speed and memory on generated language files (1 MB and 10 MB), with pugixml
// parsing and saving the same files as a reference. After the Google Benchmark run a short
// summary prints the ratios measured in this run.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "storage/mStringTools.h"
#include "xml/cXmlNode.h"
#ifdef KSV_HAVE_PUGIXML
#include <pugixml.hpp>
#endif

namespace {

struct Sample {
  std::string bytes;
  Text text;
};

// The generated file of the given size ("1M", "10M"), made once per machine.
const Sample& Load(const std::string& size) {
  static std::vector<std::pair<std::string, Sample>> cache;
  for (auto& c : cache)
    if (c.first == size) return c.second;
  const char* tmp = std::getenv("TMPDIR");
  std::string path = std::string(tmp && *tmp ? tmp : "/tmp") + "/ksv_bench_lang_" + size + ".xml";
  std::ifstream probe(path, std::ios::binary);
  if (!probe) {
    std::string cmd = std::string("python3 '") + KSV_GEN_LANGFILE + "' '" + path + "' --size " + size;
    if (std::system(cmd.c_str()) != 0) std::fprintf(stderr, "could not generate %s\n", path.c_str());
  }
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  Sample s;
  s.bytes = ss.str();
  s.text = mStringTools::UTF8_DecodeBytes(s.bytes);
  cache.push_back({size, std::move(s)});
  return cache.back().second;
}

const char* kSizes[] = {"1M", "10M"};

void FullParse(benchmark::State& st) {
  const Sample& s = Load(kSizes[st.range(0)]);
  for (auto _ : st) {
    st.PauseTiming();
    Text copy = s.text;
    auto n = cXmlNode::New();
    st.ResumeTiming();
    n->XmlData___NonRecursif(std::move(copy));
    benchmark::DoNotOptimize(n.get());
    st.PauseTiming();
    n.reset();
    st.ResumeTiming();
  }
  st.SetBytesProcessed(static_cast<int64_t>(st.iterations() * s.bytes.size()));
}

void LazyLoad(benchmark::State& st) {
  const Sample& s = Load(kSizes[st.range(0)]);
  for (auto _ : st) {
    st.PauseTiming();
    Text copy = s.text;
    auto n = cXmlNode::New();
    st.ResumeTiming();
    n->XmlData(std::move(copy));
    if (st.range(1)) benchmark::DoNotOptimize(n->ChildCount());
    st.PauseTiming();
    n.reset();
    st.ResumeTiming();
  }
}

void Serialize(benchmark::State& st) {
  const Sample& s = Load(kSizes[st.range(0)]);
  auto n = cXmlNode::New();
  n->XmlData___NonRecursif(s.text);
  size_t outSize = 0;
  for (auto _ : st) {
    Text out = n->XmlData();
    outSize = out.size();
    benchmark::DoNotOptimize(out.data());
  }
  st.counters["same_text"] = (n->XmlData() == s.text) ? 1 : 0;
  st.SetBytesProcessed(static_cast<int64_t>(st.iterations() * outSize));
}

#ifdef KSV_HAVE_PUGIXML
void PugiParse(benchmark::State& st) {
  const Sample& s = Load(kSizes[st.range(0)]);
  for (auto _ : st) {
    pugi::xml_document doc;
    doc.load_buffer(s.bytes.data(), s.bytes.size());
    benchmark::DoNotOptimize(doc.first_child());
    st.PauseTiming();
    doc.reset();
    st.ResumeTiming();
  }
  st.SetBytesProcessed(static_cast<int64_t>(st.iterations() * s.bytes.size()));
}

struct StringWriter : pugi::xml_writer {
  std::string out;
  void write(const void* data, size_t size) override { out.append(static_cast<const char*>(data), size); }
};

void PugiSave(benchmark::State& st) {
  const Sample& s = Load(kSizes[st.range(0)]);
  pugi::xml_document doc;
  doc.load_buffer(s.bytes.data(), s.bytes.size());
  for (auto _ : st) {
    StringWriter w;
    doc.save(w, "\t", pugi::format_default | pugi::format_no_declaration);
    benchmark::DoNotOptimize(w.out.data());
  }
}
#endif

BENCHMARK(FullParse)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(LazyLoad)->Args({0, 0})->Args({1, 0})->Args({1, 1})->Unit(benchmark::kMillisecond);
BENCHMARK(Serialize)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
#ifdef KSV_HAVE_PUGIXML
BENCHMARK(PugiParse)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(PugiSave)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
#endif

// Median wall time in ms of `reps` runs of fn (setup excluded by the caller's lambdas).
double MedianMs(int reps, const std::function<double()>& fn) {
  std::vector<double> t;
  for (int i = 0; i < reps; ++i) t.push_back(fn());
  std::sort(t.begin(), t.end());
  return t[t.size() / 2];
}

double Ms(std::chrono::steady_clock::time_point a) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - a).count();
}

void Summary() {
  const Sample& s = Load("10M");
  using clk = std::chrono::steady_clock;
  double full = MedianMs(7, [&] {
    Text copy = s.text;
    auto n = cXmlNode::New();
    auto t = clk::now();
    n->XmlData___NonRecursif(std::move(copy));
    return Ms(t);
  });
  double lazy = MedianMs(7, [&] {
    Text copy = s.text;
    auto n = cXmlNode::New();
    auto t = clk::now();
    n->XmlData(std::move(copy));
    return Ms(t);
  });
  double lazyChild = MedianMs(7, [&] {
    Text copy = s.text;
    auto n = cXmlNode::New();
    auto t = clk::now();
    n->XmlData(std::move(copy));
    n->ChildCount();
    return Ms(t);
  });
  auto doc = cXmlNode::New();
  size_t before = mallinfo2().uordblks;
  doc->XmlData___NonRecursif(s.text);
  size_t held = mallinfo2().uordblks - before;
  double ser = MedianMs(7, [&] {
    auto t = clk::now();
    Text out = doc->XmlData();
    benchmark::DoNotOptimize(out.data());
    return Ms(t);
  });
  std::printf("\n10 MB language file (%zu bytes, %ld nodes)\n", s.bytes.size(), doc->NodeCount() + 1);
  std::printf("  full parse        %8.2f ms\n", full);
  std::printf("  lazy load         %8.2f ms  (%.3f of full parse)\n", lazy, lazy / full);
  std::printf("  lazy + ChildCount %8.2f ms  (%.3f of full parse)\n", lazyChild, lazyChild / full);
  std::printf("  serialize         %8.2f ms\n", ser);
  std::printf("  memory held       %8.1f MB  (%.2f x file size)\n", held / 1048576.0,
              static_cast<double>(held) / static_cast<double>(s.bytes.size()));
#ifdef KSV_HAVE_PUGIXML
  double pparse = MedianMs(7, [&] {
    pugi::xml_document d;
    auto t = clk::now();
    d.load_buffer(s.bytes.data(), s.bytes.size());
    return Ms(t);
  });
  pugi::xml_document pd;
  pd.load_buffer(s.bytes.data(), s.bytes.size());
  double psave = MedianMs(7, [&] {
    StringWriter w;
    auto t = clk::now();
    pd.save(w, "\t", pugi::format_default | pugi::format_no_declaration);
    return Ms(t);
  });
  std::printf("  reference parse   %8.2f ms  -> full parse ratio %.2f\n", pparse, full / pparse);
  std::printf("  reference save    %8.2f ms  -> serialize ratio  %.2f\n", psave, ser / psave);
#endif
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  Summary();
  return 0;
}
