#include "input/record_reader.hpp"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "case_file.hpp"
#include "stop_text.hpp"
#include "temp_dir.hpp"

namespace tulma {
namespace {

using testing::stop_text;

std::string padded(std::string text, std::size_t length = kLineLength) {
    text.resize(length, ' ');
    return text;
}

// An input file of the given bytes and the echo file, in a scratch directory.
struct Reading {
    testing::TempWorkDir dir;
    InputFile in;
    OutputFile echo;
    std::string line;
    std::int32_t line_no = 0, n_items = -1;

    explicit Reading(const std::string& bytes) {
        testing::TempWorkDir::write("input.txt", bytes);
        EXPECT_TRUE(in.open_existing("input.txt"));
        EXPECT_TRUE(echo.open_replace("echo.dat"));
    }
    void next() { read_line(line, line_no, n_items, in, echo); }
    std::string echo_text() {
        echo.flush();
        return testing::TempWorkDir::read("echo.dat");
    }
};

// Each case file is a record file, then "=== lines" with what each read gives
// up to END (line number, item count, the line without its trailing blanks),
// "=== stop" with the console text of the stop that ends the reading (none:
// it reaches END) and "=== echo" with the whole echo.
TEST(ReadLine, CasesReadEchoAndStopAsTheirFilesSay) {
    const auto cases = testing::read_cases(TULMA_SOURCE_DIR "/tests/input/cases/record_reader");
    ASSERT_GE(cases.size(), 5U);
    for (const testing::CaseFile& c : cases) {
        SCOPED_TRACE(c.name);
        Reading r(c.input);
        std::ostringstream lines;
        const std::string stop = stop_text([&] {
            do {
                r.next();
                lines << r.line_no << ' ' << r.n_items << ' '
                      << r.line.substr(0, r.line.find_last_not_of(' ') + 1) << '\n';
            } while (r.line.substr(0, 3) != "END");
        });
        EXPECT_EQ(lines.str(), c.sections.at("lines"));
        EXPECT_EQ(stop, c.section_or("stop", "(no stop)"));
        EXPECT_EQ(r.echo_text(), c.sections.at("echo"));
    }
}

TEST(CountItems, BlanksCommasTabsQuotesAndComments) {
    for (const testing::TableRow& row :
         testing::read_table(TULMA_SOURCE_DIR "/tests/input/cases/items.txt")) {
        SCOPED_TRACE(row.line);
        EXPECT_EQ(count_items(padded(row.text)), std::stoi(row.words.at(0)));
    }
    EXPECT_EQ(count_items(padded(padded("VPM 1", 299) + "x")), 2);  // an item in column 300 counts
    EXPECT_EQ(count_items(padded(padded("VPM 1", 300) + "y")), 1);  // one from column 301 does not
    EXPECT_EQ(upper_case("viV_az{`@ 9\xe9"), "VIV_AZ{`@ 9\xe9");    // only a to z change
}

TEST(ReadLine, CrLfLinesLongLinesEndOfFileAndReadFailures) {
    Reading r("VPM 1 2\r\n" + std::string(600, 'x') + "\r\nVNM 3");
    r.next();
    EXPECT_EQ(r.line, padded("VPM 1 2"));
    EXPECT_EQ(r.n_items, 2);
    r.next();
    EXPECT_EQ(r.line, "XXX" + std::string(kLineLength - 3, 'x'));
    r.next();  // the last line has no terminator
    EXPECT_EQ(r.line, padded("VNM 3"));
    for (std::int32_t expected_no : {4, 5}) {
        r.next();
        EXPECT_EQ(r.line + std::to_string(r.line_no) + "," + std::to_string(r.n_items),
                  padded("END") + std::to_string(expected_no) + ",0");
    }
    // An input file that is not open: the read fails, expecting END.
    r.in = InputFile();
    r.line_no = 7;
    const std::string expected = "  Expecting record END - Found:\n  " +
                                 padded("UNEXPECTED END OF FILE", 300) +
                                 "\n  in line      8\nPlease recheck the dataset.\n";
    EXPECT_EQ(stop_text([&] { r.next(); }), expected);
    EXPECT_EQ(r.echo_text(), expected);
}

// Each case file holds the checked record's name, expected and found item
// counts, read status and line number, then the line (column 300 holds "x",
// column 301 "y"), and "=== stop" with the console text (none: the checks
// pass), which the echo receives too.
TEST(CheckRecord, CasesStopAsTheirFilesSay) {
    const auto cases = testing::read_cases(TULMA_SOURCE_DIR "/tests/input/cases/record_checks");
    ASSERT_GE(cases.size(), 4U);
    for (const testing::CaseFile& c : cases) {
        SCOPED_TRACE(c.name);
        Reading reading("");
        std::istringstream args(c.input_lines.at(0));
        std::string name;
        std::int32_t expected = 0, found = 0, line_no = 0;
        int status = 0;
        args >> name >> expected >> found >> status >> line_no;
        const std::string line = padded(c.input_lines.at(1));
        EXPECT_EQ(stop_text([&] {
                      check_record(name, expected, found, status, line, line_no, reading.echo);
                  }),
                  c.section_or("stop", "(no stop)"));
        EXPECT_EQ(reading.echo_text(), c.section_or("stop", ""));
    }
}

}  // namespace
}  // namespace tulma
