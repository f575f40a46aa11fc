#include "tulma_run/calendar_dates.hpp"

#include <cmath>
#include <cstdio>

namespace tulma::run {
namespace {

constexpr std::int64_t kGregorianStart = 2299161;  // 1582-10-15

bool is_leap(std::int32_t year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

std::int32_t days_in_month(std::int32_t year, std::int32_t month) {
    static constexpr std::int32_t days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && is_leap(year) ? 29 : days[month - 1];
}

// Reads exactly `width` decimal digits at `at`.
bool digits(std::string_view text, std::size_t at, std::size_t width, std::int32_t& value) {
    if (at + width > text.size()) return false;
    value = 0;
    for (std::size_t i = at; i < at + width; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

}  // namespace

std::int64_t julian_day_number(const CivilDate& date) {
    // Count years from March, so that the leap day ends a year.
    const std::int64_t a = (14 - date.month) / 12;
    const std::int64_t y = date.year + 4800 - a;
    const std::int64_t m = date.month + 12 * a - 3;
    return date.day + (153 * m + 2) / 5 + 365 * y + y / 4 - y / 100 + y / 400 - 32045;
}

CivilDate civil_date(std::int64_t jdn) {
    const std::int64_t f = jdn + 1401 + (((4 * jdn + 274277) / 146097) * 3) / 4 - 38;
    const std::int64_t e = 4 * f + 3;
    const std::int64_t g = (e % 1461) / 4;
    const std::int64_t h = 5 * g + 2;
    CivilDate date;
    date.day = static_cast<std::int32_t>((h % 153) / 5 + 1);
    date.month = static_cast<std::int32_t>((h / 153 + 2) % 12 + 1);
    date.year = static_cast<std::int32_t>(e / 1461 - 4716 + (12 + 2 - date.month) / 12);
    return date;
}

bool is_valid_date(const CivilDate& date) {
    if (date.year < 1582 || date.year > 9999 || date.month < 1 || date.month > 12) return false;
    if (date.day < 1 || date.day > days_in_month(date.year, date.month)) return false;
    return julian_day_number(date) >= kGregorianStart;
}

std::optional<DateTime> parse_date_time(std::string_view text, bool allow_time) {
    DateTime when;
    if (!digits(text, 0, 4, when.date.year) || text.size() < 10 || text[4] != '-' ||
        !digits(text, 5, 2, when.date.month) || text[7] != '-' ||
        !digits(text, 8, 2, when.date.day)) {
        return std::nullopt;
    }
    if (!is_valid_date(when.date)) return std::nullopt;
    if (text.size() == 10) return when;
    if (!allow_time || (text.size() != 16 && text.size() != 19) ||
        (text[10] != ' ' && text[10] != 'T') || !digits(text, 11, 2, when.hour) ||
        text[13] != ':' || !digits(text, 14, 2, when.minute) || when.hour > 23 ||
        when.minute > 59) {
        return std::nullopt;
    }
    if (text.size() == 19 &&
        (text[16] != ':' || !digits(text, 17, 2, when.second) || when.second > 59)) {
        return std::nullopt;
    }
    return when;
}

double hours_since(std::int64_t jday0, const DateTime& when) {
    return static_cast<double>(julian_day_number(when.date) - jday0) * 24.0 + when.hour +
           when.minute / 60.0 + when.second / 3600.0;
}

std::string format_date(const CivilDate& date) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", date.year, date.month, date.day);
    return text;
}

std::string format_sim_time(std::int64_t jday0, double hours, bool with_time) {
    const double whole_days = std::floor(hours / 24.0);
    std::int64_t day = jday0 + static_cast<std::int64_t>(whole_days);
    auto minutes = static_cast<std::int64_t>(std::llround((hours - whole_days * 24.0) * 60.0));
    if (minutes >= 24 * 60) {
        // A time a hair below midnight rounds to the next day's start.
        minutes -= 24 * 60;
        if (with_time) ++day;
    }
    std::string text = format_date(civil_date(day));
    if (with_time) {
        char clock[16];
        std::snprintf(clock, sizeof clock, " %02d:%02d", static_cast<int>(minutes / 60),
                      static_cast<int>(minutes % 60));
        text += clock;
    }
    return text;
}

}  // namespace tulma::run
