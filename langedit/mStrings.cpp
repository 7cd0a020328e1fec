#include "langedit/mStrings.h"

#include <utility>

namespace mStrings {
namespace {

bool IsContributors(const cXmlNode& n) { return txt::EqualsNoCase(n.Name(), u"Contributors"); }

// Visits the strings below `root` in tree order.
template <class Visit>
void Walk(const XmlNodePtr& root, Visit visit) {
  if (!root) return;
  std::vector<std::pair<XmlNodePtr, Text>> stack;
  for (long i = root->ChildCount(); i >= 1; --i)
    if (XmlNodePtr c = root->Child(i)) stack.emplace_back(c, c->Name());
  while (!stack.empty()) {
    auto [node, path] = std::move(stack.back());
    stack.pop_back();
    if (IsContributors(*node)) continue;
    long n = node->ChildCount();
    if (n == 0) {
      visit(*node, std::move(path));
      continue;
    }
    for (long i = n; i >= 1; --i)
      if (XmlNodePtr c = node->Child(i)) stack.emplace_back(c, path + u"." + c->Name());
  }
}

}  // namespace

std::vector<Text> Paths(const XmlNodePtr& root) {
  std::vector<Text> paths;
  Walk(root, [&](cXmlNode&, Text path) { paths.push_back(std::move(path)); });
  return paths;
}

std::unordered_map<Text, Text> Values(const XmlNodePtr& lang) {
  std::unordered_map<Text, Text> values;
  Walk(lang, [&](cXmlNode& n, Text path) { values.emplace(std::move(path), n.Value()); });
  return values;
}

std::vector<std::pair<Text, Text>> Entries(const XmlNodePtr& lang) {
  std::vector<std::pair<Text, Text>> entries;
  Walk(lang, [&](cXmlNode& n, Text path) { entries.emplace_back(std::move(path), n.Value()); });
  return entries;
}

void TakeContent(const XmlNodePtr& lang, const XmlNodePtr& from) {
  lang->ClearAttributs();
  for (long i = 1; i <= from->AttrCount(); ++i) lang->Attribut(from->AttrName(i), from->AttrValue(i));
  lang->DelChilds();
  while (from->ChildCount() > 0) {
    XmlNodePtr c = from->Child(1);
    from->EmancipateChild(c);
    lang->AddChild(c);
  }
  lang->Value(from->Value());
}

std::vector<Text> GroupsOf(TextView path) {
  std::vector<Text> groups{Text()};
  for (size_t dot = path.find(u'.'); dot != TextView::npos; dot = path.find(u'.', dot + 1))
    groups.emplace_back(path.substr(0, dot));
  return groups;
}

}  // namespace mStrings
