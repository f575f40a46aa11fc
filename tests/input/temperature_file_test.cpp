#include "input/temperature_file.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "input/record_reader.hpp"
#include "model/temperature_series.hpp"
#include "stop_text.hpp"
#include "temp_dir.hpp"

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
    std::string stop, echo;

    explicit SeriesRun(const std::string& bytes) {
        TempWorkDir::write("temperature.txt", bytes);
        EXPECT_TRUE(state.files.temp.open_existing("temperature.txt"));
        EXPECT_TRUE(state.files.temp_out.open_replace("temp_out.txt"));
        stop = testing::stop_text([&] { read_temp(state); });
        state.files.temp_out.flush();
        echo = TempWorkDir::read("temp_out.txt");
    }
};

TEST(ReadTemp, BothPassesEchoCommentsAndSamplesInOrder) {
    const SeriesRun run(
        "* air temperature at the gauge\n"  // 1
        "TMP 0.0 -3.5\n"                    // 2
        "! thaw\n"                          // 3
        "tmp 24, 0.125\n"                   // 4: lower case, comma between values
        "TMP\t36\t12.5\n"                   // 5
        "* after the last sample\n"         // 6: echoed by the count pass only
        "END\n"
        "\n"  // an empty line no pass examines
        "TMP 48 20\n");
    EXPECT_EQ(run.stop, "(no stop)");
    EXPECT_EQ(run.state.n_temp, 3);
    EXPECT_EQ(run.state.temp_time, (std::vector<double>{0.0, 24.0, 36.0}));
    EXPECT_EQ(run.state.temp_val, (std::vector<double>{-3.5, 0.125, 12.5}));
    // 0.125 lies exactly between 0.12 and 0.13 and rounds to the even digit.
    const std::string first = comment_echo("      1", "* Air temperature at the gauge");
    const std::string thaw = comment_echo("      3", "! Thaw");
    EXPECT_EQ(run.echo, first + thaw + comment_echo("      6", "* After the last sample") + first +
                            "TMP        0.00     -3.50\n" + thaw + "TMP       24.00      0.12\n" +
                            "TMP       36.00     12.50\n");
}

TEST(ReadTemp, MalformedOrEmptySeriesStop) {
    const std::string no_sample =
        "ERROR in: read_temp: temperature.txt holds no TMP record; degree-day seed release "
        "needs at least one\n";
    const std::string third = "  Error at record TMP at line:\n" + padded("TMP 1 2 3", 300) +
                              "\n- found:   3 data items in line and expecting    2 data items.\n"
                              "at line number :      3\n";
    const std::string other = "  Expecting record TMP - found:\n  " + padded("XYZ 5 6", 300) +
                              "\n  at line      2\nPlease recheck the dataset.\n";
    const std::string warm = "  Error at record TMP Could not read line:\n" +
                             padded("TMP 4 warm", 300) + "\n at line number :      2\n";
    const struct {
        std::string file, stop, echo;  // the echo ends with the stop's text, or is the given one
    } rows[] = {
        // A third value; the data pass numbers lines from the top again.
        {"TMP 0 1\n* note\nTMP 1 2 3\nEND\n", third, third},
        // Another record among the counted samples.
        {"TMP 0 1\nxyz 5 6\nTMP 2 3\nEND\n", other, other},
        {"TMP 0 1\nTMP 4 warm\n", warm, warm},
        // No sample: refused after the count pass, before anything is echoed again.
        {"", no_sample, ""},
        {"* none yet\nEND\nTMP 0 1\n", no_sample, comment_echo("      1", "* None yet")},
        {"XYZ 0 1\n", no_sample, ""},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.file);
        const SeriesRun run(r.file);
        EXPECT_EQ(run.stop, r.stop);
        const std::size_t from = r.stop == no_sample ? 0 : run.echo.size() - r.echo.size();
        ASSERT_LE(from, run.echo.size());
        EXPECT_EQ(run.echo.substr(from), r.echo);
    }
}

TEST(TemperatureAt, InterpolatesBetweenSamplesAndHoldsBeyondThem) {
    RunState three, one;
    const RunState never_read;
    three.n_temp = 3;
    three.temp_time = {0.0, 24.0, 36.0};
    three.temp_val = {-3.5, 1.25, 12.5};
    one.n_temp = 1;
    one.temp_time = {10.0};
    one.temp_val = {7.5};
    const struct {
        const RunState& state;
        double t, expected;
    } rows[] = {
        {three, -10.0, -3.5},    // before the first sample
        {three, 12.0, -1.125},   // half way into the first interval
        {three, 24.0, 1.25},     // on an inner sample
        {three, 30.0, 6.875},    // half way into the second interval
        {three, 27.0, 4.0625},   // a quarter into the second interval
        {three, 100.0, 12.5},    // after the last sample
        {one, -5.0, 7.5},        // one sample, before it
        {never_read, 5.0, 0.0},  // a series never read
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.t);
        EXPECT_EQ(temperature_at(r.state, r.t), r.expected);
    }
}

}  // namespace
}  // namespace tulma
