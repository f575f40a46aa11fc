#include "host/run_state.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "host/fatal_error.hpp"
#include "temp_dir.hpp"

namespace tulma {
namespace {

using testing::TempWorkDir;

// Each output file of a run in turn lies on /dev/full, a device that answers
// every write "no space left", as a full disk does.
TEST(RunFiles, AFileThatCannotBeWrittenStopsTheRunNamingIt) {
    struct Row {
        const char* full;
        bool truncated;  // a rewritten report is emptied before its event
        std::string stop;
    };
    const Row rows[] = {
        {"veg_err.dat", false, "ERROR in: output_veg: could not write veg_err.dat: the disk is full\n"},
        {"veg_out.txt", false, "ERROR in: output_veg: could not write veg_out.txt: the disk is full\n"},
        {"veg_sum_out.dat", false, "ERROR in: output_veg: could not write veg_sum_out.dat: the disk is full\n"},
        {"veg_age_out.dat", false, "ERROR in: output_veg: could not write veg_age_out.dat: the disk is full\n"},
        {"veg_Ele_out.dat", false, "ERROR in: output_veg: could not write veg_Ele_out.dat: the disk is full\n"},
        {"veg_Man_out.dat", false, "ERROR in: output_veg: could not write veg_Man_out.dat: the disk is full\n"},
        {"veg_GIS_out.dat", false, "ERROR in: output_veg: could not write veg_GIS_out.dat: the disk is full\n"},
        {"temp_out.txt", false, "ERROR in: output_veg: could not write temp_out.txt: the disk is full\n"},
        // A device cannot be emptied: the failure has no disk-full reason.
        {"veg_GIS_out.dat", true, "ERROR in: output_veg: could not write veg_GIS_out.dat\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.full) + (row.truncated ? ", truncated" : ""));
        TempWorkDir dir;
        std::filesystem::create_symlink("/dev/full", row.full);
        RunState state;
        RunFiles& files = state.files;
        const std::vector<std::pair<OutputFile*, const char*>> all = {
            {&files.err, "veg_err.dat"},      {&files.out, "veg_out.txt"},
            {&files.sum, "veg_sum_out.dat"},  {&files.age, "veg_age_out.dat"},
            {&files.ele, "veg_Ele_out.dat"},  {&files.man, "veg_Man_out.dat"},
            {&files.gis, "veg_GIS_out.dat"},  {&files.temp_out, "temp_out.txt"}};
        for (const auto& [file, name] : all) {
            ASSERT_TRUE(file->open_replace(name));
            if (row.truncated) file->rewind_and_truncate();
            else file->line(name);
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
            if (name != std::string(row.full)) {
                EXPECT_EQ(TempWorkDir::read(name), row.truncated ? "" : std::string(name) + "\n") << name;
            }
        }
    }
}

}  // namespace
}  // namespace tulma
