#include "util/calendar.hpp"

#include <cmath>

#include "util/fatal_error.hpp"

namespace tulma {
namespace {

// All the arithmetic is done in 64-bit integers and doubles. Near the ends of the
// 32-bit day range, 365.25 * year, 31 * 12 * year, the shift by whole centuries
// of days before day 0 and the day number of 1 January of the date's year all
// leave the 32-bit range although the day number and the date fit, and a signed
// overflow would be undefined. Where 32 bits would not overflow, 64 bits hold
// the same values, so the dates are the same.
using Wide = std::int64_t;

double real(Wide i) { return static_cast<double>(i); }

// Converting a double to an integer drops the fraction (toward zero).
Wide trunc_to_int(double r) { return static_cast<Wide>(r); }

// The largest whole number not above r: differs from truncation for negative
// years, where the count of leap days must still round down.
Wide floor_to_int(double r) { return static_cast<Wide>(std::floor(r)); }

// 15 October 1582, the first Gregorian day, keyed as day + 31 * (month + 12 * year).
constexpr Wide gregorian_reform_key = 15 + 31 * (10 + 12 * 1582);
constexpr Wide gregorian_reform_day = 2299161;

// One hundred Julian years: 25 leap cycles of 1461 days.
constexpr Wide julian_century_days = 36525;

Wide julday_wide(Wide mm, Wide id, Wide iyyy) {
    // Without a year zero, 1 BC must take the place of year 0 in the arithmetic.
    Wide jy = iyyy < 0 ? iyyy + 1 : iyyy;
    // January and February count as months 13 and 14 of the year before, so the
    // leap day falls at the end of the counted year.
    Wide jm = 0;
    if (mm > 2) {
        jm = mm + 1;
    } else {
        jy = jy - 1;
        jm = mm + 13;
    }
    Wide jul = floor_to_int(365.25 * real(jy)) + floor_to_int(30.6001 * real(jm)) + id + 1720995;
    if (id + 31 * (mm + 12 * iyyy) >= gregorian_reform_key) {
        // Gregorian dates drop the leap day of century years not divisible by 400.
        const Wide ja = floor_to_int(0.01 * real(jy));
        jul = jul + 2 - ja + floor_to_int(0.25 * real(ja));
    }
    return jul;
}

}  // namespace

std::int32_t julday(std::int32_t mm, std::int32_t id, std::int32_t iyyy) {
    if (iyyy == 0) log_error("julday", "there is no year zero");
    // Modular narrowing (well defined in C++20) for dates beyond the 32-bit day range.
    return static_cast<std::int32_t>(julday_wide(mm, id, iyyy));
}

void calendar_date(std::int32_t jd, std::int32_t& mm, std::int32_t& id, std::int32_t& iyyy,
                   std::int32_t& doy) {
    const Wide day = jd;
    // Days before day 0 are moved forward by whole Julian centuries, which keep
    // month and day, and the centuries are taken off the year at the end.
    // Integer division truncates toward zero, as the shift requires.
    const Wide q = day / julian_century_days;
    Wide ja = day;
    if (day >= gregorian_reform_day) {
        // Gregorian days: add back the century leap days the Gregorian calendar
        // dropped, so the Julian arithmetic below applies.
        const Wide alpha = trunc_to_int((real(day - 1867216) - 0.25) / 36524.25);
        ja = day + 1 + alpha - trunc_to_int(0.25 * real(alpha));
    } else if (day < 0) {
        ja = day + julian_century_days * (1 - q);
    }
    const Wide jb = ja + 1524;
    const Wide jc = trunc_to_int(6680.0 + (real(ja - 2438346) - 122.1) / 365.25);
    const Wide jd2 = 365 * jc + trunc_to_int(0.25 * real(jc));
    const Wide je = trunc_to_int(real(jb - jd2) / 30.6001);
    const Wide day_of_month = jb - jd2 - trunc_to_int(30.6001 * real(je));
    Wide month = je - 1;
    if (month > 12) month = month - 12;
    Wide year = jc - 4715;
    if (month > 2) year = year - 1;
    if (year <= 0) year = year - 1;  // no year zero: 0 becomes 1 BC
    if (day < 0) year = year - 100 * (1 - q);

    mm = static_cast<std::int32_t>(month);
    id = static_cast<std::int32_t>(day_of_month);
    iyyy = static_cast<std::int32_t>(year);
    // 1 January of the year can lie before the 32-bit day range; the difference fits.
    doy = static_cast<std::int32_t>(day - julday_wide(1, 1, year) + 1);
}

}  // namespace tulma
