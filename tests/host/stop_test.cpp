#include "host/stop.hpp"

#include <gtest/gtest.h>

#include <cstdlib>

#include "temp_dir.hpp"

namespace tulma {
namespace {

using testing::TempWorkDir;

// The real stop: the message goes out, a report line still in its buffer
// reaches the disk, and the process ends normally with status 0.
TEST(StopDeathTest, EndsTheProcessNormallyAfterFlushingReports) {
    GTEST_FLAG_SET(death_test_style, "fast");  // the child must share this working directory
    TempWorkDir dir;
    EXPECT_EXIT(
        {
            RunState state;
            if (!state.files.sum.open_replace("veg_sum_out.dat")) std::abort();
            state.files.sum.line("a line still in the buffer");
            stop_run(FatalError("ERROR in: x: y\n"), &state);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(TempWorkDir::read("veg_sum_out.dat"), "a line still in the buffer\n");
}

struct HandlerCalled {};

TEST(Stop, HarnessHandlerReplacesTheEndOfTheProcess) {
    set_process_end_handler([] { throw HandlerCalled{}; });
    EXPECT_THROW(stop_run(FatalError("ERROR in: x: y\n"), nullptr), HandlerCalled);
    set_process_end_handler(nullptr);
}

}  // namespace
}  // namespace tulma
