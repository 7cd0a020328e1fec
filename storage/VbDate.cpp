#include "storage/VbDate.h"

#include <cmath>

namespace vbdate {
namespace {
// Days from 1970-01-01 for a proleptic Gregorian date (Howard Hinnant's algorithm).
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long long>(doe) - 719468;
}
void CivilFromDays(long long z, int& y, int& m, int& d) {
  z += 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long long yy = static_cast<long long>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yy + (m <= 2));
}
const long long kEpochOffset = 25569;  // 1970-01-01 as a date serial
}  // namespace

VbDate FromParts(int year, int month, int day, int hour, int minute, int second) {
  // Normalise the month first, then let the day count carry the rest.
  long long y = year, m = month - 1;
  y += m >= 0 ? m / 12 : (m - 11) / 12;
  m = ((m % 12) + 12) % 12;
  long long days = DaysFromCivil(y, static_cast<unsigned>(m + 1), 1) + (day - 1) + kEpochOffset;
  double secs = hour * 3600.0 + minute * 60.0 + second;
  return static_cast<double>(days) + secs / 86400.0;
}

Parts ToParts(VbDate d) {
  Parts p;
  double whole = std::floor(d);
  long long secs = std::llround((d - whole) * 86400.0);
  long long days = static_cast<long long>(whole);
  if (secs >= 86400) { secs -= 86400; ++days; }
  CivilFromDays(days - kEpochOffset, p.year, p.month, p.day);
  p.hour = static_cast<int>(secs / 3600);
  p.minute = static_cast<int>((secs / 60) % 60);
  p.second = static_cast<int>(secs % 60);
  return p;
}

VbDate FromUnix(int64_t seconds, bool local) {
  time_t t = static_cast<time_t>(seconds);
  struct tm tmv {};
  if (local) localtime_r(&t, &tmv);
  else gmtime_r(&t, &tmv);
  return FromParts(tmv.tm_year + 1900, tmv.tm_mon + 1, tmv.tm_mday, tmv.tm_hour, tmv.tm_min, tmv.tm_sec);
}

int64_t ToUnixLocal(VbDate d) {
  Parts p = ToParts(d);
  struct tm tmv {};
  tmv.tm_year = p.year - 1900;
  tmv.tm_mon = p.month - 1;
  tmv.tm_mday = p.day;
  tmv.tm_hour = p.hour;
  tmv.tm_min = p.minute;
  tmv.tm_sec = p.second;
  tmv.tm_isdst = -1;
  return static_cast<int64_t>(mktime(&tmv));
}

VbDate Now() { return FromUnix(static_cast<int64_t>(time(nullptr)), true); }
VbDate Today() { return std::floor(Now()); }

long DayDiff(VbDate a, VbDate b) { return static_cast<long>(std::floor(b) - std::floor(a)); }

Text Format(VbDate d, TextView pattern) {
  Parts p = ToParts(d);
  Text out;
  size_t i = 0;
  while (i < pattern.size()) {
    char16_t c = pattern[i];
    char16_t lc = (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
    int value = -1;
    switch (lc) {
      case u'y': value = p.year; break;
      case u'm': value = p.month; break;
      case u'd': value = p.day; break;
      case u'h': value = p.hour; break;
      case u'n': value = p.minute; break;
      case u's': value = p.second; break;
    }
    if (value < 0) {
      out.push_back(c);
      ++i;
      continue;
    }
    size_t run = 1;
    while (i + run < pattern.size() && (pattern[i + run] == c)) ++run;
    Text num = txt::FromInt(value);
    if (lc == u'y' && run == 2) num = num.substr(num.size() >= 2 ? num.size() - 2 : 0);
    while (num.size() < run) num.insert(num.begin(), u'0');
    out += num;
    i += run;
  }
  return out;
}

}  // namespace vbdate
