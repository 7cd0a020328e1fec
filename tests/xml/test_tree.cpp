// Tree operations: attributes, children, paths, lookups, navigation, copies and sorting.
#include <gtest/gtest.h>

#include "XmlTestUtil.h"
#include "xml/cXmlNode.h"

using namespace xmltest;

namespace {
std::string Names(const XmlNodePtr& n) {
  std::string s;
  for (long i = 1; i <= n->ChildCount(); ++i) s += U(n->Child(i)->Name()) + (n->Child(i)->Attribut(u"id").empty() ? "" : "-" + U(n->Child(i)->Attribut(u"id"))) + " ";
  return s;
}
}  // namespace

TEST(XmlTree, AttributesKeepOrderIgnoreCaseAndDropEmptyValues) {
  auto n = cXmlNode::New();
  n->Attribut(u"id", u"1");
  n->Attribut(u"name", u"x");
  n->Attribut(u"Other", u"y");
  EXPECT_EQ(U(n->Attribut(u"ID")), "1");
  EXPECT_TRUE(n->AttributExists(u"id"));
  EXPECT_FALSE(n->AttributExists(u"ID"));
  EXPECT_TRUE(n->AttributExists(u"id", u"1"));
  EXPECT_FALSE(n->AttributExists(u"id", u"2"));
  n->Attribut(u"NAME", u"z");  // keeps its place and its first spelling
  EXPECT_EQ(U(n->AttrName(2)), "name");
  EXPECT_EQ(U(n->AttrValue(2)), "z");
  n->Attribut(u"id", u"");
  EXPECT_EQ(n->AttrCount(), 2);
  EXPECT_EQ(U(n->AttrName(1)), "name");
  EXPECT_FALSE(n->SetAttributs({u"a"}, {}));
  EXPECT_EQ(n->AttrCount(), 2);
}

TEST(XmlTree, ChildValueAndPaths) {
  auto root = Doc("<Config><Labels><X>hello</X></Labels></Config>");
  auto top = cXmlNode::New();
  top->Name(u"Top");
  top->AddChild(root);
  EXPECT_EQ(U(root->GetChildValue(u"Config.Labels.X")), "hello");
  EXPECT_EQ(U(top->GetChildValue(u"Config.Labels.X")), "hello");
  EXPECT_EQ(U(root->GetChildValue(u"Labels.X")), "hello");
  EXPECT_EQ(U(root->GetChildValue(u"Labels.New")), "");
  EXPECT_EQ(U(root->GetChildValue(u"Labels.New", true)), "");
  EXPECT_EQ(root->NodeCount(), 3);  // only the create flag adds

  root->ChildValue(u"Empty", u"");
  EXPECT_FALSE(root->ChildExists(u"Empty"));
  root->ChildValue(u"labels", u"v");  // first child of that name, ignoring case
  EXPECT_EQ(U(root->Child(1)->RawValue()), "v");

  auto lang = cXmlNode::New();
  lang->Name(u"fr");
  auto contributor = lang->GetChildNode(u"Contributors.Contributor", true, true);
  ASSERT_TRUE(contributor);
  EXPECT_EQ(U(contributor->Path()), "fr.Contributors.Contributor");
  // children-only: a part equal to the node's own name is a child, not the node
  auto again = lang->GetChildNode(u"fr", true, true);
  EXPECT_EQ(again->ParentPtr(), lang.get());

  lang->ChildAttribut(u"Contributors.Contributor", u"name", u"Ann");
  EXPECT_EQ(U(contributor->Attribut(u"name")), "Ann");
  EXPECT_EQ(U(lang->ChildAttribut(u"Contributors", u"x")), "");
}

TEST(XmlTree, FindNodeKeys) {
  auto root = Doc("<L><Lang id=\"FR\">f</Lang><Lang id=\"de\"><S>v</S></Lang><T>t</T></L>");
  struct Case {
    const char* key;
    bool recursive, childrenOnly;
    const char* expect;  // path of the hit or "-"
  };
  const Case cases[] = {
      {"lang", false, false, "L.Lang"},
      {"L", false, false, "L"},
      {"L", false, true, "-"},
      {"a:id=fr", false, false, "L.Lang"},
      {"a:id=de", false, true, "L.Lang"},
      {"S", false, false, "-"},
      {"S", true, false, "L.Lang.S"},
      {"S=v", true, false, "L.Lang.S"},
      {"T=t", false, false, "-"},  // a value test does not look at the children
      {"a:missing", false, false, "L"},  // no value: matches nodes without the attribute
  };
  for (const auto& c : cases) {
    auto hit = root->FindNode(T(c.key), c.recursive, c.childrenOnly);
    EXPECT_EQ(hit ? U(hit->Path()) : "-", c.expect) << c.key;
  }
  EXPECT_EQ(U(root->FindNode(u"a:id=de", false, true)->Attribut(u"id")), "de");
  EXPECT_EQ(U(root->Child(2)->Path(u"id", u"/")), "L/Lang-de");
  EXPECT_EQ(U(root->Child(2)->Child(1)->Path(u"", u".", root.get())), "Lang.S");
}

TEST(XmlTree, NavigationInDocumentOrder) {
  auto root = Doc("<a><b><c/></b><d/></a>");
  std::string order;
  for (auto n = root; n; n = n->NextNode()) order += U(n->Name());
  EXPECT_EQ(order, "abcd");
  auto b = root->Child(1), d = root->Child(2), c = b->Child(1);
  EXPECT_EQ(d->Index(), 2);
  EXPECT_EQ(d->PrevSibling(), b);
  EXPECT_EQ(b->PrevNode(), root);  // no previous sibling: the parent
  EXPECT_EQ(c->GetParent(2), root);
  EXPECT_EQ(c->RootNode(), root);
  EXPECT_TRUE(root->Contains(c, true));
  EXPECT_FALSE(root->Contains(c, false));
  EXPECT_FALSE(b->Contains(d, true));
  EXPECT_EQ(root->Child(3), nullptr);
  // Destroying the root clears the links of the children held elsewhere; their own
  // subtrees stay with them.
  root.reset();
  EXPECT_EQ(b->Parent(), nullptr);
  EXPECT_EQ(b->Child(1), c);
}

TEST(XmlTree, AddChildPlacesMovesAndRefusesCycles) {
  auto root = Doc("<r><a/><b/><c/></r>");
  auto x = cXmlNode::New();
  x->Name(u"x");
  EXPECT_EQ(root->AddChild(x, 2), 4);
  EXPECT_EQ(Names(root), "a x b c ");
  root->AddChild(x, 0, 4);  // after the last: moves it
  EXPECT_EQ(Names(root), "a b c x ");
  auto other = cXmlNode::New();
  other->AddChild(x);
  EXPECT_EQ(Names(root), "a b c ");
  EXPECT_EQ(x->Parent(), other);
  // A node cannot take an ancestor or itself as a child.
  auto a = root->Child(1);
  EXPECT_EQ(a->AddChild(root), 0);
  EXPECT_EQ(a->AddChild(a), 0);
  auto created = root->CreateChild(u"<n k=\"v\">t</n>", 1);
  EXPECT_EQ(Names(root), "n a b c ");
  EXPECT_EQ(U(created->Value()), "t");
}

TEST(XmlTree, CloneIsDeepAndIndependent) {
  auto root = Doc("<r a=\"1\"><s><![CDATA[x]]></s><t><u>1</u></t></r>");
  root->XMLEncoding(u"utf-8");
  root->ItemData(7);
  auto copy = root->Clone();
  EXPECT_EQ(Diff(root, copy), "");
  EXPECT_EQ(copy->ItemData(), 0);
  EXPECT_EQ(U(copy->Child(1)->RawValue()), "<![CDATA[x]]>");
  EXPECT_EQ(U(copy->Child(2)->Child(1)->XMLEncoding()), "utf-8");
  root->Child(2)->Child(1)->Value(u"changed");
  EXPECT_EQ(U(copy->Child(2)->Child(1)->Value()), "1");
  EXPECT_EQ(copy->Parent(), nullptr);
}

TEST(XmlTree, DeleteEmptyChildsAndRelease) {
  auto root = Doc("<r><a/><b x=\"1\"/><c><d/><e/></c><f>v</f><g><h/></g></r>");
  root->DeleteEmptyChilds(false);
  EXPECT_EQ(Names(root), "b c f g ");
  root->DeleteEmptyChilds(true);  // c and g become empty once their children go
  EXPECT_EQ(Names(root), "b f ");
  long before = cXmlNode::LiveCount();
  auto held = root->Child(2);
  root->Release();
  EXPECT_EQ(root->ChildCount(), 0);
  EXPECT_EQ(root->AttrCount(), 0);
  EXPECT_EQ(held->Parent(), nullptr);
  root.reset();  // a node outlives the document it was read with and joins another
  auto other = Doc("<o/>");
  other->AddChild(held);
  EXPECT_EQ(other->ChildValue(u"f"), u"v");
  other.reset();
  held.reset();
  EXPECT_EQ(cXmlNode::LiveCount(), before - 3);
}

TEST(XmlTree, SortChildsByNameThenIdKeepsEqualKeysInOrder) {
  auto root = Doc("<r><b id=\"2\"/><a id=\"10\"/><b id=\"1\"/><a id=\"9\"/><c/><a id=\"9\" k=\"second\"/></r>");
  root->SortChilds(u"name,a:id");
  // c has no id, so ids compare as text: "10" before "9 ".
  EXPECT_EQ(Names(root), "a-10 a-9 a-9 b-1 b-2 c ");
  EXPECT_EQ(U(root->Child(3)->Attribut(u"k")), "second");
  auto numeric = Doc("<r><a id=\"10\"/><a id=\"9\"/><a id=\"100\"/></r>");
  numeric->SortChilds(u"a:id");
  EXPECT_EQ(Names(numeric), "a-9 a-10 a-100 ");
  auto nested = Doc("<r><g><z/><y/></g><f><x/><w/></f></r>");
  nested->SortChilds(u"name", 0, 1);
  EXPECT_EQ(Names(nested), "f g ");
  EXPECT_EQ(Names(nested->Child(1)), "w x ");
  auto byChild = Doc("<r><i><k>b</k></i><i><k>a</k></i></r>");
  byChild->SortChilds(u"c:k");
  EXPECT_EQ(U(byChild->Child(1)->ChildValue(u"k")), "a");
}

// Long child and attribute lists answer lookups through name indexes and positions through
// remembered places; every kind of edit must leave them as right as a plain search.
TEST(XmlTree, LookupsOnLongListsStayRightThroughEdits) {
  auto root = cXmlNode::New();
  root->Name(u"r");
  for (int i = 0; i < 40; ++i) root->AddChild(Leaf((u"n" + txt::FromInt(i % 30)).c_str(), txt::FromInt(i)));
  auto check = [&](const char* step) {
    SCOPED_TRACE(step);
    for (int k = 0; k < 32; ++k) {
      Text name = u"N" + txt::FromInt(k);
      XmlNodePtr want;
      for (long i = 1; i <= root->ChildCount() && !want; ++i)
        if (txt::EqualsNoCase(root->Child(i)->Name(), name)) want = root->Child(i);
      EXPECT_EQ(root->FindNode(name), want) << U(name);
      EXPECT_EQ(root->ChildValue(name), want ? want->Value() : Text()) << U(name);
    }
    for (long i = 1; i <= root->ChildCount(); ++i) EXPECT_EQ(root->Child(i)->Index(), i);
  };
  check("built by appends");
  root->AddChild(Leaf(u"n5", u"first"), 1);
  check("inserted in front");
  root->Child(3)->Name(u"n31");
  root->DelChild(2);
  check("renamed and deleted");
  root->SortChilds(u"name", 2);
  root->AddChild(Leaf(u"n30", u"appended"));
  check("sorted and appended");
  // Merging finds the counterpart of each name, and only there.
  auto src = root->Clone();
  src->FindNode(u"n30")->Value(u"merged");
  root->MergeXml(src);
  EXPECT_EQ(root->ChildCount(), src->ChildCount());
  EXPECT_EQ(U(root->ChildValue(u"n30")), "merged");
  for (int i = 0; i < 30; ++i) root->Attribut(u"a" + txt::FromInt(i), u"v");
  root->Attribut(u"A7", u"");
  root->Attribut(u"a7", u"back");
  root->Attribut(u"A29", u"w");
  EXPECT_EQ(root->AttrCount(), 30);
  EXPECT_EQ(U(root->AttrName(30)), "a7");
  EXPECT_EQ(U(root->Attribut(u"a29")), "w");
}
