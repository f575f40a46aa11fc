#include "input/value_reader.hpp"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace tulma {
namespace {

// Sign of the status: 0 served, -1 the line ran out, +1 a value did not convert.
int status_sign(const ValueReader& reader) { return (reader.status() > 0) - (reader.status() < 0); }

TEST(ValueReader, SeparatorsNullValuesAndSlash) {
    struct Row {
        const char* text;
        std::vector<std::int32_t> expected;  // three variables that held -7
        int status;
    };
    const Row rows[] = {
        {"1 2 3", {1, 2, 3}, 0},     {"1\t2,3", {1, 2, 3}, 0},    {"  1 ,\t2 , 3", {1, 2, 3}, 0},
        {"1 2 3 4 x", {1, 2, 3}, 0},  // values beyond the variables are ignored
        {"1,,3", {1, -7, 3}, 0},     {",2,3", {-7, 2, 3}, 0},     {" , , 3", {-7, -7, 3}, 0},
        {"1/2 3", {1, -7, -7}, 0},   {"1 , / 2", {1, -7, -7}, 0}, {"/", {-7, -7, -7}, 0},
        {"1 2", {1, 2, -7}, -1},     {"1,2,", {1, 2, -7}, -1},    {"", {-7, -7, -7}, -1},
        {"1 x 3", {1, -7, -7}, 1},  // nothing is read after the failure
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        std::vector<std::int32_t> v(3, -7);
        ValueReader reader(row.text);
        reader.read(v[0]).read(v[1]).read(v[2]);
        EXPECT_EQ(v, row.expected);
        EXPECT_EQ(status_sign(reader), row.status);
    }
}

TEST(ValueReader, IntegerConversion) {
    struct Row {
        const char* text;
        bool converts;
        std::int32_t expected;
    };
    const Row rows[] = {
        {"+5", true, 5},
        {"2147483647", true, 2147483647},
        {"-2147483648", true, -2147483647 - 1},
        {"2147483648", false, 0},
        {"-2147483649", false, 0},
        {"1.5", false, 0},
        {"1e2", false, 0},
        {"1+5", false, 0},
        {"\"5\"", false, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        std::int32_t v = 99;
        ValueReader reader(row.text);
        reader.read(v);
        EXPECT_EQ(reader.status() == 0, row.converts);
        EXPECT_EQ(v, row.converts ? row.expected : 99);
    }
}

TEST(ValueReader, RealConversionIsCorrectlyRounded) {
    struct Row {
        const char* text;
        bool converts;
        double expected;
    };
    const Row rows[] = {
        {"1.5", true, 1.5},
        {"-.5", true, -0.5},
        {"+2.", true, 2.0},
        {"1d2", true, 100.0},
        {"1D-2", true, 0.01},
        {"2.5E+3", true, 2500.0},
        // 2^53 + 1 is a tie between two doubles: to the even one.
        {"9007199254740993", true, 9007199254740992.0},
        {"9007199254740993.0001", true, 9007199254740994.0},
        {"1.7976931348623158e308", true, DBL_MAX},
        {"4.9e-324", true, std::numeric_limits<double>::denorm_min()},
        // Just above and just below half the smallest subnormal.
        {"2.4703282292062328e-324", true, std::numeric_limits<double>::denorm_min()},
        {"2.4703282292062327e-324", true, 0.0},
        {"0.0001e-320", true, 0.0},
        {"1.7976931348623159e308", false, 0},  // rounds to infinity
        {"Inf", false, 0},
        {"NaN", false, 0},
        {"1+5", false, 0},
        {"2*0.5", false, 0},
        {"1.5.3", false, 0},
        {"\"1.5\"", false, 0},
        {".", false, 0},
        {"1e+", false, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        double v = -99.0;
        ValueReader reader(row.text);
        reader.read(v);
        EXPECT_EQ(reader.status() == 0, row.converts);
        EXPECT_EQ(v, row.converts ? row.expected : -99.0);
    }
    double tiny = 1.0;
    ValueReader("-1e-400").read(tiny);
    EXPECT_TRUE(tiny == 0.0 && std::signbit(tiny));
}

TEST(ValueReader, LogicalTakesTheLetterAfterAnOptionalPeriod) {
    struct Row {
        const char* text;
        bool converts;
        bool expected;
    };
    const Row rows[] = {
        {"T", true, true},  {"t", true, true},    {".true.", true, true}, {"Tuesday", true, true},
        {"F", true, false}, {".f", true, false},  {"fx", true, false},    {"x", false, true},
        {".", false, true}, {"..T", false, true}, {"1", false, false},    {"\"T\"", false, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        bool v = !row.expected;  // a read that converts must change it
        ValueReader reader(row.text);
        reader.read(v);
        EXPECT_EQ(reader.status() == 0, row.converts);
        EXPECT_EQ(v, row.converts ? row.expected : !row.expected);
    }
}

TEST(ValueReader, CharacterValues) {
    struct Row {
        const char* text;
        const char* first;   // length 5
        const char* second;  // length 3
        int status;
    };
    const Row rows[] = {
        {"abc de", "abc  ", "de ", 0},
        {"abcdefgh,xyzw", "abcde", "xyz", 0},
        {"\"a b,c\" d", "a b,c", "d  ", 0},
        {"'a/b'/x", "a/b  ", "old", 0},
        {"\"it\"\"s\" ''''", "it\"s ", "'  ", 0},
        {"'say \"hi\"'", "say \"", "old", -1},
        {"3*abc", "3*abc", "old", -1},
        {"ab/cd", "ab   ", "old", 0},
        {"ab\"cd", "ab\"cd", "old", -1},
        {"\"open", "old", "old", 1},
        {"\"ab\"cd", "old", "old", 1},
        // The code count takes the first value of a line: none before a
        // leading comma or slash, and a line of blanks runs out.
        {",VIV", "old", "VIV", 0},
        {"/VIV", "old", "old", 0},
        {" \t ", "old", "old", -1},
        {"3*VIV", "3*VIV", "old", -1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        std::string first = "old";
        std::string second = "old";
        ValueReader reader(row.text);
        reader.read(FixedText{first, 5}).read(FixedText{second, 3});
        EXPECT_EQ(first, row.first);
        EXPECT_EQ(second, row.second);
        EXPECT_EQ(status_sign(reader), row.status);
    }
}

TEST(ValueReader, FailureKeepsEarlierValuesAndLeavesTheRest) {
    std::string code = "default";
    double age = 1.0;
    double density = 2.0;
    bool on = false;
    ValueReader reader("\"Willow A\" 3.5, 0.25x  T");
    reader.read(FixedText{code, 10}).read(age).read(density).read(on);
    EXPECT_EQ(code, "Willow A  ");
    EXPECT_EQ(age, 3.5);
    EXPECT_EQ(density, 2.0);
    EXPECT_FALSE(on);
    EXPECT_EQ(reader.status(), ValueReader::kNotConverted);
}

}  // namespace
}  // namespace tulma
