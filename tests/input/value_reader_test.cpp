#include "input/value_reader.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "case_file.hpp"

namespace tulma {
namespace {

// Sign of the status: 0 served, -1 the line ran out, +1 a value did not convert.
int status_sign(const ValueReader& reader) { return (reader.status() > 0) - (reader.status() < 0); }

std::string blanks_shown(std::string s) {
    for (char& c : s) c = c == ' ' ? '_' : c;
    return s;
}

TEST(ValueReader, EachLineOfTheTable) {
    for (const testing::TableRow& row :
         testing::read_table(TULMA_SOURCE_DIR "/tests/input/cases/values.txt")) {
        SCOPED_TRACE(row.line);
        const std::vector<std::string>& w = row.words;
        ValueReader values(row.text);
        const bool kept = w.at(1) == "-";
        if (w[0] == "ints") {
            std::vector<std::int32_t> v(3, -7);
            values.read(v[0]).read(v[1]).read(v[2]);
            EXPECT_EQ(
                v, std::vector<std::int32_t>({std::stoi(w[1]), std::stoi(w[2]), std::stoi(w[3])}));
            EXPECT_EQ(status_sign(values), std::stoi(w[4]));
        } else if (w[0] == "int") {
            std::int32_t v = 99;
            values.read(v);
            EXPECT_EQ(v, kept ? 99 : std::stoi(w[1]));
            EXPECT_EQ(values.status() == 0, !kept);
        } else if (w[0] == "real") {
            double v = -99.0;
            values.read(v);
            const double expected = kept ? -99.0 : std::strtod(w[1].c_str(), nullptr);
            EXPECT_EQ(v, expected);
            EXPECT_EQ(std::signbit(v), std::signbit(expected));
            EXPECT_EQ(values.status() == 0, !kept);
        } else if (w[0] == "logical") {
            bool v = w[1] != "T";  // a read that converts must change it
            values.read(v);
            EXPECT_EQ(v, kept || w[1] == "T");
            EXPECT_EQ(values.status() == 0, !kept);
        } else {
            std::string first = "old", second = "old";
            values.read(FixedText{first, 5}).read(FixedText{second, 3});
            EXPECT_EQ(blanks_shown(first) + " " + blanks_shown(second), w.at(1) + " " + w.at(2));
            EXPECT_EQ(status_sign(values), std::stoi(w.at(3)));
        }
    }
}

TEST(ValueReader, FailureKeepsEarlierValuesAndLeavesTheRest) {
    std::string code = "default";
    double age = 1.0, density = 2.0;
    bool on = false;
    ValueReader values("\"Willow A\" 3.5, 0.25x  T");
    values.read(FixedText{code, 10}).read(age).read(density).read(on);
    EXPECT_EQ(code, "Willow A  ");
    EXPECT_EQ(std::vector<double>({age, density, on ? 1.0 : 0.0}),
              std::vector<double>({3.5, 2.0, 0.0}));
    EXPECT_EQ(values.status(), ValueReader::kNotConverted);
}

}  // namespace
}  // namespace tulma
