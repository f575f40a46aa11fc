#pragma once

#include <cstdint>

namespace tulma {

// Day numbers are integer Julian day numbers. Dates are in the proleptic Julian
// calendar up to 4 October 1582 (day 2299160) and in the Gregorian calendar from
// 15 October 1582 (day 2299161) on. Years are counted without a year zero: the
// year before 1 is -1 (1 BC).

// The day number of day `id` of month `mm` of year `iyyy`. Year 0 does not exist
// and is a fatal error. A date whose day number falls outside the 32-bit range
// gets that number reduced modulo 2^32.
std::int32_t julday(std::int32_t mm, std::int32_t id, std::int32_t iyyy);

// The month (1..12), day of the month, year and day of the year (1 for
// 1 January) of day number `jd`. Every 32-bit day number has its date.
void calendar_date(std::int32_t jd, std::int32_t& mm, std::int32_t& id, std::int32_t& iyyy,
                   std::int32_t& doy);

}  // namespace tulma
