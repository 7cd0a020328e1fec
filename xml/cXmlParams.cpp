#include "xml/cXmlParams.h"

XmlValue cXmlParams::Item(long index) const {
  if (index < 1 || index > Count()) return {};
  return items_[static_cast<size_t>(index - 1)];
}

void cXmlParams::SetItem(long index, XmlValue v) {
  if (index < 1 || index > Count()) return;
  items_[static_cast<size_t>(index - 1)] = std::move(v);
}

Text cXmlParams::ItemText(long index) const {
  XmlValue v = Item(index);
  if (auto* t = std::get_if<Text>(&v)) return *t;
  if (auto* n = std::get_if<long long>(&v)) return txt::FromInt(*n);
  if (auto* b = std::get_if<bool>(&v)) return *b ? u"True" : u"False";
  return {};
}

bool cXmlParams::ItemBool(long index) const {
  XmlValue v = Item(index);
  if (auto* b = std::get_if<bool>(&v)) return *b;
  if (auto* n = std::get_if<long long>(&v)) return *n != 0;
  return false;
}

long long cXmlParams::ItemNumber(long index) const {
  XmlValue v = Item(index);
  if (auto* n = std::get_if<long long>(&v)) return *n;
  if (auto* b = std::get_if<bool>(&v)) return *b ? -1 : 0;
  if (auto* t = std::get_if<Text>(&v)) return txt::ToInt(*t);
  return 0;
}

std::shared_ptr<cXmlNode> cXmlParams::ItemNode(long index) const {
  XmlValue v = Item(index);
  if (auto* n = std::get_if<std::shared_ptr<cXmlNode>>(&v)) return *n;
  return nullptr;
}
