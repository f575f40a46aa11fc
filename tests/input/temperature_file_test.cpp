#include "input/temperature_file.hpp"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "case_file.hpp"
#include "model/temperature_series.hpp"
#include "stop_text.hpp"
#include "temp_dir.hpp"

namespace tulma {
namespace {

using testing::TempWorkDir;

// Each case file is temperature.txt, then "=== stop" and the console text
// the reader stops with (none: it reads to the end), "=== temp_out.txt" with
// the whole echo and optionally "=== series", the samples read (time, value).
TEST(ReadTemp, CasesStopEchoAndReadAsTheirFilesSay) {
    const auto cases = testing::read_cases(TULMA_SOURCE_DIR "/tests/input/cases/temperature_file");
    ASSERT_GE(cases.size(), 7U);
    for (const testing::CaseFile& c : cases) {
        SCOPED_TRACE(c.name);
        TempWorkDir dir;
        TempWorkDir::write("temperature.txt", c.input);
        RunState state;
        EXPECT_TRUE(state.files.temp.open_existing("temperature.txt"));
        EXPECT_TRUE(state.files.temp_out.open_replace("temp_out.txt"));
        EXPECT_EQ(testing::stop_text([&] { read_temp(state); }), c.section_or("stop", "(no stop)"));
        state.files.temp_out.flush();
        EXPECT_EQ(TempWorkDir::read("temp_out.txt"), c.sections.at("temp_out.txt"));
        std::ostringstream series;
        for (std::int32_t i = 0; c.sections.count("series") && i < state.n_temp; ++i)
            series << state.temp_time.at(static_cast<std::size_t>(i)) << ' '
                   << state.temp_val.at(static_cast<std::size_t>(i)) << '\n';
        EXPECT_EQ(series.str(), c.section_or("series", ""));
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
