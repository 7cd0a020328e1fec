// The translation checks as the window and the headless check use them: all strings of 8
// languages of 3,000 strings each, one edited string per keystroke, and --check over the
// demo suite as a whole process. Each has a reference row in the same run: reading and
// copying the same strings, copying the edited texts, and the same program printing its
// version (start-up alone).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench/langedit/BenchLang.h"
#include "langedit/cQualityCheck.h"
#include "langedit/mStrings.h"

extern char** environ;

namespace {

const char16_t* const kLangs[] = {u"en", u"fr", u"de", u"es", u"it", u"nl", u"pt", u"sv", u"pl"};
constexpr int kGroups = 30, kPerGroup = 100;

// English shapes with what the checks look at: placeholders, tags, accelerators, line breaks,
// end punctuation.
const char16_t* const kEnglish[] = {
    u"Open %s files from the %d folders",     u"<b>Warning:</b> %1 items are left.", u"&Save the file as...",
    u"First line of help\\nSecond line here", u"{0} of {count} done!",               u"Restore the default settings?",
    u"Plain caf\u00E9 text with some words",  u"Progress: 100% done",
};
// A translation of each, mostly sound; every 7th string drops a placeholder and every 11th
// its end punctuation, so findings are built too.
const char16_t* const kTarget[] = {
    u"Ouvrir les fichiers %s des %d dossiers", u"<b>Attention :</b> il reste %1 \u00E9l\u00E9ments.",
    u"&Enregistrer le fichier sous\u2026",      u"Premi\u00E8re ligne d'aide\\nDeuxi\u00E8me ligne ici",
    u"{count} sur {0} termin\u00E9s !",         u"Restaurer les r\u00E9glages par d\u00E9faut ?",
    u"Texte de caf\u00E9 avec quelques mots",   u"Progression : 100 % fait",
};

Text Value(const char16_t* const* table, int n, TextView id, bool english) {
  Text v = table[n % 8];
  if (!english && n % 7 == 0) v = txt::Replace(v, u"%d", u"");
  if (!english && n % 11 == 0 && !v.empty()) v.pop_back();
  return v + u" " + Text(id) + txt::FromInt(n);
}

struct Langs {
  std::vector<XmlNodePtr> langs;
  Langs() {
    for (const char16_t* id : kLangs) {
      bool en = Text(id) == u"en";
      langs.push_back(benchlang::MakeLang(
          id, kGroups, kPerGroup, [&](int n) { return Value(en ? kEnglish : kTarget, n, en ? u"" : id, en); }));
    }
  }
};

Langs& TheLangs() {
  static Langs l;
  return l;
}

void BM_ReadAndCopyStrings_Reference(benchmark::State& st) {
  const auto& l = TheLangs().langs;
  for (auto _ : st) {
    size_t n = 0;
    for (size_t i = 1; i < l.size(); ++i) {
      auto en = mStrings::Values(l[0]);
      for (auto& [k, v] : mStrings::Values(l[i])) n += Text(v).size() + en[k].size();
    }
    benchmark::DoNotOptimize(n);
  }
}
BENCHMARK(BM_ReadAndCopyStrings_Reference)->Unit(benchmark::kMillisecond);

void BM_CheckEightLanguages(benchmark::State& st) {
  const auto& l = TheLangs().langs;
  size_t findings = 0;
  for (auto _ : st) {
    findings = 0;
    for (size_t i = 1; i < l.size(); ++i) findings += CheckLanguage(l[0], l[i]).size();
    benchmark::DoNotOptimize(findings);
  }
  st.counters["strings_with_findings"] = static_cast<double>(findings);
}
BENCHMARK(BM_CheckEightLanguages)->Unit(benchmark::kMillisecond);

// One keystroke: the edited string is checked again in each of the 8 languages.
Text KeyEnglish() { return Value(kEnglish, 1, u"", true); }
std::vector<Text> KeyTargets() {
  std::vector<Text> t;
  for (size_t i = 1; i < std::size(kLangs); ++i) t.push_back(Value(kTarget, 1, kLangs[i], false));
  return t;
}

void BM_CopyEditedString_Reference(benchmark::State& st) {
  Text en = KeyEnglish();
  std::vector<Text> targets = KeyTargets();
  for (auto _ : st)
    for (const Text& t : targets) {
      Text a = en, b = t;
      benchmark::DoNotOptimize(a == b);
    }
}
BENCHMARK(BM_CopyEditedString_Reference)->Unit(benchmark::kMicrosecond);

void BM_RecheckEditedString(benchmark::State& st) {
  Text en = KeyEnglish();
  std::vector<Text> targets = KeyTargets();
  for (auto _ : st)
    for (const Text& t : targets) benchmark::DoNotOptimize(CheckTranslation(en, t));
}
BENCHMARK(BM_RecheckEditedString)->Unit(benchmark::kMicrosecond);

// The built program as a process, with no display in its environment and its output dropped.
void RunProgram(benchmark::State& st, std::vector<std::string> args, int expected) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e)
    if (std::strncmp(*e, "DISPLAY=", 8) && std::strncmp(*e, "QT_QPA_PLATFORM=", 16) && std::strncmp(*e, "WAYLAND_DISPLAY=", 16))
      env.emplace_back(*e);
  std::vector<char*> envp, argv{const_cast<char*>(KSV_EXE_PATH)};
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
  for (auto _ : st) {
    pid_t pid = 0;
    int status = 0;
    if (posix_spawn(&pid, KSV_EXE_PATH, &fa, nullptr, argv.data(), envp.data()) != 0 || waitpid(pid, &status, 0) != pid ||
        !WIFEXITED(status) || WEXITSTATUS(status) != expected) {
      st.SkipWithError("the program did not run as expected");
      break;
    }
  }
  posix_spawn_file_actions_destroy(&fa);
}

void BM_ProgramVersion_Reference(benchmark::State& st) { RunProgram(st, {"--version"}, 0); }
BENCHMARK(BM_ProgramVersion_Reference)->Unit(benchmark::kMillisecond)->UseRealTime();

// The demo suite holds one string English lacks: exit code 1.
void BM_CheckDemoSuiteProcess(benchmark::State& st) { RunProgram(st, {"--check", KSV_DEMO_SUITE}, 1); }
BENCHMARK(BM_CheckDemoSuiteProcess)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  for (const char* input : {KSV_EXE_PATH, KSV_DEMO_SUITE "/Kestrova.exe"})
    if (access(input, R_OK) != 0) {
      std::fprintf(stderr, "bench_quality: %s is missing\n", input);
      return 1;
    }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
