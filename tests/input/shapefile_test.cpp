#include "input/shapefile.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
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
};

const ShapeRecord kSquare = ring_record({0, 0, 0, 1, 1, 1, 1, 0, 0, 0});
const ShapeRecord kTriangle = ring_record({5, 0, 5, 2, 7, 2, 5, 0});
// A polygon as the case files show it: its rings (count and starts), points,
// box, area, centroid, z and m (range and values) and its attribute.
std::string polygon_line(const Polygon& pg) {
    const auto list = [](const auto& values) {
        std::ostringstream text;
        for (double v : values) text << (text.tellp() > 0 ? " " : "") << v;
        return "(" + text.str() + ")";
    };
    char line[800];
    std::snprintf(line, sizeof line,
                  "rings %d %s points %d box %.10g %.10g %.10g %.10g area %.10g centroid %.10g "
                  "%.10g z %g %g %s m %g %g %s |%s|\n",
                  pg.nparts, list(pg.part).c_str(), pg.npoints, pg.xmin, pg.ymin, pg.xmax, pg.ymax,
                  pg.area, pg.cx, pg.cy, pg.zmin, pg.zmax, list(pg.z).c_str(), pg.mmin, pg.mmax,
                  list(pg.m).c_str(), pg.attr.substr(0, pg.attr.find_last_not_of(' ') + 1).c_str());
    return line;
}

std::string with_blanks(std::string s) {
    std::replace(s.begin(), s.end(), '_', ' ');
    for (std::size_t at; (at = s.find("\\0")) != std::string::npos;) s.replace(at, 2, 1, '\0');
    return s;
}

// Each case file builds veg.shp and veg.dbf, or writes them where "at
// <shp-path|-> <dbf-path|->" says ("-": not at all) after making the folders
// "dir <path>" names, and reads the map "veg.shp" or the one "vin <name>"
// names, with the field CODE or the one "vit <name>" names, at trace level 0
// or the one "trace <n>" gives.
//
// The main file: "shp <type> [square|triangle]..." (the unit square; the ring
// (5,0) (5,2) (7,2)), then "ring x0 y0 x1 y1 ..." (a record of one ring, its
// box from its points; none: an empty record), "parts <start>..." (the last
// record's ring starts as stored, from 0) and "records <n>" (n empty records).
// A PolygonZ record has z 1, 2, ... and m 11, 12, ... at its points, with
// those ranges.
//
// The table: "dbf <code>..." (one field CODE, width 10), or "field <name>
// <type> <length>" lines, "row <value>|<value>..." lines ("_" is a blank,
// "\0" a zero byte) and "rows <n>" (n records of blanks).
//
// Then byte edits in order: "cut <shp|dbf> <length>" and
// "le16|le32|be32|le64 <shp|dbf> <offset> <value>".
//
// Sections: "=== stop", the console text (none: no stop); "=== stdout" and
// "=== stderr" (none: nothing); "=== polygons", one polygon_line each;
// "=== count", the number of polygons; "=== header", the main file's code,
// length, version, type and box, and the table's first field: its type, its
// name without the blanks that fill it, and its length.
TEST(ShapefileCases, EachReadsOrStopsAsItsFileSays) {
    const auto cases = testing::read_cases(TULMA_SOURCE_DIR "/tests/input/cases/shapefile");
    ASSERT_GE(cases.size(), 19U);
    for (const testing::CaseFile& c : cases) {
        SCOPED_TRACE(c.name);
        std::int32_t type = 0;
        std::vector<ShapeRecord> records;
        std::vector<testing::DbfField> fields;
        std::vector<std::vector<std::string>> rows;
        std::string vit = "CODE", word;
        std::string vin = "veg.shp", at_shp = vin, at_dbf = "veg.dbf";
        std::vector<std::string> folders;
        std::int32_t trace = 0;
        std::vector<std::string> edits;
        for (const std::string& line : c.input_lines) {
            std::istringstream words(line);
            words >> word;
            if (word == "shp") {
                for (words >> type; words >> word;)
                    records.push_back(word == "square" ? kSquare : kTriangle);
            } else if (word == "ring") {
                std::vector<double> xy;
                for (double v = 0; words >> v;) xy.push_back(v);
                records.push_back(xy.empty() ? ShapeRecord{} : ring_record(xy));
            } else if (word == "records") {
                records.resize(records.size() + std::stoul(line.substr(8)));
            } else if (word == "parts") {
                records.back().parts.clear();
                for (std::int32_t v = 0; words >> v;) records.back().parts.push_back(v);
            } else if (word == "dbf") {
                fields = {{"CODE", 'C', 10}};
                while (words >> word) rows.push_back({word});
            } else if (word == "field") {
                int length = 0;
                fields.emplace_back();
                words >> fields.back().name >> fields.back().type >> length;
                fields.back().name = with_blanks(fields.back().name);
                fields.back().length = static_cast<std::uint8_t>(length);
            } else if (word == "rows") {
                rows.resize(rows.size() + std::stoul(line.substr(5)));
            } else if (word == "row") {
                rows.emplace_back();
                for (std::string value; std::getline(words >> std::ws, value, '|');)
                    rows.back().push_back(with_blanks(value));
            } else if (word == "vit") {
                words >> vit;
            } else if (word == "trace") {
                words >> trace;
            } else if (word == "vin") {
                words >> vin;
            } else if (word == "at") {
                words >> at_shp >> at_dbf;
            } else if (word == "dir") {
                words >> word;
                folders.push_back(word);
            } else {
                edits.push_back(line);
            }
        }
        for (ShapeRecord& r : records) {
            for (std::size_t k = 1; type == 15 && k <= r.x.size(); ++k) {
                r.z.push_back(static_cast<double>(k));
                r.m.push_back(static_cast<double>(10 + k));
            }
            if (type == 15)
                r.zmin = 1, r.zmax = static_cast<double>(r.z.size()), r.mmin = 11,
                r.mmax = 10 + r.zmax;
        }
        std::map<std::string, std::string> files = {{"shp", shp_file(type, records)},
                                                    {"dbf", dbf_file(fields, rows)}};
        for (const std::string& edit : edits) {
            std::istringstream words(edit);
            std::string op, file, bytes, value = "0";
            std::size_t at = 0;
            words >> op >> file >> at >> value;
            if (op == "le64")
                testing::put_le64(bytes, std::stod(value));
            else
                (op == "be32" ? testing::put_be32 : testing::put_le32)(bytes, std::stoi(value));
            bytes.resize(op == "le16" ? 2 : bytes.size());
            op == "cut" ? files[file].resize(at)
                        : void(files[file].replace(at, bytes.size(), bytes));
        }
        const TempWorkDir dir;
        for (const std::string& folder : folders) std::filesystem::create_directories(folder);
        if (at_shp != "-") TempWorkDir::write(at_shp, files["shp"]);
        if (at_dbf != "-") TempWorkDir::write(at_dbf, files["dbf"]);
        const MapRun map(vin, vit, trace);
        const ShapefileState& h = map.state.shapefile;
        std::ostringstream header;
        header << h.shp_code << ' ' << h.shp_len << ' ' << h.shp_version << ' ' << h.shp_type;
        for (double v : h.shp_box) header << ' ' << v;
        if (!h.fieldName.empty()) {
            const std::string& name = h.fieldName[0];
            header << ' ' << h.field_type[0] << ' ' << name.substr(0, name.find(' ')) << ' '
                   << name.size();
        }
        header << '\n';
        EXPECT_EQ(header.str(), c.section_or("header", header.str()));
        EXPECT_EQ(map.stop, c.section_or("stop", "(no stop)"));
        EXPECT_EQ(map.err, c.section_or("stderr", ""));
        EXPECT_EQ(map.out, c.section_or("stdout", ""));
        EXPECT_EQ(std::to_string(map.state.ENpg.size()) + "\n",
                  c.section_or("count", std::to_string(map.state.ENpg.size()) + "\n"));
        std::string polygons;
        for (const Polygon& pg : map.state.ENpg) polygons += polygon_line(pg);
        EXPECT_EQ(polygons, c.section_or("polygons", polygons));
    }
}

}  // namespace
}  // namespace tulma
