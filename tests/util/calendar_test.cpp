#include "util/calendar.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "util/fatal_error.hpp"

namespace tulma {
namespace {

constexpr std::int64_t kFirstDay = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kLastDay = std::numeric_limits<std::int32_t>::max();

struct DateRow {
    std::int64_t jd;
    std::int32_t mm, id, iyyy, doy;
    const char* why;
};

// From known dates: day 0 is 1 January 4713 BC, 1 January 2000 is day 2451545, a
// Julian 4-year cycle has 1461 days and a Gregorian 400-year cycle 146097.
constexpr DateRow kDates[] = {
    {2299160, 10, 4, 1582, 277, "last Julian day"},
    {2299161, 10, 15, 1582, 278, "first Gregorian day comes next"},
    {2451545, 1, 1, 2000, 1, "1 January"},
    {2451910, 12, 31, 2000, 366, "last day of a leap year"},
    {2451605, 3, 1, 2000, 61, "1 March, year divisible by 400 is leap"},
    {2451970, 3, 1, 2001, 60, "1 March, common year"},
    {2415080, 3, 1, 1900, 60, "Gregorian century year is common"},
    {1721423, 12, 31, -1, 366, "1 BC is leap and comes just before AD 1"},
    {-1, 12, 31, -4714, 365, "the day before day 0"},
    {kLastDay, 6, 3, 5874898, 154, "last 32-bit day"},
    {kFirstDay, 3, 16, -5884203, 75, "first 32-bit day, its 1 January before it"},
};

TEST(Calendar, KnownDatesBothWays) {
    for (const DateRow& row : kDates) {
        SCOPED_TRACE(row.why);
        const auto jd = static_cast<std::int32_t>(row.jd);
        std::int32_t mm = 0, id = 0, iyyy = 0, doy = 0;
        calendar_date(jd, mm, id, iyyy, doy);
        EXPECT_EQ(mm, row.mm);
        EXPECT_EQ(id, row.id);
        EXPECT_EQ(iyyy, row.iyyy);
        EXPECT_EQ(doy, row.doy);
        EXPECT_EQ(julday(row.mm, row.id, row.iyyy), jd);
    }
}

TEST(Calendar, YearZeroIsFatal) {
    try {
        (void)julday(1, 1, 0);
        FAIL() << "julday accepted year 0";
    } catch (const FatalError& e) {
        EXPECT_EQ(e.console_text(), "ERROR in: julday: there is no year zero\n");
    }
}

// Every day number has a valid date leading back to it: the whole 32-bit range in
// prime steps (every phase of the 4- and 400-year cycles), then every day from far
// before day 0 to past the Gregorian reform.
TEST(Calendar, RoundTripOverTheDayRange) {
    const auto round_trips = [](std::int64_t day) {
        const auto jd = static_cast<std::int32_t>(day);
        std::int32_t mm = 0, id = 0, iyyy = 0, doy = 0;
        calendar_date(jd, mm, id, iyyy, doy);
        return mm >= 1 && mm <= 12 && id >= 1 && id <= 31 && doy >= 1 && doy <= 366 &&
               julday(mm, id, iyyy) == jd;
    };
    std::int64_t bad = 0;
    for (std::int64_t day = kFirstDay; day <= kLastDay; day += 4099) bad += !round_trips(day);
    for (std::int64_t day = -1000000; day <= 2600000; ++day) bad += !round_trips(day);
    EXPECT_EQ(bad, 0);
}

}  // namespace
}  // namespace tulma
