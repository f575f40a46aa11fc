#include "input/shapefile.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "shapefile_bytes.hpp"
#include "temp_dir.hpp"
#include "util/fatal_error.hpp"

#ifndef TULMA_SOURCE_DIR
#define TULMA_SOURCE_DIR "/work/main"
#endif

namespace tulma {
namespace {

using testing::code_table;
using testing::dbf_file;
using testing::DbfField;
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
        try {
            read_ENV(state, pad(vin, 220), pad(vit, 30), trace);
        } catch (const FatalError& e) {
            stop = e.console_text();
        }
        out = ::testing::internal::GetCapturedStdout();
        err = ::testing::internal::GetCapturedStderr();
    }
    const Polygon& pg(std::size_t i) const { return state.ENpg.at(i - 1); }
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

// ---- the unit readers ----------------------------------------------------

TEST(ShapeFileReader, ReadsEachByteOrderAndLeavesTheTargetAtEndOfFile) {
    enum Kind { be_int, le_int, le_real };
    struct Row {
        std::string bytes;
        Kind kind;
        std::int32_t status;
        double value;  // 77 where the target must keep its value
    };
    const Row rows[] = {
        {std::string("\x00\x00\x27\x0a", 4), be_int, 0, 9994},
        {"\xff\xff\xff\xfe", be_int, 0, -2},
        {std::string("\x80\x00\x00\x00", 4), be_int, 0, -2147483648.0},
        {std::string("\x0a\x27\x00\x00", 4), le_int, 0, 9994},
        {"\xfe\xff\xff\xff", le_int, 0, -2},
        {std::string("\x00\x00\x00\x00\x00\x00\xf0\x3f", 8), le_real, 0, 1.0},
        {std::string("\x00\x00\x00\x00\x00\x00\x04\xc0", 8), le_real, 0, -2.5},
        {"\x9a\x99\x99\x99\x99\x99\xb9\x3f", le_real, 0, 0.1},
        {std::string("\x00\x00\x27", 3), be_int, -1, 77},
        {std::string("\x0a\x27\x00", 3), le_int, -1, 77},
        {std::string("\x00\x00\x00\x00\x00\x00\xf0", 7), le_real, -1, 77},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(::testing::Message()
                     << "kind " << r.kind << ", " << r.bytes.size() << " bytes");
        const std::vector<unsigned char> bytes(r.bytes.begin(), r.bytes.end());
        ShapeFileReader reader(bytes);
        std::int32_t status = 5;
        std::int32_t i = 77;
        double d = 77.0;
        if (r.kind == be_int) reader.read_be_int(status, i);
        if (r.kind == le_int) reader.read_le_int(status, i);
        if (r.kind == le_real) reader.read_le_real(status, d);
        EXPECT_EQ(status, r.status);
        EXPECT_EQ(r.kind == le_real ? d : i, r.value);
    }
}

TEST(ShapeFileReader, StaysAtEndOfFileOnceAReadMeetsIt) {
    // Six bytes: a real does not fit, and the integer that would have fit
    // before it is not read either.
    const std::vector<unsigned char> bytes = {1, 0, 0, 0, 2, 0};
    ShapeFileReader reader(bytes);
    std::int32_t status = 0;
    double d = 7.0;
    std::int32_t i = 7;
    reader.read_le_real(status, d);
    EXPECT_EQ(status, -1);
    reader.read_le_int(status, i);
    EXPECT_EQ(status, -1);
    EXPECT_EQ(i, 7);
}

// ---- maps written by GDAL ------------------------------------------------

// The maps under tests/data/shapefiles, written once per test program by
// ogr2ogr into a directory of their own, with GDAL's areas and centroids.
class GdalMaps : public ::testing::Test {
 protected:
    static void SetUpTestSuite() {
        char pattern[] = "/tmp/tulma-gdal-XXXXXX";
        dir_ = ::mkdtemp(pattern);
        const std::string command = std::string("sh '") + TULMA_SOURCE_DIR +
                                    "/tests/data/shapefiles/make_shapefiles.sh' '" + dir_ + "'";
        made_ = std::system(command.c_str()) == 0;
    }
    static void TearDownTestSuite() { std::filesystem::remove_all(dir_); }
    void SetUp() override {
        ASSERT_TRUE(made_) << "the test maps need ogr2ogr (Debian package gdal-bin)";
    }
    static std::string path(const std::string& name) { return dir_ + "/" + name; }

    // id -> {area, cx, cy} as GDAL computes them.
    static std::map<int, std::vector<double>> gdal_figures(const std::string& layer) {
        std::map<int, std::vector<double>> figures;
        std::ifstream in(path(layer + "_gdal.csv"));
        std::string line;
        std::getline(in, line);  // column names
        while (std::getline(in, line)) {
            std::vector<double> v;
            std::istringstream fields(line);
            for (std::string f; std::getline(fields, f, ',');) {
                if (!f.empty() && f.front() == '"') f = f.substr(1, f.size() - 2);
                v.push_back(std::stod(f));
            }
            figures[static_cast<int>(v.at(0))] = {v.at(1), v.at(2), v.at(3)};
        }
        return figures;
    }

    static std::string dir_;
    static bool made_;
};
std::string GdalMaps::dir_;
bool GdalMaps::made_ = false;

TEST_F(GdalMaps, PolygonRingsHolesAndPartsWithAreasAndCentroidsWorkedByHand) {
    struct Row {
        double xmin, ymin, xmax, ymax;
        std::vector<std::int32_t> part;
        std::int32_t npoints;
        double area, cx, cy;
        std::string code;  // the VEGCODE field, the third
    };
    const Row rows[] = {
        // 10 x 8 rectangle less a 2 x 3 hole centred at (3, 3.5).
        {0, 0, 10, 8, {1, 6}, 10, 74, (80 * 5.0 - 6 * 3.0) / 74, (80 * 4.0 - 6 * 3.5) / 74, "WIL"},
        // Two parts: 2 x 1 about (21, 0.5) and 1 x 3 about (30.5, 1.5).
        {20, 0, 31, 3, {1, 6}, 10, 5, 26.7, 1.1, "Populus"},
        // Right triangle, legs 6 and 3: its centroid is the mean of its corners.
        {0, 20, 6, 23, {1}, 4, 9, 2, 21, "12"},
        // Irregular quadrilateral: shoelace sums about (1000, 2000) give
        // area 567/64 and a centroid 15/7 and 79/56 from that corner.
        {1000.25,
         1999.75,
         1004.5,
         2003.125,
         {1},
         5,
         567.0 / 64,
         1000 + 15.0 / 7,
         2000 + 79.0 / 56,
         "Salix exigua / Populus fremont"},
    };
    const MapRun run(path("plots.shp"), "VEGCODE");
    ASSERT_EQ(run.stop, "");
    ASSERT_EQ(run.state.ENpg.size(), 4u);
    EXPECT_EQ(run.state.shapefile.n_poly, 4);
    const auto gdal = gdal_figures("plots");
    for (std::size_t i = 1; i <= 4; ++i) {
        SCOPED_TRACE(::testing::Message() << "polygon " << i);
        const Row& r = rows[i - 1];
        const Polygon& pg = run.pg(i);
        EXPECT_EQ(std::vector<double>({pg.xmin, pg.ymin, pg.xmax, pg.ymax}),
                  std::vector<double>({r.xmin, r.ymin, r.xmax, r.ymax}));
        EXPECT_EQ(pg.nparts, static_cast<std::int32_t>(r.part.size()));
        EXPECT_EQ(pg.part, r.part);
        EXPECT_EQ(pg.npoints, r.npoints);
        EXPECT_EQ(pg.x.size(), static_cast<std::size_t>(r.npoints));
        EXPECT_EQ(pg.z.size(), static_cast<std::size_t>(r.npoints));
        expect_close(pg.area, r.area);
        expect_close(pg.cx, r.cx);
        expect_close(pg.cy, r.cy);
        expect_close(pg.area, gdal.at(static_cast<int>(i))[0]);
        expect_close(pg.cx, gdal.at(static_cast<int>(i))[1]);
        expect_close(pg.cy, gdal.at(static_cast<int>(i))[2]);
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
    EXPECT_EQ(map.shp_code, 9994);
    EXPECT_EQ(map.shp_version, 1000);
    EXPECT_EQ(map.shp_type, 5);
    EXPECT_EQ(map.shp_len,
              static_cast<std::int32_t>(std::filesystem::file_size(path("plots.shp")) / 2));
    EXPECT_EQ(map.shp_box, (std::array<double, 8>{0, 0, 1004.5, 2003.125, 0, 0, 0, 0}));
    ASSERT_EQ(map.n_field, 3);
    // GDAL writes the names in lower case; the reader keeps them upper case.
    const std::string names[] = {"ID", "VEG", "VEGCODE"};
    const char types[] = {'N', 'C', 'C'};
    const std::int32_t lengths[] = {4, 8, 40};
    const std::int32_t positions[] = {1, 5, 13};
    for (std::size_t f = 0; f < 3; ++f) {
        SCOPED_TRACE(names[f]);
        EXPECT_EQ(map.fieldName[f], pad(names[f], 11));
        EXPECT_EQ(map.field_type[f], types[f]);
        EXPECT_EQ(map.field_len[f], lengths[f]);
        EXPECT_EQ(map.field_pos[f], positions[f]);
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
        ASSERT_EQ(run.stop, "");
        for (std::size_t i = 1; i <= 4; ++i) EXPECT_EQ(run.pg(i).attr, pad(r.attrs[i - 1], 30));
    }
}

TEST_F(GdalMaps, PolygonZCarriesZAndMeasures) {
    const MapRun run(path("terrace.shp"), "VEGCODE");
    ASSERT_EQ(run.stop, "");
    ASSERT_EQ(run.state.ENpg.size(), 2u);
    EXPECT_EQ(run.state.shapefile.shp_type, 15);
    EXPECT_EQ(run.state.shapefile.shp_box, (std::array<double, 8>{0, 0, 7, 2, 1, 4, 10, 22}));
    const Polygon& a = run.pg(1);
    EXPECT_EQ(a.z, std::vector<double>({1, 2, 3, 4, 1}));
    EXPECT_EQ(a.m, std::vector<double>({10, 11, 12, 13, 10}));
    EXPECT_EQ(std::vector<double>({a.zmin, a.zmax, a.mmin, a.mmax}),
              std::vector<double>({1, 4, 10, 13}));
    const Polygon& b = run.pg(2);
    EXPECT_EQ(b.x, std::vector<double>({5, 5, 7, 5}));
    EXPECT_EQ(b.z, std::vector<double>({1, 2, 3, 1}));
    EXPECT_EQ(b.m, std::vector<double>({20, 21, 22, 20}));
    EXPECT_EQ(std::vector<double>({b.zmin, b.zmax, b.mmin, b.mmax}),
              std::vector<double>({1, 3, 20, 22}));
    // Codes keep their case.
    EXPECT_EQ(a.attr, pad("Cottonwood", 30));
    EXPECT_EQ(b.attr, pad("willow", 30));
    const auto gdal = gdal_figures("terrace");
    const double hand[2][3] = {{4, 1, 1}, {2, 17.0 / 3, 4.0 / 3}};
    for (std::size_t i = 1; i <= 2; ++i) {
        SCOPED_TRACE(::testing::Message() << "polygon " << i);
        const Polygon& pg = run.pg(i);
        const double got[3] = {pg.area, pg.cx, pg.cy};
        for (std::size_t k = 0; k < 3; ++k) {
            expect_close(got[k], hand[i - 1][k]);
            expect_close(got[k], gdal.at(static_cast<int>(i))[k]);
        }
    }
}

TEST_F(GdalMaps, ANameWithTwoDotsLosesOnlyItsExtension) {
    const MapRun full(path("veg.old.shp"), "VEGCODE");
    ASSERT_EQ(full.stop, "");
    ASSERT_EQ(full.state.ENpg.size(), 4u);
    EXPECT_EQ(full.pg(3).attr, pad("12", 30));
    // Without the extension the last dot is the one of "old".
    const MapRun bare(path("veg.old"), "VEGCODE");
    EXPECT_EQ(bare.stop, open_failure(path("veg.shp")));
}

// ---- maps written byte by byte -------------------------------------------

const ShapeRecord kSquare = ring_record({0, 0, 0, 1, 1, 1, 1, 0, 0, 0});
const ShapeRecord kTriangle = ring_record({5, 0, 5, 2, 7, 2, 5, 0});
// Where the second record starts in a Polygon file of kSquare and kTriangle.
constexpr std::size_t kSecond = 100 + 8 + 4 + 32 + 8 + 4 + 5 * 16;

ShapeRecord with_zm(ShapeRecord r) {
    r.z.assign(r.x.size(), 1.0);
    r.m.assign(r.x.size(), 2.0);
    return r;
}

// A map written as veg.shp and veg.dbf in a fresh working directory and read.
struct ByteMap {
    TempWorkDir dir;
    std::unique_ptr<MapRun> run;
    ByteMap(const std::string& shp, const std::string& dbf, const std::string& vit = "CODE",
            std::int32_t trace = 0) {
        TempWorkDir::write("veg.shp", shp);
        TempWorkDir::write("veg.dbf", dbf);
        run = std::make_unique<MapRun>("veg.shp", vit, trace);
    }
};

TEST(ShapefileRefusals, EachStopsWithItsMessage) {
    ShapeRecord too_many_points = kSquare;
    too_many_points.num_points = 1000000;
    ShapeRecord negative_parts = kSquare;
    negative_parts.num_parts = -1;
    ShapeRecord ring_past_points = kSquare;
    ring_past_points.parts = {5};
    ShapeRecord ring_before_points = kSquare;
    ring_before_points.parts = {-1};
    const std::string square = shp_file(5, {kSquare});
    const std::string two = shp_file(5, {kSquare, kTriangle});
    const std::string one_code = code_table({"A"});
    const std::string two_codes = code_table({"A", "B"});

    std::string short_dbf = two_codes.substr(0, 11);
    std::string header_32 = one_code;
    testing::set_le16(header_32, 8, 32);
    std::string fields_129 = one_code;
    testing::set_le16(fields_129, 8, 33 + 32 * 129);
    std::string fields_128 = one_code;
    testing::set_le16(fields_128, 8, 33 + 32 * 128);
    // The last record loses the last byte of its code field.
    std::string cut_values = two_codes.substr(0, two_codes.size() - 2);

    struct Row {
        std::string name, shp, dbf, stop;
    };
    const Row rows[] = {
        {"PolyLine", shp_file(3, {kSquare}), one_code,
         "ERROR: wrong shapetype in reading shapefile.\nonly polygonz is supported\n"},
        {"PolygonM", shp_file(25, {kSquare}), one_code,
         "ERROR: wrong shapetype in reading shapefile.\nonly polygonz is supported\n"},
        {"file ends before the shape type", square.substr(0, 35), code_table({}),
         "ERROR: wrong shapetype in reading shapefile.\nonly polygonz is supported\n"},
        {"file ends inside the box", square.substr(0, 60), code_table({}),
         "ERROR: in reading shapefile header.\n"},
        {"file ends inside the last box value", square.substr(0, 99), code_table({}),
         "ERROR: in reading shapefile header.\n"},
        {"more table records than shapes", two, code_table({"A", "B", "C"}),
         "ERROR in: read_ENV: veg.dbf holds 3 records but veg.shp holds 2 shapes\n"},
        {"fewer table records than shapes", two, one_code,
         "ERROR in: read_ENV: veg.dbf holds 1 record but veg.shp holds 2 shapes\n"},
        {"point count past the file", shp_file(5, {kTriangle, too_many_points}), two_codes,
         "ERROR in: read_ENV: veg.shp shape record 2 gives 1 part and 1000000 points, more than "
         "the rest of the "
         "file holds\n"},
        {"negative part count", shp_file(5, {negative_parts}), one_code,
         "ERROR in: read_ENV: veg.shp shape record 1 gives -1 parts and 5 points, more than the "
         "rest of the "
         "file "
         "holds\n"},
        // PolygonZ records must carry z and m: a 2D record is short by them.
        {"PolygonZ record without z and m", shp_file(5, {kSquare}).replace(32, 1, "\x0f"), one_code,
         "ERROR in: read_ENV: veg.shp shape record 1 gives 1 part and 5 points, more than the rest "
         "of the file "
         "holds\n"},
        {"ring start past the points", shp_file(5, {ring_past_points}), one_code,
         "ERROR in: read_ENV: veg.shp shape record 1 starts ring 1 at point index 5, but the "
         "record has 5 "
         "points\n"},
        {"ring start before the points", shp_file(5, {ring_before_points}), one_code,
         "ERROR in: read_ENV: veg.shp shape record 1 starts ring 1 at point index -1, but the "
         "record has 5 "
         "points\n"},
        {"table cut inside its counts", two, short_dbf,
         "ERROR in: read_ENV: veg.dbf is too short for the record count and lengths of a dBASE "
         "header\n"},
        {"header length 32", square, header_32,
         "ERROR in: read_ENV: veg.dbf gives a header length of 32 bytes, at least 33 are needed\n"},
        {"129 fields", square, fields_129,
         "ERROR in: read_ENV: veg.dbf describes 129 fields, at most 128 are allowed\n"},
        {"descriptors past the file", square, fields_128,
         "ERROR in: read_ENV: veg.dbf ends inside the descriptors of its 128 fields\n"},
        {"file ends after a record's NumParts", two.substr(0, kSecond + 48), two_codes,
         "ERROR in: read_ENV: veg.shp shape record 2 gives 1 part and 0 points, more than the rest "
         "of the file "
         "holds\n"},
        {"file ends inside a record's points", two.substr(0, kSecond + 60), two_codes,
         "ERROR in: read_ENV: veg.shp shape record 2 gives 1 part and 4 points, more than the rest "
         "of the file "
         "holds\n"},
        {"value past the file", two, cut_values,
         "ERROR in: read_ENV: the CODE value of record 2 lies outside veg.dbf\n"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const ByteMap map(r.shp, r.dbf);
        EXPECT_EQ(map.run->stop, r.stop);
        EXPECT_EQ(map.run->out, "");
    }
}

// n records without rings, numbered 1 .. n.
std::string empty_records(std::int32_t type, std::int32_t n) {
    const std::string one = shp_file(type, {ShapeRecord{}});
    const std::string body = one.substr(104);  // after the record number
    std::string file = one.substr(0, 100);
    file.reserve(100 + static_cast<std::size_t>(n) * (4 + body.size()));
    for (std::int32_t i = 1; i <= n; ++i) {
        testing::put_be32(file, i);
        file += body;
    }
    return file;
}

TEST(ShapefileRefusals, MoreThan100000RecordsWithTheShapeTypesText) {
    const struct {
        std::int32_t type;
        std::string stop;
    } rows[] = {
        {5, "ERROR: record number in erosion coefficient polygon exceeds array size.\n"},
        {15, "ERROR: record number in erosion coefficient polygon exceed array size.\n"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.type);
        const ByteMap over(empty_records(r.type, 100001), code_table({}));
        EXPECT_EQ(over.run->stop, r.stop);
    }
    // One record fewer is a map (of empty records).
    const ByteMap full(empty_records(5, 100000),
                       dbf_file({{"CODE", 'C', 1}}, std::vector<std::vector<std::string>>(100000)));
    EXPECT_EQ(full.run->stop, "");
    EXPECT_EQ(full.run->state.ENpg.size(), 100000u);
}

TEST(ShapefileOpening, FileNamesByTheLastDotAndTheFailingFileNamed) {
    const struct {
        std::string vin, shp, dbf;
    } rows[] = {
        {"maps/veg.old.shp", "maps/veg.old.shp", "maps/veg.old.dbf"},
        {"maps/veg", "maps/veg.shp", "maps/veg.dbf"},
        {"maps.v2/veg", "maps.shp", "maps.dbf"},  // the dot of the directory counts
        {"maps/veg.dbf", "maps/veg.shp", "maps/veg.dbf"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.vin);
        const TempWorkDir dir;
        std::filesystem::create_directories("maps");
        std::filesystem::create_directories("maps.v2");
        EXPECT_EQ(MapRun(r.vin).stop, open_failure(r.shp));
        TempWorkDir::write(r.shp, shp_file(5, {kSquare}));
        EXPECT_EQ(MapRun(r.vin).stop, open_failure(r.dbf));
        TempWorkDir::write(r.dbf, code_table({"A"}));
        EXPECT_EQ(MapRun(r.vin).stop, "");
    }
}

TEST(ShapefileOpening, ADirectoryIsNotAMap) {
    const TempWorkDir dir;
    std::filesystem::create_directories("veg.shp");
    EXPECT_EQ(MapRun("veg.shp").stop, open_failure("veg.shp"));
}

// ---- what the reader tolerates -------------------------------------------

TEST(ShapefileTolerance, RecordNumbersOutOfSequenceAreReportedAndTheRunGoesOn) {
    const struct {
        std::vector<std::int32_t> numbers;
        std::string err;
    } rows[] = {
        {{1, 2, 3}, ""},
        {{1, 5, 2},
         "ERROR: record number in reading erosion coefficient shapefile. 4 1\n"
         "ERROR: record number in reading erosion coefficient shapefile. 4 2\n"},
        {{0, 2, 3}, "ERROR: record number in reading erosion coefficient shapefile. 4 0\n"},
        {{1, 2, -3}, "ERROR: record number in reading erosion coefficient shapefile. 4 2\n"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.err);
        std::vector<ShapeRecord> records = {kSquare, kTriangle, kSquare};
        for (std::size_t k = 0; k < 3; ++k) records[k].number = r.numbers[k];
        const ByteMap map(shp_file(5, records), code_table({"A", "B", "C"}));
        EXPECT_EQ(map.run->stop, "");
        EXPECT_EQ(map.run->out, "");
        EXPECT_EQ(map.run->err, r.err);
        ASSERT_EQ(map.run->state.ENpg.size(), 3u);
        EXPECT_EQ(map.run->pg(2).x, kTriangle.x);
        EXPECT_EQ(map.run->pg(3).attr, pad("C", 30));
    }
}

TEST(ShapefileTolerance, EndOfFileBeforeARecordsCountsEndsThePass) {
    const std::string two = shp_file(5, {kSquare, kTriangle});
    const std::size_t second = kSecond;
    const struct {
        std::string name;
        std::size_t length;
        std::size_t n_poly;
        double xmin_2;
    } rows[] = {
        {"whole file", two.size(), 2, 5},
        {"half a record header", second + 4, 1, 0},
        {"record header only", second + 8, 2, 0},
        {"cut after the box's xmin", second + 8 + 4 + 8, 2, 5},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        const std::vector<std::string> codes(r.n_poly, "A");
        const ByteMap map(two.substr(0, r.length), code_table(codes));
        ASSERT_EQ(map.run->stop, "");
        ASSERT_EQ(map.run->state.ENpg.size(), r.n_poly);
        if (r.n_poly < 2) continue;
        const Polygon& pg = map.run->pg(2);
        EXPECT_EQ(pg.xmin, r.xmin_2);
        // A record cut before its counts has no ring, and so no area.
        if (r.length < two.size()) {
            EXPECT_EQ(std::vector<double>({pg.ymax, pg.area, pg.cx, pg.cy}),
                      std::vector<double>(4, 0.0));
            EXPECT_EQ(pg.nparts, 0);
        }
    }
    // A file of the header alone is a map without polygons.
    const ByteMap empty(shp_file(15, {}), code_table({}));
    EXPECT_EQ(empty.run->stop, "");
    EXPECT_TRUE(empty.run->state.ENpg.empty());
}

// ---- geometry and attributes ---------------------------------------------

TEST(ShapefileGeometry, AreaAndCentroidOfRingSets) {
    ShapeRecord no_ring;
    no_ring.x = {0, 4, 4};
    no_ring.y = {0, 0, 4};
    ShapeRecord square_and_hole =
        ring_record({0, 0, 0, 4, 4, 4, 4, 0, 0, 0, 1, 1, 2, 1, 2, 2, 1, 2, 1, 1});
    square_and_hole.parts = {0, 5};
    const struct {
        std::string name;
        ShapeRecord record;
        double area, cx, cy;
    } rows[] = {
        {"clockwise unit square", kSquare, 1, 0.5, 0.5},
        {"counter-clockwise unit square", ring_record({0, 0, 1, 0, 1, 1, 0, 1, 0, 0}), -1, 0.5,
         0.5},
        {"4 x 4 square less a unit hole at (1.5, 1.5)", square_and_hole, 15, (16 * 2.0 - 1.5) / 15,
         (16 * 2.0 - 1.5) / 15},
        {"points but no ring", no_ring, 0, 0, 0},
        {"no points and no ring", ShapeRecord{}, 0, 0, 0},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        for (std::int32_t type : {5, 15}) {
            SCOPED_TRACE(type);
            const ShapeRecord record = type == 15 ? with_zm(r.record) : r.record;
            const ByteMap map(shp_file(type, {record}), code_table({"A"}));
            ASSERT_EQ(map.run->stop, "");
            const Polygon& pg = map.run->pg(1);
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
        {"x", "a\"b\"", std::string("  12345678901234567890123456789012345")},
    };
    std::vector<DbfField> fields = {{"NAME", 'C', 3}, {"CODE", 'C', 5}, {"LONGCODE", 'C', 37}};
    std::string header_off = dbf_file(fields, values);  // header length without its terminator
    testing::set_le16(header_off, 8, 33 + 32 * 3 - 1);
    const struct {
        std::string name, dbf, vit, attr;
    } rows[] = {
        {"quotes become blanks inside a value", dbf_file(fields, values), "CODE", "a b"},
        {"moved left, first 30 characters", dbf_file(fields, values), "LONGCODE",
         "123456789012345678901234567890"},
        {"name cut at its first zero byte",
         dbf_file({{std::string("CODE\0XY", 7), 'C', 4}}, {{"z"}}), "CODE", "z"},
        {"a name of 11 characters", dbf_file({{"VEGETATIONS", 'C', 4}}, {{"w"}}), "VEGETATIONS",
         "w"},
        {"leading blanks of a name count", dbf_file({{" CODE", 'C', 4}}, {{"w"}}), "CODE", ""},
        {"the first of two equal names",
         dbf_file({{"CODE", 'C', 2}, {"code", 'C', 2}}, {{"p", "q"}}), "CODE", "p"},
        {"a table without fields", dbf_file({}, {{}}), "CODE", ""},
        {"field count from a header length one short", header_off, "CODE", "a b"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        const ByteMap map(shp_file(5, {kSquare}), r.dbf, r.vit);
        ASSERT_EQ(map.run->stop, "");
        EXPECT_EQ(map.run->pg(1).attr, pad(r.attr, 30));
    }
}

TEST(ShapefileTrace, EntryAndExitLinesAboveLevelZero) {
    const struct {
        std::int32_t trace;
        std::string shp, out;
    } rows[] = {
        {0, shp_file(5, {kSquare}), ""},
        {1, shp_file(5, {kSquare}), "Entry:   read_ENV\nExit:    read_ENV\n"},
        {1, shp_file(3, {kSquare}), "Entry:   read_ENV\n"},  // a stop leaves no exit line
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.out);
        const ByteMap map(r.shp, code_table({"A"}), "CODE", r.trace);
        EXPECT_EQ(map.run->out, r.out);
    }
}

}  // namespace
}  // namespace tulma
