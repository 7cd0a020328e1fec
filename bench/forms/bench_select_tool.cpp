// Switching tools in the real main window (offscreen): a tool folder with 8 languages of
// 3,000 strings each, English and 3 remembered languages loaded, until the tree is painted.
// Also the listing of a tool's languages alone.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "controls/ctlXmlTree.h"
#include "forms/frmMain.h"
#include "forms/frmReadme.h"
#include "langedit/mTools.h"
#include "platform/MsgBox.h"

namespace {

namespace stdfs = std::filesystem;

const char* kLangs[] = {"en", "fr", "de", "es", "it", "nl", "pt-BR", "ru"};

// A suite with the same 8 languages in two tools, so the window can switch back and forth.
std::string MakeSuite() {
  std::string root = (stdfs::temp_directory_path() / "ksv-bench-suite").string();
  stdfs::remove_all(root);
  stdfs::create_directories(root);
  std::ofstream(root + "/Kestrova.exe") << "x";
  for (const char* tool : {"KestrovaTools/Setup/KVSetup_", "KestrovaTools/TypeLinker/TypeLinker_"}) {
    std::string base = root + "/" + tool;
    stdfs::create_directories(stdfs::path(base).parent_path());
    for (const char* lang : kLangs) {
      std::ofstream f(base + lang + ".xml", std::ios::binary);
      f << "<Languages version=\"0.4\">\r\n\t<" << lang << " name=\"" << lang << "\" en_name=\"Lang " << lang
        << "\">\r\n";
      // 30 groups of 10 sub-groups of 10 strings: 3,000 strings.
      for (int g = 0; g < 30; ++g) {
        f << "\t\t<Group" << g << ">\r\n";
        for (int s = 0; s < 10; ++s) {
          f << "\t\t\t<Sub" << s << ">\r\n";
          for (int k = 0; k < 10; ++k)
            f << "\t\t\t\t<String" << k << ">" << lang << " text " << g << "." << s << "." << k
              << " with some words in it</String" << k << ">\r\n";
          f << "\t\t\t</Sub" << s << ">\r\n";
        }
        f << "\t\t</Group" << g << ">\r\n";
      }
      f << "\t</" << lang << ">\r\n</Languages>\r\n";
    }
  }
  return root;
}

struct Window {
  std::string root = MakeSuite();
  frmMain win;
  Window() {
    platform::SetMsgBoxHandler([](const platform::MsgBoxRequest&) { return static_cast<int>(platform::vbNo); });
    frmMain::StartOptions o;
    o.programFolder = txt::FromUtf8(root + "/KestrovaTools");
    o.runningImages = [] { return std::vector<Text>{}; };
    o.showReadme = false;
    o.silentUpdateCheck = false;
    win.Form_Load(o);
    win.resize(1000, 700);
    win.mnuSelectToolChoice_Click(2);
    for (int i = 2; i <= 4; ++i) win.Editor().LoadLangListEntry(i + 1);  // English + 3 others
  }
};

void BM_SelectToolUntilPainted(benchmark::State& state) {
  Window w;
  int tool = 3;
  for (auto _ : state) {
    w.win.mnuSelectToolChoice_Click(tool);
    QImage img = w.win.XmlTree->grab().toImage();  // the tree painted into the picture
    benchmark::DoNotOptimize(img.bits());
    tool = tool == 3 ? 2 : 3;
  }
  state.counters["languages"] = static_cast<double>(w.win.Editor().LoadedLangs()->ChildCount());
}

void BM_LoadToolLangs(benchmark::State& state) {
  Window w;
  Text pattern = mTools::ToolPattern(w.win.Editor().SuiteRoot(), mTools::Tools()[1]);
  for (auto _ : state) w.win.Editor().LoadToolLangs(pattern, true);
  state.counters["entries"] = static_cast<double>(w.win.Editor().LangList()->ChildCount());
}

}  // namespace

BENCHMARK(BM_SelectToolUntilPainted)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_LoadToolLangs)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
