// LoadTextFile + a full parse of a 10 MB language file, stored as UTF-8 and as UTF-16LE,
// beside the reference parser reading the same UTF-8 bytes from memory in the same run.
// Files go to $KSV_BENCH_DIR or $TMPDIR.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <pugixml.hpp>
#include <random>
#include <string>

#include "storage/mStringTools.h"
#include "storage/mTextFile.h"
#include "xml/cXmlNode.h"

namespace {

constexpr size_t kSize = 10 * 1024 * 1024;

const std::string& Utf8File() {
  static std::string b = [] {
    std::string s;
    s.reserve(kSize + 256);
    s += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<Languages version=\"0.4\">\r\n";
    s += "\t<fr name=\"Fran\xC3\xA7" "ais\" en_name=\"French\" icon=\"fr.png\">\r\n";
    std::mt19937 rng(11);
    const char* words[] = {"fichier", "ouvrir", "enregistrer", "annuler", "options", "langue", "traduction",
                           "fermer", "caf\xC3\xA9", "\xC3\xA9l\xC3\xA8ve", "tr\xC3\xA8s", "c\xC5\x93ur", "&amp;"};
    int group = 0;
    while (s.size() < kSize) {
      s += "\t\t<Group" + std::to_string(++group) + ">\r\n";
      for (int n = 1; n <= 20; ++n) {
        s += "\t\t\t<String" + std::to_string(n) + ">";
        int count = 2 + static_cast<int>(rng() % 10);
        for (int k = 0; k < count; ++k) {
          s += words[rng() % 13];
          s += ' ';
        }
        s += "</String" + std::to_string(n) + ">\r\n";
      }
      s += "\t\t</Group" + std::to_string(group) + ">\r\n";
    }
    s += "\t</fr>\r\n</Languages>\r\n";
    return s;
  }();
  return b;
}

std::string Folder() {
  for (const char* var : {"KSV_BENCH_DIR", "TMPDIR"}) {
    const char* v = std::getenv(var);
    if (v && *v) return v;
  }
  return "/tmp";
}

std::string WriteFixture(const std::string& name, const std::string& bytes) {
  std::string path = Folder() + "/" + name;
  std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return path;
}

void LoadAndParse(benchmark::State& state, const std::string& bytes, const char* name, int expectMode) {
  std::string path = WriteFixture(name, bytes);
  Text tpath = mStringTools::UTF8_DecodeBytes(path);
  for (auto _ : state) {
    int mode = 0;
    Text text = mTextFile::LoadTextFile(tpath, false, true, mode);
    if (mode != expectMode) state.SkipWithError("wrong encoding detected");
    XmlNodePtr doc = cXmlNode::New();
    doc->XmlData(std::move(text));
    doc->WakeUp(true);
    benchmark::DoNotOptimize(doc->NodeCount());
    doc->Release();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes.size()));
  ::unlink(path.c_str());
}

void BM_LoadParse_UTF8(benchmark::State& state) {
  LoadAndParse(state, Utf8File(), "ksv_bench_utf8.xml", mStringTools::ModeUTF8);
}

void BM_LoadParse_UTF16LE(benchmark::State& state) {
  static std::string utf16 = "\xFF\xFE" + mStringTools::TextToUTF16LE(mStringTools::UTF8_DecodeBytes(Utf8File()));
  LoadAndParse(state, utf16, "ksv_bench_utf16.xml", mStringTools::ModeUnicode);
}

// The loading share alone (read, detect, decode), without the parse.
void LoadOnly(benchmark::State& state, const std::string& bytes, const char* name) {
  std::string path = WriteFixture(name, bytes);
  Text tpath = mStringTools::UTF8_DecodeBytes(path);
  for (auto _ : state) {
    int mode = 0;
    benchmark::DoNotOptimize(mTextFile::LoadTextFile(tpath, false, true, mode));
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes.size()));
  ::unlink(path.c_str());
}

void BM_LoadOnly_UTF8(benchmark::State& state) { LoadOnly(state, Utf8File(), "ksv_bench_load8.xml"); }

void BM_LoadOnly_UTF16LE(benchmark::State& state) {
  static std::string utf16 = "\xFF\xFE" + mStringTools::TextToUTF16LE(mStringTools::UTF8_DecodeBytes(Utf8File()));
  LoadOnly(state, utf16, "ksv_bench_load16.xml");
}

void BM_Reference_ParseUTF8(benchmark::State& state) {
  const std::string& bytes = Utf8File();
  for (auto _ : state) {
    pugi::xml_document doc;
    if (!doc.load_buffer(bytes.data(), bytes.size())) state.SkipWithError("reference parse failed");
    benchmark::DoNotOptimize(doc.first_child());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes.size()));
}

}  // namespace

BENCHMARK(BM_LoadParse_UTF8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadParse_UTF16LE)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadOnly_UTF8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadOnly_UTF16LE)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Reference_ParseUTF8)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
