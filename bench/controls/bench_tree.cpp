// The tree view on a big document: build + layout + first paint of a fully expanded tree of
// 20,000 items, a selection change and a one-page scroll, offscreen.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <QApplication>
#include <QPixmap>
#include <cstdlib>

#include "controls/ctlXmlTree.h"
#include "platform/KeyCodes.h"

namespace {

constexpr int kGroups = 200;
constexpr int kLeaves = 99;  // 200 groups + 200 * 99 leaves = 20,000 items

XmlNodePtr BigDoc() {
  Text xml = u"<Languages>";
  for (int g = 0; g < kGroups; ++g) {
    xml += u"<Group" + txt::FromInt(g) + u" expanded=\"yes\">";
    for (int l = 0; l < kLeaves; ++l) xml += u"<String_" + txt::FromInt(l) + u"_Caption>x</String_" + txt::FromInt(l) + u"_Caption>";
    xml += u"</Group" + txt::FromInt(g) + u">";
  }
  xml += u"</Languages>";
  XmlNodePtr doc = cXmlNode::New();
  doc->XmlData___NonRecursif(xml);
  return doc;
}

const XmlNodePtr& Doc() {
  static XmlNodePtr d = BigDoc();
  return d;
}

size_t HeapInUse() { return mallinfo2().uordblks; }

// Runs the widget's paint as a screen update would.
void Paint(ctlXmlTree& tree) {
  static QImage target(400, 700, QImage::Format_RGB32);
  tree.render(&target);
}

void BM_BuildLayoutFirstPaint(benchmark::State& state) {
  const XmlNodePtr& doc = Doc();
  size_t held = 0;
  for (auto _ : state) {
    size_t before = HeapInUse();
    ctlXmlTree tree;
    tree.resize(400, 700);
    tree.show();
    tree.Xml(doc);
    Paint(tree);
    held = HeapInUse() - before;
    benchmark::DoNotOptimize(tree.Tree());
  }
  state.counters["items"] = kGroups * (kLeaves + 1);
  state.counters["held_MB"] = static_cast<double>(held) / (1024.0 * 1024.0);
}
BENCHMARK(BM_BuildLayoutFirstPaint)->Unit(benchmark::kMillisecond)->Iterations(5);

struct Shown {
  ctlXmlTree tree;
  Shown() {
    tree.resize(400, 700);
    tree.show();
    tree.Xml(Doc());
    Paint(tree);
  }
};

void BM_SelectionChange(benchmark::State& state) {
  Shown s;
  cVisualNode* a = s.tree.Tree()->Child(100)->Child(50);
  cVisualNode* b = s.tree.Tree()->Child(100)->Child(51);
  bool flip = false;
  for (auto _ : state) {
    s.tree.SelectNode(flip ? a : b);
    Paint(s.tree);
    flip = !flip;
  }
}
BENCHMARK(BM_SelectionChange)->Unit(benchmark::kMicrosecond);

void BM_ScrollOnePage(benchmark::State& state) {
  Shown s;
  cScrollBars& sb = s.tree.ScrollBar();
  for (auto _ : state) {
    if (sb.Value(cScrollBars::sbVertical) >= sb.Max(cScrollBars::sbVertical)) sb.Value(cScrollBars::sbVertical, 0);
    s.tree.KeyDownCode(vk::Next, 0);
    Paint(s.tree);
  }
  state.counters["band_MB"] = static_cast<double>(s.tree.CachedBandBytes()) / (1024.0 * 1024.0);
}
BENCHMARK(BM_ScrollOnePage)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
