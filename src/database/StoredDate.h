#pragma once
// Dates as the record files keep them: days since 1899-12-30 00:00 local time, the fraction
// being the time of day.

#include <ctime>
#include <string>

namespace tunquil {

double StoredDateFromTime(std::time_t t);
double StoredDateNow();
std::time_t TimeFromStoredDate(double date);
// "YYYY-MM-DDTHH:MM:SS" in local time.
std::string FormatStoredDateIso(double date);

} // namespace tunquil
