#include "database/StoredDate.h"

#include <cmath>
#include <cstdio>

namespace tunquil {

namespace {

// Days from 1970-01-01 to a civil date (proleptic Gregorian), after H. Hinnant's algorithm.
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    long long era = (y >= 0 ? y : y - 399) / 400;
    auto yoe = static_cast<unsigned>(y - era * 400);
    unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

void CivilFromDays(long long z, long long& y, unsigned& m, unsigned& d) {
    z += 719468;
    long long era = (z >= 0 ? z : z - 146096) / 146097;
    auto doe = static_cast<unsigned>(z - era * 146097);
    unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = static_cast<long long>(yoe) + era * 400;
    unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y += m <= 2;
}

const long long kEpochOffsetDays = DaysFromCivil(1899, 12, 30); // negative: days before 1970

struct LocalParts {
    long long year;
    unsigned month, day;
    int seconds; // of the day
};

LocalParts PartsOf(double date) {
    if (!std::isfinite(date) || std::fabs(date) > 3.0e6)
        date = 0;
    double wholeDays = std::floor(date);
    int seconds = static_cast<int>(std::lround((date - wholeDays) * 86400.0));
    if (seconds >= 86400) {
        wholeDays += 1;
        seconds -= 86400;
    }
    LocalParts p{};
    CivilFromDays(static_cast<long long>(wholeDays) + kEpochOffsetDays, p.year, p.month, p.day);
    p.seconds = seconds;
    return p;
}

} // namespace

double StoredDateFromTime(std::time_t t) {
    std::tm tm{};
    localtime_r(&t, &tm);
    long long days = DaysFromCivil(tm.tm_year + 1900LL, static_cast<unsigned>(tm.tm_mon + 1),
                                   static_cast<unsigned>(tm.tm_mday)) -
                     kEpochOffsetDays;
    return static_cast<double>(days) + (tm.tm_hour * 3600 + tm.tm_min * 60 + tm.tm_sec) / 86400.0;
}

double StoredDateNow() {
    return StoredDateFromTime(std::time(nullptr));
}

std::time_t TimeFromStoredDate(double date) {
    LocalParts p = PartsOf(date);
    std::tm tm{};
    tm.tm_year = static_cast<int>(p.year - 1900);
    tm.tm_mon = static_cast<int>(p.month) - 1;
    tm.tm_mday = static_cast<int>(p.day);
    tm.tm_hour = p.seconds / 3600;
    tm.tm_min = p.seconds / 60 % 60;
    tm.tm_sec = p.seconds % 60;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

std::string FormatStoredDateIso(double date) {
    LocalParts p = PartsOf(date);
    char buf[48];
    std::snprintf(buf, sizeof buf, "%04lld-%02u-%02uT%02d:%02d:%02d", p.year, p.month, p.day,
                  p.seconds / 3600, p.seconds / 60 % 60, p.seconds % 60);
    return buf;
}

} // namespace tunquil
