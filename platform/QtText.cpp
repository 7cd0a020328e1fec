#include "platform/QtText.h"

#include <QString>

namespace qtxt {

QString ToQ(TextView t) {
  return QString(reinterpret_cast<const QChar*>(t.data()), static_cast<qsizetype>(t.size()));
}

Text FromQ(const QString& s) {
  return Text(reinterpret_cast<const char16_t*>(s.utf16()), static_cast<size_t>(s.size()));
}

}  // namespace qtxt
