#include "input/record_reader.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "util/fatal_error.hpp"

namespace tulma {
namespace {

std::string padded(std::string text, std::size_t length) {
    text.resize(length, ' ');
    return text;
}

// A scratch directory with an input file and the echo file of one test.
class RecordFiles : public ::testing::Test {
 protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ =
            std::filesystem::temp_directory_path() / (std::string("tulma_record_") + info->name());
        std::filesystem::create_directories(dir_);
        ASSERT_TRUE(echo_.open_replace((dir_ / "echo.dat").string()));
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    void open_input(const std::string& bytes) {
        const std::string name = (dir_ / "input.txt").string();
        std::FILE* f = std::fopen(name.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
        ASSERT_TRUE(in_.open_existing(name));
    }

    std::string echo_text() {
        echo_.flush();
        std::string text;
        std::FILE* f = std::fopen((dir_ / "echo.dat").string().c_str(), "rb");
        for (int c = std::fgetc(f); c != EOF; c = std::fgetc(f))
            text.push_back(static_cast<char>(c));
        std::fclose(f);
        return text;
    }

    // The console text of the stop that `call` ends in.
    template <typename Call>
    std::string stop_text(Call call) {
        try {
            call();
        } catch (const FatalError& error) {
            return error.console_text();
        }
        ADD_FAILURE() << "the run did not stop";
        return {};
    }

    std::filesystem::path dir_;
    InputFile in_;
    OutputFile echo_;
    std::string line_;
    std::int32_t line_no_ = 0;
    std::int32_t n_items_ = -1;
};

TEST(CountItems, BlanksCommasTabsQuotesAndComments) {
    struct Row {
        std::string line;
        std::int32_t expected;
    };
    const Row rows[] = {
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
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        EXPECT_EQ(count_items(padded(row.line, kLineLength)), row.expected);
    }
}

TEST(UpperCase, OnlyLettersAToZChange) {
    EXPECT_EQ(upper_case("viV_az{`@ 9\xe9"), "VIV_AZ{`@ 9\xe9");
}

TEST_F(RecordFiles, CommentLinesAreEchoedAndPassedOver) {
    open_input("* first\n! second\ncom third\nCom\nvpM abc, 2\n");
    read_line(line_, line_no_, n_items_, in_, echo_);
    EXPECT_EQ(line_, padded("VPM abc, 2", kLineLength));
    EXPECT_EQ(line_no_, 5);
    EXPECT_EQ(n_items_, 2);
    // Columns 1 to 3 are upper-cased before the echo: "* first" shows as "* First".
    const auto echoed = [](const char* number, const char* text) {
        return std::string(number) + "   " + padded(text, kLineLength) + "\n";
    };
    EXPECT_EQ(echo_text(), echoed("      1", "* First") + echoed("      2", "! Second") +
                               echoed("      3", "COM third") + echoed("      4", "COM"));
}

TEST_F(RecordFiles, CrLfLinesLongLinesAndEndOfFile) {
    open_input("VPM 1 2\r\n" + std::string(600, 'x') + "\r\nVNM 3");
    read_line(line_, line_no_, n_items_, in_, echo_);
    EXPECT_EQ(line_, padded("VPM 1 2", kLineLength));
    EXPECT_EQ(n_items_, 2);
    read_line(line_, line_no_, n_items_, in_, echo_);
    EXPECT_EQ(line_, "XXX" + std::string(kLineLength - 3, 'x'));
    read_line(line_, line_no_, n_items_, in_, echo_);  // the last line has no terminator
    EXPECT_EQ(line_, padded("VNM 3", kLineLength));
    for (std::int32_t expected_no : {4, 5}) {
        read_line(line_, line_no_, n_items_, in_, echo_);
        EXPECT_EQ(line_, padded("END", kLineLength));
        EXPECT_EQ(line_no_, expected_no);
        EXPECT_EQ(n_items_, 0);
    }
    EXPECT_EQ(echo_text(), "");
}

TEST_F(RecordFiles, EmptyAndIndentedLinesStop) {
    for (const std::string second : {"", " VNM 1", "\t* comment"}) {
        SCOPED_TRACE(second);
        open_input("VPM 1 2\n" + second + "\nVNM 1 1\n");
        line_no_ = 0;
        read_line(line_, line_no_, n_items_, in_, echo_);
        EXPECT_EQ(stop_text([&] { read_line(line_, line_no_, n_items_, in_, echo_); }),
                  "ERROR in line      2   found\nEmply line found\n" + padded(second, kLineLength) +
                      "\n");
    }
    EXPECT_EQ(echo_text(), "");
}

TEST_F(RecordFiles, HashInDataLineStops) {
    open_input("! note\nvpm 1 # 2\n");
    EXPECT_EQ(stop_text([&] { read_line(line_, line_no_, n_items_, in_, echo_); }),
              "ERROR in line       2   found\n" + padded("VPM 1 # 2", kLineLength) + "\n");
    EXPECT_EQ(echo_text(), "      1   " + padded("! Note", kLineLength) + "\n");
}

TEST_F(RecordFiles, ReadFailureStopsExpectingEnd) {
    line_no_ = 7;  // the input file was never opened
    const std::string expected = "  Expecting record END - Found:\n  " +
                                 padded("UNEXPECTED END OF FILE", 300) +
                                 "\n  in line      8\nPlease recheck the dataset.\n";
    EXPECT_EQ(stop_text([&] { read_line(line_, line_no_, n_items_, in_, echo_); }), expected);
    EXPECT_EQ(echo_text(), expected);
}

TEST_F(RecordFiles, CheckRecordMessages) {
    // Column 300 holds "x" and column 301 "y": messages show the line up to "x".
    const std::string line = padded(padded("VIV C 1 2", 299) + "xy", kLineLength);
    const std::string shown = padded("VIV C 1 2", 299) + "x";
    struct Row {
        const char* name;
        std::int32_t expected_items;
        std::int32_t found_items;
        int read_status;
        std::int32_t line_no;
        std::string message;
    };
    const Row rows[] = {
        {"VNM", 7, 6, 1, 12,
         "  Expecting record VNM - found:\n  " + shown +
             "\n  at line     12\nPlease recheck the dataset.\n"},
        {"VIV", 7, 6, 1, 9,
         "  Error at record VIV at line:\n" + shown +
             "\n- found:   6 data items in line and expecting    7 data items.\n"
             "at line number :      9\n"},
        {"VIV", 3, 3, 5, 1234567,
         "  Error at record VIV Could not read line:\n" + shown + "\n at line number :1234567\n"},
    };
    std::string echoed;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.message);
        EXPECT_EQ(stop_text([&] {
                      check_record(row.name, row.expected_items, row.found_items, row.read_status,
                                   line, row.line_no, echo_);
                  }),
                  row.message);
        echoed += row.message;
    }
    check_record("VIV", 4, 4, 0, line, 3, echo_);  // all three checks pass
    EXPECT_EQ(echo_text(), echoed);
}

}  // namespace
}  // namespace tulma
