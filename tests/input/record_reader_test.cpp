#include "input/record_reader.hpp"

#include <gtest/gtest.h>

#include <string>

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
struct RecordFiles : ::testing::Test {
    testing::TempWorkDir dir;
    InputFile in;
    OutputFile echo;
    std::string line;
    std::int32_t line_no = 0, n_items = -1;

    void SetUp() override { ASSERT_TRUE(echo.open_replace("echo.dat")); }
    void open_input(const std::string& bytes) {
        testing::TempWorkDir::write("input.txt", bytes);
        ASSERT_TRUE(in.open_existing("input.txt"));
    }
    void next() { read_line(line, line_no, n_items, in, echo); }
    std::string echo_text() {
        echo.flush();
        return testing::TempWorkDir::read("echo.dat");
    }
};

TEST(CountItems, BlanksCommasTabsQuotesAndComments) {
    const std::pair<std::string, std::int32_t> rows[] = {
        {"VIV CODE1 1.0,2.0", 3},
        {"VIV CODE1 1.0 , 2.0", 4},  // a comma after a blank is an item of its own
        {"VPM,1", 1},
        {"VIV\tCODE1\t1.0\t2.0", 3},
        {"VIV \"my code\" 1.0 2.0", 3},
        {"VIV \"a,b\",1 \"c\"d 2", 4},
        {"VIN \"a#b!c\"", 1},
        {"VPM 1 2!x y", 2},
        {"VIN \"open 1 2", 1},  // a quote left open ends the counting
        {"VPM", 0},
        {padded("VPM 1", 299) + "x", 2},  // an item in column 300 counts
        {padded("VPM 1", 300) + "y", 1},  // one from column 301 does not
    };
    for (const auto& [text, items] : rows) {
        SCOPED_TRACE(text);
        EXPECT_EQ(count_items(padded(text)), items);
    }
    EXPECT_EQ(upper_case("viV_az{`@ 9\xe9"), "VIV_AZ{`@ 9\xe9");  // only a to z change
}

TEST_F(RecordFiles, CommentLinesAreEchoedAndPassedOver) {
    open_input("* first\n! second\ncom third\nCom\nvpM abc, 2\n");
    next();
    EXPECT_EQ(line, padded("VPM abc, 2"));
    EXPECT_EQ(line_no, 5);
    EXPECT_EQ(n_items, 2);
    // Columns 1 to 3 are upper-cased before the echo: "* first" shows as "* First".
    EXPECT_EQ(echo_text(), "      1   " + padded("* First") + "\n      2   " + padded("! Second") +
                               "\n      3   " + padded("COM third") + "\n      4   " +
                               padded("COM") + "\n");
}

TEST_F(RecordFiles, CrLfLinesLongLinesAndEndOfFile) {
    open_input("VPM 1 2\r\n" + std::string(600, 'x') + "\r\nVNM 3");
    next();
    EXPECT_EQ(line, padded("VPM 1 2"));
    EXPECT_EQ(n_items, 2);
    next();
    EXPECT_EQ(line, "XXX" + std::string(kLineLength - 3, 'x'));
    next();  // the last line has no terminator
    EXPECT_EQ(line, padded("VNM 3"));
    for (std::int32_t expected_no : {4, 5}) {
        next();
        EXPECT_EQ(line + std::to_string(line_no) + "," + std::to_string(n_items),
                  padded("END") + std::to_string(expected_no) + ",0");
    }
    EXPECT_EQ(echo_text(), "");
}

TEST_F(RecordFiles, EmptyIndentedAndHashLinesAndReadFailuresStop) {
    for (const std::string second : {"", " VNM 1", "\t* comment"}) {
        SCOPED_TRACE(second);
        open_input("VPM 1 2\n" + second + "\nVNM 1 1\n");
        line_no = 0;
        next();
        EXPECT_EQ(stop_text([&] { next(); }),
                  "ERROR in line      2   found\nEmply line found\n" + padded(second) + "\n");
    }
    open_input("! note\nvpm 1 # 2\n");
    line_no = 0;
    EXPECT_EQ(stop_text([&] { next(); }),
              "ERROR in line       2   found\n" + padded("VPM 1 # 2") + "\n");
    EXPECT_EQ(echo_text(), "      1   " + padded("! Note") + "\n");
    // An input file that was never opened: the read fails, expecting END.
    in = InputFile();
    line_no = 7;
    const std::string expected = "  Expecting record END - Found:\n  " +
                                 padded("UNEXPECTED END OF FILE", 300) +
                                 "\n  in line      8\nPlease recheck the dataset.\n";
    EXPECT_EQ(stop_text([&] { next(); }), expected);
    EXPECT_EQ(echo_text(), "      1   " + padded("! Note") + "\n" + expected);
}

TEST_F(RecordFiles, CheckRecordMessages) {
    // Column 300 holds "x" and column 301 "y": messages show the line up to "x".
    const std::string text = padded(padded("VIV C 1 2", 299) + "xy");
    const std::string shown = padded("VIV C 1 2", 299) + "x";
    const struct {
        const char* name;
        std::int32_t expected_items, found_items;
        int read_status;
        std::int32_t line_no;
        std::string message;
    } rows[] = {
        {"VNM", 7, 6, 1, 12,
         "  Expecting record VNM - found:\n  " + shown +
             "\n  at line     12\nPlease recheck the dataset.\n"},
        {"VIV", 7, 6, 1, 9,
         "  Error at record VIV at line:\n" + shown +
             "\n- found:   6 data items in line and expecting    7 data items.\nat line number :   "
             "   9\n"},
        {"VIV", 3, 3, 5, 1234567,
         "  Error at record VIV Could not read line:\n" + shown + "\n at line number :1234567\n"},
    };
    std::string echoed;
    for (const auto& r : rows) {
        SCOPED_TRACE(r.message);
        EXPECT_EQ(stop_text([&] {
                      check_record(r.name, r.expected_items, r.found_items, r.read_status, text,
                                   r.line_no, echo);
                  }),
                  r.message);
        echoed += r.message;
    }
    check_record("VIV", 4, 4, 0, text, 3, echo);  // all three checks pass
    EXPECT_EQ(echo_text(), echoed);
}

}  // namespace
}  // namespace tulma
