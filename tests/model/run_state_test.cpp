#include "model/run_state.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "stop_text.hpp"
#include "temp_dir.hpp"

namespace tulma {
namespace {

using testing::TempWorkDir;

// One output file of a run in turn is a link to a device: /dev/full answers
// every write "no space left", as a full disk does; /dev/null takes anything,
// as a user who discards a report expects.
TEST(RunFiles, AFileThatCannotBeWrittenStopsTheRunNamingIt) {
    const char* names[] = {"veg_err.dat",     "veg_out.txt",     "veg_sum_out.dat",
                           "veg_age_out.dat", "veg_Ele_out.dat", "veg_Man_out.dat",
                           "veg_GIS_out.dat", "temp_out.txt"};
    for (std::size_t linked = 0; linked <= 8; ++linked) {
        // The ninth round sends the map to /dev/null, which has nothing to cut
        // when a rewritten report is emptied.
        const std::string name = names[linked == 8 ? 6 : linked];
        SCOPED_TRACE(name + (linked == 8 ? " on /dev/null" : " on /dev/full"));
        TempWorkDir dir;
        std::filesystem::create_symlink(linked == 8 ? "/dev/null" : "/dev/full", name);
        RunState state;
        RunFiles& files = state.files;
        OutputFile* all[] = {&files.err, &files.out, &files.sum, &files.age,
                             &files.ele, &files.man, &files.gis, &files.temp_out};
        for (std::size_t f = 0; f < 8; ++f) {
            ASSERT_TRUE(all[f]->open_replace(names[f]));
            all[f]->line("an earlier event");
            all[f]->rewind_and_truncate();
            all[f]->line(names[f]);
        }
        EXPECT_EQ(testing::stop_text([&] { files.flush_all("output_veg"); }),
                  linked == 8
                      ? "(no stop)"
                      : "ERROR in: output_veg: could not write " + name + ": the disk is full\n");
        // A run that stops still leaves every other file complete.
        files.flush_all_unchecked();
        for (const char* other : names) {
            if (other != name) {
                EXPECT_EQ(TempWorkDir::read(other), std::string(other) + "\n");
            }
        }
    }
}

}  // namespace
}  // namespace tulma
