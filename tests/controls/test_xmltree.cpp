#include <gtest/gtest.h>

#include <vector>

#include "ControlsTestUtil.h"
#include "controls/ctlXmlTree.h"
#include "platform/EventLoop.h"
#include "platform/KeyCodes.h"
#include "tests/common/TestUtil.h"

namespace {

const char16_t* kDoc =
    u"<Languages>"
    u"<A><A1/><A2><A21/></A2></A>"
    u"<Contributors><Contributor/></Contributors>"
    u"<B expanded=\"yes\"><B1 sel=\"1\"/><B2/></B>"
    u"<C/>"
    u"</Languages>";

struct TreeFixture {
  ctlXmlTree tree;
  std::vector<Text> selected;
  std::vector<Text> ups;
  Connection c1, c2;
  explicit TreeFixture(const Text& xml = kDoc, int w = 300, int h = 200) {
    tree.resize(w, h);
    tree.XmlData(xml);
    tree.show();
    QApplication::processEvents();
    c1 = tree.ItemSelected.Subscribe([this](cVisualNode* n) { selected.push_back(Name(n)); });
    c2 = tree.ItemMouseUp.Subscribe([this](int& b, int& s, cVisualNode* n, Text& region) {
      ups.push_back(Name(n) + u"/" + region + u"/" + txt::FromInt(b) + u"/" + txt::FromInt(s));
    });
  }
  static Text Name(cVisualNode* n) { return n && n->XmlNode ? n->XmlNode->Name() : Text(u"?"); }
  cVisualNode* Item(const char16_t* path) {
    XmlNodePtr el = tree.Xml()->GetChildNode(path);
    return el ? tree.Tree()->FindNodeFromXML(el.get()) : nullptr;
  }
  Text Sel() { return Name(tree.SelectedItem()); }
  void Key(int vkCode, Qt::KeyboardModifiers mods = Qt::NoModifier) { ctltest::SendKey(&tree, vk::ToQtKey(vkCode), {}, mods); }
  void Click(long x, long y, QEvent::Type type = QEvent::MouseButtonPress) {
    ctltest::SendMouse(&tree, type, int(x), int(y));
  }
};

}  // namespace

TEST(VisualNode, HeightsRegionsAndProperties) {
  cVisualNode root;
  root.RowHeight = 10;
  root.BottomSpace = 2;
  auto* a = root.AddChild(std::make_unique<cVisualNode>());
  auto* b = root.AddChild(std::make_unique<cVisualNode>());
  a->RowHeight = b->RowHeight = 10;
  auto* a1 = a->AddChild(std::make_unique<cVisualNode>());
  a1->RowHeight = 7;
  EXPECT_EQ(root.Height(), 12);  // collapsed
  EXPECT_EQ(root.ExpandedHeight(), 12 + 10 + 7 + 10);
  root.Expanded(true);
  EXPECT_EQ(root.Height(), 12 + 10 + 10);
  EXPECT_FALSE(root.ExpBufferDirty());
  a->Expanded(true);  // visible item: every ancestor learns about it
  EXPECT_TRUE(root.ExpBufferDirty());
  EXPECT_EQ(root.Height(), 12 + 17 + 10);

  // Regions: bounds inclusive, first inserted wins, same name replaces, empty size removes.
  a->AddMouseRegion(u"box", 0, 0, 9, 9);
  a->AddMouseRegion(u"text", 5, 0, 50, 10);
  EXPECT_TEXT_EQ(a->GetMouseRegion(9, 9), u"box");
  EXPECT_TEXT_EQ(a->GetMouseRegion(10, 10), u"text");
  EXPECT_TEXT_EQ(a->GetMouseRegion(56, 5), u"");
  a->AddMouseRegion(u"box", 0, 0, 0, 9);
  EXPECT_TEXT_EQ(a->GetMouseRegion(6, 1), u"text");

  EXPECT_TEXT_EQ(a->GetProp(u"color"), u"");
  a->SetProp(u"deep.er.value", u"x");
  a->SetProp(u"color", u"255");
  EXPECT_TEXT_EQ(a->GetProp(u"deep.er.value"), u"x");
  a->DelProp(u"deep.er");
  EXPECT_TEXT_EQ(a->GetProp(u"deep.er.value"), u"");
  EXPECT_TEXT_EQ(a->GetProp(u"color"), u"255");
  a->DelProp(u"missing.path");

  root.RemoveChild(1, true);
  EXPECT_EQ(root.ChildCount(), 1);
  EXPECT_EQ(root.Child(1), b);
  EXPECT_EQ(root.Child(2), nullptr);
}

TEST(XmlTree, BuildingHidesContributorsAndTakesOverAttributes) {
  TreeFixture f;
  cVisualNode* root = f.tree.Tree();
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(root->RowHeight, 0);
  EXPECT_EQ(root->Indent, 0);
  EXPECT_TRUE(root->Expanded());
  ASSERT_EQ(root->ChildCount(), 3);  // A, B, C: Contributors is gone
  const long R = root->Child(1)->RowHeight;
  ASSERT_GT(R, 0);
  EXPECT_EQ(f.Item(u"C")->Top, 2 * R + 2 * R);  // A, B, B1, B2 above: no gap
  EXPECT_EQ(f.Item(u"B")->Top, R);
  EXPECT_EQ(f.Item(u"A")->Left, 0);
  EXPECT_EQ(f.Item(u"B.B1")->Left, 14);
  EXPECT_FALSE(f.Item(u"A")->Expanded());
  EXPECT_TRUE(f.Item(u"B")->Expanded());
  // "sel" marks the item but does not make it the selection; the attribute is blanked.
  EXPECT_TEXT_EQ(f.Item(u"B.B1")->GetProp(u"selected"), u"1");
  EXPECT_EQ(f.tree.SelectedItem(), nullptr);
  EXPECT_FALSE(f.Item(u"B.B1")->XmlNode->AttributExists(u"sel"));
  EXPECT_TEXT_EQ(f.Item(u"B.B2")->XmlNode->Name(), u"B2");  // lookup by element
  EXPECT_FALSE(f.tree.ScrollBar().Shown(cScrollBars::sbVertical));
}

TEST(XmlTree, EmptyAndBrokenDocuments) {
  for (const char16_t* xml : {u"<root/>", u"<root></root>", u"not xml at all", u"", u"<a><b></a"}) {
    TreeFixture f(xml);
    f.Key(vk::Down);
    f.Key(vk::Up);
    EXPECT_EQ(f.tree.SelectedItem(), nullptr) << txt::ToUtf8(xml);
    if (f.tree.Tree()->ChildCount() == 0) {
      EXPECT_FALSE(f.tree.ScrollBar().Shown(cScrollBars::sbVertical));
      EXPECT_TRUE(f.selected.empty());
    }
  }
}

TEST(XmlTree, KeyboardNavigationTable) {
  TreeFixture f;
  struct Step {
    int key;
    const char16_t* selection;
  } steps[] = {
      {vk::Left, u"?"},        // no selection: nothing
      {vk::Down, u"A"},        // first top-level
      {vk::Right, u"A"},       // expands A, selection stays
      {vk::Right, u"A1"},      // expanded: acts as Down
      {vk::Down, u"A2"},       {vk::Down, u"B"},  // A2 is collapsed: its child is skipped
      {vk::Down, u"B1"},       {vk::Down, u"B2"},  {vk::Down, u"C"},
      {vk::Down, u"C"},        // end: nothing
      {vk::Left, u"B2"},       // leaf: acts as Up
      {vk::Up, u"B1"},         {vk::Up, u"B"},
      {vk::Left, u"B"},        // collapses B
      {vk::Up, u"A2"},         {vk::Up, u"A1"},    {vk::Up, u"A"},
      {vk::Up, u"Languages"},  // the undrawn root
      {vk::Down, u"A"},
  };
  for (const auto& s : steps) {
    f.Key(s.key);
    EXPECT_TEXT_EQ(f.Sel(), s.selection) << "key " << s.key;
  }
  EXPECT_FALSE(f.Item(u"B")->Expanded());
  EXPECT_TRUE(f.Item(u"A")->Expanded());
  ASSERT_GE(f.selected.size(), 2u);
  EXPECT_TEXT_EQ(f.selected[f.selected.size() - 2], u"Languages");
  // Every keyboard move reports an "item" release with button 1 and the Shift state.
  f.Key(vk::Down, Qt::ShiftModifier);
  EXPECT_TEXT_EQ(f.ups.back(), u"A1/item/1/1");

  // Without a selection Up starts from the last top-level item.
  TreeFixture g;
  g.Key(vk::Up);
  EXPECT_TEXT_EQ(g.Sel(), u"C");
}

TEST(XmlTree, PageKeysScrollWithoutSelecting) {
  Text xml = u"<r>";
  for (int i = 0; i < 200; ++i) xml += u"<i" + txt::FromInt(i) + u"/>";
  xml += u"</r>";
  TreeFixture f(xml, 300, 100);
  cScrollBars& sb = f.tree.ScrollBar();
  ASSERT_TRUE(sb.Shown(cScrollBars::sbVertical));
  EXPECT_EQ(sb.LargeChange(cScrollBars::sbVertical), 100);
  EXPECT_EQ(sb.Max(cScrollBars::sbVertical), f.tree.Tree()->Height() - 100 - 1);
  f.Key(vk::Next);
  f.Key(vk::Next);
  EXPECT_EQ(sb.Value(cScrollBars::sbVertical), 200);
  f.Key(vk::Prior);
  EXPECT_EQ(sb.Value(cScrollBars::sbVertical), 100);
  EXPECT_EQ(f.tree.SelectedItem(), nullptr);
  // The scroll bar takes its width from the items.
  EXPECT_LT(f.tree.InnerWidth(), 300);
  EXPECT_EQ(f.tree.Tree()->Width, f.tree.InnerWidth());

  // Selecting an item below the view scrolls it to the bottom edge, above it to the top.
  cVisualNode* last = f.tree.Tree()->Child(200);
  f.tree.SelectNode(last);
  EXPECT_EQ(sb.Value(cScrollBars::sbVertical), last->Top + last->RowHeight - 100);
  cVisualNode* third = f.tree.Tree()->Child(3);
  f.tree.SelectNode(third);
  EXPECT_EQ(sb.Value(cScrollBars::sbVertical), third->Top);
}

TEST(XmlTree, SelectingInsideACollapsedBranchExpandsIt) {
  TreeFixture f;
  cVisualNode* a21 = f.Item(u"A.A2.A21");
  ASSERT_NE(a21, nullptr);
  EXPECT_FALSE(a21->Visible());
  f.tree.SelectNode(a21);
  EXPECT_TRUE(a21->Visible());
  EXPECT_TRUE(f.Item(u"A")->Expanded());
  EXPECT_TRUE(f.Item(u"A.A2")->Expanded());
  EXPECT_EQ(a21->Top, 3 * a21->RowHeight);
  EXPECT_TEXT_EQ(f.selected.back(), u"A21");
  // The old selection loses its mark.
  f.tree.SelectNode(f.Item(u"C"));
  EXPECT_TEXT_EQ(a21->GetProp(u"selected"), u"");
  EXPECT_TEXT_EQ(f.Item(u"C")->GetProp(u"selected"), u"1");
}

TEST(XmlTree, MouseSelectsTogglesAndSingleSel) {
  TreeFixture f;
  const long R = f.Item(u"A")->RowHeight;
  // Label of the collapsed parent A, with SingleSel: A opens, B (open) closes.
  f.tree.SingleSel(true);
  f.Click(30, R / 2);
  EXPECT_TEXT_EQ(f.Sel(), u"A");
  EXPECT_TRUE(f.Item(u"A")->Expanded());
  EXPECT_FALSE(f.Item(u"B")->Expanded());
  f.Click(30, R / 2, QEvent::MouseButtonRelease);
  EXPECT_TEXT_EQ(f.ups.back(), u"A/text/1/0");

  // Box of B (within 16 px of its left edge): B opens, A stays open.
  long bTop = f.Item(u"B")->Top;
  f.Click(5, bTop + R / 2);
  EXPECT_TRUE(f.Item(u"B")->Expanded());
  EXPECT_TRUE(f.Item(u"A")->Expanded());

  // A double click on a parent toggles it twice.
  f.Click(30, R / 2);  // A closes (B stays: closing does not touch siblings)
  EXPECT_FALSE(f.Item(u"A")->Expanded());
  f.Click(30, R / 2, QEvent::MouseButtonDblClick);
  EXPECT_TRUE(f.Item(u"A")->Expanded());

  // A leaf is only selected; below the last item nothing happens.
  f.Click(30, f.Item(u"A.A1")->Top + 1);
  EXPECT_TEXT_EQ(f.Sel(), u"A1");
  size_t n = f.selected.size();
  f.Click(30, 190);
  EXPECT_EQ(f.selected.size(), n);
}

TEST(XmlTree, PixelsSelectionColourAndBoxes) {
  TreeFixture f;
  auto c = f.tree.BeforeDrawItem.Subscribe([](cVisualNode* n) {
    if (n->XmlNode->Name() == u"C") n->SetProp(u"color", u"255");
  });
  auto t = f.tree.GetNodeText.Subscribe([&](XmlNodePtr el, Text& text) {
    if (el->Name() == u"B2") text = u"WWWWWWWW";
  });
  f.tree.RefreshTreeView();
  f.tree.SelectNode(f.Item(u"B.B1"));
  QImage im = f.tree.grab().toImage();

  auto countColour = [&](cVisualNode* n, QColor want) {
    int hits = 0;
    for (int y = int(n->Top); y < n->Top + n->RowHeight; ++y)
      for (int x = int(n->Left + n->Indent); x < n->Left + n->Indent + 60 && x < im.width(); ++x)
        if (im.pixelColor(x, y) == want) ++hits;
    return hits;
  };
  cVisualNode* b1 = f.Item(u"B.B1");
  // Selected: black box (first column) and white text on it.
  EXPECT_EQ(im.pixelColor(int(b1->Left + b1->Indent), int(b1->Top + 1)), QColor(Qt::black));
  EXPECT_GT(countColour(b1, Qt::black), 20);
  EXPECT_GT(countColour(b1, Qt::white), 5);
  // The "color" property 255 paints pure red text; nothing else is red.
  EXPECT_GT(countColour(f.Item(u"C"), QColor(255, 0, 0)), 3);
  EXPECT_EQ(countColour(f.Item(u"A"), QColor(255, 0, 0)), 0);
  // Collapsed A shows the plus box, expanded B the minus box.
  cVisualNode* a = f.Item(u"A");
  cVisualNode* b = f.Item(u"B");
  QImage plusArea = im.copy(int(a->Left + 3), int(a->Top + 3), 9, 9);
  QImage minusArea = im.copy(int(b->Left + 3), int(b->Top + 3), 9, 9);
  EXPECT_EQ(plusArea, ctlXmlTree::imPlus().convertToFormat(plusArea.format()));
  EXPECT_EQ(minusArea, ctlXmlTree::imMoins().convertToFormat(minusArea.format()));
  // The host's text is measured: the long replacement is drawn in full.
  EXPECT_GT(countColour(f.Item(u"B.B2"), Qt::black), 20);

  // Deselecting leaves no black box behind.
  f.tree.SelectNode(f.Item(u"C"));
  QImage im2 = f.tree.grab().toImage();
  EXPECT_EQ(im2.pixelColor(int(b1->Left + b1->Indent), int(b1->Top + 1)), QColor(Qt::white));
}

TEST(XmlTree, WidthChangesAreCoalesced) {
  TreeFixture f;
  int resizes = 0;
  auto c = f.tree.Tree()->ResizeEvent.Subscribe([&](cVisualNode* n) {
    if (!n->Parent) ++resizes;
  });
  for (int w = 301; w < 311; ++w) {
    f.tree.resize(w, 200);
    QApplication::processEvents();
  }
  EXPECT_EQ(resizes, 0);
  ASSERT_TRUE(platform::WaitUntil([&] { return resizes > 0; }, 2000));
  platform::WaitMs(80);
  EXPECT_LE(resizes, 2);  // one layout (the root may be sized twice when the bar changes)
  EXPECT_EQ(f.tree.Tree()->Width, 310);
  // Height alone needs no new layout.
  resizes = 0;
  f.tree.resize(310, 150);
  QApplication::processEvents();
  platform::WaitMs(80);
  EXPECT_EQ(resizes, 0);
}

TEST(XmlTree, DeepNestingIsCappedNotFatal) {
  Text xml;
  for (int i = 0; i < 3000; ++i) xml += u"<d>";
  for (int i = 0; i < 3000; ++i) xml += u"</d>";
  // The one-pass parse builds the whole document; the view then walks it.
  XmlNodePtr doc = cXmlNode::New();
  doc->XmlData___NonRecursif(xml);
  TreeFixture f(u"<r/>");
  f.tree.Xml(doc);
  long depth = 0;
  for (cVisualNode* n = f.tree.Tree(); n && n->ChildCount() > 0; n = n->Child(1)) ++depth;
  EXPECT_LE(depth, cVisualNode::MaxDepth);
  EXPECT_GT(depth, 10);
}
