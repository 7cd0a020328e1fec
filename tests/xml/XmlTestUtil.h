#pragma once
// Helpers for the XML tests: literal conversion, parsing, and a structural tree comparison.
#include <string>
#include <vector>

#include "xml/cXmlNode.h"

namespace xmltest {

inline Text T(const char* utf8) { return txt::FromUtf8(utf8); }
inline std::string U(const Text& t) { return txt::ToUtf8(t); }

// The two parse entries: own tag now, children on demand; and the one-pass parse.
inline XmlNodePtr Lazy(const char* xml) { return cXmlNode::FromXml(T(xml)); }
inline XmlNodePtr Doc(const char* xml) {
  auto n = cXmlNode::New();
  n->XmlData___NonRecursif(T(xml));
  return n;
}
inline XmlNodePtr Leaf(const char16_t* name, const Text& raw) {
  auto n = cXmlNode::New();
  n->Name(name);
  n->RawValue(raw);
  return n;
}

// Empty when both trees hold the same names, attributes (in order), raw values and
// children; otherwise the path of the first difference.
inline std::string Diff(const XmlNodePtr& a, const XmlNodePtr& b) {
  std::vector<std::pair<XmlNodePtr, XmlNodePtr>> st{{a, b}};
  while (!st.empty()) {
    auto [x, y] = st.back();
    st.pop_back();
    if (!x || !y) return (x || y) ? "missing node" : "";
    std::string at = U(x->Path());
    if (x->Name() != y->Name()) return at + ": name " + U(x->Name()) + " vs " + U(y->Name());
    if (x->AttrCount() != y->AttrCount()) return at + ": attribute count";
    for (long i = 1; i <= x->AttrCount(); ++i)
      if (x->AttrName(i) != y->AttrName(i) || x->AttrValue(i) != y->AttrValue(i))
        return at + ": attribute " + U(x->AttrName(i));
    long n = x->ChildCount();
    if (n != y->ChildCount()) return at + ": child count " + std::to_string(n) + " vs " + std::to_string(y->ChildCount());
    if (n == 0 && x->RawValue() != y->RawValue())
      return at + ": value [" + U(x->RawValue()) + "] vs [" + U(y->RawValue()) + "]";
    for (long i = n; i >= 1; --i) st.push_back({x->Child(i), y->Child(i)});
  }
  return "";
}

}  // namespace xmltest
