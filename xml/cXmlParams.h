#pragma once
// The argument collection of node events: an ordered list of loosely typed values, so a
// listener called by method name receives every event through one signature. Handlers may
// write into it; that is how by-reference answers travel back (data, handled).
#include <cstdint>
#include <memory>
#include <variant>
#include <vector>

#include "platform/Text.h"

class cXmlNode;
class cXmlParams;

using XmlValue = std::variant<std::monostate, bool, long long, Text, std::shared_ptr<cXmlNode>,
                              std::shared_ptr<cXmlParams>>;

class cXmlParams {
 public:
  void Add(XmlValue v) { items_.push_back(std::move(v)); }
  long Count() const { return static_cast<long>(items_.size()); }
  // 1-based; out of range gives an empty value.
  XmlValue Item(long index) const;
  // 1-based; out of range does nothing.
  void SetItem(long index, XmlValue v);
  Text ItemText(long index) const;
  bool ItemBool(long index) const;
  long long ItemNumber(long index) const;
  std::shared_ptr<cXmlNode> ItemNode(long index) const;
  void Clear() { items_.clear(); }

 private:
  std::vector<XmlValue> items_;
};
