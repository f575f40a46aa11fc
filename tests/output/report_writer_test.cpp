#include "output/report_writer.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "host_call_capture.hpp"
#include "host_model/host_model.hpp"
#include "output/plant_state_reports.hpp"
#include "temp_dir.hpp"

namespace tulma {
namespace {

using testing::TempWorkDir;

// A run whose report files are open under their own names in a fresh working
// directory, with its kinds and plants set by hand. Every plant starts as the
// set-up leaves a point where nothing was planted (death code 999).
struct ReportRun {
    TempWorkDir dir;  // first: entered before the files open, left after they close
    host::HostModel model;
    RunState state;

    ReportRun(const host::ModelInput& input, std::int32_t kinds) : model(input) {
        RunFiles& f = state.files;
        EXPECT_TRUE(f.out.open_replace("veg_out.txt"));
        EXPECT_TRUE(f.sum.open_replace("veg_sum_out.dat"));
        EXPECT_TRUE(f.age.open_replace("veg_age_out.dat"));
        EXPECT_TRUE(f.ele.open_replace("veg_Ele_out.dat"));
        EXPECT_TRUE(f.man.open_replace("veg_Man_out.dat"));
        EXPECT_TRUE(f.gis.open_replace("veg_GIS_out.dat"));
        state.num_veg_kinds = kinds;
        state.kinds.assign(static_cast<std::size_t>(kinds), VegKind{});
        state.veg = PlantStore(model.max_npt(), model.n_xc(), kinds);
        for (std::int32_t i = 1; i <= model.n_xc(); ++i) {
            for (std::int32_t k = 1; k <= model.max_npt(); ++k) {
                for (VegPoint& p : state.veg.cell(k, i)) p.dth_id = p.aux_id = 999;
            }
        }
        for (const auto& reach : input.reaches) {
            for (const auto& xc : reach.sections) state.ref_ele_init.push_back(xc.ref_ele);
        }
        state.out_dt = 1.0;
    }

    VegPoint& plant(std::int32_t k, std::int32_t i_xc, std::int32_t m) {
        return state.veg.at(k, i_xc, m);
    }
    void call(double time) { output_veg(state, testing::decode_call(model, time)); }

    std::vector<std::string> lines(const std::string& name) {
        state.files.flush_all("test");
        const std::string text = TempWorkDir::read(name);
        std::vector<std::string> result;
        std::size_t start = 0;
        while (start < text.size()) {
            const std::size_t end = text.find('\n', start);
            if (end == std::string::npos) {
                result.push_back(text.substr(start) + "(no line end)");
                break;
            }
            result.push_back(text.substr(start, end - start));
            start = end + 1;
        }
        return result;
    }
};

std::string cat(std::initializer_list<std::string_view> fields) {
    std::string s;
    for (std::string_view f : fields) s += f;
    return s;
}

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

void expect_lines(const std::vector<std::string>& actual,
                  const std::vector<std::string>& expected) {
    EXPECT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < std::min(actual.size(), expected.size()); ++i) {
        SCOPED_TRACE("line " + std::to_string(i + 1));
        EXPECT_EQ(actual[i], expected[i]);
    }
}

// The comma-separated pieces of a record (the piece before the first comma is
// the time).
std::vector<std::string> fields_of(const std::string& line) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = line.find(',', start);
        out.push_back(line.substr(start, comma - start));
        if (comma == std::string::npos) return out;
        start = comma + 1;
    }
}

// ---------------------------------------------------------------------------
// The fixed texts of the files, as the layouts give them.

const std::vector<std::string> kSumHeader = {
    "#time=time in hour",
    "#m_veg=vegetaion type",
    "#i_xc=cross section index",
    "#total_area: total area (ft2 in English and m2 in metric) of this cross section ",
    "#veg_area: total area (ft2 in English and m2 in metric) of this vegetation ",
    "#total_area: total area (ft2 in English and m2 in metric) of this cross section ",
    "#scour_area: mortality area (ft2 in English and m2 in metric) of this vegetation due to scour",
    "#bury_area: mortality area (ft2 in English and m2 in metric) of this vegetation due to bury",
    "#drown_area: mortality area (ft2 in English and m2 in metric) of this vegetation due to "
    "drowning",
    "#dry_area: mortality area (ft2 in English and m2 in metric) of this vegetation due to dry",
    "#comp_area: mortality area (ft2 in English and m2 in metric) of this vegetation due to "
    "compitetion",
    "#min_ele: min bed elevation (ft in English and m in metric) where no vegetation is available",
    "#max_ele: max bed elevation (ft in English and m in metric) where no vegetation is available",
    "#a0to1ft: area (ft in English and m in metric) of this vegetation >0 and <=1 ft height",
    "#a1to2ft: area (ft in English and m in metric) of this vegetation >1 and <=2 ft height",
    "#a2to4ft: area (ft in English and m in metric) of this vegetation >2 and <=4 ft height",
    "#a4to6ft: area (ft in English and m in metric) of this vegetation >4 and <=6 ft height",
    "#a6to8ft: area (ft in English and m in metric) of this vegetation >6 and <=8 ft height",
    "#a8to10ft: area (ft in English and m in metric) of this vegetation >8 and <=10 ft height",
    "#a10to12ft: area (ft in English and m in metric) of this vegetation >10 and <=12 ft height",
    "#a12to14ft: area (ft in English and m in metric) of this vegetation >12 and <=14 ft height",
    "#a44to16ft: area (ft in English and m in metric) of this vegetation >14 and <=16 ft height",
    "#a16ft: area (ft in English and m in metric) of this vegetation >16 ft height",
    // "time," in 13, "m_veg," and "i_xc," in 7, the rest in 13.
    cat({"        time,", " m_veg,",       "  i_xc,",       "  total_area,", "    veg_area,",
         "  scour_area,", "   bury_area,", "  drown_area,", "    dry_area,", "   comp_area,",
         "     min_ele,", "     max_ele,", "     a0to1ft,", "     a1to2ft,", "     a2to4ft,",
         "     a4to6ft,", "     a6to8ft,", "    a8to10ft,", "   a10to12ft,", "   a12to16ft,",
         "        a16ft"}),
};

const std::vector<std::string> kAgeHeader = {
    "#time=time in hour",
    "#m_veg=vegetaion type",
    "#i_xc=cross section index",
    "#a0to1: area(ft2 in English and m2 in metric) of vegetation > age 0 and <=age 1",
    "#a1to2: area(ft2 in English and m2 in metric) of vegetation > age 1 and <=age 2",
    "#a2to3: area(ft2 in English and m2 in metric) of vegetation > age 2 and <=age 3",
    "#a3to4: area(ft2 in English and m2 in metric) of vegetation > age 3 and <=age 4",
    "#a4to5: area(ft2 in English and m2 in metric) of vegetation > age 4 and <=age 5",
    "#a5to10: area(ft2 in English and m2 in metric) of vegetation > age 5 and <=age 10",
    "#a10to20: area(ft2 in English and m2 in metric) of vegetation > age 10 and <=age 20",
    "#a20to30: area(ft2 in English and m2 in metric) of vegetation > age 20 and <=age 30",
    "#a30: area(ft2 in English and m2 in metric) of vegetation > age 30",
    "#aAll: total area(ft2 in English and m2 in metric) of this vegetation",
    // "time," in 13, "m_veg," and "i_xc," in 6, the rest in 13.
    cat({"        time,", "m_veg,", " i_xc,", "       a0to1,", "       a1to2,", "       a2to3,",
         "       a3to4,", "       a4to5,", "      a5to10,", "     a10to20,", "     a20to30,",
         "         a30,", "         aAll"}),
};

const std::vector<std::string> kVegOutHeader = {
    "#time=time in hour",
    "#m_veg=vegetaion type",
    "#dth_id=vegation death ID, 999 (no dead), 1(scour), "
    "2(burial),3(drowning),4(dry),5(ice),6(age), and "
    "7(competition) ",
    "#x: x cordinate (ft or m)",
    "#y: y cordinate (ft or m)",
    "#sta: station (ft or m)",
    "#ele: bed elevation (ft or m)",
    "#gw_ele: water or ground water elevation (ft or m)",
    "#cap_ele: elevation of ground water + capillary fringe (ft or m)",
    "#crown_ele: crown elevation (ft or m)",
    "#plant_height: height of plan above root crown (ft or m)",
    "#root_depth: depth of root below root crown (ft or m)",
    "#age: age of vegetation (ft or m)",
    // "time," in 13; "m_veg,", "i_xc,", "dth_id," in 7; "x,", "y," in 15; the rest in 13.
    cat({"        time,", " m_veg,", "  i_xc,", "dth_id,", "             x,", "             y,",
         "         sta,", "         ele,", "      gw_ele,", "     cap_ele,", "   crown_ele,",
         "plant_height,", "  root_depth,", "          age"}),
};

// The 13 fixed lines of veg_Ele_out.dat, the first ten without "#".
const std::vector<std::string> kEleHeaderText = {
    "time=time in hour",
    "m_veg=vegetaion type",
    "i_xc=cross section index",
    "k= point index in this section",
    "x: x cordinate (ft or m)",
    "y: y cordinate (ft or m)",
    "sta: station (ft or m)",
    "ele: bed elevation (ft or m)",
    "z_gw: water or ground water elevation (ft or m)",
    "age: age of vegetation",
    "#CrowEle=Root Crown Elevation (ft or m)",
    "#TopPEle=Top Plant Elevation = Root Crown Elevation + Plant Height (ft or m)",
    "#BotREle=Bottom Root Elevation = Root Crown Elevation - Root Depth (ft or m)",
};
// "time" in 12; "i_xc", "k" in 5; "x" .. "z_gw" in 12.
const std::string kEleColumnsStart =
    cat({"        time", " i_xc", "    k", "           x", "           y", "         sta",
         "         ele", "        z_gw"});
// "time," in 13; "i_xc,", "k," in 6; "x," and "y" in 16.
const std::string kGisColumnsStart =
    cat({"        time,", " i_xc,", "    k,", "              x,", "               y"});
const std::string kManColumns = "      i_xc    loc_rr   sect_rr";

const std::string kZero = "  0.00000    ";

// ---------------------------------------------------------------------------
// One event with headers on a small model, every file line by line.
//
// Reach 1, two cross sections, two kinds (so the map and elevation files show
// kind 1 only).
//   xc 1: stations 0, 10, 30; beds 101.5, 100.5, 99; banks at point 2;
//         len_lob 50, len_ch 100, len_rob 200; reference 100;
//         roughness sections from 0 (n 0.035) and 15 (n 0.05).
//         widths: k1 |10-0|/2 = 5, k2 |30-0|/2 = 15, k3 |30-10|/2 = 10; W = 30
//         areas:  k1 5*50 = 250 (left overbank), k2 15*100 = 1500 (bank =
//         channel), k3 10*200 = 2000 (right overbank); total 30*100 = 3000
//   xc 2: stations 0, 20; beds 103, 118; banks 1 and 2; all lengths 80;
//         reference 101; one roughness section from 0 (n 0.04).
//         widths 10, 10; areas 800, 800; total 20*80 = 1600
// Water 99.5 everywhere, fringe top 100. Time 8760 h.
host::ModelInput scenario_model() {
    host::ModelInput input;
    host::ReachInput reach;
    host::CrossSectionInput a;
    a.points = {
        {0.0, 101.5, 1000.25, 2000.5}, {10.0, 100.5, 1010.0, 2000.5}, {30.0, 99.0, 1030.0, 2000.5}};
    a.lbank_k = 2;
    a.rbank_k = 2;
    a.len_lob = 50.0;
    a.len_ch = 100.0;
    a.len_rob = 200.0;
    a.ref_ele = 100.0;
    a.rough = {{0.0, 0.035}, {15.0, 0.05}};
    host::CrossSectionInput b;
    b.points = {{0.0, 103.0, 1000.0, 2100.0}, {20.0, 118.0, 1020.0, 2100.0}};
    b.lbank_k = 1;
    b.rbank_k = 2;
    b.len_lob = b.len_ch = b.len_rob = 80.0;
    b.ref_ele = 101.0;
    b.rough = {{0.0, 0.04}};
    reach.sections = {a, b};
    input.reaches = {reach};
    input.gis_xc = {2};
    return input;
}

void set_plant(VegPoint& p, std::int32_t dth, std::int32_t aux, double crown, double height,
               double root, double age) {
    p.dth_id = dth;
    p.aux_id = aux;
    p.crown_ele = crown;
    p.plant_height = height;
    p.root_depth = root;
    p.age = age;
}

void plant_scenario(ReportRun& run) {
    // kind 1
    set_plant(run.plant(1, 1, 1), -1, -1, 101.5, 1.25, 0.75, 2.5);
    set_plant(run.plant(2, 1, 1), 3, 1, 100.5, 0.0, 0.0, 0.0);  // drowned
    set_plant(run.plant(3, 1, 1), 1, 2, 99.0, 0.5, 0.5, 4.0);   // scoured
    set_plant(run.plant(1, 2, 1), -1, -1, 103.0, 2.0, 1.0, 30.0);
    set_plant(run.plant(2, 2, 1), 4, 999, 118.0, 0.0, 0.0, 7.25);  // dried
    // kind 2 (point 1 of xc 1 never planted: 999 and zeros)
    set_plant(run.plant(1, 1, 2), 999, 999, 0.0, 0.0, 0.0, 0.0);
    set_plant(run.plant(2, 1, 2), -1, -1, 100.5, 0.5, 0.25, 0.5);
    set_plant(run.plant(3, 1, 2), 6, 6, 99.0, 0.0, 0.0, 0.0);   // died of age
    set_plant(run.plant(1, 2, 2), 7, 7, 103.0, 0.0, 0.0, 0.0);  // competition
    set_plant(run.plant(2, 2, 2), -1, -1, 118.0, 3.0, 2.0, 1.0);
}

struct Scenario : ::testing::Test {
    ReportRun run{scenario_model(), 2};
    void SetUp() override {
        plant_scenario(run);
        run.model.set_water_level(99.5, 0.5);
        run.model.pt_rr(1, 1) = 0.045;
        run.model.pt_rr(2, 1) = 0.9;
        run.model.pt_rr(3, 1) = 0.0625;
        run.model.pt_rr(1, 2) = 0.03;
        run.model.pt_rr(2, 2) = 0.5;
        run.state.veg_rr_on = true;
        run.call(8760.0);
    }
};

const std::string T =
    "  8760.00    ";  // 8760 as a general field: 4 digits before the point, 2 after

TEST_F(Scenario, SummaryFileHoldsHeaderThenOneRecordPerKindAndCrossSection) {
    const std::string z = "," + kZero;
    // kind 1, xc 1: living k1 (250, bed 101.5 is 1.5 above 100: a1to2ft), drowned k2
    // (1500), scoured k3 (2000); a16ft = 250 - 250 = 0.
    const std::string k1x1 = cat({T,
                                  ",     1",
                                  ",     1",
                                  ",  3000.00    ",
                                  ",  250.000    ",
                                  ",  2000.00    ",
                                  z,
                                  ",  1500.00    ",
                                  z,
                                  z,
                                  ",  101.500    ",
                                  ",  101.500    ",
                                  z,
                                  ",  250.000    ",
                                  z,
                                  z,
                                  z,
                                  z,
                                  z,
                                  z,
                                  z});
    // kind 1, xc 2: living k1 (800, bed 103 is 2 above 101: a1to2ft), dried k2 (800).
    const std::string k1x2 = cat({T,
                                  ",     1",
                                  ",     2",
                                  ",  1600.00    ",
                                  ",  800.000    ",
                                  z,
                                  z,
                                  z,
                                  ",  800.000    ",
                                  z,
                                  ",  103.000    ",
                                  ",  103.000    ",
                                  z,
                                  ",  800.000    ",
                                  z,
                                  z,
                                  z,
                                  z,
                                  z,
                                  z,
                                  z});
    // kind 2, xc 1: living k2 only (1500, bed 100.5: a0to1ft); 999 and the age
    // code add nothing.
    const std::string k2x1 = cat({T,
                                  ",     2",
                                  ",     1",
                                  ",  3000.00    ",
                                  ",  1500.00    ",
                                  z,
                                  z,
                                  z,
                                  z,
                                  z,
                                  ",  100.500    ",
                                  ",  100.500    ",
                                  ",  1500.00    ",
                                  z,
                                  z,
                                  z,
                                  z,
                                  z,
                                  z,
                                  z,
                                  z});
    // kind 2, xc 2: competition k1 (800), living k2 (800, bed 118 is 17 above
    // 101: a16ft = 800 - 0).
    const std::string k2x2 = cat({T,
                                  ",     2",
                                  ",     2",
                                  ",  1600.00    ",
                                  ",  800.000    ",
                                  z,
                                  z,
                                  z,
                                  z,
                                  ",  800.000    ",
                                  ",  118.000    ",
                                  ",  118.000    ",
                                  z,
                                  z,
                                  z,
                                  z,
                                  z,
                                  z,
                                  z,
                                  z,
                                  ",  800.000    "});
    expect_lines(run.lines("veg_sum_out.dat"),
                 kSumHeader + std::vector<std::string>{k1x1, k1x2, k2x1, k2x2});
}

TEST_F(Scenario, AgeFileHoldsHeaderThenOneRecordPerKindAndCrossSection) {
    const std::string z = "," + kZero;
    // kind 1 xc 1: age 2.5 -> a2to3 (250). kind 1 xc 2: age 30 is in no class
    // below 30 -> a30 = 800 - 0. kind 2 xc 1: age 0.5 -> a0to1 (1500).
    // kind 2 xc 2: age 1 -> a1to2 (800).
    const std::vector<std::string> records = {
        cat({T, ",    1", ",    1", z, z, ",  250.000    ", z, z, z, z, z, z, ",  250.000    "}),
        cat({T, ",    1", ",    2", z, z, z, z, z, z, z, z, ",  800.000    ", ",  800.000    "}),
        cat({T, ",    2", ",    1", ",  1500.00    ", z, z, z, z, z, z, z, z, ",  1500.00    "}),
        cat({T, ",    2", ",    2", z, ",  800.000    ", z, z, z, z, z, z, z, ",  800.000    "}),
    };
    expect_lines(run.lines("veg_age_out.dat"), kAgeHeader + records);
}

TEST_F(Scenario, PlantSnapshotListsEveryKindAtEveryPoint) {
    const std::string z = "," + kZero;
    const std::string water = ",  99.5000    ,  100.000    ";  // gw_ele 99.5, cap_ele 100
    const std::vector<std::string> records = {
        // kind 1
        cat({T, ",     1,     1,    -1", ",       1000.25", ",       2000.50", z, ",  101.500    ",
             water, ",  101.500    ", ",  1.25000    ", ", 0.750000    ", ",  2.50000    "}),
        cat({T, ",     1,     1,     3", ",       1010.00", ",       2000.50", ",  10.0000    ",
             ",  100.500    ", water, ",  100.500    ", z, z, z}),
        cat({T, ",     1,     1,     1", ",       1030.00", ",       2000.50", ",  30.0000    ",
             ",  99.0000    ", water, ",  99.0000    ", ", 0.500000    ", ", 0.500000    ",
             ",  4.00000    "}),
        cat({T, ",     1,     2,    -1", ",       1000.00", ",       2100.00", z, ",  103.000    ",
             water, ",  103.000    ", ",  2.00000    ", ",  1.00000    ", ",  30.0000    "}),
        cat({T, ",     1,     2,     4", ",       1020.00", ",       2100.00", ",  20.0000    ",
             ",  118.000    ", water, ",  118.000    ", z, z, ",  7.25000    "}),
        // kind 2
        cat({T, ",     2,     1,   999", ",       1000.25", ",       2000.50", z, ",  101.500    ",
             water, z, z, z, z}),
        cat({T, ",     2,     1,    -1", ",       1010.00", ",       2000.50", ",  10.0000    ",
             ",  100.500    ", water, ",  100.500    ", ", 0.500000    ", ", 0.250000    ",
             ", 0.500000    "}),
        cat({T, ",     2,     1,     6", ",       1030.00", ",       2000.50", ",  30.0000    ",
             ",  99.0000    ", water, ",  99.0000    ", z, z, z}),
        cat({T, ",     2,     2,     7", ",       1000.00", ",       2100.00", z, ",  103.000    ",
             water, ",  103.000    ", z, z, z}),
        cat({T, ",     2,     2,    -1", ",       1020.00", ",       2100.00", ",  20.0000    ",
             ",  118.000    ", water, ",  118.000    ", ",  3.00000    ", ",  2.00000    ",
             ",  1.00000    "}),
    };
    expect_lines(run.lines("veg_out.txt"), kVegOutHeader + records);
}

TEST_F(Scenario, ElevationFileShowsTheListedCrossSectionWithoutTheLastKind) {
    // Title: 2 blanks, the text in 8, the kind in 2, ")".
    const std::string columns =
        kEleColumnsStart + "      age( 1)  crowEle( 1)  TopPEle( 1)  BotREle( 1)";
    // xc 2, kind 1: k1 age 30, crown 103, top 103 + 2 = 105, root tip 103 - 1 = 102;
    // k2 age 7.25, crown 118, top and tip 118 (no height, no root).
    const std::vector<std::string> records = {
        cat({"     8760.00", "    2", "    1", "     1000.00", "     2100.00", "        0.00",
             "      103.00", "       99.50", "        30.00", "       103.00", "       105.00",
             "       102.00"}),
        cat({"     8760.00", "    2", "    2", "     1020.00", "     2100.00", "       20.00",
             "      118.00", "       99.50", "         7.25", "       118.00", "       118.00",
             "       118.00"}),
    };
    expect_lines(run.lines("veg_Ele_out.dat"),
                 kEleHeaderText + std::vector<std::string>{columns} + records);
}

TEST_F(Scenario, MapFileShowsAgesAndDeathLabelsOfTheShownKinds) {
    const std::string columns = kGisColumnsStart + "  ,veg 0  ,veg 1  ,DII 1  ,DID 1";
    // The living flag looks at the shown kind only: at xc 1 point 2 and xc 2
    // point 2 the second kind lives, yet the flag is F.
    const std::vector<std::string> records = {
        cat({"     8760.00", ",    1", ",    1", ",        1000.25", ",        2000.50", ",      T",
             ",   2.50", ",   LIVE", ",   LIVE"}),
        cat({"     8760.00", ",    1", ",    2", ",        1010.00", ",        2000.50", ",      F",
             ",   0.00", ",   SCOR", ",   DRON"}),
        cat({"     8760.00", ",    1", ",    3", ",        1030.00", ",        2000.50", ",      F",
             ",   4.00", ",   BURY", ",   SCOR"}),
        cat({"     8760.00", ",    2", ",    1", ",        1000.00", ",        2100.00", ",      T",
             ",  30.00", ",   LIVE", ",   LIVE"}),
        cat({"     8760.00", ",    2", ",    2", ",        1020.00", ",        2100.00", ",      F",
             ",   7.25", ",   NONE", ",   DRYG"}),
    };
    expect_lines(run.lines("veg_GIS_out.dat"), std::vector<std::string>{columns} + records);
}

TEST_F(Scenario, RoughnessFileHoldsInitialBlockThenStepBlock) {
    // Before any roughness step the section starts are found as the step finds
    // them: xc 1 section 1 (from 0) at point 1, section 2 (from 15) at point 3
    // (station 30, the first at or beyond 15); xc 2 section 1 at point 1. The
    // host's pt_rr at those points shows.
    expect_lines(run.lines("veg_Man_out.dat"),
                 {"Initial input value", kManColumns,
                  cat({"         1", "    0.0000", "    0.0350", "   15.0000", "    0.0500"}),
                  cat({"         2", "    0.0000", "    0.0400"}), "tt=       8760.00", kManColumns,
                  cat({"         1", "    0.0000", "    0.0450", "   15.0000", "    0.0625"}),
                  cat({"         2", "    0.0000", "    0.0300"})});
}

// ---------------------------------------------------------------------------
// The event rule.

TEST(ReportEvents, DueWhenNoEventYetOrMoreThanTheIntervalLessAHairHasPassed) {
    struct Row {
        const char* what;
        double time, t_last_out, out_dt;
        bool due, headers;
    };
    const Row rows[] = {
        {"first call at time 0", 0.0, 0.0, 1.0, true, true},
        {"first call late in the run", 5000.0, 0.0, 30.0, true, true},
        {"last event at time 0: headers again", 1.0, 0.0, 30.0, true, true},
        {"last event at a time below 1e-12 counts as none", 2.0, 1e-13, 30.0, true, true},
        {"exactly one interval", 48.0, 24.0, 1.0, true, false},
        {"half an interval", 36.0, 24.0, 1.0, false, false},
        // 24 h x 0.99989999 = 23.99759976 h: 0.99989999 days passed, above the
        // single-precision factor 0.99989998340... but below 0.9999.
        {"just above the factor", 24.0 + 23.99759976, 24.0, 1.0, true, false},
        // 0.99989997 days passed: just below the factor.
        {"just below the factor", 24.0 + 23.99759928, 24.0, 1.0, false, false},
        // 10 days: threshold 9.998999834 days = 239.975996 h.
        {"ten-day interval, just above", 100.0 + 239.976, 100.0, 10.0, true, false},
        {"ten-day interval, just below", 100.0 + 239.9759, 100.0, 10.0, false, false},
        {"same time as the last event", 24.0, 24.0, 1.0, false, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        bool headers = !r.headers;
        EXPECT_EQ(report_event_due(r.time, r.t_last_out, r.out_dt, headers), r.due);
        if (r.due) {
            EXPECT_EQ(headers, r.headers);
        }
    }
}

// Tags each line of a file: "H" a header line ("#..." or, in the elevation file,
// its fixed texts), "C" a column line, "I" the initial roughness title, "tt=..."
// a step title, otherwise the record's time field.
std::vector<std::string> shape(const std::vector<std::string>& lines, std::size_t time_width) {
    std::vector<std::string> tags;
    for (const std::string& l : lines) {
        if (l.starts_with("tt=")) {
            tags.push_back(l);
        } else if (l == "Initial input value") {
            tags.push_back("I");
        } else if (l.starts_with("#") || l.find_first_of("=:") != std::string::npos) {
            tags.push_back("H");
        } else if (l.find("time") != std::string::npos || l.find("i_xc") != std::string::npos) {
            tags.push_back("C");
        } else {
            tags.push_back(l.substr(0, time_width));
        }
    }
    return tags;
}

std::vector<std::string> repeat(std::string tag, std::size_t n) {
    return std::vector<std::string>(n, tag);
}

TEST(ReportEvents, HeadersTwiceAfterAnEventAtTimeZeroAndNothingBetweenEvents) {
    // One cross section of two points, one kind, listed for the elevation file;
    // report interval 1 day.
    auto input = host::simple_model(1, 1, 2);
    input.gis_xc = {1};
    ReportRun run(input, 1);
    run.state.veg_rr_on = true;
    run.call(0.0);   // first call: event with headers, t_last_out stays 0
    run.call(1.0);   // last event at 0: headers once more, t_last_out = 1
    run.call(12.0);  // 11 h later: nothing
    run.call(24.9);  // 23.9 h: 0.9958 day, below 0.9999: nothing
    run.call(25.0);  // 24 h: one day, an event without headers
    run.call(30.0);  // nothing
    EXPECT_EQ(run.state.t_last_out, 25.0);

    // The time as a general field: 0 -> "  0.00000    ", 1 -> "  1.00000    ",
    // 25 -> "  25.0000    ".
    const std::string t0 = kZero, t1 = "  1.00000    ", t25 = "  25.0000    ";
    using Tags = std::vector<std::string>;
    const Tags sum_shape = repeat("H", 23) + Tags{"C"};
    const Tags age_shape = repeat("H", 13) + Tags{"C"};
    const Tags sum_expected = sum_shape + Tags{t0} + sum_shape + Tags{t1, t25};
    const Tags age_expected = age_shape + Tags{t0} + age_shape + Tags{t1, t25};
    EXPECT_EQ(shape(run.lines("veg_sum_out.dat"), 13), sum_expected);
    EXPECT_EQ(shape(run.lines("veg_age_out.dat"), 13), age_expected);
    // The elevation file: time as a fixed field of 12, two points per event.
    const Tags ele_shape = repeat("H", 13) + Tags{"C"};
    const Tags ele_expected = ele_shape + repeat("        0.00", 2) + ele_shape +
                              repeat("        1.00", 2) + repeat("       25.00", 2);
    EXPECT_EQ(shape(run.lines("veg_Ele_out.dat"), 12), ele_expected);
    // The roughness file: the initial block at each event with headers, a step
    // block at every event.
    const Tags initial = {"I", "C", "         1"};
    const Tags man_expected =
        initial + Tags{"tt=          0.00", "C", "         1"} + initial +
        Tags{"tt=          1.00", "C", "         1", "tt=         25.00", "C", "         1"};
    EXPECT_EQ(shape(run.lines("veg_Man_out.dat"), 10), man_expected);
    // The snapshot files hold the last event only.
    const Tags out_expected = repeat("H", 13) + Tags{"C", t25, t25};
    const Tags gis_expected = {"C", "       25.00", "       25.00"};
    EXPECT_EQ(shape(run.lines("veg_out.txt"), 13), out_expected);
    EXPECT_EQ(shape(run.lines("veg_GIS_out.dat"), 12), gis_expected);
}

TEST(ReportEvents, WithoutRoughnessTheRoughnessFileHasTheInitialBlockOnly) {
    auto input = host::simple_model(1, 2, 2);
    ReportRun run(input, 1);
    run.call(24.0);
    run.call(48.0);
    run.call(72.0);
    // simple_model: one section per cross section starting at 0 with n 0.035.
    expect_lines(run.lines("veg_Man_out.dat"),
                 {"Initial input value", kManColumns, "         1    0.0000    0.0350",
                  "         2    0.0000    0.0350"});
}

// ---------------------------------------------------------------------------
// The snapshot files keep nothing of what they held before an event.

TEST(ReportEvents, SnapshotFilesKeepNoOldLines) {
    auto big = host::simple_model(1, 3, 4);
    big.gis_xc = {1};
    ReportRun run(big, 2);
    // Lines already in the files, longer than anything an event writes.
    for (int i = 0; i < 500; ++i) {
        run.state.files.out.line(std::string(300, 'j'));
        run.state.files.gis.line(std::string(300, 'j'));
    }
    run.call(24.0);
    // 13 header lines, the column line, 2 kinds x 3 cross sections x 4 points.
    EXPECT_EQ(run.lines("veg_out.txt").size(), 14u + 24u);
    // Column line and 3 x 4 points.
    EXPECT_EQ(run.lines("veg_GIS_out.dat").size(), 1u + 12u);

    // A later event on a host with fewer points: the files shrink.
    auto small_input = host::simple_model(1, 1, 1);
    host::HostModel small(small_input);
    output_veg(run.state, testing::decode_call(small, 48.0));
    // simple_model point 1: station 0, bed 100, x 0, y 0; the plant store's
    // point (1, 1) of each kind still holds code 999 and zeros.
    const std::string pt =
        cat({",          0.00", ",          0.00", ",", kZero, ",  100.000    ", ",  100.000    ",
             ",  100.000    ", ",", kZero, ",", kZero, ",", kZero, ",", kZero});
    expect_lines(run.lines("veg_out.txt"),
                 kVegOutHeader +
                     std::vector<std::string>{cat({"  48.0000    ", ",     1,     1,   999", pt}),
                                              cat({"  48.0000    ", ",     2,     1,   999", pt})});
    expect_lines(run.lines("veg_GIS_out.dat"),
                 {kGisColumnsStart + "  ,veg 0  ,veg 1  ,DII 1  ,DID 1",
                  cat({"       48.00", ",    1", ",    1", ",           0.00", ",           0.00",
                       ",      F", ",   0.00", ",   NONE", ",   NONE"})});
}

// ---------------------------------------------------------------------------
// Areas of the summaries.

// One cross section, stations 0, 10, 20, all lengths 10, reference 100, one
// kind: widths 5, 10, 5, areas 50, 100, 50, total 20 x 10 = 200. The plant
// under test lives at point 2 (area 100) with the row's bed and age; points 1
// and 3 stay unplanted.
host::ModelInput class_model(double bed) {
    host::ModelInput input = host::simple_model(1, 1, 3);
    auto& xc = input.reaches[0].sections[0];
    xc.points[1].ele = bed;
    xc.len_ch = xc.len_lob = xc.len_rob = 10.0;
    xc.ref_ele = 100.0;
    return input;
}

TEST(SummaryAreas, HeightClassIsTheBedHeightAboveTheReferenceElevation) {
    struct Row {
        double bed;
        int column;  // 0 a0to1ft .. 7 a12to16ft, 8 a16ft
    };
    const Row rows[] = {
        {100.001, 0}, {101.0, 0},  // above 0 up to exactly 1
        {101.001, 1}, {102.0, 1}, {102.5, 2}, {104.0, 2}, {104.5, 3},
        {106.0, 3},   {107.0, 4}, {108.0, 4}, {109.0, 5}, {110.0, 5},
        {111.0, 6},   {112.0, 6}, {112.5, 7}, {116.0, 7}, {116.001, 8},  // above 16
        {100.0, 8},  // exactly at the reference: in no class
        {95.0, 8},   // below it
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.bed);
        ReportRun run(class_model(r.bed), 1);
        set_plant(run.plant(2, 1, 1), -1, -1, r.bed, 1.0, 1.0, 3.0);
        run.call(24.0);
        const auto records = run.lines("veg_sum_out.dat");
        ASSERT_EQ(records.size(), kSumHeader.size() + 1);
        const auto f = fields_of(records.back());
        ASSERT_EQ(f.size(), 21u);          // time, m_veg, i_xc and 18 values
        EXPECT_EQ(f[3], "  200.000    ");  // total_area
        EXPECT_EQ(f[4], "  100.000    ");  // veg_area
        for (int c = 0; c <= 8; ++c) {
            SCOPED_TRACE(c);
            EXPECT_EQ(f[static_cast<std::size_t>(12 + c)], c == r.column ? "  100.000    " : kZero);
        }
    }
}

TEST(SummaryAreas, AgeClassesIncludeTheirLowerBound) {
    struct Row {
        double age;
        int column;  // 0 a0to1 .. 7 a20to30, 8 a30
    };
    const Row rows[] = {
        {0.0, 0}, {0.999, 0}, {1.0, 1},  {1.5, 1},  {2.0, 2},  {3.0, 3},    {4.0, 4},  {4.999, 4},
        {5.0, 5}, {9.999, 5}, {10.0, 6}, {19.5, 6}, {20.0, 7}, {29.999, 7}, {30.0, 8}, {45.0, 8},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.age);
        ReportRun run(class_model(101.0), 1);
        set_plant(run.plant(2, 1, 1), -1, -1, 101.0, 1.0, 1.0, r.age);
        run.call(24.0);
        const auto records = run.lines("veg_age_out.dat");
        ASSERT_EQ(records.size(), kAgeHeader.size() + 1);
        const auto f = fields_of(records.back());
        ASSERT_EQ(f.size(), 13u);  // time, m_veg, i_xc and 10 values
        for (int c = 0; c <= 8; ++c) {
            SCOPED_TRACE(c);
            EXPECT_EQ(f[static_cast<std::size_t>(3 + c)], c == r.column ? "  100.000    " : kZero);
        }
        EXPECT_EQ(f[12], "  100.000    ");  // aAll
    }
}

TEST(SummaryAreas, PointLengthFollowsTheBanks) {
    // Stations 0, 10, 20, 30, 40; banks at points 2 and 4; len_lob 1, len_ch 10,
    // len_rob 100. Widths 5, 10, 10, 10, 5; total 40 x 10 = 400.
    host::ModelInput input = host::simple_model(1, 1, 5);
    auto& xc = input.reaches[0].sections[0];
    xc.lbank_k = 2;
    xc.rbank_k = 4;
    xc.len_lob = 1.0;
    xc.len_ch = 10.0;
    xc.len_rob = 100.0;
    struct Row {
        std::int32_t k;
        const char* veg_area;
    };
    const Row rows[] = {
        {1, "  5.00000    "},                        // 5 x len_lob 1
        {2, "  100.000    "},                        // left bank: 10 x len_ch 10
        {3, "  100.000    "}, {4, "  100.000    "},  // right bank: 10 x len_ch 10
        {5, "  500.000    "},                        // 5 x len_rob 100: more than the total area
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.k);
        ReportRun run(input, 1);
        set_plant(run.plant(r.k, 1, 1), -1, -1, 101.0, 1.0, 1.0, 2.0);
        run.call(24.0);
        const auto f = fields_of(run.lines("veg_sum_out.dat").back());
        ASSERT_EQ(f.size(), 21u);
        EXPECT_EQ(f[3], "  400.000    ");
        EXPECT_EQ(f[4], r.veg_area);
    }
}

TEST(SummaryAreas, DeathAreasFollowTheKindsOwnCodes) {
    // Plant at point 2 of the class model (area 100); the kind's codes are
    // scour 11, burial 12, drowning 13, dry 14, competition 15.
    struct Row {
        std::int32_t code;
        int column;  // 0 scour, 1 bury, 2 drown, 3 dry, 4 comp; -1 none
        const char* label;
    };
    const Row rows[] = {
        {11, 0, "SCOR"},   {12, 1, "BURY"}, {13, 2, "DRON"}, {14, 3, "DRYG"},
        {15, 4, "COMP"},   {1, -1, "NONE"},  // the usual scour code is not this kind's
        {999, -1, "NONE"},                   // never planted
        {5, -1, "NONE"},                     // ice
        {6, -1, "NONE"},                     // age
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.code);
        ReportRun run(class_model(101.0), 2);
        VegKind& kind = run.state.kinds[0];
        kind.scour_id = 11;
        kind.burial_id = 12;
        kind.drown_id = 13;
        kind.dry_id = 14;
        kind.comp_id = 15;
        set_plant(run.plant(2, 1, 1), r.code, r.code, 101.0, 0.0, 0.0, 0.0);
        run.call(24.0);
        const auto f = fields_of(run.lines("veg_sum_out.dat")[kSumHeader.size()]);
        ASSERT_EQ(f.size(), 21u);
        EXPECT_EQ(f[3], "  200.000    ");
        EXPECT_EQ(f[4], kZero);
        for (int c = 0; c <= 4; ++c) {
            SCOPED_TRACE(c);
            EXPECT_EQ(f[static_cast<std::size_t>(5 + c)], c == r.column ? "  100.000    " : kZero);
        }
        // The map file names the same death (text field of 7), as DII and DID.
        const auto g = fields_of(run.lines("veg_GIS_out.dat")[2]);
        ASSERT_EQ(g.size(), 9u);
        EXPECT_EQ(g[7], std::string("   ") + r.label);
        EXPECT_EQ(g[8], std::string("   ") + r.label);
    }
}

TEST(SummaryAreas, ACodeSharedByTwoCausesGoesToTheFirstInTestOrder) {
    // Tests run scour, drowning, dry, competition, burial.
    struct Row {
        std::int32_t scour, burial, drown, dry, comp;
        int column;  // 0 scour, 1 bury, 2 drown, 3 dry, 4 comp
        const char* label;
    };
    const Row rows[] = {
        {20, 20, 1, 2, 3, 0, "SCOR"},
        {1, 20, 20, 2, 3, 2, "DRON"},
        {1, 20, 2, 20, 3, 3, "DRYG"},
        {1, 20, 2, 3, 20, 4, "COMP"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.label);
        ReportRun run(class_model(101.0), 1);
        VegKind& kind = run.state.kinds[0];
        kind.scour_id = r.scour;
        kind.burial_id = r.burial;
        kind.drown_id = r.drown;
        kind.dry_id = r.dry;
        kind.comp_id = r.comp;
        set_plant(run.plant(2, 1, 1), 20, 20, 101.0, 0.0, 0.0, 0.0);
        run.call(24.0);
        const auto f = fields_of(run.lines("veg_sum_out.dat").back());
        ASSERT_EQ(f.size(), 21u);
        for (int c = 0; c <= 4; ++c) {
            SCOPED_TRACE(c);
            EXPECT_EQ(f[static_cast<std::size_t>(5 + c)], c == r.column ? "  100.000    " : kZero);
        }
        EXPECT_EQ(death_label(kind, 20), r.label);
    }
}

TEST(SummaryAreas, ElevationRangeCoversLivingPlantsOnly) {
    // Beds 98, 101, 103, 99 at stations 0, 10, 20, 30.
    host::ModelInput input = host::simple_model(1, 1, 4);
    auto& pts = input.reaches[0].sections[0].points;
    pts[0].ele = 98.0;
    pts[1].ele = 101.0;
    pts[2].ele = 103.0;
    pts[3].ele = 99.0;
    ReportRun run(input, 2);
    // Kind 1: the two middle plants live, the outer two drowned.
    set_plant(run.plant(1, 1, 1), 3, 3, 98.0, 0.0, 0.0, 0.0);
    set_plant(run.plant(2, 1, 1), -1, -1, 101.0, 1.0, 1.0, 1.0);
    set_plant(run.plant(3, 1, 1), -1, -1, 103.0, 1.0, 1.0, 1.0);
    set_plant(run.plant(4, 1, 1), 3, 3, 99.0, 0.0, 0.0, 0.0);
    // Kind 2: nothing lives.
    run.call(24.0);
    const auto lines = run.lines("veg_sum_out.dat");
    ASSERT_EQ(lines.size(), kSumHeader.size() + 2);
    const auto k1 = fields_of(lines[kSumHeader.size()]);
    const auto k2 = fields_of(lines[kSumHeader.size() + 1]);
    ASSERT_EQ(k1.size(), 21u);
    ASSERT_EQ(k2.size(), 21u);
    EXPECT_EQ(k1[10], "  101.000    ");
    EXPECT_EQ(k1[11], "  103.000    ");
    EXPECT_EQ(k2[10], " 0.100000E+11");
    EXPECT_EQ(k2[11], "-0.100000E+11");
    EXPECT_EQ(k2[4], kZero);
    for (std::size_t c = 12; c <= 20; ++c) EXPECT_EQ(k2[c], kZero);
}

TEST(SummaryAreas, TheOnlyPointOfACrossSectionHasNoWidth) {
    // One point at bed 101: a living plant but no width, so no area; its bed
    // still sets the elevation range.
    host::ModelInput input = host::simple_model(1, 1, 1);
    input.reaches[0].sections[0].points[0].ele = 101.0;
    ReportRun run(input, 1);
    set_plant(run.plant(1, 1, 1), -1, -1, 101.0, 1.0, 1.0, 1.0);
    run.call(24.0);
    const auto f = fields_of(run.lines("veg_sum_out.dat").back());
    ASSERT_EQ(f.size(), 21u);
    EXPECT_EQ(f[3], kZero);
    EXPECT_EQ(f[4], kZero);
    EXPECT_EQ(f[10], "  101.000    ");
    EXPECT_EQ(f[11], "  101.000    ");
}

// ---------------------------------------------------------------------------
// Loop orders.

// (m_veg, i_xc) of each record, read from the integer fields.
std::vector<std::pair<int, int>> kinds_and_sections(const std::vector<std::string>& lines,
                                                    std::size_t skip) {
    std::vector<std::pair<int, int>> out;
    for (std::size_t i = skip; i < lines.size(); ++i) {
        const auto f = fields_of(lines[i]);
        out.emplace_back(std::stoi(f[1]), std::stoi(f[2]));
    }
    return out;
}

TEST(ReportOrder, SummariesLoopReachThenKindThenCrossSection) {
    // Two reaches of two one-point cross sections, two kinds.
    auto input = host::simple_model(2, 2, 1);
    ReportRun run(input, 2);
    run.call(24.0);
    const std::vector<std::pair<int, int>> by_reach = {{1, 1}, {1, 2}, {2, 1}, {2, 2},
                                                       {1, 3}, {1, 4}, {2, 3}, {2, 4}};
    EXPECT_EQ(kinds_and_sections(run.lines("veg_sum_out.dat"), kSumHeader.size()), by_reach);
    EXPECT_EQ(kinds_and_sections(run.lines("veg_age_out.dat"), kAgeHeader.size()), by_reach);
    // The snapshot has the kind outermost, over all reaches.
    const std::vector<std::pair<int, int>> by_kind = {{1, 1}, {1, 2}, {1, 3}, {1, 4},
                                                      {2, 1}, {2, 2}, {2, 3}, {2, 4}};
    EXPECT_EQ(kinds_and_sections(run.lines("veg_out.txt"), kVegOutHeader.size()), by_kind);
}

TEST(ReportOrder, ElevationFileFollowsTheHostsListIncludingRepeats) {
    auto input = host::simple_model(1, 3, 1);
    input.gis_xc = {3, 1, 3};
    ReportRun run(input, 2);
    run.call(24.0);
    const auto lines = run.lines("veg_Ele_out.dat");
    ASSERT_EQ(lines.size(), 14u + 3u);
    // i_xc is the integer field of 5 after the 12-character time.
    EXPECT_EQ(lines[14].substr(12, 5), "    3");
    EXPECT_EQ(lines[15].substr(12, 5), "    1");
    EXPECT_EQ(lines[16].substr(12, 5), "    3");
}

TEST(ReportOrder, NoListedCrossSectionGivesTheElevationHeaderOnly) {
    auto input = host::simple_model(1, 2, 2);
    ReportRun run(input, 2);
    run.call(24.0);
    EXPECT_EQ(run.lines("veg_Ele_out.dat").size(), 14u);
}

// ---------------------------------------------------------------------------
// Many kinds and a single kind.

// "  " + text in 8 + m in 2 + ")" for the four titles of kind m.
std::string ele_titles(int m) {
    const std::string n = (m < 10 ? " " : "") + std::to_string(m) + ")";
    return "      age(" + n + "  crowEle(" + n + "  TopPEle(" + n + "  BotREle(" + n;
}

// The four values of kind m where its plant has age m, crown 100 + m, height 1
// and root depth 2: age, crown, crown + 1, crown - 2, each fixed 13.2.
std::string ele_values(int m) {
    auto f = [](double v) {
        std::string s = std::to_string(v);  // six decimals
        s = s.substr(0, s.size() - 4);      // two
        return std::string(13 - s.size(), ' ') + s;
    };
    return f(m) + f(100 + m) + f(101 + m) + f(98 + m);
}

TEST(ManyKinds, ElevationAndMapFilesWrapTheirLongLines) {
    struct Row {
        int kinds;  // shown: kinds - 1
    };
    for (const Row r : {Row{21}, Row{22}}) {
        SCOPED_TRACE(r.kinds);
        auto input = host::simple_model(1, 1, 1);
        input.gis_xc = {1};
        ReportRun run(input, r.kinds);
        for (int m = 1; m <= r.kinds; ++m)
            set_plant(run.plant(1, 1, m), -1, -1, 100.0 + m, 1.0, 2.0, m);
        run.call(24.0);
        const int shown = r.kinds - 1;

        // veg_Ele_out.dat: 80 titles (20 kinds) to a line, then the rest; the
        // values likewise, 80 to a line.
        std::string titles_1, values_1, titles_2, values_2;
        for (int m = 1; m <= std::min(shown, 20); ++m)
            titles_1 += ele_titles(m), values_1 += ele_values(m);
        for (int m = 21; m <= shown; ++m) titles_2 += ele_titles(m), values_2 += ele_values(m);
        // Point 1 of simple_model: x 0, y 0, station 0, bed 100, water 100.
        const std::string point =
            cat({"       24.00", "    1", "    1", "        0.00", "        0.00", "        0.00",
                 "      100.00", "      100.00"});
        std::vector<std::string> ele =
            kEleHeaderText + std::vector<std::string>{kEleColumnsStart + titles_1};
        if (!titles_2.empty()) ele.push_back(titles_2);
        ele.push_back(point + values_1);
        if (!values_2.empty()) ele.push_back(values_2);
        expect_lines(run.lines("veg_Ele_out.dat"), ele);
        if (shown == 21) {
            // 12 + 5 + 5 + 5 x 12 = 82 characters, then 80 x 13 = 1040; then 4 x 13.
            const auto lines = run.lines("veg_Ele_out.dat");
            ASSERT_EQ(lines.size(), 17u);
            EXPECT_EQ(lines[13].size(), 1122u);
            EXPECT_EQ(lines[14], "      age(21)  crowEle(21)  TopPEle(21)  BotREle(21)");
            EXPECT_EQ(lines[16], "        21.00       121.00       122.00       119.00");
        }

        // veg_GIS_out.dat: 1 + 3 x shown titles, 60 to a line.
        std::vector<std::string> titles;
        for (int m = 0; m <= shown; ++m)
            titles.push_back("  ,veg" + std::string(m < 10 ? " " : "") + std::to_string(m));
        for (const char* group : {",DII", ",DID"}) {
            for (int m = 1; m <= shown; ++m) {
                titles.push_back(std::string("  ") + group + (m < 10 ? " " : "") +
                                 std::to_string(m));
            }
        }
        std::string first = kGisColumnsStart, second;
        for (std::size_t i = 0; i < titles.size(); ++i) (i < 60 ? first : second) += titles[i];
        std::string record = cat({"       24.00", ",    1", ",    1", ",           0.00",
                                  ",           0.00", ",      T"});
        for (int m = 1; m <= shown; ++m) {
            const std::string age = std::to_string(m) + ".00";
            record += "," + std::string(7 - age.size(), ' ') + age;
        }
        for (int i = 0; i < 2 * shown; ++i) record += ",   LIVE";
        expect_lines(run.lines("veg_GIS_out.dat"), {first, second, record});
        if (shown == 21) {
            // 64 titles: the last four on the second line.
            EXPECT_EQ(second, "  ,DID18  ,DID19  ,DID20  ,DID21");
            EXPECT_EQ(record.size(), 64u + 21u * 3u * 8u);  // the record never wraps
        } else {
            EXPECT_EQ(second, "  ,DID20");  // 61 titles
        }
        // Every kind is in the snapshot, the last one included.
        EXPECT_EQ(run.lines("veg_out.txt").size(),
                  kVegOutHeader.size() + static_cast<std::size_t>(r.kinds));
    }
}

TEST(SingleKind, MapLineEndsAfterTheLivingFlagAndElevationShowsNoKind) {
    auto input = host::simple_model(1, 1, 2);
    input.gis_xc = {1};
    ReportRun run(input, 1);
    set_plant(run.plant(1, 1, 1), -1, -1, 100.0, 1.0, 1.0, 3.0);
    run.call(24.0);
    // The only kind is the last one, which the map does not show: no plant
    // counts for the living flag.
    expect_lines(run.lines("veg_GIS_out.dat"),
                 {kGisColumnsStart + "  ,veg 0",
                  cat({"       24.00", ",    1", ",    1", ",           0.00", ",           0.00",
                       ",      F"}),
                  cat({"       24.00", ",    1", ",    2", ",          10.00", ",           0.00",
                       ",      F"})});
    // Point 2 of simple_model: station 10, x 10, bed 101, water 101.
    expect_lines(
        run.lines("veg_Ele_out.dat"),
        kEleHeaderText + std::vector<std::string>{
                             kEleColumnsStart,
                             cat({"       24.00", "    1", "    1", "        0.00", "        0.00",
                                  "        0.00", "      100.00", "      100.00"}),
                             cat({"       24.00", "    1", "    2", "       10.00", "        0.00",
                                  "       10.00", "      101.00", "      101.00"})});
}

// ---------------------------------------------------------------------------
// The roughness step block.

// Stations 0, 10, 20, 30. Sections: xc 1 from 0 (n 0.02), from 10 (0.03) and
// from 50 (0.07, which no point reaches); xc 2 none.
host::ModelInput rough_model() {
    host::ModelInput input = host::simple_model(1, 2, 4);
    input.reaches[0].sections[0].rough = {{0.0, 0.02}, {10.0, 0.03}, {50.0, 0.07}};
    input.reaches[0].sections[1].rough.clear();
    return input;
}

TEST(RoughnessReport, SectionsNoPointReachesShowTheHostsValue) {
    struct Row {
        const char* what;
        std::vector<std::int32_t> stored;  // rough_seg_first of xc 1 (empty: no roughness step yet)
        std::string xc1;
    };
    // pt_rr of xc 1 points 1..4: 0.1, 0.2, 0.3, 0.4.
    const Row rows[] = {
        // Computed starts: section 1 at point 1 (station 0), section 2 at
        // point 2 (station 10), section 3 reached by none: its sect_rr 0.07.
        {"before the first roughness step",
         {},
         "         1    0.0000    0.1000   10.0000    0.2000   50.0000    0.0700"},
        // After a step the stored starts are used as they are.
        {"after a roughness step",
         {1, 3, 0},
         "         1    0.0000    0.1000   10.0000    0.3000   50.0000    0.0700"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        ReportRun run(rough_model(), 1);
        run.state.veg_rr_on = true;
        if (!r.stored.empty()) {
            run.state.rough_seg_first.assign(2 * kMaxRoughSections, 0);
            for (std::size_t s = 0; s < r.stored.size(); ++s)
                run.state.rough_seg_first[s] = r.stored[s];
        }
        for (int k = 1; k <= 4; ++k) run.model.pt_rr(k, 1) = 0.1 * k;
        run.call(12.0);
        // A cross section without sections has its number only. Time 12 as a
        // fixed field of 14: "tt=" then 9 blanks and "12.00".
        expect_lines(run.lines("veg_Man_out.dat"),
                     {"Initial input value", kManColumns,
                      "         1    0.0000    0.0200   10.0000    0.0300   50.0000    0.0700",
                      "         2", "tt=         12.00", kManColumns, r.xc1, "         2"});
    }
}

}  // namespace
}  // namespace tulma
