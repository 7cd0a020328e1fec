// Node events, their propagation and order, the event target by name, sleep and waking.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "XmlTestUtil.h"
#include "xml/cXmlNode.h"

using namespace xmltest;

namespace {

// Records every event of a set of nodes as "node:Event(arg)".
struct Recorder {
  std::vector<std::string> log;
  std::vector<Connection> conns;
  void Watch(const XmlNodePtr& n) {
    std::string me = U(n->Name());
    auto& e = n->Events();
    auto name = [](const XmlNodePtr& x) { return x ? U(x->Name()) : std::string("?"); };
    conns.push_back(e.Modified.Subscribe([=, this](const Text& a) { log.push_back(me + ":Modified(" + U(a) + ")"); }));
    conns.push_back(e.ChildModified.Subscribe(
        [=, this](const XmlNodePtr& x, const Text& a) { log.push_back(me + ":ChildModified(" + name(x) + "," + U(a) + ")"); }));
    conns.push_back(e.ParentModifed.Subscribe(
        [=, this](const XmlNodePtr& x, const Text& a) { log.push_back(me + ":ParentModifed(" + name(x) + "," + U(a) + ")"); }));
    conns.push_back(e.Deleted.Subscribe([=, this] { log.push_back(me + ":Deleted"); }));
    conns.push_back(e.ChildDeleted.Subscribe([=, this](const XmlNodePtr& x) { log.push_back(me + ":ChildDeleted(" + name(x) + ")"); }));
    conns.push_back(e.ParentDeleted.Subscribe([=, this](const XmlNodePtr& x) { log.push_back(me + ":ParentDeleted(" + name(x) + ")"); }));
    conns.push_back(e.Added.Subscribe([=, this] { log.push_back(me + ":Added"); }));
    conns.push_back(e.ChildAdded.Subscribe([=, this](const XmlNodePtr& x) { log.push_back(me + ":ChildAdded(" + name(x) + ")"); }));
    conns.push_back(e.ParentAdded.Subscribe([=, this](const XmlNodePtr& x) { log.push_back(me + ":ParentAdded(" + name(x) + ")"); }));
  }
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
}

TEST(XmlEvents, DelChildReportsDeepestFirst) {
  auto root = Doc("<r><a><b><c/></b><d/></a><e/></r>");
  Recorder rec;
  rec.WatchAll(root);
  root->DelChild(1);
  EXPECT_EQ(rec.Log(),
            "c:Deleted b:ChildDeleted(c) a:ChildDeleted(c) r:ChildDeleted(c) "
            "b:Deleted a:ChildDeleted(b) r:ChildDeleted(b) "
            "d:Deleted a:ChildDeleted(d) r:ChildDeleted(d) "
            "a:Deleted r:ChildDeleted(a) ");
  EXPECT_EQ(root->ChildCount(), 1);
  rec.log.clear();
  root->DelChild(XmlNodePtr());
  root->DelChild(5);
  EXPECT_EQ(rec.Log(), "");
}

TEST(XmlEvents, EmancipateChildSkipsOwnDeletedAndKeepsTheNode) {
  auto root = Doc("<r><a><b/></a></r>");
  Recorder rec;
  rec.WatchAll(root);
  auto a = root->Child(1);
  root->EmancipateChild(a);
  EXPECT_EQ(rec.Log(), "r:ChildDeleted(a) b:ParentDeleted(a) ");
  EXPECT_EQ(a->Parent(), nullptr);
  EXPECT_EQ(a->ChildCount(), 1);
  EXPECT_EQ(root->ChildCount(), 0);
}

TEST(XmlEvents, EventTargetIsCalledByMethodName) {
  auto root = Doc("<r><a/></r>");
  auto target = std::make_shared<cXmlEventTarget>();
  std::vector<std::string> seen;
  target->SetMethod(u"OnXml", [&](const Text& ev, cXmlParams& args) {
    auto self = args.ItemNode(args.Count());
    seen.push_back(U(ev) + "/" + std::to_string(args.Count()) + "/" + (self ? U(self->Name()) : "?"));
  });
  root->SetEventTarget(target, u"OnXml");
  root->Child(1)->Value(u"x");
  auto params = std::make_shared<cXmlParams>();
  params->Add(Text(u"p"));
  root->Child(1)->RaiseNodeEvent(u"Custom", params);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0], "ChildModified/3/r");
  EXPECT_EQ(seen[1], "ChildNodeEvent/4/r");
  root->SetEventTarget(target, u"Missing");
  root->Child(1)->Value(u"y");
  EXPECT_EQ(seen.size(), 2u);
  // A listener that throws does not stop the change.
  target->SetMethod(u"Missing", [](const Text&, cXmlParams&) { throw std::runtime_error("boom"); });
  root->Child(1)->Value(u"z");
  EXPECT_EQ(U(root->Child(1)->Value()), "z");
}

TEST(XmlEvents, WakingIsSilentAndLoadingReportsOnce) {
  auto root = cXmlNode::New();
  root->Name(u"r");
  Recorder rec;
  rec.Watch(root);
  root->XmlData(u"<r><a>1</a><b/></r>");
  EXPECT_EQ(rec.Log(), "r:Modified() ");
  rec.log.clear();
  EXPECT_TRUE(root->IsSleeping());
  EXPECT_EQ(root->ChildCount(), 2);
  root->NodeCount();
  EXPECT_EQ(rec.Log(), "");
  EXPECT_FALSE(root->EventLock());
}

TEST(XmlEvents, SleepSparesReferencedBranches) {
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
}

TEST(XmlEvents, StoredSleepDataGoesToTheRootListener) {
  auto root = Doc("<r><a><x>1</x></a><b><y>2</y></b></r>");
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
    EXPECT_EQ(U(stored), "<a>\r\n\t<x>1</x>\r\n</a>");
    EXPECT_EQ(U(root->GetChildValue(u"r.a.x")), "1");
    EXPECT_EQ(restores, 1);
  }
  // Nobody gives the data back: the stored node wakes empty.
  root->Child(2)->Sleep();
  auto b = root->Child(2);
  EXPECT_TRUE(b->IsSleeping());
  EXPECT_EQ(b->NodeCount(), 0);
  EXPECT_EQ(U(b->Name()), "");
}

TEST(XmlEvents, CustomEventsIgnoreTheLockAndCarryParameters) {
  auto root = Doc("<r><a><b/></a></r>");
  std::vector<std::string> seen;
  auto a = root->Child(1);
  auto c1 = root->Events().ChildNodeEvent.Subscribe(
      [&](const XmlNodePtr& n, const std::shared_ptr<cXmlParams>& p, const Text& ev) {
        seen.push_back("r:" + U(n->Name()) + ":" + U(ev) + ":" + std::to_string(p->Count()));
      });
  auto c2 = a->Events().NodeEvent.Subscribe([&](const std::shared_ptr<cXmlParams>& p, const Text& ev) {
    seen.push_back("a:" + U(ev) + ":" + U(p->ItemText(1)));
  });
  auto c3 = a->Child(1)->Events().ParentNodeEvent.Subscribe(
      [&](const XmlNodePtr& n, const std::shared_ptr<cXmlParams>&, const Text& ev) { seen.push_back("b:" + U(n->Name()) + ":" + U(ev)); });
  auto p = std::make_shared<cXmlParams>();
  p->Add(Text(u"v"));
  a->RaiseNodeEvent(u"Ping", p);
  a->RaiseNodeEvent(u"Bare");
  ASSERT_EQ(seen.size(), 6u);
  EXPECT_EQ(seen[0], "a:Ping:v");
  EXPECT_EQ(seen[1], "r:a:Ping:1");
  EXPECT_EQ(seen[2], "b:a:Ping");
  EXPECT_EQ(seen[4], "r:a:Bare:0");
}
