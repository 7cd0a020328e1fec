#pragma once
// Text <-> QString for widget code. Declared without Qt headers; callers that use the
// results include <QString> themselves.
#include "platform/Text.h"

class QString;

namespace qtxt {

QString ToQ(TextView t);
Text FromQ(const QString& s);

}  // namespace qtxt
