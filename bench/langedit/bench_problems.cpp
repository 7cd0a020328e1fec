// What the Problems panel adds to the checks, on 8 languages of 3,000 strings: the review
// marks compared with English at load (reference: reading the same strings), and the
// bookkeeping of one keystroke (one string's findings replaced, the counts of the status bar,
// the marks of the tree and the row; reference: checking that string in the 8 languages).
#include <benchmark/benchmark.h>

#include "bench/langedit/BenchLang.h"
#include "langedit/cProblemList.h"
#include "langedit/cReviewMarks.h"
#include "langedit/mStrings.h"

namespace {

constexpr int kLangCount = 9, kGroups = 30, kPerGroup = 100;

struct Suite {
  std::vector<XmlNodePtr> langs;  // English first
  std::vector<Text> ids, paths;
  Suite() {
    for (int l = 0; l < kLangCount; ++l) {
      Text id = l == 0 ? Text(u"en") : u"l" + txt::FromInt(l);
      auto lang = benchlang::MakeLang(id, kGroups, kPerGroup,
                                      [&](int n) { return u"Text %s of string " + txt::FromInt(n) + u" in " + id; });
      langs.push_back(lang);
      ids.push_back(lang->Name());
    }
    paths = mStrings::Paths(langs[0]);
  }
};

Suite& TheSuite() {
  static Suite s;
  return s;
}

void BM_ReadStrings_Reference(benchmark::State& st) {
  const Suite& s = TheSuite();
  for (auto _ : st)
    for (size_t i = 1; i < s.langs.size(); ++i) {
      auto en = mStrings::Values(s.langs[0]);
      benchmark::DoNotOptimize(mStrings::Values(s.langs[i]).size() + en.size());
    }
}
BENCHMARK(BM_ReadStrings_Reference)->Unit(benchmark::kMillisecond);

void BM_ReconcileReviewMarks(benchmark::State& st) {
  const Suite& s = TheSuite();
  cReviewMarks marks;
  for (size_t i = 1; i < s.langs.size(); ++i) marks.Reconcile(u"Tool", s.ids[i], s.langs[0], s.langs[i]);
  for (auto _ : st)  // every key recorded already: the load of any later session
    for (size_t i = 1; i < s.langs.size(); ++i)
      benchmark::DoNotOptimize(marks.Reconcile(u"Tool", s.ids[i], s.langs[0], s.langs[i]));
}
BENCHMARK(BM_ReconcileReviewMarks)->Unit(benchmark::kMillisecond);

void BM_CheckEditedString_Reference(benchmark::State& st) {
  const Suite& s = TheSuite();
  Text en = s.langs[0]->GetChildValue(s.paths[5]);
  for (auto _ : st)
    for (size_t i = 1; i < s.langs.size(); ++i)
      benchmark::DoNotOptimize(CheckTranslation(en, s.langs[i]->GetChildValue(s.paths[5])));
}
BENCHMARK(BM_CheckEditedString_Reference)->Unit(benchmark::kMicrosecond);

void BM_KeystrokeBookkeeping(benchmark::State& st) {
  const Suite& s = TheSuite();
  cProblemList list;
  list.SetOrder(s.paths, s.ids);
  // A finding on every third string of every language.
  for (size_t i = 1; i < s.langs.size(); ++i) {
    std::vector<StringFindings> f;
    for (size_t p = 0; p < s.paths.size(); p += 3)
      f.push_back({s.paths[p], {CheckFinding{CheckKind::Length, CheckSeverity::Warning, u"far longer", {}}}});
    list.SetFindings(s.ids[i], u"checks", std::move(f));
  }
  bool on = false;
  for (auto _ : st) {
    on = !on;
    std::vector<CheckFinding> f;
    if (on) f.push_back(CheckFinding{CheckKind::Placeholders, CheckSeverity::Error, u"placeholder %s missing", {}});
    list.SetString(s.ids[3], u"checks", s.paths[4], std::move(f));
    CheckSeverity worst;
    benchmark::DoNotOptimize(list.Count().Total() + list.Worst(u"", s.paths[4], worst) +
                             list.Worst(s.ids[3], s.paths[4], worst));
  }
}
BENCHMARK(BM_KeystrokeBookkeeping)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
