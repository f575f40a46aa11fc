#include "input/temperature_file.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "input/record_reader.hpp"
#include "model/temperature_series.hpp"
#include "temp_dir.hpp"
#include "util/fatal_error.hpp"

namespace tulma {
namespace {

using testing::TempWorkDir;

std::string padded(std::string text, std::size_t length) {
    text.resize(length, ' ');
    return text;
}

// The echo of a comment line: its physical line number, three blanks, the
// whole line buffer.
std::string comment_echo(const char* number, const char* text) {
    return std::string(number) + "   " + padded(text, kLineLength) + "\n";
}

// temperature.txt with the given bytes, read as the driver has it read.
struct SeriesRun {
    TempWorkDir dir;
    RunState state;
    std::string console;  // the stop's text; empty when the run went on

    explicit SeriesRun(const std::string& bytes) {
        TempWorkDir::write("temperature.txt", bytes);
        EXPECT_TRUE(state.files.temp.open_existing("temperature.txt"));
        EXPECT_TRUE(state.files.temp_out.open_replace("temp_out.txt"));
        try {
            read_temp(state);
        } catch (const FatalError& error) {
            console = error.console_text();
        }
    }
    std::string echo() {
        state.files.temp_out.flush();
        return TempWorkDir::read("temp_out.txt");
    }
};

TEST(ReadTemp, BothPassesEchoCommentsAndSamplesInOrder) {
    SeriesRun run(
        "* air temperature at the gauge\n"  // 1
        "TMP 0.0 -3.5\n"                    // 2
        "! thaw\n"                          // 3
        "tmp 24, 0.125\n"                   // 4: lower case, comma between values
        "com noon\n"                        // 5
        "TMP\t36\t12.5\n"                   // 6
        "* after the last sample\n"         // 7: echoed by the count pass only
        "END\n"
        "* beyond the end\n"  // never reached
        "\n"                  // an empty line no pass examines
        "TMP 48 20\n");
    EXPECT_EQ(run.console, "");
    EXPECT_EQ(run.state.n_temp, 3);
    EXPECT_EQ(run.state.temp_time, (std::vector<double>{0.0, 24.0, 36.0}));
    EXPECT_EQ(run.state.temp_val, (std::vector<double>{-3.5, 0.125, 12.5}));
    // Columns 1 to 3 of a comment are upper-cased before it is echoed. 0.125
    // lies exactly between 0.12 and 0.13 and rounds to the even digit.
    EXPECT_EQ(run.echo(), comment_echo("      1", "* Air temperature at the gauge") +
                              comment_echo("      3", "! Thaw") +
                              comment_echo("      5", "COM noon") +
                              comment_echo("      7", "* After the last sample") +
                              comment_echo("      1", "* Air temperature at the gauge") +
                              "TMP        0.00     -3.50\n" + comment_echo("      3", "! Thaw") +
                              "TMP       24.00      0.12\n" + comment_echo("      5", "COM noon") +
                              "TMP       36.00     12.50\n");
}

TEST(ReadTemp, MalformedDataPassStopsWithTheRecordCheck) {
    struct Row {
        const char* why;
        std::string file;
        std::string message;  // written to temp_out.txt and the console
    };
    const Row rows[] = {
        {"a third value; the data pass numbers lines from the top again",
         "TMP 0 1\n* note\nTMP 1 2 3\nEND\n",
         "  Error at record TMP at line:\n" + padded("TMP 1 2 3", 300) +
             "\n- found:   3 data items in line and expecting    2 data items.\n"
             "at line number :      3\n"},
        {"another record among the counted samples", "TMP 0 1\nxyz 5 6\nTMP 2 3\nEND\n",
         "  Expecting record TMP - found:\n  " + padded("XYZ 5 6", 300) +
             "\n  at line      2\nPlease recheck the dataset.\n"},
        {"a value that is not a number", "TMP 0 1\nTMP 4 warm\n",
         "  Error at record TMP Could not read line:\n" + padded("TMP 4 warm", 300) +
             "\n at line number :      2\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        SeriesRun run(row.file);
        EXPECT_EQ(run.console, row.message);
        const std::string echo = run.echo();
        ASSERT_GE(echo.size(), row.message.size());
        EXPECT_EQ(echo.substr(echo.size() - row.message.size()), row.message);
    }
}

TEST(ReadTemp, SeriesWithoutSampleIsRefusedAfterTheCount) {
    const std::string refusal =
        "ERROR in: read_temp: temperature.txt holds no TMP record; degree-day seed release "
        "needs at least one\n";
    struct Row {
        const char* why;
        std::string file;
        std::string echo;
    };
    const Row rows[] = {
        {"an empty file", "", ""},
        {"END first, samples after it", "* none yet\nEND\nTMP 0 1\n",
         comment_echo("      1", "* None yet")},
        {"other records only", "XYZ 0 1\n", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        SeriesRun run(row.file);
        EXPECT_EQ(run.console, refusal);
        EXPECT_EQ(run.echo(), row.echo);
    }
}

TEST(TemperatureAt, InterpolatesBetweenSamplesAndHoldsBeyondThem) {
    RunState three;
    three.n_temp = 3;
    three.temp_time = {0.0, 24.0, 36.0};
    three.temp_val = {-3.5, 1.25, 12.5};
    RunState one;
    one.n_temp = 1;
    one.temp_time = {10.0};
    one.temp_val = {7.5};
    const RunState never_read;
    struct Row {
        const char* why;
        const RunState& state;
        double t, expected;
    };
    const Row rows[] = {
        {"before the first sample", three, -10.0, -3.5},
        {"half way into the first interval", three, 12.0, -1.125},
        {"on an inner sample", three, 24.0, 1.25},
        {"half way into the second interval", three, 30.0, 6.875},
        {"a quarter into the second interval", three, 27.0, 4.0625},
        {"after the last sample", three, 100.0, 12.5},
        {"one sample, before it", one, -5.0, 7.5},
        {"a series never read", never_read, 5.0, 0.0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        EXPECT_EQ(temperature_at(row.state, row.t), row.expected);
    }
}

}  // namespace
}  // namespace tulma
