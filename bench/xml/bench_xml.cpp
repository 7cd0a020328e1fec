// XML engine speed and memory on generated language files, with pugixml reading and
// writing the same files as the reference in the same run. Inputs come from
// tools/gen_langfile.py; a missing generator or input stops the program.
//
// Rows: opening a 10 MB file (LoadTextFile then the full parse) against load_file; saving
// it (serialize then SaveFile) against save_file; the lazy load; and the scaling rows,
// where load, merge into a structure and save of 10,000 to 300,000 sibling strings and of
// 50,000 to 200,000 attributes on one element must stay linear: the ratio to the reference
// holds steady as the count grows. A summary with the ratios follows the run.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <pugixml.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "storage/mStringTools.h"
#include "storage/mTextFile.h"
#include "xml/cXmlNode.h"

namespace {

struct Sample {
  std::string path;
  Text tpath;
  size_t bytes = 0;
};

std::string Folder() {
  for (const char* var : {"KSV_BENCH_DIR", "TMPDIR"}) {
    const char* v = std::getenv(var);
    if (v && *v) return v;
  }
  return "/tmp";
}

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "bench_xml: %s\n", what.c_str());
  std::exit(2);
}

// The generated input for `args` ("--size 10M", "--siblings 300000"), made once per run.
const Sample& Input(const std::string& args) {
  static std::map<std::string, Sample> made;
  auto it = made.find(args);
  if (it != made.end()) return it->second;
  std::string name = args;
  std::replace_if(name.begin(), name.end(), [](char c) { return c == ' ' || c == '-'; }, '_');
  Sample s;
  s.path = Folder() + "/ksv_bench" + name + "_" + std::to_string(::getpid()) + ".xml";
  if (::access(KSV_GEN_LANGFILE, R_OK) != 0) Fail(std::string("generator missing: ") + KSV_GEN_LANGFILE);
  std::string cmd = std::string("python3 '") + KSV_GEN_LANGFILE + "' '" + s.path + "' " + args;
  if (std::system(cmd.c_str()) != 0) Fail("could not generate input: " + cmd);
  std::ifstream in(s.path, std::ios::binary | std::ios::ate);
  if (!in || in.tellg() <= 0) Fail("input missing or empty: " + s.path);
  s.bytes = static_cast<size_t>(in.tellg());
  s.tpath = mStringTools::UTF8_DecodeBytes(s.path);
  return made.emplace(args, std::move(s)).first->second;
}

XmlNodePtr Open(const Sample& s) {
  int mode = 0;
  Text text = mTextFile::LoadTextFile(s.tpath, false, true, mode);
  if (text.empty()) Fail("could not load " + s.path);
  auto doc = cXmlNode::New();
  doc->XmlData___NonRecursif(std::move(text));
  return doc;
}

// Load, merge into a fresh structure (as loading a language does), save.
size_t LoadMergeSave(const Sample& s, const std::string& out) {
  XmlNodePtr doc = Open(s);
  auto structure = cXmlNode::New();
  structure->Name(doc->Name());
  structure->MergeXml(doc);
  Text written = structure->XmlData();
  if (!mTextFile::SaveFile(mStringTools::UTF8_DecodeBytes(out), written)) Fail("could not save " + out);
  return written.size();
}

std::string OutPath() { return Folder() + "/ksv_bench_out_" + std::to_string(::getpid()) + ".xml"; }

const char* const kShapes[] = {"--size 10M", "--siblings 10000", "--siblings 30000", "--siblings 300000",
                               "--attrs 50000", "--attrs 200000"};

void BM_Open(benchmark::State& st) {
  const Sample& s = Input(kShapes[st.range(0)]);
  for (auto _ : st) benchmark::DoNotOptimize(Open(s).get());
  st.SetBytesProcessed(static_cast<int64_t>(st.iterations() * s.bytes));
}

void BM_RefOpen(benchmark::State& st) {
  const Sample& s = Input(kShapes[st.range(0)]);
  for (auto _ : st) {
    pugi::xml_document doc;
    if (!doc.load_file(s.path.c_str())) st.SkipWithError("reference could not read the input");
    benchmark::DoNotOptimize(doc.first_child());
  }
  st.SetBytesProcessed(static_cast<int64_t>(st.iterations() * s.bytes));
}

void BM_Save(benchmark::State& st) {
  XmlNodePtr doc = Open(Input(kShapes[0]));
  Text out = mStringTools::UTF8_DecodeBytes(OutPath());
  for (auto _ : st)
    if (!mTextFile::SaveFile(out, doc->XmlData())) st.SkipWithError("save failed");
}

void BM_RefSave(benchmark::State& st) {
  pugi::xml_document doc;
  doc.load_file(Input(kShapes[0]).path.c_str());
  std::string out = OutPath();
  for (auto _ : st)
    if (!doc.save_file(out.c_str(), "\t", pugi::format_default | pugi::format_no_declaration)) st.SkipWithError("save failed");
}

void BM_LazyOpen(benchmark::State& st) {
  const Sample& s = Input(kShapes[0]);
  for (auto _ : st) {
    int mode = 0;
    auto doc = cXmlNode::New();
    doc->XmlData(mTextFile::LoadTextFile(s.tpath, false, true, mode));
    benchmark::DoNotOptimize(doc->ChildCount());
  }
}

void BM_LoadMergeSave(benchmark::State& st) {
  const Sample& s = Input(kShapes[st.range(0)]);
  std::string out = OutPath();
  for (auto _ : st) benchmark::DoNotOptimize(LoadMergeSave(s, out));
  st.SetBytesProcessed(static_cast<int64_t>(st.iterations() * s.bytes));
}

BENCHMARK(BM_Open)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RefOpen)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Save)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RefSave)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LazyOpen)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadMergeSave)->DenseRange(1, 5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RefOpen)->DenseRange(1, 5)->Unit(benchmark::kMillisecond);

// Median wall time in ms of `reps` runs after one untimed run: the first run of a size
// pays for memory the process has not touched yet, which says nothing about the code.
double MedianMs(int reps, const std::function<void()>& fn) {
  std::vector<double> t;
  fn();
  for (int i = 0; i < reps; ++i) {
    auto a = std::chrono::steady_clock::now();
    fn();
    t.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - a).count());
  }
  std::sort(t.begin(), t.end());
  return t[t.size() / 2];
}

// The same for a build step alone: what `make` returns is dropped after the clock stops, so
// tearing it down is not timed.
template <class Make>
double MedianBuildMs(int reps, Make make) {
  std::vector<double> t;
  { auto first = make(); }
  for (int i = 0; i < reps; ++i) {
    auto a = std::chrono::steady_clock::now();
    auto made = make();
    t.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - a).count());
  }
  std::sort(t.begin(), t.end());
  return t[t.size() / 2];
}

std::unique_ptr<pugi::xml_document> RefOpen(const Sample& s) {
  auto d = std::make_unique<pugi::xml_document>();
  d->load_file(s.path.c_str());
  return d;
}

double RefOpenMs(const Sample& s, int reps) {
  return MedianMs(reps, [&] {
    pugi::xml_document d;
    d.load_file(s.path.c_str());
  });
}

void Summary() {
  const Sample& s = Input(kShapes[0]);
  std::string out = OutPath();
  Text tout = mStringTools::UTF8_DecodeBytes(out);
  // File bytes to the woken tree; then the same with the tree dropped inside the timing.
  double open = MedianBuildMs(9, [&] { return Open(s); });
  double refOpen = MedianBuildMs(9, [&] { return RefOpen(s); });
  double cycle = MedianMs(9, [&] { Open(s); });
  double refCycle = RefOpenMs(s, 9);
  size_t before = mallinfo2().uordblks;
  XmlNodePtr doc = Open(s);
  size_t held = mallinfo2().uordblks - before;
  bool saved = true;
  double save = MedianMs(7, [&] { saved = mTextFile::SaveFile(tout, doc->XmlData()) && saved; });
  if (!saved) {
    std::fprintf(stderr, "saving %s failed\n", txt::ToUtf8(tout).c_str());
    std::exit(1);
  }
  pugi::xml_document ref;
  ref.load_file(s.path.c_str());
  double refSave = MedianMs(7, [&] { ref.save_file(out.c_str(), "\t", pugi::format_default | pugi::format_no_declaration); });
  std::printf("\n10 MB language file (%zu bytes, %ld nodes)\n", s.bytes, doc->NodeCount() + 1);
  std::printf("  open  (LoadTextFile + full parse) %8.2f ms   reference load_file %8.2f ms   ratio %.2f (target 3)\n",
              open, refOpen, open / refOpen);
  std::printf("  open and drop the tree again       %8.2f ms   reference           %8.2f ms   ratio %.2f\n", cycle,
              refCycle, cycle / refCycle);
  std::printf("  save  (serialize + SaveFile)      %8.2f ms   reference save_file %8.2f ms   ratio %.2f (target 3)\n",
              save, refSave, save / refSave);
  std::printf("  memory held by the woken tree     %8.1f MB   %.2f x file size (target 4)\n", held / 1048576.0,
              static_cast<double>(held) / static_cast<double>(s.bytes));
  // The time per megabyte shows linearity by itself: the reference's own time per byte
  // drifts with the size (its buffers outgrow the caches at a different point), so the ratio
  // alone can mislead.
  std::printf("\nLoad + merge + save against the reference's load_file (steady ms/MB = linear)\n");
  for (int i = 1; i <= 5; ++i) {
    const Sample& x = Input(kShapes[i]);
    double ours = MedianMs(5, [&] { LoadMergeSave(x, out); });
    double theirs = RefOpenMs(x, 5);
    double mb = static_cast<double>(x.bytes) / 1048576.0;
    std::printf("  %-18s %9zu bytes  %9.2f ms  %6.2f ms/MB  reference %8.2f ms  %6.2f ms/MB  ratio %6.2f\n",
                kShapes[i] + 2, x.bytes, ours, ours / mb, theirs, theirs / mb, ours / theirs);
  }
  ::unlink(out.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  Summary();
  for (const char* shape : kShapes) ::unlink(Input(shape).path.c_str());
  return 0;
}
