// Spelling with the French dictionary: one 500-character string as the translator types it,
// and a whole language of 3,000 strings. The reference rows hand the same words, split at
// spaces, straight to the library: the least a check of that text could cost.
#include <benchmark/benchmark.h>
#include <hunspell/hunspell.hxx>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "langedit/cSpellCheck.h"

namespace {

std::string DictionaryBase() {
  std::string base = cSpellCheck().FindDictionary(u"fr");
  if (base.empty()) {
    std::fprintf(stderr, "No French dictionary installed: run tools/install-deps.sh\n");
    std::exit(1);
  }
  return base;
}

// Words of a translation: one in 15 of the dictionary's own stems (some 5,600, nearly all of
// them met in 3,000 strings: more distinct words than real strings have, so the checker's
// memory of words seen helps less than it would), with the markup, placeholders and
// accelerators of a user interface among them.
const std::vector<std::string>& Vocabulary() {
  static std::vector<std::string> words = [] {
    std::vector<std::string> out = {"%s", "{0}", "&Fichier", "<b>attention</b>", "l’application", "aujourd'hui"};
    std::ifstream dic(DictionaryBase() + ".dic");
    std::string line;
    std::getline(dic, line);  // the count
    for (size_t n = 0; std::getline(dic, line); ++n) {
      std::string w = line.substr(0, line.find_first_of("/\t "));
      if (n % 15 == 0 && w.size() > 1 && w.find_first_of("0123456789.") == std::string::npos) out.push_back(w);
    }
    return out;
  }();
  return words;
}

// Deterministic words: one in `missEvery` gets a letter doubled, a misspelling.
struct Words {
  unsigned seed = 12345;
  unsigned Next() { return seed = seed * 1103515245u + 12345u, (seed >> 16) & 0x7fff; }
  std::string Word(unsigned missEvery) {
    const std::vector<std::string>& v = Vocabulary();
    std::string w = v[Next() % v.size()];
    if (missEvery && Next() % missEvery == 0 && w.size() > 3 && w[0] >= 'a' && w[0] <= 'z') w.insert(2, 1, w[2]);
    return w;
  }
  std::string Sentence(size_t chars, unsigned missEvery) {
    std::string s;
    while (s.size() < chars) s += (s.empty() ? "" : " ") + Word(missEvery);
    return s;
  }
};

std::vector<std::string> SplitSpaces(const std::string& s) {
  std::vector<std::string> out;
  size_t i = 0;
  while (i < s.size()) {
    size_t e = s.find(' ', i);
    if (e == std::string::npos) e = s.size();
    out.push_back(s.substr(i, e - i));
    i = e + 1;
  }
  return out;
}

const std::string& String500() {
  static std::string s = Words().Sentence(500, 12);
  return s;
}

const std::vector<std::pair<Text, Text>>& Language3000() {
  static std::vector<std::pair<Text, Text>> strings = [] {
    std::vector<std::pair<Text, Text>> out;
    Words w;
    for (int i = 0; i < 3000; ++i)
      out.emplace_back(u"G" + txt::FromInt(i / 100) + u".S" + txt::FromInt(i % 100),
                       txt::FromUtf8(w.Sentence(20 + w.Next() % 60, 40)));
    return out;
  }();
  return strings;
}

void BM_String500_Reference(benchmark::State& st) {
  std::string base = DictionaryBase();
  Hunspell h((base + ".aff").c_str(), (base + ".dic").c_str());
  std::vector<std::string> words = SplitSpaces(String500());
  for (auto _ : st)
    for (const std::string& w : words) benchmark::DoNotOptimize(h.spell(w));
}
BENCHMARK(BM_String500_Reference)->Unit(benchmark::kMicrosecond);

// Each keystroke checks the whole box again; the words seen before are remembered.
void BM_String500(benchmark::State& st) {
  cSpellCheck s;
  Text text = txt::FromUtf8(String500());
  s.Misspelt(u"fr", text);
  for (auto _ : st) benchmark::DoNotOptimize(s.Misspelt(u"fr", text));
  st.counters["misspelt"] = static_cast<double>(s.Misspelt(u"fr", text).size());
}
BENCHMARK(BM_String500)->Unit(benchmark::kMicrosecond);

// The same length with eight misspellings never seen before at every call.
void BM_String500_NewMisspellings(benchmark::State& st) {
  cSpellCheck s;
  Text base = txt::FromUtf8(String500().substr(0, 420));
  s.Misspelt(u"fr", base);
  unsigned long n = 0;
  for (auto _ : st) {
    Text text = base;
    for (int k = 0; k < 8; ++k) {
      Text word = u" zq";
      for (unsigned long v = ++n; v > 0; v /= 26) word += static_cast<char16_t>(u'a' + v % 26);
      text += word;
    }
    benchmark::DoNotOptimize(s.Misspelt(u"fr", text));
  }
}
BENCHMARK(BM_String500_NewMisspellings)->Unit(benchmark::kMicrosecond);

void BM_Language3000_Reference(benchmark::State& st) {
  std::string base = DictionaryBase();
  Hunspell h((base + ".aff").c_str(), (base + ".dic").c_str());
  std::vector<std::string> words;
  for (const auto& [path, text] : Language3000())
    for (std::string& w : SplitSpaces(txt::ToUtf8(text))) words.push_back(std::move(w));
  for (auto _ : st)
    for (const std::string& w : words) benchmark::DoNotOptimize(h.spell(w));
  st.counters["words"] = static_cast<double>(words.size());
  std::sort(words.begin(), words.end());
  st.counters["distinct"] = static_cast<double>(std::unique(words.begin(), words.end()) - words.begin());
}
BENCHMARK(BM_Language3000_Reference)->Unit(benchmark::kMillisecond)->Iterations(5);

// A fresh checker each time (its dictionary loaded outside the timing): nothing remembered.
void BM_Language3000(benchmark::State& st) {
  size_t findings = 0;
  for (auto _ : st) {
    st.PauseTiming();
    auto s = std::make_unique<cSpellCheck>();
    s->HasDictionary(u"fr");
    st.ResumeTiming();
    findings = s->CheckLanguage(u"fr", Language3000()).size();
    st.PauseTiming();
    s.reset();
    st.ResumeTiming();
  }
  st.counters["strings_with_findings"] = static_cast<double>(findings);
}
BENCHMARK(BM_Language3000)->Unit(benchmark::kMillisecond)->Iterations(5);

// The one wait a translator sees: the first string of a language loads its dictionary.
void BM_LoadDictionary(benchmark::State& st, const char16_t* id) {
  for (auto _ : st) {
    cSpellCheck s;
    benchmark::DoNotOptimize(s.HasDictionary(id));
  }
}
BENCHMARK_CAPTURE(BM_LoadDictionary, fr, u"fr")->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(BM_LoadDictionary, de, u"de")->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
