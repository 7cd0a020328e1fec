#pragma once
// Dates as the program stores and compares them: days since 1899-12-30 as a double, the
// fraction being the time of day (0 means "no date").
#include <cstdint>
#include <ctime>

#include "platform/Text.h"

using VbDate = double;

namespace vbdate {

struct Parts {
  int year = 1899, month = 12, day = 30, hour = 0, minute = 0, second = 0;
};

// Builds a date from its parts; out-of-range months, days and times roll over like
// DateSerial + TimeSerial. Years below 100 are taken as given.
VbDate FromParts(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);
Parts ToParts(VbDate d);
// Unix seconds -> date, in local time or as UTC wall time.
VbDate FromUnix(int64_t seconds, bool local);
// Local wall-clock date -> Unix seconds.
int64_t ToUnixLocal(VbDate d);
VbDate Now();
VbDate Today();
// Whole calendar days from a to b (b - a).
long DayDiff(VbDate a, VbDate b);
// Formats with the letters y m d h n s (runs give the zero-padded width: "yyyy", "mm", "nn").
Text Format(VbDate d, TextView pattern);

}  // namespace vbdate
