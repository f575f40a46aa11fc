#include "input/temperature_file.hpp"

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>

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
    std::map<std::string, RunState> series;
    series["three"].n_temp = 3;
    series["three"].temp_time = {0.0, 24.0, 36.0};
    series["three"].temp_val = {-3.5, 1.25, 12.5};
    series["one"].n_temp = 1;
    series["one"].temp_time = {10.0};
    series["one"].temp_val = {7.5};
    for (const testing::TableRow& row :
         testing::read_table(TULMA_SOURCE_DIR "/tests/input/cases/temperatures.txt")) {
        SCOPED_TRACE(row.line);
        EXPECT_EQ(temperature_at(series[row.words.at(0)], std::stod(row.words.at(1))),
                  std::stod(row.words.at(2)));
    }
}

}  // namespace
}  // namespace tulma
