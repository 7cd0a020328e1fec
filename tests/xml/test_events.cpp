// Node events, their propagation and order, the event target by name, sleep and waking.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "XmlTestUtil.h"
#include "xml/cXmlEventTarget.h"
#include "xml/cXmlNode.h"
#include "xml/cXmlNodeEvents.h"

using namespace xmltest;

namespace {

// Records every event of the watched nodes as "node:Event(args)", through the event target
// that nodes call by method name.
struct Recorder {
  std::vector<std::string> log;
  std::shared_ptr<cXmlEventTarget> target = std::make_shared<cXmlEventTarget>();
  Recorder() {
    target->SetMethod(u"On", [this](const Text& ev, cXmlParams& args) {
      std::string line;
      for (long i = 1; i < args.Count(); ++i)
        line += (i > 1 ? "," : "") + (args.ItemNode(i) ? U(args.ItemNode(i)->Name()) : U(args.ItemText(i)));
      log.push_back(U(args.ItemNode(args.Count())->Name()) + ":" + U(ev) + "(" + line + ")");
    });
  }
  void Watch(const XmlNodePtr& n) { n->SetEventTarget(target, u"On"); }
  void WatchAll(const XmlNodePtr& root) {
    for (auto n = root; n; n = n->NextNode()) Watch(n);
  }
  std::string Log() const {
    std::string s;
    for (auto& l : log) s += l + " ";
    return s;
  }
};

}  // namespace

TEST(XmlEvents, ChangesReachAncestorsAndDescendants) {
  auto root = Doc("<r><a><b><c><d/></c></b></a></r>");
  Recorder rec;
  rec.WatchAll(root);
  auto c = root->GetChildNode(u"a.b.c");
  c->Attribut(u"k", u"v");
  EXPECT_EQ(rec.Log(),
            "c:Modified(k) b:ChildModified(c,k) a:ChildModified(c,k) r:ChildModified(c,k) d:ParentModifed(c,k) ");
  rec.log.clear();
  c->Attribut(u"k", u"v");  // unchanged: silent
  c->Value(u"");            // unchanged: silent
  c->Name(u"cc");
  c->RawValue(u"raw");
  c->ItemData(3);
  EXPECT_EQ(rec.Log(), "");
  auto n = cXmlNode::New();
  n->Name(u"n");
  root->Child(1)->AddChild(n);
  EXPECT_EQ(rec.Log(), "a:ChildAdded(n) r:ChildAdded(n) ");
  // Loading reports once; waking is silent.
  rec.log.clear();
  root->XmlData(u"<r><a>1</a><b/></r>");
  EXPECT_TRUE(root->IsSleeping());
  EXPECT_EQ(root->NodeCount(), 2);
  EXPECT_EQ(rec.Log(), "r:Modified() ");
  EXPECT_FALSE(root->EventLock());
}

TEST(XmlEvents, DelChildReportsDeepestFirst) {
  auto root = Doc("<r><a><b><c/></b><d/></a><e/></r>");
  Recorder rec;
  rec.WatchAll(root);
  root->DelChild(1);
  EXPECT_EQ(rec.Log(),
            "c:Deleted() b:ChildDeleted(c) a:ChildDeleted(c) r:ChildDeleted(c) "
            "b:Deleted() a:ChildDeleted(b) r:ChildDeleted(b) "
            "d:Deleted() a:ChildDeleted(d) r:ChildDeleted(d) "
            "a:Deleted() r:ChildDeleted(a) ");
  EXPECT_EQ(root->ChildCount(), 1);
  rec.log.clear();
  root->DelChild(XmlNodePtr());
  root->DelChild(5);
  EXPECT_EQ(rec.Log(), "");
  // Detaching tells everyone but the node itself, and keeps its subtree.
  auto e = root->Child(1);
  e->AddChild(cXmlNode::FromXml(u"<f/>"));
  rec.Watch(e->Child(1));
  rec.log.clear();
  root->EmancipateChild(e);
  EXPECT_EQ(rec.Log(), "r:ChildDeleted(e) f:ParentDeleted(e) ");
  EXPECT_EQ(e->Parent(), nullptr);
  EXPECT_EQ(e->ChildCount(), 1);
}

TEST(XmlEvents, CustomEventsAndFailingListeners) {
  auto root = Doc("<r><a><b/></a></r>");
  Recorder rec;
  rec.WatchAll(root);
  auto a = root->Child(1);
  std::string got;
  auto c = a->Events().NodeEvent.Subscribe(
      [&](const std::shared_ptr<cXmlParams>& p, const Text& ev) { got = U(ev) + ":" + U(p->ItemText(1)); });
  auto params = std::make_shared<cXmlParams>();
  params->Add(Text(u"p"));
  a->RaiseNodeEvent(u"Custom", params);
  EXPECT_EQ(got, "Custom:p");
  EXPECT_EQ(rec.Log(), "a:NodeEvent(,Custom) r:ChildNodeEvent(a,,Custom) b:ParentNodeEvent(a,,Custom) ");
  // A listener that throws does not stop the change; one whose method is gone hears nothing.
  rec.target->SetMethod(u"On", [](const Text&, cXmlParams&) { throw std::runtime_error("boom"); });
  a->Value(u"z");
  EXPECT_EQ(U(a->Value()), "z");
  rec.target->RemoveMethod(u"On");
  a->Value(u"y");
  EXPECT_EQ(U(a->Value()), "y");
}

TEST(XmlEvents, SleepSparesReferencedBranchesAndStoresWithTheRoot) {
  auto root = Doc("<r><a><x>1</x></a><b><y>2</y></b></r>");
  Text before = root->XmlData();
  auto held = root->Child(1)->Child(1);  // a view holds r.a.x
  EXPECT_EQ(root->ExternalRefCount(), 1);
  EXPECT_EQ(cXmlNode::GetRefCount(held), 1);
  root->Sleep();
  EXPECT_FALSE(root->IsSleeping());
  auto a = root->Child(1);
  auto b = root->Child(2);
  EXPECT_FALSE(a->IsSleeping());
  EXPECT_TRUE(b->IsSleeping());
  EXPECT_EQ(held->ParentPtr(), a.get());
  EXPECT_EQ(U(root->XmlData()), U(before));
  EXPECT_FALSE(b->IsSleeping());
  held.reset();
  a.reset();
  b.reset();
  root->Sleep();
  EXPECT_TRUE(root->IsSleeping());
  EXPECT_EQ(U(root->Name()), "r");
  EXPECT_EQ(U(root->XmlData()), U(before));

  // A root listener may take the text away and give it back.
  Text stored;
  int restores = 0;
  auto c1 = root->Events().SaveSleepData.Subscribe([&](const XmlNodePtr& n, Text& data, bool& handled) {
    stored = U(n->Name()) == "a" ? data : Text();
    handled = true;
  });
  {
    auto c2 = root->Events().RestoreSleepData.Subscribe([&](const XmlNodePtr&, Text& data) {
      ++restores;
      data = stored;
    });
    root->Child(1)->Sleep();
    EXPECT_EQ(U(stored), "<a>\r\n\t<x>1</x>\r\n</a>");  // the root's listener holds it
    EXPECT_EQ(U(root->GetChildValue(u"r.a.x")), "1");
    EXPECT_EQ(restores, 1);
  }
  // Nobody gives the data back: the stored node wakes empty.
  root->Child(2)->Sleep();
  b = root->Child(2);
  EXPECT_TRUE(b->IsSleeping());
  EXPECT_EQ(b->NodeCount(), 0);
  EXPECT_EQ(U(b->Name()), "");
}
