#pragma once

// Calendar dates of the scenario: the start date gives the library the Julian
// day number of the day holding time zero, and the dates of the water-level
// series and of the progress line are turned into hours since then and back.
// Only Gregorian dates (from 15 October 1582, the day the library's own
// calendar switches to the Gregorian rules) are accepted, so both sides agree
// on every date.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tulma::run {

struct CivilDate {
    std::int32_t year = 0;
    std::int32_t month = 0;
    std::int32_t day = 0;
};

// A date with a time of day (hours 0..23, minutes and seconds 0..59).
struct DateTime {
    CivilDate date;
    std::int32_t hour = 0;
    std::int32_t minute = 0;
    std::int32_t second = 0;
};

// The Julian day number of a Gregorian date.
std::int64_t julian_day_number(const CivilDate& date);

// The Gregorian date of a Julian day number.
CivilDate civil_date(std::int64_t jdn);

// True for a real Gregorian date from 1582-10-15 to 9999-12-31.
bool is_valid_date(const CivilDate& date);

// Reads "YYYY-MM-DD", and when `allow_time` also "YYYY-MM-DD HH:MM" or
// "YYYY-MM-DDTHH:MM", either with ":SS" after it (spreadsheets and pandas
// write the seconds). Empty when the text is not such a valid date.
std::optional<DateTime> parse_date_time(std::string_view text, bool allow_time);

// Hours from midnight of the day `jday0` to a date and time.
double hours_since(std::int64_t jday0, const DateTime& when);

// "YYYY-MM-DD" of the day `jday0` + floor(hours / 24), with " HH:MM" after it
// when `with_time`.
std::string format_sim_time(std::int64_t jday0, double hours, bool with_time);

std::string format_date(const CivilDate& date);

}  // namespace tulma::run
