// The three-way merge a save runs when the file changed on disk: one language of 3,000
// strings with 100 strings changed there and 100 others here, beside the reference parser
// reading the same file text from memory (which a save's re-read costs at least). Compare
// the bytes_per_second columns.
#include <benchmark/benchmark.h>

#include <pugixml.hpp>
#include <string>

#include "langedit/cLangMerge.h"
#include "xml/cXmlNode.h"

namespace {

constexpr int kGroups = 30, kPerGroup = 100;

// Strings of the language; `mark` changes every 30th string starting at `from`.
std::string LangText(int from, const char* mark) {
  std::string s = "<Languages version=\"0.4\"><fr name=\"Fran\" version=\"1\">";
  for (int g = 0; g < kGroups; ++g) {
    s += "<G" + std::to_string(g) + ">";
    for (int i = 0; i < kPerGroup; ++i) {
      int n = g * kPerGroup + i;
      std::string v = "Texte num\xC3\xA9ro " + std::to_string(n);
      if (mark && n % 30 == from) v += mark;
      s += "<S" + std::to_string(i) + ">" + v + "</S" + std::to_string(i) + ">";
    }
    s += "</G" + std::to_string(g) + ">";
  }
  return s + "</fr></Languages>";
}

XmlNodePtr Lang(const std::string& text) {
  auto doc = cXmlNode::New();
  doc->XmlData___NonRecursif(txt::FromUtf8(text));
  XmlNodePtr fr = doc->FindNode(u"fr", true, false);
  if (!fr) throw std::runtime_error("generated language missing");
  return fr->Clone();
}

void BM_ReferenceParse(benchmark::State& state) {
  std::string text = LangText(0, " (disque)");
  for (auto _ : state) {
    pugi::xml_document doc;
    benchmark::DoNotOptimize(doc.load_buffer(text.data(), text.size()));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ReferenceParse)->Unit(benchmark::kMillisecond);

void BM_MergeAndApply(benchmark::State& state) {
  XmlNodePtr base = Lang(LangText(0, nullptr));
  std::string theirsText = LangText(0, " (disque)");
  XmlNodePtr theirs = Lang(theirsText);
  XmlNodePtr oursText = Lang(LangText(15, " (ici)"));
  long changes = 0;
  for (auto _ : state) {
    state.PauseTiming();
    XmlNodePtr ours = oursText->Clone();
    state.ResumeTiming();
    cLangMerge m(base, theirs, ours);
    m.Apply(ours);
    changes = m.CleanChanges();
  }
  if (changes != kGroups * kPerGroup / 30) state.SkipWithError("unexpected number of merged strings");
  state.counters["merged"] = static_cast<double>(changes);
  // Per byte of the file, so the column compares with the reference parse.
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * theirsText.size()));
}
BENCHMARK(BM_MergeAndApply)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
