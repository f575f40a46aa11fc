#include "model/run_state.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "temp_dir.hpp"
#include "util/fatal_error.hpp"

namespace tulma {
namespace {

using testing::TempWorkDir;

// One output file of a run in turn is a link to a device: /dev/full answers
// every write "no space left", as a full disk does; /dev/null takes anything,
// as a user who discards a report expects.
TEST(RunFiles, AFileThatCannotBeWrittenStopsTheRunNamingIt) {
    struct Row {
        const char* name;
        const char* device;
        std::string stop;
    };
    const std::string full = "ERROR in: output_veg: could not write ";
    const Row rows[] = {
        {"veg_err.dat", "/dev/full", full + "veg_err.dat: the disk is full\n"},
        {"veg_out.txt", "/dev/full", full + "veg_out.txt: the disk is full\n"},
        {"veg_sum_out.dat", "/dev/full", full + "veg_sum_out.dat: the disk is full\n"},
        {"veg_age_out.dat", "/dev/full", full + "veg_age_out.dat: the disk is full\n"},
        {"veg_Ele_out.dat", "/dev/full", full + "veg_Ele_out.dat: the disk is full\n"},
        {"veg_Man_out.dat", "/dev/full", full + "veg_Man_out.dat: the disk is full\n"},
        {"veg_GIS_out.dat", "/dev/full", full + "veg_GIS_out.dat: the disk is full\n"},
        {"temp_out.txt", "/dev/full", full + "temp_out.txt: the disk is full\n"},
        // A device has nothing to cut when a rewritten report is emptied.
        {"veg_GIS_out.dat", "/dev/null", "(no stop)"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.name) + " on " + row.device);
        TempWorkDir dir;
        std::filesystem::create_symlink(row.device, row.name);
        RunState state;
        RunFiles& files = state.files;
        const std::vector<std::pair<OutputFile*, std::string>> all = {
            {&files.err, "veg_err.dat"},     {&files.out, "veg_out.txt"},
            {&files.sum, "veg_sum_out.dat"}, {&files.age, "veg_age_out.dat"},
            {&files.ele, "veg_Ele_out.dat"}, {&files.man, "veg_Man_out.dat"},
            {&files.gis, "veg_GIS_out.dat"}, {&files.temp_out, "temp_out.txt"}};
        for (const auto& [file, name] : all) {
            ASSERT_TRUE(file->open_replace(name));
            file->line("an earlier event");
            file->rewind_and_truncate();
            file->line(name);
        }
        std::string stop = "(no stop)";
        try {
            files.flush_all("output_veg");
        } catch (const FatalError& e) {
            stop = e.console_text();
        }
        EXPECT_EQ(stop, row.stop);
        // A run that stops still leaves every other file complete.
        files.flush_all_unchecked();
        for (const auto& [file, name] : all) {
            if (name != row.name) {
                EXPECT_EQ(TempWorkDir::read(name), name + "\n") << name;
            }
        }
    }
}

}  // namespace
}  // namespace tulma
