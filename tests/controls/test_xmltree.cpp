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
  EXPECT_FALSE(f.tree.ScrollBar().Shown(cScrollBars::sbVertical));
}

TEST(XmlTree, KeyboardNavigationTable) {
  TreeFixture f;
  struct Step { int key; const char16_t* selection; } steps[] = {
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
