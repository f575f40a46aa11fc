#include "input/parameter_file.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "case_file.hpp"
#include "shapefile_bytes.hpp"
#include "stop_text.hpp"
#include "temp_dir.hpp"

namespace tulma {
namespace {

using testing::TempWorkDir;

const std::string kCases = TULMA_SOURCE_DIR "/tests/input/cases/parameter_file";

// Reads a parameter file as the first call does: the set-up has counted the
// kinds and made one fresh kind record for each.
struct ParameterRun {
    TempWorkDir dir;
    RunState state;
    std::string stop;

    ParameterRun(const std::string& file, std::int32_t counted_kinds) {
        TempWorkDir::write("vegetation.txt", file);
        // The maps the case files and the bundled example name.
        std::filesystem::create_directories("maps");
        testing::write_map("maps/veg poly", {"none"});
        testing::write_map("veg_polygons", {"none"});
        EXPECT_TRUE(state.files.veg.open_existing("vegetation.txt"));
        EXPECT_TRUE(state.files.err.open_replace("veg_err.dat"));
        state.num_veg_kinds = counted_kinds;
        state.kinds.resize(static_cast<std::size_t>(counted_kinds));
        stop = testing::stop_text([&] { read_vegData(state, 0); });
        state.files.err.flush();
    }
    std::string echo() const { return TempWorkDir::read("veg_err.dat"); }
};

// Each case file is vegetation.txt, then "=== kinds" and the number of kinds
// the set-up counted, "=== stop" and the console text the reader stops with
// (no section: it reads to the end), and optionally "=== veg_err.dat" with the
// whole echo or "=== veg_err.dat ends" with its last lines.
TEST(ParameterFile, CasesStopAndEchoAsTheirFilesSay) {
    const std::vector<testing::CaseFile> cases = testing::read_cases(kCases);
    ASSERT_GE(cases.size(), 30U);
    for (const testing::CaseFile& c : cases) {
        SCOPED_TRACE(c.name);
        ParameterRun run(c.input, std::stoi(c.sections.at("kinds")));
        EXPECT_EQ(run.stop, c.section_or("stop", "(no stop)"));
        const std::string echo = run.echo();
        EXPECT_EQ(echo, c.section_or("veg_err.dat", echo));
        const std::string tail = c.section_or("veg_err.dat ends", "");
        EXPECT_EQ(echo.substr(echo.size() - std::min(echo.size(), tail.size())), tail);
    }
}

TEST(ParameterFile, FillsRunValuesCodesAndKinds) {
    ParameterRun run(testing::read_case(kCases + "/complete_file.txt").input, 2);
    ASSERT_EQ(run.stop, "(no stop)");
    const RunState& s = run.state;
    ASSERT_EQ(s.veg_codes.size(), 2U);
    const VegKind& a = s.kind(1);
    const VegKind& b = s.kind(2);
    using Values = std::vector<double>;
    EXPECT_EQ(Values({s.veg_dt, s.out_dt, s.veg_codes[1].density[1], s.veg_codes[0].init_age[1],
                      1.0 * s.n_stress_class, 1.0 * s.lev_kind}),
              Values({1, 30, 0.25, 2.5, 2, 2}));
    EXPECT_EQ(s.veg_shape_field + s.veg_codes[1].code + a.veg_name + b.veg_name,
              "VEGCODE" + std::string(23, ' ') + "bar" + std::string(27, ' ') +
                  "Fremont cottonwood" + std::string(12, ' ') + "NoName" + std::string(24, ' '));
    EXPECT_EQ(Values({a.release_days, a.seed_max_dist, a.height_rate.at(2, 0),
                      a.rough_table.at(2, 1), a.comp_limit.at(1, 2), a.dry_switch_age,
                      a.stress_rate.at(1, 2), a.max_age, a.stress_limit}),
              Values({30, 1000, 5, 0.08, 0.25, 1.5, 0.2, 120, 0.6}));
    // Table row counts, the file's death codes, and the ice code no record sets.
    EXPECT_EQ(std::vector<std::int32_t>(
                  {a.release_method, a.germ_days, a.moist_days, a.height_rate.n_rows,
                   a.spread_rate.n_rows, a.rough_table.n_rows, a.scour_limit.n_rows, a.comp_id,
                   a.scour_id, a.burial_id, a.drown_id, a.dry_id, a.age_id, a.ice_id}),
              std::vector<std::int32_t>({1, 3, 10, 2, 1, 2, 2, 17, 11, 12, 13, 14, 16, 5}));
    // The second kind: release windows from MDY pairs, default death codes, and
    // drying method 2, which reads no YTM rows.
    EXPECT_EQ(Values({1.0 * b.release_method, 1.0 * b.n_release, 1.0 * b.release_start[10],
                      1.0 * b.release_end[10], 1.0 * b.spread_rate.n_rows, 1.0 * b.scour_id,
                      1.0 * b.comp_id, b.dry_switch_age}),
              Values({0, 11, 21, 22, 0, 1, 7, 0}));
    EXPECT_TRUE(a.dry_months[4] && !a.dry_months[9] && b.dry_months[0] && b.dry_months[2]);
    EXPECT_FALSE(s.files.veg.is_open());  // closed after END
}

TEST(ParameterFile, CodeCountTakesTheFirstValueOfEachLine) {
    for (const testing::TableRow& row :
         testing::read_table(TULMA_SOURCE_DIR "/tests/input/cases/code_counts.txt")) {
        SCOPED_TRACE(row.line);
        TempWorkDir dir;
        TempWorkDir::write("vegetation.txt", row.text);
        InputFile file;
        ASSERT_TRUE(file.open_existing("vegetation.txt"));
        EXPECT_EQ(count_veg_codes(file), std::stoi(row.words.at(0)));
    }
}

// The bundled example must stay readable as the reader evolves.
TEST(ParameterFile, BundledExampleReads) {
    ParameterRun run(TempWorkDir::read(TULMA_SOURCE_DIR "/examples/river/vegetation.txt"), 3);
    EXPECT_EQ(run.stop, "(no stop)");
    EXPECT_EQ(run.state.veg_codes.size(), 6U);
    EXPECT_EQ(run.state.kind(3).release_method, 1);
}

}  // namespace
}  // namespace tulma
