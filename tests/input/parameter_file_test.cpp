#include "input/parameter_file.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "shapefile_bytes.hpp"
#include "temp_dir.hpp"
#include "util/fatal_error.hpp"

namespace tulma {
namespace {

using testing::TempWorkDir;

std::string rep(const std::string& field, int times) {
    std::string s;
    for (int i = 0; i < times; ++i) s += field;
    return s;
}
std::string pad(std::string s, std::size_t n) {
    s.resize(n, ' ');
    return s;
}
std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
}

// Reads a parameter file as the first call does: the set-up has counted the
// kinds and made one fresh kind record for each.
struct ParameterRun {
    TempWorkDir dir;
    RunState state;
    std::string stop;  // the console text when the reader stopped the run

    ParameterRun(const std::string& file, std::int32_t counted_kinds) {
        TempWorkDir::write("vegetation.txt", file);
        // The reader loads the vegetation map its VIN record names: the one of
        // the complete file here and the bundled example's.
        std::filesystem::create_directories("maps");
        testing::write_map("maps/veg poly", {"none"});
        testing::write_map("veg_polygons", {"none"});
        EXPECT_TRUE(state.files.veg.open_existing("vegetation.txt"));
        EXPECT_TRUE(state.files.err.open_replace("veg_err.dat"));
        state.num_veg_kinds = counted_kinds;
        state.kinds.resize(static_cast<std::size_t>(counted_kinds));
        try {
            read_vegData(state, 0);
        } catch (const FatalError& e) {
            stop = e.console_text();
        }
        state.files.err.flush();
    }
    std::string echo() const { return TempWorkDir::read("veg_err.dat"); }
};

const std::string kTwelveOnes = " 1 1 1 1 1 1 1 1 1 1 1 1";
const std::string kEchoTwelveOnes = rep("       1.000", 12);

// Every record and every method code a kind block can hold, in two blocks.
const std::string kComplete =
    "* parameter test file\n"       // 1
    "VPM 1.0 30.0\n"                // 2
    "VNM 2 2\n"                     // 3
    "LEV 2\n"                       // 4
    "VIN \"maps/veg poly.shp\"\n"   // 5
    "vit vegcode\n"                 // 6
    "VIV forest 5.0 0.5 2.5 1.0\n"  // 7
    "VIV bar,0,0,1.5,0.25\n"        // 8
    "VVN   Fremont cottonwood\n"    // 9
    "MMT 2\n"                       // 10
    "MDD 150.0 10.0 30.0\n"         // 11
    "MPR 3 10 0.5 0.1\n"            // 12
    "MPW 0.3 1000.0 5.0\n"          // 13
    "MLT 0" +
    kTwelveOnes +
    "\n"         // 14
    "MEL 0.2\n"  // 15
    "GMT 1\n"    // 16
    "GST 0" +
    kTwelveOnes +
    "\n"  // 17
    "GST 5" +
    kTwelveOnes +
    "\n"          // 18
    "GSM 25.0\n"  // 19
    "GCP 0" +
    kTwelveOnes +
    "\n"         // 20
    "GCM 3.0\n"  // 21
    "GRT 0" +
    kTwelveOnes +
    "\n"                                                              // 22
    "GRS 0.5 4.0\n"                                                   // 23
    "RMT 1\n"                                                         // 24
    "RAM 0 0.03\n"                                                    // 25
    "RAM 10 0.08\n"                                                   // 26
    "CMT 1\n"                                                         // 27
    "CID 17\n"                                                        // 28
    "CMP 0 0.5 0.25\n"                                                // 29
    "CSH 3.0\n"                                                       // 30
    "SMT 1\n"                                                         // 31
    "SID 11\n"                                                        // 32
    "SVC 0 5.125\n"                                                   // 33
    "SVC 1 9.5\n"                                                     // 34
    "BMT 1\n"                                                         // 35
    "BID 12\n"                                                        // 36
    "BDP 0.75\n"                                                      // 37
    "DMT 1\n"                                                         // 38
    "DID 13\n"                                                        // 39
    "DTM 0 10 20\n"                                                   // 40
    "YMT 3\n"                                                         // 41
    "YID 14\n"                                                        // 42
    "YTM 1.5 0.02 0.05\n"                                             // 43
    "YWT 0 0.1 0.2\n"                                                 // 44
    "YMN F F F F T T T T T F F F\n"                                   // 45
    "IMT 0\n"                                                         // 46
    "AMT 1\n"                                                         // 47
    "AID 16\n"                                                        // 48
    "ATM 120\n"                                                       // 49
    "! the second kind has no name\n"                                 // 50
    "MMT 1\n"                                                         // 51
    "MDY 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21 22\n"  // 52
    "MPR 2 5 0.25 0.05\n"                                             // 53
    "MEL 0.1\n"                                                       // 54
    "GMT 0\n"                                                         // 55
    "RMT 0\n"                                                         // 56
    "CMT 0\n"                                                         // 57
    "SMT 0\n"                                                         // 58
    "BMT 0\n"                                                         // 59
    "DMT 0\n"                                                         // 60
    "YMT 2\n"                                                         // 61
    "YID 4\n"                                                         // 62
    "YWT 0 0.3 0.4\n"                                                 // 63
    "YMN t f .T. F T F T F T F T F\n"                                 // 64
    "IMT 0\n"                                                         // 65
    "AMT 0\n"                                                         // 66
    "END\n"                                                           // 67
    "anything after END is never read\n";

TEST(ParameterFile, EchoesEveryRecordAsRead) {
    ParameterRun run(kComplete, 2);
    ASSERT_EQ(run.stop, "");
    const std::vector<std::string> expected = {
        "      1   " + pad("* Parameter test file", 500),  // columns 1-3 upper-cased
        "      2   VPM       1.000      30.000",
        "      3   VNM           2           2",
        "      4   LEV           2",
        "      5   VIN   " + pad("maps/veg poly.shp", 220),
        "      6   VIT   " + pad("VEGCODE", 30),
        "      7   VIV   " + pad("forest", 30) + "     5.000     0.500     2.500     1.000",
        "      8   VIV   " + pad("bar", 30) + "     0.000     0.000     1.500     0.250",
        "      9   " + pad("VVN   Fremont cottonwood", 500),
        "     10   MMT           2",
        "     11   MDD     150.000      10.000      30.000",
        "     12   MPR           3          10       0.500       0.100",
        "     13   MPW       0.300    1000.000       5.000",
        "     14   MLT       0.000" + kEchoTwelveOnes,
        "     15   MEL       0.200",
        "     16   GMT           1",
        "     17   GST       0.000" + kEchoTwelveOnes,
        "     18   GST       5.000" + kEchoTwelveOnes,
        "     19   GSM      25.000",
        "     20   GCP       0.000" + kEchoTwelveOnes,
        "     21   GCM       3.000",
        "     22   GRT       0.000" + kEchoTwelveOnes,
        "     23   GRS       0.500       4.000",
        "     24   RMT           1",
        "     25   RAM       0.000       0.030",
        "     26   RAM      10.000       0.080",
        "     27   CMT           1",
        "     28   CID          17",
        "     29   CMP       0.000       0.500       0.250",
        "     30   CSH       3.000",
        "     31   SMT           1",
        "     32   SID          11",
        "     33   SVC        0.00        5.12",  // 5.125 is a binary tie: to even
        "     34   SVC        1.00        9.50",
        "     35   BMT           1",
        "     36   BID          12",
        "     37   BDP       0.750",
        "     38   DMT           1",
        "     39   DID          13",
        "     40   DTM       0.000      10.000      20.000",
        "     41   YMT           3",
        "     42   YID          14",
        "     43   YTM       1.500       0.020       0.050",
        "     44   YWT       0.000       0.100       0.200",
        "     45   YMN" + rep("           F", 4) + rep("           T", 5) + rep("           F", 3),
        "     46   IMT           0",
        "     47   AMT           1",
        "     48   AID          16",
        "     49   ATM     120.000",
        "     50   " + pad("! The second kind has no name", 500),
        "     51   MMT           1",
        "     52   MDY           1           2           3           4           5           6"
        "           7           8           9          10          11          12          13"
        "          14          15          16          17          18          19          20",
        "          21          22",
        "     53   MPR           2           5       0.250       0.050",
        "     54   MEL       0.100",
        "     55   GMT           0",
        "     56   RMT           0",
        "     57   CMT           0",
        "     58   SMT           0",
        "     59   BMT           0",
        "     60   DMT           0",
        "     61   YMT           2",
        "     62   YID           4",
        "     63   YWT       0.000       0.300       0.400",
        "     64   YMN           T           F           T           F           T           F"
        "           T           F           T           F           T           F",
        "     65   IMT           0",
        "     66   AMT           0",
        "     67   END",
    };
    const std::vector<std::string> actual = lines_of(run.echo());
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(i + 1);
        EXPECT_EQ(actual[i], expected[i]);
    }
}

TEST(ParameterFile, FillsRunValuesCodesAndKinds) {
    ParameterRun run(kComplete, 2);
    ASSERT_EQ(run.stop, "");
    const RunState& s = run.state;
    EXPECT_EQ(s.veg_dt, 1.0);
    EXPECT_EQ(s.out_dt, 30.0);
    EXPECT_EQ(s.n_stress_class, 2);
    EXPECT_EQ(s.lev_kind, 2);
    EXPECT_EQ(s.veg_shape_field, pad("VEGCODE", 30));
    ASSERT_EQ(s.veg_codes.size(), 2U);
    EXPECT_EQ(s.veg_codes[1].code, pad("bar", 30));
    EXPECT_EQ(s.veg_codes[1].density[1], 0.25);
    EXPECT_EQ(s.veg_codes[0].init_age[1], 2.5);

    const VegKind& tree = s.kind(1);
    EXPECT_EQ(tree.veg_name, pad("Fremont cottonwood", 30));
    EXPECT_EQ(tree.release_method, 1);
    EXPECT_EQ(tree.release_days, 30.0);
    EXPECT_EQ(tree.germ_days, 3);
    EXPECT_EQ(tree.moist_days, 10);
    EXPECT_EQ(tree.seed_max_dist, 1000.0);
    EXPECT_EQ(tree.height_rate.n_rows, 2);
    EXPECT_EQ(tree.height_rate.at(2, 0), 5.0);
    EXPECT_EQ(tree.spread_rate.n_rows, 1);
    EXPECT_EQ(tree.rough_table.n_rows, 2);
    EXPECT_EQ(tree.rough_table.at(2, 1), 0.08);
    EXPECT_EQ(tree.comp_limit.at(1, 2), 0.25);
    EXPECT_EQ(tree.scour_limit.n_rows, 2);
    EXPECT_EQ(tree.dry_switch_age, 1.5);
    EXPECT_EQ(tree.stress_rate.at(1, 2), 0.2);
    EXPECT_TRUE(tree.dry_months[4]);
    EXPECT_FALSE(tree.dry_months[9]);
    EXPECT_EQ(tree.max_age, 120.0);
    // Death codes of the file, and the drought stress limit no record sets.
    EXPECT_EQ(tree.comp_id, 17);
    EXPECT_EQ(tree.scour_id, 11);
    EXPECT_EQ(tree.burial_id, 12);
    EXPECT_EQ(tree.drown_id, 13);
    EXPECT_EQ(tree.dry_id, 14);
    EXPECT_EQ(tree.age_id, 16);
    EXPECT_EQ(tree.ice_id, 5);
    EXPECT_EQ(tree.stress_limit, 0.6);

    const VegKind& second = s.kind(2);
    EXPECT_EQ(second.veg_name, pad("NoName", 30));
    EXPECT_EQ(second.release_method, 0);
    EXPECT_EQ(second.n_release, 11);
    EXPECT_EQ(second.release_start[10], 21);
    EXPECT_EQ(second.release_end[10], 22);
    EXPECT_EQ(second.spread_rate.n_rows, 0);
    EXPECT_EQ(second.dry_switch_age, 0.0);  // drying method 2 reads no YTM rows
    EXPECT_EQ(second.scour_id, 1);
    EXPECT_EQ(second.comp_id, 7);
    EXPECT_TRUE(second.dry_months[0]);
    EXPECT_TRUE(second.dry_months[2]);
    EXPECT_FALSE(run.state.files.veg.is_open());  // closed after END
}

TEST(ParameterFile, CodeCountTakesTheFirstValueOfEachLine) {
    struct Row {
        const char* file;
        std::int32_t count;
    };
    const Row rows[] = {
        {"VIV a 1 1\nVIV b 1 1\nEND\nVIV c 1 1\n", 2},
        {"  VIV indented\n\t\nVIV,x\n'VIV' quoted\nVIVA longer\n", 4},
        {"viv lower case\n3*VIV repeat\n,VIV null first\n/VIV slash first\n", 0},
        {"VIV a\n\"VIV open quote\nVIV after the count ended\n", 1},
        {"END\n", 0},
        {"", 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.file);
        TempWorkDir dir;
        TempWorkDir::write("vegetation.txt", r.file);
        InputFile file;
        ASSERT_TRUE(file.open_existing("vegetation.txt"));
        EXPECT_EQ(count_veg_codes(file), r.count);
    }
}

// Replaces the first occurrence of `from` in the complete file.
std::string with(const std::string& from, const std::string& to) {
    std::string file = kComplete;
    const std::size_t at = file.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return file.replace(at, from.size(), to);
}

std::string log_line(const std::string& name, const std::string& message) {
    return "ERROR in: " + name + ": " + message + "\n";
}

std::string method_message(const std::string& text, const std::string& line) {
    return log_line("read_vegData", pad(text + line, 500));
}

TEST(ParameterFile, MalformedFilesStopWithTheirMessage) {
    const std::string twenty_one_rams = [] {
        std::string rows;
        for (int i = 0; i < 41; ++i) rows += "RAM " + std::to_string(i) + " 0.05\n";
        return rows;
    }();
    struct Row {
        const char* name;
        std::string file;
        std::string stop;
        std::int32_t counted_kinds = 2;
    };
    const Row rows[] = {
        {"no VNM before END: the set-up counted none", "VPM 1.0 30.0\nVIN a.shp\nEND\n",
         "  Expecting record VNM - found:\n  " + pad("VIN a.shp", 300) +
             "\n  at line      2\n"
             "Please recheck the dataset.\n",
         0},
        {"VNM the set-up did not recognise", with("VNM 2 2", "VNM 3 2"),
         log_line("read_vegData", "VNM record gives 3 vegetation kinds but the set-up counted 2")},
        {"more than 30 kinds", with("VNM 2 2", "VNM 31 2"),
         log_line("read_vegData", "VNM record gives 31 vegetation kinds, at most 30 are allowed"),
         31},
        {"no kinds", with("VNM 2 2", "VNM 0 2"),
         log_line("read_vegData", "VNM record gives 0 vegetation kinds, at least 1 is needed"), 0},
        {"LEV kind beyond the kinds", with("LEV 2", "LEV 3"),
         log_line("read_vegData", "LEV record gives vegetation kind 3, outside 0 .. 2")},
        {"density above the bound", with("2.5 1.0\n", "2.5 1.02\n"),
         log_line("read_vegData", "ERROR at record VIV, density should be smaller than 1")},
        {"duplicate code", with("VIV bar", "VIV forest"),
         log_line("read_vegData", "ERROR at record VIV, duplicate vegetation code")},
        {"initial age beyond 1000 years", with("VIV forest 5.0", "VIV forest 1000.5"),
         log_line("read_vegData",
                  "VIV record gives vegetation kind 1 an initial age of 1000.5 years, at most 1000 "
                  "are allowed")},
        {"code with a pair missing", with("VIV bar,0,0,1.5,0.25", "VIV bar,0,0,1.5"),
         "  Error at record VIV at line:\n" + pad("VIV bar,0,0,1.5", 300) +
             "\n- found:   4 data items in line and expecting    5 data items.\nat line number :   "
             "   8\n"},
        {"germination method 3", with("MMT 2", "MMT 3"),
         method_message("No such germination simulation method at : ", "MMT 3")},
        {"growth method 2", with("GMT 1", "GMT 2"),
         method_message("No such growth simulation method at : ", "GMT 2")},
        {"roughness method 2", with("RMT 1", "RMT 2"),
         method_message("No such vegetation roughness simulation method at : ", "RMT 2")},
        {"competition method 2 judged on its id line", with("CMT 1", "CMT 2"),
         method_message("No such competition simulation method at : ", "CID 17")},
        {"burial method 5 has the scouring text", with("BMT 1", "BMT 5"),
         method_message("No such scouring simulation method at : ", "BID 12")},
        {"scour method 2", with("SMT 1", "SMT 2"),
         method_message("No such scouring simulation method at : ", "SID 11")},
        {"drowning method 2", with("DMT 1", "DMT 2"),
         method_message("No such drowning simulation method at : ", "DID 13")},
        {"drying method 4",
         with("YMT 3\nYID 14\nYTM 1.5 0.02 0.05\nYWT 0 0.1 0.2\n", "YMT 4\nYID 14\n"),
         method_message("No such drying simulation method at : ", "YID 14")},
        {"ice method 1 reads its id first", with("IMT 0", "IMT 1\nIID 19"),
         method_message("No such ice simulation method at : ", "IID 19")},
        {"age method 2", with("AMT 1", "AMT 2"),
         method_message("No such age simulation method at : ", "AID 16")},
        {"roughness without a RAM row", with("RAM 0 0.03\nRAM 10 0.08\n", ""),
         log_line("read_vegData", "Expecting RAM record")},
        {"41 RAM rows", with("RAM 0 0.03\nRAM 10 0.08\n", twenty_one_rams),
         log_line("read_vegData", "too much RAM record, please increase MAXTABLE")},
        {"competition without a CMP row", with("CMP 0 0.5 0.25\n", ""),
         log_line("read_veg: no CMP record", pad("CSH 3.0", 500))},
        {"drying method 1 without a YTM row", with("YTM 1.5 0.02 0.05\nYWT 0 0.1 0.2\n", ""),
         "  Expecting record YTM - found:\n  " + pad("YMN F F F F T T T T T F F F", 300) +
             "\n  at line     42\nPlease recheck the dataset.\n"},
        {"odd MDY count",
         with("MDY 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21 22", "MDY 1 2 3 4 5"),
         "  Error at record MDY at line:\n" + pad("MDY 1 2 3 4 5", 300) +
             "\n- found:   5 data items in line and expecting    4 data items.\nat line number :   "
             "  52\n"},
        {"neither MDY nor MDD", with("MDD 150.0 10.0 30.0", "MPR 150.0 10.0 30.0"),
         "  Expecting record MDY - found:\n  " + pad("MPR 150.0 10.0 30.0", 300) +
             "\n  at line     11\nPlease recheck the dataset.\n"},
        {"MPW where germination method 1 expects MEL", with("MMT 2", "MMT 1"),
         "  Expecting record MEL - found:\n  " + pad("MPW 0.3 1000.0 5.0", 300) +
             "\n  at line     13\nPlease recheck the dataset.\n"},
        {"logical flag that is not T or F", with("YMN F F F F T", "YMN F F F F 1"),
         "  Error at record YMN Could not read line:\n" + pad("YMN F F F F 1 T T T T F F F", 300) +
             "\n at line number :     45\n"},
        {"CMP row one value short", with("CMP 0 0.5 0.25", "CMP 0 0.5"),
         "  Error at record CMP at line:\n" + pad("CMP 0 0.5", 300) +
             "\n- found:   2 data items in line and expecting    3 data items.\nat line number :   "
             "  29\n"},
        {"file ends inside a block", kComplete.substr(0, kComplete.find("RMT 0")),
         "  Expecting record RMT - found:\n  " + pad("END", 300) +
             "\n  at line     56\nPlease recheck the dataset.\n"},
        {"file ends after a table row with no END line",
         kComplete.substr(0, kComplete.find("YMN t f")),
         "  Expecting record YMN - found:\n  " + pad("END", 300) +
             "\n  at line     64\nPlease recheck the dataset.\n"},
        {"41 MDY pairs",
         with("MDY 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21 22",
              "MDY" + rep(" 1 2", 41)),
         log_line("read_vegData", "too much MDY pairs, please increase MAXTABLE")},
        {"release days past the day range", with("MDD 150.0 10.0 30.0", "MDD 150.0 10.0 3e9"),
         log_line("read_vegData",
                  "MDD release days put the end of a release window outside the 32-bit day range")},
        {"stress classes beyond 40", with("VNM 2 2", "VNM 2 41"),
         log_line("read_vegData", "too many stress classes, please increase MAXTABLE")},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        ParameterRun run(r.file, r.counted_kinds);
        EXPECT_EQ(run.stop, r.stop);
    }
}

TEST(ParameterFile, RowsPastATableAreRefusedBeforeTheirEcho) {
    std::string rows;
    for (int i = 0; i < 81; ++i) rows += "SVC " + std::to_string(i) + " 1\n";
    ParameterRun run(with("SVC 0 5.125\nSVC 1 9.5\n", rows), 2);
    EXPECT_EQ(run.stop, log_line("read_vegData", "too much SVC record, please increase MAXTABLE"));
    const std::vector<std::string> echo = lines_of(run.echo());
    EXPECT_EQ(echo.back(),
              "    112   SVC       79.00        1.00");  // the 80th row, lines 33 .. 112
}

TEST(ParameterFile, DensityAndDuplicateErrorsLeaveTheirLineInTheEcho) {
    ParameterRun density(with("2.5 1.0\n", "2.5 1.02\n"), 2);
    // Refused before its own echo: the last echo line is the error line.
    EXPECT_EQ(lines_of(density.echo()).back(),
              " ERROR at record VIV, density should be smaller than 1, line number =            7");
    ParameterRun duplicate(with("VIV bar", "VIV forest"), 2);
    const std::vector<std::string> echo = lines_of(duplicate.echo());
    ASSERT_GE(echo.size(), 2U);
    EXPECT_EQ(echo[echo.size() - 2].substr(0, 16), "      8   VIV   ");  // echoed and checked first
    EXPECT_EQ(echo.back(),
              " ERROR at record VIV, duplicate vegetation code, line number =            8");
}

}  // namespace
}  // namespace tulma

namespace tulma {
namespace {

// The bundled example must stay readable as the reader evolves.
TEST(ParameterFile, BundledExampleReads) {
    const std::string example = testing::TempWorkDir::read(std::string(TULMA_SOURCE_DIR) +
                                                           "/examples/river/vegetation.txt");
    ASSERT_FALSE(example.empty());
    ParameterRun run(example, 3);
    EXPECT_EQ(run.stop, "");
    EXPECT_EQ(run.state.veg_codes.size(), 6U);
    EXPECT_EQ(run.state.kind(3).release_method, 1);
}

}  // namespace
}  // namespace tulma
