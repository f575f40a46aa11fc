#include "util/field_editor.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

namespace tulma {
namespace {

constexpr double inf = std::numeric_limits<double>::infinity();
constexpr double nan = std::numeric_limits<double>::quiet_NaN();

TEST(FieldEditor, TextField) {
    // clang-format off
    struct Row { std::string s; int width; std::string expected; };
    const Row rows[] = {
        {"time,", 13, "        time,"}, {"m_veg,", 7, " m_veg,"},
        {"m_veg,", 6, "m_veg,"},  // exactly the width: no pad, no cut
        {"m_veg,", 5, "m_veg"},   // one over: the leftmost characters stay
        {"", 2, "  "}, {"ab", 0, ""},
    };
    // clang-format on
    for (const Row& r : rows) {
        SCOPED_TRACE(r.s + " in " + std::to_string(r.width));
        LineBuilder line;
        line.text(r.s, r.width);
        EXPECT_EQ(line.view(), r.expected);
    }
}

TEST(FieldEditor, IntegerField) {
    constexpr std::int64_t min = std::numeric_limits<std::int64_t>::min();
    // clang-format off
    struct Row { std::int64_t v; int width; std::string expected; };
    const Row rows[] = {
        {0, 6, "     0"}, {42, 6, "    42"}, {-42, 6, "   -42"},
        {123456, 6, "123456"}, {1234567, 6, "******"},
        {-12345, 6, "-12345"}, {-123456, 6, "******"},  // the sign takes a place
        {min, 20, "-9223372036854775808"}, {min, 19, "*******************"},
    };
    // clang-format on
    for (const Row& r : rows) {
        SCOPED_TRACE(std::to_string(r.v) + " in " + std::to_string(r.width));
        LineBuilder line;
        line.integer(r.v, r.width);
        EXPECT_EQ(line.view(), r.expected);
    }
}

TEST(FieldEditor, FixedField) {
    // clang-format off
    struct Row { double v; int width; int decimals; std::string expected; };
    const Row rows[] = {
        {36.0, 10, 2, "     36.00"}, {12.5, 10, 2, "     12.50"},
        {-12.345, 12, 3, "     -12.345"},          // binary 12.34500000000000064
        {0.125, 5, 2, " 0.12"}, {0.375, 5, 2, " 0.38"},  // exact ties, to even
        {2.675, 5, 2, " 2.67"},                    // binary 2.67499999999999982
        {0.995, 4, 2, "0.99"}, {0.996, 4, 2, "1.00"},  // 0.995 is 0.99499999999999999
        {999.996, 6, 2, "******"},                 // rounding carries past the width
        {-0.001, 5, 2, "-0.00"}, {-0.0, 5, 2, "-0.00"}, {0.0, 5, 2, " 0.00"},
        {0.5, 3, 2, ".50"}, {-0.5, 4, 2, "-.50"},  // no room for the leading 0
        {-0.5, 3, 2, "***"}, {-9.99, 5, 2, "-9.99"}, {-10.0, 5, 2, "*****"},
        {123456.7, 7, 0, "123457."}, {123456.7, 6, 0, "******"},
        {2.5, 3, 0, " 2."}, {3.5, 3, 0, " 4."}, {0.3, 3, 0, " 0."},
        {1e300, 12, 3, "************"},
        {nan, 5, 2, "  NaN"}, {nan, 2, 2, "**"},
        {inf, 10, 2, "  Infinity"}, {inf, 7, 2, "    Inf"},
        {-inf, 9, 2, "-Infinity"}, {-inf, 8, 2, "    -Inf"}, {-inf, 3, 2, "***"},
    };
    // clang-format on
    for (const Row& r : rows) {
        SCOPED_TRACE(std::to_string(r.v) + " in " + std::to_string(r.width) + "." +
                     std::to_string(r.decimals));
        LineBuilder line;
        line.fixed(r.v, r.width, r.decimals);
        EXPECT_EQ(line.view(), r.expected);
    }
}

TEST(FieldEditor, GeneralField) {
    // clang-format off
    struct Row { double v; std::string expected; };
    const Row rows[] = {
        {0.0, "  0.00000    "}, {-0.0, "  0.00000    "},
        {8760.0, "  8760.00    "}, {0.5, " 0.500000    "}, {-0.5, "-0.500000    "},
        {123456.7, "  123457.    "}, {-123456.4, " -123456.    "},
        {123456.5, "  123456.    "},  // exact tie, to even
        {1e10, " 0.100000E+11"}, {-1e10, "-0.100000E+11"},
        {0.0123456789, " 0.123457E-01"},
        // Each switch point, with values whose 6-digit rounding falls on either
        // side of it; "above"/"below" is where the binary value of a decimal
        // ending in 5 lies.
        {0.0999999, " 0.999999E-01"}, {0.09999995, " 0.100000    "},  // above
        {0.1, " 0.100000    "},
        {0.9999994, " 0.999999    "}, {0.9999995, "  1.00000    "},  // above
        {9.999994, "  9.99999    "}, {9.999995, "  10.0000    "},    // above
        {99.99995, "  99.9999    "}, {99.99996, "  100.000    "},    // below
        {999.9994, "  999.999    "}, {999.9995, "  1000.00    "},    // above
        {9999.994, "  9999.99    "}, {9999.995, "  10000.0    "},    // above
        {99999.95, "  99999.9    "}, {99999.96, "  100000.    "},    // below
        {999999.4, "  999999.    "}, {999999.5, " 0.100000E+07"},    // exact tie, up to even
        {999999.6, " 0.100000E+07"}, {1000000.0, " 0.100000E+07"},
        // Exponents of three digits lose the letter E.
        {1e98, " 0.100000E+99"}, {1e99, " 0.100000+100"},  // 1e99 is 9.99999999999999967e98
        {1e100, " 0.100000+101"}, {1e-100, " 0.100000E-99"}, {1e-101, " 0.100000-100"},
        {std::numeric_limits<double>::denorm_min(), " 0.494066-323"},  // 4.940656458e-324
        {-std::numeric_limits<double>::max(), "-0.179769+309"},       // 1.797693134e308
        {nan, "          NaN"}, {-inf, "    -Infinity"},
    };
    // clang-format on
    for (const Row& r : rows) {
        SCOPED_TRACE(std::to_string(r.v));
        LineBuilder line;
        line.general(r.v);
        EXPECT_EQ(line.view(), r.expected);
    }
}

TEST(FieldEditor, FieldsFollowOneAnotherAndClearKeepsTheBuffer) {
    LineBuilder line;
    line.general(8760.0);
    line.text(",");
    line.integer(3, 6);
    line.logical(true);
    line.logical(false);
    line.text("ab  ");
    line.blanks(2);
    EXPECT_EQ(line.view(), "  8760.00    ,     3      T      Fab    ");
    const char* buffer = line.view().data();
    line.clear();
    line.fixed(1.5, 30, 1);
    EXPECT_EQ(line.view(), std::string(27, ' ') + "1.5");
    EXPECT_EQ(line.view().data(), buffer);  // no new buffer for a shorter line
}

}  // namespace
}  // namespace tulma
