// The fixed and general fields round from whole numbers where a value allows it
// and through the standard library elsewhere. Both must give the same digits:
// every field is checked here against the C library's correctly rounded printf
// text, on values chosen to sit on rounding ties, next to powers of
// ten, and spread over every magnitude the reports print.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "util/field_editor.hpp"

namespace {

using tulma::LineBuilder;

// "%.*f" of |v| with the sign taken from the sign bit, laid out as the fixed
// field lays it out.
std::string reference_fixed(double v, int width, int decimals) {
    char text[400];
    std::snprintf(text, sizeof text, "%.*f%s", decimals, std::fabs(v), decimals == 0 ? "." : "");
    std::string field = text;
    const std::string sign = std::signbit(v) ? "-" : "";
    const auto w = static_cast<std::size_t>(width);
    if (field.size() + sign.size() > w && field[0] == '0') field.erase(0, 1);
    if (field.size() + sign.size() > w) return std::string(w, '*');
    return std::string(w - field.size() - sign.size(), ' ') + sign + field;
}

// The general field laid out from the six digits of "%.5e": a fixed form of 9
// characters and 4 blanks for exponents -1 .. 5, " 0.ddddddE+dd" otherwise
// (no E for a three-digit exponent).
std::string reference_general(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.5e", std::fabs(v));
    const std::string digits = text[0] + std::string(text + 2, 5);
    const int shown = std::atoi(text + 8) + 1;  // the exponent of 0.dddddd
    const std::string sign = std::signbit(v) ? "-" : "";
    if (shown < 0 || shown > 6) {
        std::snprintf(text, sizeof text, std::abs(shown) < 100 ? "E%+03d" : "%+04d", shown);
        return (sign.empty() ? " 0." : "-0.") + digits + text;
    }
    const auto before = static_cast<std::size_t>(shown);
    const std::string field =
        sign + (before == 0 ? "0" : digits.substr(0, before)) + "." + digits.substr(before);
    return std::string(9 - field.size(), ' ') + field + "    ";
}

std::vector<double> awkward_values() {
    std::vector<double> values;
    // Ties and near-ties at two and six digits, carries into a new digit.
    for (double v : {0.125,    0.375,     0.005,    0.015,      0.025,    2.675,
                     1.005,    99.995,    99.99995, 999999.5,   999999.4, 99999.95,
                     9.999995, 0.0999999, 0.1,      0.09999995, 123456.5, 999.9995,
                     1e-3,     5e-7,      0.0,      1.0,        1e5,      1e6,
                     1e-13,    1e-14,     1e-15,    1e10,       3.0e19,   1.8446744073709552e19}) {
        values.push_back(v);
        values.push_back(-v);
        values.push_back(std::nextafter(v, 0.0));
        values.push_back(std::nextafter(v, 1e300));
    }
    for (int p = -16; p <= 20; ++p) {
        const double power = std::pow(10.0, p);
        for (double f : {1.0, 9.999995, 9.9999949999, 9.99999500001, 0.9999995}) {
            values.push_back(std::nextafter(power * f, 0.0));
            values.push_back(power * f);
            values.push_back(std::nextafter(power * f, 1e300));
        }
    }
    // Values whose exact binary value ends in a five at the rounding place.
    for (int k = 1; k < 2000; ++k) values.push_back(k / 64.0);
    values.push_back(std::numeric_limits<double>::denorm_min());
    values.push_back(std::numeric_limits<double>::max());
    return values;
}

std::vector<double> random_values() {
    std::mt19937_64 random(20240517);
    std::uniform_real_distribution<double> magnitude(-18.0, 22.0);
    std::vector<double> values;
    for (int i = 0; i < 200000; ++i) {
        const double v = std::pow(10.0, magnitude(random));
        values.push_back((i & 1) != 0 ? -v : v);
    }
    return values;
}

TEST(FieldRounding, FixedAndGeneralFieldsMatchTheStandardLibrary) {
    const std::pair<int, int> layouts[] = {{5, 2},  {7, 2},  {10, 4},  {12, 2}, {13, 2},
                                           {14, 2}, {12, 0}, {30, 19}, {40, 25}};
    for (const std::vector<double>& values : {awkward_values(), random_values()}) {
        for (double v : values) {
            for (const auto& [width, decimals] : layouts) {
                LineBuilder line;
                line.fixed(v, width, decimals);
                ASSERT_EQ(line.view(), reference_fixed(v, width, decimals))
                    << v << " in " << width << "." << decimals;
            }
            LineBuilder line;
            line.general(v);
            ASSERT_TRUE(v == 0.0 || line.view() == reference_general(v))
                << v << ": " << line.view();
        }
    }
}

}  // namespace
