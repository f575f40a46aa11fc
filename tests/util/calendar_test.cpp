#include "util/calendar.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

#include "case_file.hpp"
#include "stop_text.hpp"

namespace tulma {
namespace {

std::vector<std::int32_t> date_of(std::int32_t jd) {
    std::vector<std::int32_t> date(4, 0);
    calendar_date(jd, date[0], date[1], date[2], date[3]);
    return date;
}

TEST(Calendar, KnownDatesBothWays) {
    for (const testing::TableRow& row :
         testing::read_table(TULMA_SOURCE_DIR "/tests/util/cases/dates.txt")) {
        SCOPED_TRACE(row.text);
        std::vector<std::int32_t> v;
        for (const std::string& word : row.words)
            v.push_back(static_cast<std::int32_t>(std::stoll(word)));
        EXPECT_EQ(date_of(v[0]), std::vector<std::int32_t>(v.begin() + 1, v.end()));
        EXPECT_EQ(julday(v[1], v[2], v[3]), v[0]);
    }
    EXPECT_EQ(testing::stop_text([] { (void)julday(1, 1, 0); }),
              "ERROR in: julday: there is no year zero\n");
}

// Every day number has a valid date leading back to it: the whole 32-bit range in
// prime steps (every phase of the 4- and 400-year cycles), then every day from far
// before day 0 to past the Gregorian reform.
TEST(Calendar, RoundTripOverTheDayRange) {
    const auto round_trips = [](std::int64_t day) {
        const auto jd = static_cast<std::int32_t>(day);
        const std::vector<std::int32_t> d = date_of(jd);
        return d[0] >= 1 && d[0] <= 12 && d[1] >= 1 && d[1] <= 31 && d[3] >= 1 && d[3] <= 366 &&
               julday(d[0], d[1], d[2]) == jd;
    };
    std::int64_t bad = 0;
    for (std::int64_t day = std::numeric_limits<std::int32_t>::min();
         day <= std::numeric_limits<std::int32_t>::max(); day += 4099)
        bad += !round_trips(day);
    for (std::int64_t day = -1000000; day <= 2600000; ++day) bad += !round_trips(day);
    EXPECT_EQ(bad, 0);
}

}  // namespace
}  // namespace tulma
