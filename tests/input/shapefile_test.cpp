#include "input/shapefile.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "case_file.hpp"
#include "shapefile_bytes.hpp"
#include "stop_text.hpp"
#include "temp_dir.hpp"

namespace tulma {
namespace {

using testing::code_table;
using testing::dbf_file;
using testing::ring_record;
using testing::ShapeRecord;
using testing::shp_file;
using testing::TempWorkDir;

std::string pad(std::string s, std::size_t n) {
    s.resize(n, ' ');
    return s;
}

// Reads a map as the parameter reader hands it over (220- and 30-character
// values), keeping the stop text and what went to standard output and error.
struct MapRun {
    RunState state;
    std::string stop, out, err;

    explicit MapRun(const std::string& vin, const std::string& vit = "CODE",
                    std::int32_t trace = 0) {
        ::testing::internal::CaptureStdout();
        ::testing::internal::CaptureStderr();
        stop = testing::stop_text([&] { read_ENV(state, pad(vin, 220), pad(vit, 30), trace); });
        out = ::testing::internal::GetCapturedStdout();
        err = ::testing::internal::GetCapturedStderr();
    }
    const Polygon& pg(std::size_t i) const { return state.ENpg.at(i - 1); }
};

// A map written as veg.shp and veg.dbf in a fresh working directory and read.
struct ByteMap : TempWorkDir, MapRun {
    ByteMap(const std::string& shp, const std::string& dbf, const std::string& vit = "CODE",
            std::int32_t trace = 0)
        : MapRun((write("veg.shp", shp), write("veg.dbf", dbf), "veg.shp"), vit, trace) {}
};

void expect_close(double actual, double expected) {
    EXPECT_LE(std::abs(actual - expected), 1e-9 * std::abs(expected))
        << actual << " vs " << expected;
}

std::string open_failure(const std::string& name) {
    const std::string field = pad(name, 220);
    return "ERROR in opening file" + field + "\nfile " + field +
           " does not exist or is being used by another program\n";
}

const ShapeRecord kSquare = ring_record({0, 0, 0, 1, 1, 1, 1, 0, 0, 0});
const ShapeRecord kTriangle = ring_record({5, 0, 5, 2, 7, 2, 5, 0});
// Where the second record starts in a Polygon file of kSquare and kTriangle:
// the file header, then a record header, shape type, box, two counts, one
// ring start and five points.
constexpr std::size_t kSecond = 100 + 8 + 4 + 32 + 8 + 4 + 5 * 16;

TEST(ShapeFileReader, ReadsEachByteOrderAndStaysAtEndOfFile) {
    enum Kind { be_int, le_int, le_real };
    const struct {
        std::string bytes;
        Kind kind;
        double value;  // 77: the read met the end of the file and kept the target
    } rows[] = {
        {std::string("\x00\x00\x27\x0a", 4), be_int, 9994},
        {"\xff\xff\xff\xfe", be_int, -2},
        {std::string("\x80\x00\x00\x00", 4), be_int, -2147483648.0},
        {std::string("\x0a\x27\x00\x00", 4), le_int, 9994},
        {"\xfe\xff\xff\xff", le_int, -2},
        {std::string("\x00\x00\x00\x00\x00\x00\xf0\x3f", 8), le_real, 1.0},
        {std::string("\x00\x00\x00\x00\x00\x00\x04\xc0", 8), le_real, -2.5},
        {"\x9a\x99\x99\x99\x99\x99\xb9\x3f", le_real, 0.1},
        {std::string("\x00\x00\x27", 3), be_int, 77},
        {std::string("\x0a\x27\x00", 3), le_int, 77},
        {std::string("\x00\x00\x00\x00\x00\x00\xf0", 7), le_real, 77},
        // A real does not fit in six bytes, and the integer that would have
        // fitted before it is not read either: the reader stays at the end.
        {std::string("\x01\x00\x00\x00\x02\x00", 6), le_real, 77},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(::testing::Message()
                     << "kind " << r.kind << ", " << r.bytes.size() << " bytes");
        const std::vector<unsigned char> bytes(r.bytes.begin(), r.bytes.end());
        ShapeFileReader reader(bytes);
        std::int32_t status = 5, i = 77;
        double d = 77.0;
        if (r.kind == be_int) reader.read_be_int(status, i);
        if (r.kind == le_int) reader.read_le_int(status, i);
        if (r.kind == le_real) reader.read_le_real(status, d);
        EXPECT_EQ(status, r.value == 77 ? -1 : 0);
        EXPECT_EQ(r.kind == le_real ? d : i, r.value);
        if (r.bytes.size() != 6) continue;
        reader.read_le_int(status, i);
        EXPECT_EQ(status, -1);
        EXPECT_EQ(i, 77);
    }
}

// Each case file builds veg.shp and veg.dbf from lines "shp <type> <record>..."
// (records "square", the unit square, and "triangle", the ring (5,0) (5,2)
// (7,2)) and "dbf <code>..." (a table of one field CODE, width 10), then
// alters their bytes in order: "cut <shp|dbf> <length>" and "le16|le32|be32
// <shp|dbf> <offset> <value>". "=== stop" holds the console text the reader
// stops with; nothing may go to standard output.
TEST(ShapefileCases, EachStopsWithItsMessage) {
    const auto cases = testing::read_cases(TULMA_SOURCE_DIR "/tests/input/cases/shapefile");
    ASSERT_GE(cases.size(), 19U);
    for (const testing::CaseFile& c : cases) {
        SCOPED_TRACE(c.name);
        std::map<std::string, std::string> files;
        for (const std::string& line : c.input_lines) {
            std::istringstream words(line);
            std::string op, file, word;
            std::size_t at = 0;
            std::int32_t value = 0;
            words >> op;
            if (op == "shp") {
                std::vector<ShapeRecord> records;
                std::int32_t type = 0;
                for (words >> type; words >> word;)
                    records.push_back(word == "square" ? kSquare : kTriangle);
                files["shp"] = shp_file(type, records);
            } else if (op == "dbf") {
                std::vector<std::string> codes;
                while (words >> word) codes.push_back(word);
                files["dbf"] = code_table(codes);
            } else if (words >> file >> at; op == "cut") {
                files[file].resize(at);
            } else {
                words >> value;
                std::string bytes;
                (op == "be32" ? testing::put_be32 : testing::put_le32)(bytes, value);
                files[file].replace(at, op == "le16" ? 2 : 4,
                                    bytes.substr(0, op == "le16" ? 2 : 4));
            }
        }
        const ByteMap map(files["shp"], files["dbf"]);
        EXPECT_EQ(map.stop, c.section_or("stop", "(no stop)"));
        EXPECT_EQ(map.out, "");
    }
}

// n records without rings, numbered 1 .. n.
std::string empty_records(std::int32_t type, std::int32_t n) {
    const std::string one = shp_file(type, {ShapeRecord{}});
    std::string file = one.substr(0, 100);
    for (std::int32_t i = 1; i <= n; ++i) {
        testing::put_be32(file, i);
        file += one.substr(104);
    }
    return file;
}

TEST(ShapefileRefusals, MoreThan100000RecordsWithTheShapeTypesText) {
    EXPECT_EQ(ByteMap(empty_records(5, 100001), code_table({})).stop,
              "ERROR: record number in erosion coefficient polygon exceeds array size.\n");
    EXPECT_EQ(ByteMap(empty_records(15, 100001), code_table({})).stop,
              "ERROR: record number in erosion coefficient polygon exceed array size.\n");
    // One record fewer is a map (of empty records).
    const ByteMap full(empty_records(5, 100000),
                       dbf_file({{"CODE", 'C', 1}}, std::vector<std::vector<std::string>>(100000)));
    EXPECT_EQ(full.stop, "(no stop)");
    EXPECT_EQ(full.state.ENpg.size(), 100000u);
}

TEST(ShapefileOpening, FileNamesByTheLastDotAndTheFailingFileNamed) {
    const struct {
        std::string vin, shp, dbf;
    } rows[] = {
        {"maps/veg.old.shp", "maps/veg.old.shp", "maps/veg.old.dbf"},
        {"maps/veg", "maps/veg.shp", "maps/veg.dbf"},
        {"maps.v2/veg", "maps.shp", "maps.dbf"},  // the dot of the directory counts
        {"maps/veg.dbf", "maps/veg.shp", "maps/veg.dbf"},
        {"veg.shp", "veg.shp", ""},  // a directory is not a map
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.vin);
        const TempWorkDir dir;
        for (const char* folder : {"maps", "maps.v2", "veg.shp"})
            std::filesystem::create_directories(folder);
        EXPECT_EQ(MapRun(r.vin).stop, open_failure(r.shp));
        if (r.dbf.empty()) continue;
        TempWorkDir::write(r.shp, shp_file(5, {kSquare}));
        EXPECT_EQ(MapRun(r.vin).stop, open_failure(r.dbf));
        TempWorkDir::write(r.dbf, code_table({"A"}));
        EXPECT_EQ(MapRun(r.vin).stop, "(no stop)");
    }
}

TEST(ShapefileTolerance, RecordNumbersOutOfSequenceAreReportedAndTheRunGoesOn) {
    const std::string line = "ERROR: record number in reading erosion coefficient shapefile. 4 ";
    const struct {
        std::vector<std::int32_t> numbers;
        std::string err;
    } rows[] = {
        {{1, 2, 3}, ""},
        {{1, 5, 2}, line + "1\n" + line + "2\n"},
        {{0, 2, 3}, line + "0\n"},
        {{1, 2, -3}, line + "2\n"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.err);
        std::vector<ShapeRecord> records = {kSquare, kTriangle, kSquare};
        for (std::size_t k = 0; k < 3; ++k) records[k].number = r.numbers[k];
        const ByteMap map(shp_file(5, records), code_table({"A", "B", "C"}));
        EXPECT_EQ(map.stop + map.out + map.err, "(no stop)" + r.err);
        ASSERT_EQ(map.state.ENpg.size(), 3u);
        EXPECT_EQ(map.pg(2).x, kTriangle.x);
        EXPECT_EQ(map.pg(3).attr, pad("C", 30));
    }
}

TEST(ShapefileTolerance, EndOfFileBeforeARecordsCountsEndsThePass) {
    const std::string two = shp_file(5, {kSquare, kTriangle});
    const struct {
        std::size_t length, n_poly;
        double xmin_2;
    } rows[] = {
        {two.size(), 2, 5},           // the whole file
        {kSecond + 4, 1, 0},          // half a record header
        {kSecond + 8, 2, 0},          // the record header only
        {kSecond + 8 + 4 + 8, 2, 5},  // cut after the box's xmin
        {100, 0, 0},                  // the file header alone: no polygons
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.length);
        const ByteMap map(two.substr(0, r.length),
                          code_table(std::vector<std::string>(r.n_poly, "A")));
        ASSERT_EQ(map.stop, "(no stop)");
        ASSERT_EQ(map.state.ENpg.size(), r.n_poly);
        if (r.n_poly < 2) continue;
        const Polygon& pg = map.pg(2);
        EXPECT_EQ(pg.xmin, r.xmin_2);
        // A record cut before its counts has no ring, and so no area.
        const double ring_figures[] = {pg.ymax, pg.area, pg.cx, pg.cy, 1.0 * pg.nparts};
        for (double figure : ring_figures) EXPECT_EQ(figure == 0.0, r.length < two.size());
    }
}

TEST(ShapefileGeometry, AreaAndCentroidOfRingSets) {
    ShapeRecord no_ring;
    no_ring.x = {0, 4, 4};
    no_ring.y = {0, 0, 4};
    ShapeRecord square_and_hole =
        ring_record({0, 0, 0, 4, 4, 4, 4, 0, 0, 0, 1, 1, 2, 1, 2, 2, 1, 2, 1, 1});
    square_and_hole.parts = {0, 5};
    const struct {
        ShapeRecord record;
        double area, cx, cy;
    } rows[] = {
        {kSquare, 1, 0.5, 0.5},                                               // clockwise
        {ring_record({0, 0, 1, 0, 1, 1, 0, 1, 0, 0}), -1, 0.5, 0.5},          // counter-clockwise
        {square_and_hole, 15, (16 * 2.0 - 1.5) / 15, (16 * 2.0 - 1.5) / 15},  // hole at (1.5, 1.5)
        {no_ring, 0, 0, 0},
        {ShapeRecord{}, 0, 0, 0},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.record.x.size());
        for (std::int32_t type : {5, 15}) {
            SCOPED_TRACE(type);
            ShapeRecord record = r.record;
            if (type == 15)
                record.z.assign(record.x.size(), 1.0), record.m.assign(record.x.size(), 2.0);
            const ByteMap map(shp_file(type, {record}), code_table({"A"}));
            ASSERT_EQ(map.stop, "(no stop)");
            const Polygon& pg = map.pg(1);
            EXPECT_EQ(pg.area, r.area);
            EXPECT_DOUBLE_EQ(pg.cx, r.cx);
            EXPECT_DOUBLE_EQ(pg.cy, r.cy);
            EXPECT_EQ(pg.npoints, static_cast<std::int32_t>(r.record.x.size()));
            // A Polygon file leaves z and m at 0; a PolygonZ file fills them.
            EXPECT_EQ(pg.z, std::vector<double>(r.record.x.size(), type == 15 ? 1.0 : 0.0));
            EXPECT_EQ(pg.m, std::vector<double>(r.record.x.size(), type == 15 ? 2.0 : 0.0));
        }
    }
}

TEST(ShapefileTable, FieldNamesAndValuesByBytePosition) {
    const std::vector<std::vector<std::string>> values = {
        {"x", "a\"b\"", "  12345678901234567890123456789012345"}};
    const std::vector<testing::DbfField> fields = {
        {"NAME", 'C', 3}, {"CODE", 'C', 5}, {"LONGCODE", 'C', 37}};
    std::string header_off = dbf_file(fields, values);  // header length without its terminator
    header_off[8] = static_cast<char>(33 + 32 * 3 - 1);
    const struct {
        std::string dbf, vit, attr;
    } rows[] = {
        {dbf_file(fields, values), "CODE", "a b"},  // quotes become blanks inside a value
        {dbf_file(fields, values), "LONGCODE",
         "123456789012345678901234567890"},  // moved left, cut
        {dbf_file({{std::string("CODE\0XY", 7), 'C', 4}}, {{"z"}}), "CODE",
         "z"},                                                               // name ends at a zero
        {dbf_file({{"VEGETATIONS", 'C', 4}}, {{"w"}}), "VEGETATIONS", "w"},  // 11 characters
        {dbf_file({{" CODE", 'C', 4}}, {{"w"}}), "CODE", ""},                // leading blanks count
        {dbf_file({{"CODE", 'C', 2}, {"code", 'C', 2}}, {{"p", "q"}}), "CODE", "p"},  // the first
        {dbf_file({}, {{}}), "CODE", ""},
        {header_off, "CODE", "a b"},  // the field count from a header length one short
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.vit + " -> " + r.attr);
        const ByteMap map(shp_file(5, {kSquare}), r.dbf, r.vit);
        ASSERT_EQ(map.stop, "(no stop)");
        EXPECT_EQ(map.pg(1).attr, pad(r.attr, 30));
    }
}

TEST(ShapefileTrace, EntryAndExitLinesAboveLevelZero) {
    EXPECT_EQ(ByteMap(shp_file(5, {kSquare}), code_table({"A"}), "CODE", 0).out, "");
    EXPECT_EQ(ByteMap(shp_file(5, {kSquare}), code_table({"A"}), "CODE", 1).out,
              "Entry:   read_ENV\nExit:    read_ENV\n");
    // A stop leaves no exit line.
    EXPECT_EQ(ByteMap(shp_file(3, {kSquare}), code_table({"A"}), "CODE", 1).out,
              "Entry:   read_ENV\n");
}

// ---- maps written by GDAL ------------------------------------------------

// The maps under tests/data/shapefiles, written once per test program by
// ogr2ogr into a directory of their own, with GDAL's areas and centroids.
class GdalMaps : public ::testing::Test {
 protected:
    static void SetUpTestSuite() {
        char pattern[] = "/tmp/tulma-gdal-XXXXXX";
        dir_ = ::mkdtemp(pattern);
        made_ =
            std::system(("sh '" TULMA_SOURCE_DIR "/tests/data/shapefiles/make_shapefiles.sh' '" +
                         dir_ + "'")
                            .c_str()) == 0;
    }
    static void TearDownTestSuite() { std::filesystem::remove_all(dir_); }
    void SetUp() override {
        ASSERT_TRUE(made_) << "the test maps need ogr2ogr (Debian package gdal-bin)";
    }
    static std::string path(const std::string& name) { return dir_ + "/" + name; }

    // Checks area and centroid of each polygon against the hand-worked
    // figures and GDAL's ({id, area, cx, cy} rows of <layer>_gdal.csv).
    static void expect_figures(const MapRun& run, const std::string& layer,
                               const std::vector<std::vector<double>>& hand) {
        std::ifstream in(path(layer + "_gdal.csv"));
        std::string line;
        std::getline(in, line);  // column names
        for (std::size_t i = 1; std::getline(in, line); ++i) {
            SCOPED_TRACE(::testing::Message() << layer << " polygon " << i);
            std::istringstream fields(line);
            std::vector<double> gdal;
            for (std::string f; std::getline(fields, f, ',');)
                gdal.push_back(std::stod(f.front() == '"' ? f.substr(1, f.size() - 2) : f));
            const Polygon& pg = run.pg(i);
            const double got[3] = {pg.area, pg.cx, pg.cy};
            for (std::size_t k = 0; k < 3; ++k) {
                expect_close(got[k], hand.at(i - 1).at(k));
                expect_close(got[k], gdal.at(k + 1));
            }
        }
    }

    static std::string dir_;
    static bool made_;
};
std::string GdalMaps::dir_;
bool GdalMaps::made_ = false;

TEST_F(GdalMaps, PolygonRingsHolesAndPartsWithAreasAndCentroidsWorkedByHand) {
    const MapRun run(path("plots.shp"), "VEGCODE");
    ASSERT_EQ(run.stop, "(no stop)");
    ASSERT_EQ(run.state.ENpg.size(), 4u);
    EXPECT_EQ(run.state.shapefile.n_poly, 4);
    expect_figures(run, "plots",
                   {// 10 x 8 rectangle less a 2 x 3 hole centred at (3, 3.5).
                    {74, (80 * 5.0 - 6 * 3.0) / 74, (80 * 4.0 - 6 * 3.5) / 74},
                    // Two parts: 2 x 1 about (21, 0.5) and 1 x 3 about (30.5, 1.5).
                    {5, 26.7, 1.1},
                    // Right triangle, legs 6 and 3: its centroid is the mean of its corners.
                    {9, 2, 21},
                    // Irregular quadrilateral: shoelace sums about (1000, 2000) give
                    // area 567/64 and a centroid 15/7 and 79/56 from that corner.
                    {567.0 / 64, 1000 + 15.0 / 7, 2000 + 79.0 / 56}});
    const struct {
        std::vector<double> box;
        std::vector<std::int32_t> part;
        std::int32_t npoints;
        std::string code;  // the VEGCODE field, the third
    } rows[] = {
        {{0, 0, 10, 8}, {1, 6}, 10, "WIL"},
        {{20, 0, 31, 3}, {1, 6}, 10, "Populus"},
        {{0, 20, 6, 23}, {1}, 4, "12"},
        {{1000.25, 1999.75, 1004.5, 2003.125}, {1}, 5, "Salix exigua / Populus fremont"},
    };
    for (std::size_t i = 1; i <= 4; ++i) {
        SCOPED_TRACE(::testing::Message() << "polygon " << i);
        const auto& r = rows[i - 1];
        const Polygon& pg = run.pg(i);
        EXPECT_EQ(std::vector<double>({pg.xmin, pg.ymin, pg.xmax, pg.ymax}), r.box);
        EXPECT_EQ(pg.nparts, static_cast<std::int32_t>(r.part.size()));
        EXPECT_EQ(pg.part, r.part);
        EXPECT_EQ(pg.npoints, r.npoints);
        EXPECT_EQ(std::vector<std::size_t>({pg.x.size(), pg.z.size()}),
                  std::vector<std::size_t>(2, static_cast<std::size_t>(r.npoints)));
        EXPECT_EQ(pg.attr, pad(r.code, 30));
    }
    // The outer ring clockwise from (10, 0), then the hole counter-clockwise.
    EXPECT_EQ(run.pg(1).x, std::vector<double>({10, 0, 0, 10, 10, 2, 4, 4, 2, 2}));
    EXPECT_EQ(run.pg(1).y, std::vector<double>({0, 0, 8, 8, 0, 2, 2, 5, 5, 2}));
    EXPECT_EQ(run.state.shapefile.SHP_RecordNumber.at(3),
              pad("Salix exigua / Populus fremontii mix", 255));
}

TEST_F(GdalMaps, HeaderAndFieldListAsTheFilesHoldThem) {
    const MapRun run(path("plots.shp"), "VEGCODE");
    const ShapefileState& map = run.state.shapefile;
    EXPECT_EQ(map.shp_name, pad(path("plots.shp"), 220));
    EXPECT_EQ(std::vector<std::int32_t>({map.shp_code, map.shp_version, map.shp_type, map.shp_len}),
              std::vector<std::int32_t>(
                  {9994, 1000, 5,
                   static_cast<std::int32_t>(std::filesystem::file_size(path("plots.shp")) / 2)}));
    EXPECT_EQ(map.shp_box, (std::array<double, 8>{0, 0, 1004.5, 2003.125, 0, 0, 0, 0}));
    ASSERT_EQ(map.n_field, 3);
    // GDAL writes the names in lower case; the reader keeps them upper case.
    const std::string names[] = {"ID", "VEG", "VEGCODE"};
    const char types[] = {'N', 'C', 'C'};
    const std::int32_t lengths[] = {4, 8, 40}, positions[] = {1, 5, 13};
    for (std::size_t f = 0; f < 3; ++f) {
        SCOPED_TRACE(names[f]);
        EXPECT_EQ(map.fieldName[f], pad(names[f], 11));
        EXPECT_EQ(map.field_type[f], types[f]);
        EXPECT_EQ(std::vector<std::int32_t>({map.field_len[f], map.field_pos[f]}),
                  std::vector<std::int32_t>({lengths[f], positions[f]}));
    }
}

TEST_F(GdalMaps, TheNamedFieldGivesTheAttributes) {
    const struct {
        std::string vit;
        std::vector<std::string> attrs;
    } rows[] = {
        {"VEG", {"hole", "multi", "tri", "odd"}},
        {"ID", {"1", "2", "3", "4"}},  // right-aligned numbers, moved left
        {"VE", {"", "", "", ""}},      // no field of that name: no prefix match
        {"NOSUCH", {"", "", "", ""}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.vit);
        const MapRun run(path("plots.shp"), r.vit);
        ASSERT_EQ(run.stop, "(no stop)");
        for (std::size_t i = 1; i <= 4; ++i) EXPECT_EQ(run.pg(i).attr, pad(r.attrs[i - 1], 30));
    }
}

TEST_F(GdalMaps, PolygonZCarriesZAndMeasures) {
    const MapRun run(path("terrace.shp"), "VEGCODE");
    ASSERT_EQ(run.stop, "(no stop)");
    ASSERT_EQ(run.state.ENpg.size(), 2u);
    EXPECT_EQ(run.state.shapefile.shp_type, 15);
    EXPECT_EQ(run.state.shapefile.shp_box, (std::array<double, 8>{0, 0, 7, 2, 1, 4, 10, 22}));
    const Polygon& a = run.pg(1);
    const Polygon& b = run.pg(2);
    EXPECT_EQ(a.z, std::vector<double>({1, 2, 3, 4, 1}));
    EXPECT_EQ(a.m, std::vector<double>({10, 11, 12, 13, 10}));
    EXPECT_EQ(std::vector<double>({a.zmin, a.zmax, a.mmin, a.mmax}),
              std::vector<double>({1, 4, 10, 13}));
    EXPECT_EQ(b.x, std::vector<double>({5, 5, 7, 5}));
    EXPECT_EQ(b.z, std::vector<double>({1, 2, 3, 1}));
    EXPECT_EQ(b.m, std::vector<double>({20, 21, 22, 20}));
    EXPECT_EQ(std::vector<double>({b.zmin, b.zmax, b.mmin, b.mmax}),
              std::vector<double>({1, 3, 20, 22}));
    EXPECT_EQ(a.attr + b.attr, pad("Cottonwood", 30) + pad("willow", 30));  // codes keep their case
    expect_figures(run, "terrace", {{4, 1, 1}, {2, 17.0 / 3, 4.0 / 3}});
}

TEST_F(GdalMaps, ANameWithTwoDotsLosesOnlyItsExtension) {
    const MapRun full(path("veg.old.shp"), "VEGCODE");
    ASSERT_EQ(full.stop, "(no stop)");
    ASSERT_EQ(full.state.ENpg.size(), 4u);
    EXPECT_EQ(full.pg(3).attr, pad("12", 30));
    // Without the extension the last dot is the one of "old".
    EXPECT_EQ(MapRun(path("veg.old"), "VEGCODE").stop, open_failure(path("veg.shp")));
}

}  // namespace
}  // namespace tulma
