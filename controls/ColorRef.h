#pragma once
// Windows colour values (0x00BBGGRR) as the controls' hosts give them.
#include <QColor>

namespace colorref {

inline QColor ToQColor(long c) {
  return QColor(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF), static_cast<int>((c >> 16) & 0xFF));
}
inline long FromQColor(const QColor& c) {
  return static_cast<long>(c.red()) | (static_cast<long>(c.green()) << 8) | (static_cast<long>(c.blue()) << 16);
}

}  // namespace colorref
