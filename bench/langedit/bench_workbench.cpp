// The translator's aids on 8 languages of 3,000 strings, as the window uses them per
// keystroke. The reference row is a plain copy of every value's text, the least any
// per-keystroke work over all strings could cost.
#include <benchmark/benchmark.h>

#include <string>

#include "langedit/cLangStats.h"
#include "langedit/cStringFilter.h"
#include "langedit/cUndoHistory.h"
#include "langedit/mStrings.h"

namespace {

const char16_t* const kLangs[] = {u"en", u"fr", u"de", u"es", u"it", u"nl", u"pt", u"sv"};
constexpr int kGroups = 30, kPerGroup = 100;

struct Suite {
  XmlNodePtr tree = cXmlNode::New();
  XmlNodePtr langs = cXmlNode::New();
  Suite() {
    tree->Name(u"Structure");
    langs->Name(u"Languages");
    for (const char16_t* id : kLangs) {
      Text xml = u"<" + Text(id) + u">";
      for (int g = 0; g < kGroups; ++g) {
        xml += u"<G" + txt::FromInt(g) + u">";
        for (int s = 0; s < kPerGroup; ++s)
          xml += u"<S" + txt::FromInt(s) + u">Caf\u00E9 text " + Text(id) + u" " + txt::FromInt(g * 1000 + s) +
                 u" with some words</S" + txt::FromInt(s) + u">";
        xml += u"</G" + txt::FromInt(g) + u">";
      }
      xml += u"</" + Text(id) + u">";
      langs->AddChild(cXmlNode::FromXml(xml));
    }
    langs->Child(1)->WakeUp(true);
    XmlNodePtr structure = langs->Child(1)->Clone();
    while (structure->ChildCount() > 0) {
      XmlNodePtr c = structure->Child(1);
      structure->EmancipateChild(c);
      tree->AddChild(c);
    }
    for (long i = 1; i <= langs->ChildCount(); ++i) langs->Child(i)->WakeUp(true);
  }
};

Suite& TheSuite() {
  static Suite s;
  return s;
}

void BM_CopyAllValues_Reference(benchmark::State& st) {
  auto values = mStrings::Values(TheSuite().langs->Child(2));
  for (auto _ : st) {
    size_t n = 0;
    for (int l = 0; l < 8; ++l)
      for (auto& [k, v] : values) n += Text(v).size();
    benchmark::DoNotOptimize(n);
  }
}
BENCHMARK(BM_CopyAllValues_Reference)->Unit(benchmark::kMillisecond);

// One keystroke in the find bar: the filter over every key and value of 8 languages.
void BM_FindKeystroke(benchmark::State& st) {
  cStringFilter f;
  f.Build(TheSuite().tree, TheSuite().langs);
  const char16_t* queries[] = {u"c", u"ca", u"caf", u"cafe", u"cafe t", u"2999"};
  size_t i = 0;
  for (auto _ : st) benchmark::DoNotOptimize(f.Filter(queries[i++ % 6], {}));
}
BENCHMARK(BM_FindKeystroke)->Unit(benchmark::kMillisecond);

void BM_FindIndexBuild(benchmark::State& st) {
  for (auto _ : st) {
    cStringFilter f;
    f.Build(TheSuite().tree, TheSuite().langs);
    benchmark::DoNotOptimize(f.Count());
  }
}
BENCHMARK(BM_FindIndexBuild)->Unit(benchmark::kMillisecond);

// The status bar's counts after one typed character (a string emptied and filled again).
void BM_ProgressPerKeystroke(benchmark::State& st) {
  cLangStats s;
  s.Build(TheSuite().tree, TheSuite().langs);
  bool filled = false;
  for (auto _ : st) {
    s.Update(u"G29.S99", u"fr", filled = !filled);
    benchmark::DoNotOptimize(s.StatusText());
  }
}
BENCHMARK(BM_ProgressPerKeystroke)->Unit(benchmark::kMicrosecond);

// Undoing, then redoing, a fill that replaced all 3,000 strings of a language.
void BM_UndoFillOf3000(benchmark::State& st) {
  XmlNodePtr fr = TheSuite().langs->Child(2);
  cUndoHistory::Step step{cUndoHistory::Kind::Fill, {}, {{u"fr", fr->Clone(), fr->Clone()}}, 0, {}, {}};
  for (auto _ : st) {
    ApplyUndoStep(step, true, TheSuite().langs);
    ApplyUndoStep(step, false, TheSuite().langs);
  }
}
BENCHMARK(BM_UndoFillOf3000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
