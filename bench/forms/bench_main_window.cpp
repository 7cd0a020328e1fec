// The main window offscreen with 8 languages of 3,000 strings each: a keystroke until the
// row and the tree item are repainted, selecting another string, saving one language,
// finding the next empty string across the whole tree.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QListWidget>
#include <filesystem>
#include <fstream>
#include <unistd.h>
#include <memory>

#include "app/mConfig.h"
#include "controls/ctlTextEdit.h"
#include "controls/ctlXmlTree.h"
#include "forms/frmMain.h"
#include "forms/frmReadme.h"
#include "platform/MsgBox.h"

namespace {

const char* const kLangs[] = {"en", "fr", "de", "es", "it", "nl", "pt", "sv"};
constexpr int kGroups = 30, kPerGroup = 100;

std::string Root() {
  static std::string root = [] {
    std::string r = std::filesystem::temp_directory_path().string() + "/ksv_bench_forms_" + std::to_string(getpid());
    std::string dir = r + "/KestrovaTools/KestrovaMenu/Languages";
    std::filesystem::create_directories(dir);
    std::ofstream(r + "/Kestrova.exe") << "x";
    for (const char* id : kLangs) {
      std::ofstream f(dir + "/KestrovaMenu_" + id + ".xml", std::ios::binary);
      f << "<Languages version=\"0.4\">\r\n<" << id << " en_name=\"L " << id << "\" icon=\"" << id << ".png\">\r\n";
      for (int g = 0; g < kGroups; ++g) {
        f << "<G" << g << ">";
        for (int s = 0; s < kPerGroup; ++s) {
          // The last language misses its last string, so the search crosses everything.
          bool empty = std::string(id) == "sv" && g == kGroups - 1 && s == kPerGroup - 1;
          f << "<S" << s << ">" << (empty ? "" : std::string("Text ") + id + " " + std::to_string(g * 1000 + s))
            << "</S" << s << ">";
        }
        f << "</G" << g << ">\r\n";
      }
      f << "</" << id << ">\r\n</Languages>\r\n";
    }
    return r;
  }();
  return root;
}

std::unique_ptr<frmMain> gWin;

frmMain& Window() {
  if (!gWin) gWin = [] {
    mConfig::SetConfigPath(txt::FromUtf8(Root() + "/KsvLangEditor.xml"));
    platform::SetMsgBoxHandler([](const platform::MsgBoxRequest&) { return static_cast<int>(platform::vbYes); });
    frmReadme::SetShowHandler([](frmReadme&) {});
    auto win = std::make_unique<frmMain>();
    frmMain::StartOptions o;
    o.programFolder = txt::FromUtf8(Root() + "/KestrovaTools");
    o.runningImages = [] { return std::vector<Text>{}; };
    o.silentUpdateCheck = false;
    o.showReadme = false;
    win->Form_Load(o);
    win->mnuSelectToolChoice[1]->trigger();
    for (size_t i = 1; i < win->mnuLoadLanguageChoice.size(); ++i)
      if (win->mnuLoadLanguageChoice[i]->isEnabled()) win->mnuLoadLanguageChoice[i]->trigger();
    win->resize(1000, 700);
    QApplication::processEvents();
    return win;
  }();
  return *gWin;
}

cVisualNode* StringItem(frmMain& w, int group, int s) {
  cVisualNode* g = w.XmlTree->Tree()->Child(group + 1);
  g->Expanded(true);
  return g->Child(s + 1);
}

// Repaints now what the change made dirty.
void Paint(frmMain& w) {
  w.lstValues->viewport()->repaint();
  w.XmlTree->repaint();
}

void BM_Keystroke(benchmark::State& state) {
  frmMain& w = Window();
  w.XmlTree->SelectNode(StringItem(w, 0, 5));
  w.lstValues->setCurrentRow(1);
  Paint(w);
  Text text = w.txtValue->GetText();
  for (auto _ : state) {
    text += u"x";
    w.txtValue->SetText(text);
    Paint(w);
  }
}
BENCHMARK(BM_Keystroke)->Unit(benchmark::kMillisecond);

void BM_SelectString(benchmark::State& state) {
  frmMain& w = Window();
  int i = 0;
  for (auto _ : state) {
    w.XmlTree->SelectNode(StringItem(w, 1, (i++ % 50) * 2));
    Paint(w);
  }
}
BENCHMARK(BM_SelectString)->Unit(benchmark::kMillisecond);

void BM_SaveOneLanguage(benchmark::State& state) {
  frmMain& w = Window();
  for (auto _ : state) {
    state.PauseTiming();
    w.XmlTree->SelectNode(StringItem(w, 2, 7));
    w.lstValues->setCurrentRow(2);
    w.txtValue->SetText(w.txtValue->GetText() + u"!");
    state.ResumeTiming();
    if (!w.Saver().SaveLang(u"de")) state.SkipWithError("not saved");
  }
}
BENCHMARK(BM_SaveOneLanguage)->Unit(benchmark::kMillisecond);

void BM_FindNextEmpty(benchmark::State& state) {
  frmMain& w = Window();
  for (auto _ : state) w.FindNextEmpty(w.Editor().TreeDoc(), 8);
}
BENCHMARK(BM_FindNextEmpty)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  gWin.reset();
  std::filesystem::remove_all(Root());
  return 0;
}
