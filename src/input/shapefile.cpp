#include "input/shapefile.hpp"

#include <bit>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "util/allocation.hpp"
#include "util/fatal_error.hpp"

namespace tulma {

namespace {

constexpr std::int32_t u_shp = 150;
constexpr std::int32_t u_dbf = 151;

constexpr std::size_t kNameLength = 220;
constexpr std::size_t kFieldNameLength = 11;
constexpr std::size_t kValueLength = 255;
constexpr std::size_t kAttrLength = 30;

constexpr std::int32_t kPolygon = 5;
constexpr std::int32_t kPolygonZ = 15;
// The counting pass keeps the parts and points of at most this many records.
constexpr std::int32_t kMaxRecords = 100000;

// Bytes of the main file's parts that follow a record's counts (ESRI Shapefile
// Technical Description): a 32-bit part index, an x and y pair of 64-bit reals
// per point, and for PolygonZ a z range, a z per point, an m range, an m per point.
constexpr std::int64_t kPartIndexBytes = 4;
constexpr std::int64_t kPointBytes = 16;
constexpr std::int64_t kPointZmBytes = 16;
constexpr std::int64_t kZmRangeBytes = 32;

// dBASE III table header: record count (32-bit), header length and record
// length (16-bit), all little-endian; then one 32-byte descriptor per field.
constexpr std::size_t kDbfRecordCount = 4;
constexpr std::size_t kDbfHeaderLength = 8;
constexpr std::size_t kDbfRecordLength = 10;
constexpr std::size_t kDbfCountsEnd = 12;
constexpr std::int64_t kDbfDescriptorStart = 32;
constexpr std::int64_t kDbfDescriptorSize = 32;
constexpr std::size_t kDescriptorType = 11;
constexpr std::size_t kDescriptorLength = 16;
// The smallest header: the 32 fixed bytes and the descriptor terminator.
constexpr std::int32_t kDbfLeastHeader = 33;

constexpr std::string_view kRecordOutOfSequence =
    "ERROR: record number in reading erosion coefficient shapefile.";

[[noreturn]] void stop(std::string text) {
    text.push_back('\n');
    throw FatalError(std::move(text));
}

// A map the reader cannot use safely: named through the error log, the file first.
[[noreturn]] void refuse(const std::string& text) { log_error("read_ENV", text); }

// "1 part", "2 parts": counts as the messages name them.
std::string counted(std::int64_t n, std::string_view noun) {
    std::string text = std::to_string(n);
    text.append(" ").append(noun);
    if (n != 1) text.push_back('s');
    return text;
}

std::string_view trim_right(std::string_view text) {
    const std::size_t end = text.find_last_not_of(' ');
    return end == std::string_view::npos ? std::string_view() : text.substr(0, end + 1);
}

// One of the map's two files: the 220-character name field the messages show,
// and the name the file is opened by.
struct MapFile {
    std::string field;
    std::string path;
};

MapFile map_file(std::string_view base, std::string_view extension) {
    MapFile file;
    file.field.assign(base).append(extension);
    file.field.resize(kNameLength, ' ');
    file.path = std::string(trim_right(file.field));
    return file;
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

FileHandle open_map_file(const MapFile& file) {
    // A directory of that name cannot be read as a file either.
    std::error_code ignored;
    if (file.path.empty() || std::filesystem::is_directory(file.path, ignored)) return nullptr;
    return FileHandle(std::fopen(file.path.c_str(), "rb"));
}

[[noreturn]] void stop_open_failure(const MapFile& file) {
    std::string text = "ERROR in opening file";
    text.append(file.field).append("\nfile ").append(file.field);
    text.append(" does not exist or is being used by another program");
    stop(std::move(text));
}

std::vector<unsigned char> read_whole(std::FILE* f, std::int32_t unit) {
    std::vector<unsigned char> bytes;
    unsigned char chunk[65536];
    for (;;) {
        const std::size_t n = std::fread(chunk, 1, sizeof chunk, f);
        bytes.insert(bytes.end(), chunk, chunk + n);
        if (n < sizeof chunk) break;
    }
    if (std::ferror(f) != 0) stop("ERROR reading unit " + std::to_string(unit));
    return bytes;
}

// ---- the main file -------------------------------------------------------

// Counting pass: the number of records and the parts and points of each, so
// that every array of the filling pass is created once at its size.
std::int32_t count_records(ShapeFileReader& shp, const std::string& shp_path,
                           std::vector<std::int32_t>& nparts, std::vector<std::int32_t>& npoints) {
    std::int32_t status = 0;
    std::int32_t word = 0;
    double real = 0.0;
    std::int32_t shape_type = 0;
    // File code, five unused words, file length and the version: their values
    // do not matter to the count.
    for (int k = 0; k < 8; ++k) shp.read_be_int(status, word);
    shp.read_le_int(status, shape_type);
    for (int k = 0; k < 8; ++k) shp.read_le_real(status, real);
    if (shape_type != kPolygon && shape_type != kPolygonZ) {
        stop("ERROR: wrong shapetype in reading shapefile.\nonly polygonz is supported");
    }
    const bool with_zm = shape_type == kPolygonZ;

    std::int32_t n_poly = 0;
    for (;;) {
        std::int32_t record_number = 0;
        std::int32_t content_length = 0;
        shp.read_be_int(status, record_number);
        shp.read_be_int(status, content_length);
        if (status == -1) break;
        ++n_poly;
        if (n_poly > kMaxRecords) {
            stop(with_zm
                     ? "ERROR: record number in erosion coefficient polygon exceed array size."
                     : "ERROR: record number in erosion coefficient polygon exceeds array size.");
        }
        const std::size_t r = static_cast<std::size_t>(n_poly - 1);
        // The counts grow with the records found, up to the limit above: a
        // small map does not pay for the largest one.
        if (!try_allocate([&] {
                nparts.push_back(0);
                npoints.push_back(0);
            })) {
            stop("ERROR allocating memory for nparts,npoints array");
        }
        shp.read_le_int(status, word);  // the record's own shape type
        for (int k = 0; k < 4; ++k) shp.read_le_real(status, real);
        shp.read_le_int(status, nparts[r]);
        shp.read_le_int(status, npoints[r]);

        // Counts that the rest of the file cannot hold are garbage, and would
        // only exhaust memory in the filling pass.
        const std::int64_t parts = nparts[r];
        const std::int64_t points = npoints[r];
        std::int64_t needed = kPartIndexBytes * parts + kPointBytes * points;
        if (with_zm) needed += kZmRangeBytes + kPointZmBytes * points;
        if (parts < 0 || points < 0 || needed > static_cast<std::int64_t>(shp.remaining())) {
            refuse(shp_path + " shape record " + std::to_string(n_poly) + " gives " +
                   counted(parts, "part") + " and " + counted(points, "point") +
                   ", more than the rest of the file holds");
        }
        shp.skip(static_cast<std::size_t>(needed));
    }
    return n_poly;
}

// The polygons at their counted sizes, every text blank and every number 0.
void create_polygons(std::vector<Polygon>& ENpg, std::int32_t n_poly,
                     const std::vector<std::int32_t>& nparts,
                     const std::vector<std::int32_t>& npoints) {
    constexpr const char* kPartMessage = "ERROR allocating memory for ENpg_tmp%part array";
    constexpr const char* kPointMessage = "ERROR allocating memory for ENpg%x,%y,%z,%m array";
    ENpg.clear();
    if (!try_allocate([&] { ENpg.resize(static_cast<std::size_t>(n_poly)); })) {
        stop(kPartMessage);
    }
    for (std::size_t i = 0; i < ENpg.size(); ++i) {
        Polygon& pg = ENpg[i];
        if (!try_allocate([&] { pg.part.assign(static_cast<std::size_t>(nparts[i]), 0); })) {
            stop(kPartMessage);
        }
        if (!try_allocate([&] {
                const std::size_t n = static_cast<std::size_t>(npoints[i]);
                pg.x.assign(n, 0.0);
                pg.y.assign(n, 0.0);
                pg.z.assign(n, 0.0);
                pg.m.assign(n, 0.0);
            })) {
            stop(kPointMessage);
        }
    }
}

void read_header(ShapeFileReader& shp, ShapefileState& map) {
    std::int32_t status = 0;
    std::int32_t unused = 0;
    shp.read_be_int(status, map.shp_code);
    for (int k = 0; k < 5; ++k) shp.read_be_int(status, unused);
    shp.read_be_int(status, map.shp_len);
    shp.read_le_int(status, map.shp_version);
    shp.read_le_int(status, map.shp_type);
    for (double& v : map.shp_box) shp.read_le_real(status, v);
    if (status == -1) stop("ERROR: in reading shapefile header.");
}

// Filling pass: the header into the map state, then every record into its
// polygon. Ring starts become 1-based.
void fill_polygons(ShapeFileReader& shp, const std::string& shp_path, ShapefileState& map,
                   std::vector<Polygon>& ENpg, const std::vector<std::int32_t>& nparts,
                   const std::vector<std::int32_t>& npoints) {
    shp.rewind();
    read_header(shp, map);
    const bool with_zm = map.shp_type == kPolygonZ;

    std::int32_t status = 0;
    std::int32_t record_number = 0;
    std::int32_t content_length = 0;
    std::int32_t word = 0;
    shp.read_be_int(status, record_number);
    shp.read_be_int(status, content_length);
    if (status == -1) return;

    for (std::int32_t i = 1;; ++i) {
        if (record_number != i) {
            // Not fatal: the records are taken in file order whatever their numbers.
            const std::string line = std::string(kRecordOutOfSequence) + ' ' +
                                     std::to_string(map.n_poly + 1) + ' ' + std::to_string(i - 1) +
                                     '\n';
            std::fwrite(line.data(), 1, line.size(), stderr);
        }
        if (i > map.n_poly) {
            stop("ERROR: record number in erosion coefficient polygon exceed array size.");
        }
        const std::size_t r = static_cast<std::size_t>(i - 1);
        Polygon& pg = ENpg[r];
        shp.read_le_int(status, word);
        shp.read_le_real(status, pg.xmin);
        shp.read_le_real(status, pg.ymin);
        shp.read_le_real(status, pg.xmax);
        shp.read_le_real(status, pg.ymax);
        shp.read_le_int(status, pg.nparts);
        shp.read_le_int(status, pg.npoints);
        // Both passes read the same bytes; these hold unless the file changed.
        if (pg.npoints > npoints[r]) {
            stop(std::string(
                     "ERROR: number of points in erosion coefficient polygon exceed array size. ") +
                 (with_zm ? "B " : "A ") + std::to_string(pg.npoints));
        }
        if (pg.nparts > nparts[r]) {
            stop(std::string(
                     "ERROR: number of parts in erosion coefficient polygon exceed array size. ") +
                 (with_zm ? "B " : "A ") + std::to_string(pg.nparts));
        }

        const std::size_t n_parts = static_cast<std::size_t>(pg.nparts);
        const std::size_t n_points = static_cast<std::size_t>(pg.npoints);
        for (std::size_t p = 0; p < n_parts; ++p) {
            std::int32_t first = 0;
            shp.read_le_int(status, first);
            // A ring must start at one of the record's points, or every ring
            // walk (area, point in polygon) would leave the point arrays.
            if (first < 0 || first >= pg.npoints) {
                refuse(shp_path + " shape record " + std::to_string(i) + " starts ring " +
                       std::to_string(p + 1) + " at point index " + std::to_string(first) +
                       ", but the record has " + counted(pg.npoints, "point"));
            }
            pg.part[p] = first + 1;
        }
        for (std::size_t k = 0; k < n_points; ++k) {
            shp.read_le_real(status, pg.x[k]);
            shp.read_le_real(status, pg.y[k]);
        }
        if (with_zm) {
            shp.read_le_real(status, pg.zmin);
            shp.read_le_real(status, pg.zmax);
            for (std::size_t k = 0; k < n_points; ++k) shp.read_le_real(status, pg.z[k]);
            shp.read_le_real(status, pg.mmin);
            shp.read_le_real(status, pg.mmax);
            for (std::size_t k = 0; k < n_points; ++k) shp.read_le_real(status, pg.m[k]);
        }

        shp.read_be_int(status, record_number);
        shp.read_be_int(status, content_length);
        if (status == -1) return;
    }
}

// ---- the attribute table -------------------------------------------------

std::int32_t le_int32(const std::vector<unsigned char>& b, std::size_t at) {
    const std::uint32_t u = std::uint32_t{b[at]} | std::uint32_t{b[at + 1]} << 8 |
                            std::uint32_t{b[at + 2]} << 16 | std::uint32_t{b[at + 3]} << 24;
    return static_cast<std::int32_t>(u);
}

std::int32_t le_int16(const std::vector<unsigned char>& b, std::size_t at) {
    const auto u = static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
    return static_cast<std::int16_t>(u);
}

void read_table(const std::vector<unsigned char>& dbf, const std::string& dbf_path,
                const std::string& shp_path, const std::string& field_name, ShapefileState& map,
                std::vector<Polygon>& ENpg) {
    if (dbf.size() < kDbfCountsEnd) {
        refuse(dbf_path + " is too short for the record count and lengths of a dBASE header");
    }
    const std::int32_t n_records = le_int32(dbf, kDbfRecordCount);
    const std::int32_t header_length = le_int16(dbf, kDbfHeaderLength);
    const std::int32_t record_length = le_int16(dbf, kDbfRecordLength);
    // Polygons and table records are paired by their place in the files.
    if (n_records != map.n_poly) {
        refuse(dbf_path + " holds " + counted(n_records, "record") + " but " + shp_path +
               " holds " + counted(map.n_poly, "shape"));
    }
    map.n_poly = n_records;

    constexpr const char* kTableMessage =
        "ERROR allocating memory for fieldName, SHP_RecordNumber array";
    if (!try_allocate([&] {
            map.fieldName.assign(ShapefileState::kMaxFields, std::string(kFieldNameLength, ' '));
            map.SHP_RecordNumber.assign(static_cast<std::size_t>(map.n_poly),
                                        std::string(kValueLength, ' '));
        })) {
        stop(kTableMessage);
    }
    map.field_type.fill(' ');
    map.field_len.fill(0);
    map.field_pos.fill(0);

    if (header_length < kDbfLeastHeader) {
        refuse(dbf_path + " gives a header length of " + std::to_string(header_length) +
               " bytes, at least 33 are needed");
    }
    map.n_field = (header_length - 32) / 32;
    if (map.n_field > ShapefileState::kMaxFields) {
        refuse(dbf_path + " describes " + std::to_string(map.n_field) +
               " fields, at most 128 are allowed");
    }
    if (kDbfDescriptorStart + kDbfDescriptorSize * map.n_field >
        static_cast<std::int64_t>(dbf.size())) {
        refuse(dbf_path + " ends inside the descriptors of its " + counted(map.n_field, "field"));
    }

    std::int32_t chosen = -1;  // index into the field list; none yet
    const std::string_view wanted = trim_right(field_name);
    std::int32_t pos = 1;
    for (std::int32_t f = 0; f < map.n_field; ++f) {
        const std::size_t at =
            static_cast<std::size_t>(kDbfDescriptorStart + kDbfDescriptorSize * f);
        const std::size_t uf = static_cast<std::size_t>(f);
        std::string& name = map.fieldName[uf];
        bool ended = false;  // dBASE pads a name with zero bytes
        for (std::size_t k = 0; k < kFieldNameLength; ++k) {
            const char c = static_cast<char>(dbf[at + k]);
            ended = ended || c == '\0';
            name[k] = ended ? ' ' : (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
        }
        map.field_type[uf] = static_cast<char>(dbf[at + kDescriptorType]);
        map.field_len[uf] = dbf[at + kDescriptorLength];
        map.field_pos[uf] = pos;
        pos += map.field_len[uf];
        if (chosen < 0 && trim_right(name) == wanted) chosen = f;
    }
    // No field of that name: every polygon keeps its blank attribute.
    if (chosen < 0) return;

    const std::size_t uc = static_cast<std::size_t>(chosen);
    const std::int64_t length = map.field_len[uc];
    const std::int64_t first_record = 33 + kDbfDescriptorSize * map.n_field;
    for (std::int32_t r = 0; r < map.n_poly; ++r) {
        const std::int64_t at = first_record + std::int64_t{record_length} * r + map.field_pos[uc];
        if (at < 0 || at + length > static_cast<std::int64_t>(dbf.size())) {
            refuse("the " + std::string(trim_right(map.fieldName[uc])) + " value of record " +
                   std::to_string(r + 1) + " lies outside " + dbf_path);
        }
        std::string& value = map.SHP_RecordNumber[static_cast<std::size_t>(r)];
        for (std::int64_t k = 0; k < length; ++k) {
            const char c = static_cast<char>(dbf[static_cast<std::size_t>(at + k)]);
            value[static_cast<std::size_t>(k)] = c == '"' ? ' ' : c;
        }
        // Left-align: numeric fields are right-aligned in dBASE, and a value
        // that was quoted now starts with the quote's blank.
        const std::size_t lead = value.find_first_not_of(' ');
        if (lead != std::string::npos && lead > 0) {
            value.erase(0, lead);
            value.resize(kValueLength, ' ');
        }
        ENpg[static_cast<std::size_t>(r)].attr = value.substr(0, kAttrLength);
    }
}

// ---- areas and centroids -------------------------------------------------

// The ring-set area and centroid by the shoelace sums. Clockwise outer rings
// (the shapefile's convention) give a positive area, counter-clockwise holes
// take theirs away.
void compute_area_and_centroid(Polygon& pg) {
    if (pg.nparts == 0) {
        // No ring: nothing to divide by; the centroid is set to the origin.
        pg.area = 0.0;
        pg.cx = 0.0;
        pg.cy = 0.0;
        return;
    }
    double area = 0.0;
    double sx = 0.0;
    double sy = 0.0;
    const std::size_t n_parts = static_cast<std::size_t>(pg.nparts);
    for (std::size_t p = 0; p < n_parts; ++p) {
        // 1-based first and last point of the ring.
        const std::int32_t s = pg.part[p];
        const std::int32_t e = p + 1 == n_parts ? pg.npoints : pg.part[p + 1] - 1;
        for (std::int32_t i = s; i < e; ++i) {
            const std::size_t a = static_cast<std::size_t>(i - 1);
            const std::size_t b = a + 1;
            const double c = pg.x[a] * pg.y[b] - pg.x[b] * pg.y[a];
            sx += (pg.x[a] + pg.x[b]) * c;
            sy += (pg.y[a] + pg.y[b]) * c;
            area -= 0.5 * c;
        }
    }
    pg.area = area;
    pg.cx = -((sx / 6.0) / area);
    pg.cy = -((sy / 6.0) / area);
}

}  // namespace

// ---- ShapeFileReader -----------------------------------------------------

const unsigned char* ShapeFileReader::take(std::size_t n) {
    if (remaining() < n) {
        pos_ = bytes_.size();
        return nullptr;
    }
    const unsigned char* p = bytes_.data() + pos_;
    pos_ += n;
    return p;
}

void ShapeFileReader::skip(std::size_t n) { pos_ += n < remaining() ? n : remaining(); }

void ShapeFileReader::read_be_int(std::int32_t& status, std::int32_t& target) {
    const unsigned char* b = take(4);
    if (b == nullptr) {
        status = -1;
        return;
    }
    const std::uint32_t u = std::uint32_t{b[0]} << 24 | std::uint32_t{b[1]} << 16 |
                            std::uint32_t{b[2]} << 8 | std::uint32_t{b[3]};
    target = static_cast<std::int32_t>(u);
    status = 0;
}

void ShapeFileReader::read_le_int(std::int32_t& status, std::int32_t& target) {
    const unsigned char* b = take(4);
    if (b == nullptr) {
        status = -1;
        return;
    }
    const std::uint32_t u = std::uint32_t{b[0]} | std::uint32_t{b[1]} << 8 |
                            std::uint32_t{b[2]} << 16 | std::uint32_t{b[3]} << 24;
    target = static_cast<std::int32_t>(u);
    status = 0;
}

void ShapeFileReader::read_le_real(std::int32_t& status, double& target) {
    const unsigned char* b = take(8);
    if (b == nullptr) {
        status = -1;
        return;
    }
    std::uint64_t u = 0;
    for (int k = 7; k >= 0; --k) u = u << 8 | b[k];
    target = std::bit_cast<double>(u);
    status = 0;
}

// ---- read_ENV ------------------------------------------------------------

void read_ENV(RunState& state, const std::string& shape_file, const std::string& field_name,
              std::int32_t trace) {
    if (trace > 0) std::fwrite("Entry:   read_ENV\n", 1, 18, stdout);
    ShapefileState& map = state.shapefile;

    // Both files are named by what precedes the last dot of the name given,
    // so "veg.shp", "veg.dbf" and "veg" all name the same pair.
    const std::string_view given = shape_file;
    const std::size_t dot = given.rfind('.');
    const std::string_view base =
        dot == std::string_view::npos ? trim_right(given) : given.substr(0, dot);
    const MapFile shp_file = map_file(base, ".shp");
    const MapFile dbf_file = map_file(base, ".dbf");
    map.shp_name = shp_file.field;

    const FileHandle shp_handle = open_map_file(shp_file);
    if (!shp_handle) stop_open_failure(shp_file);
    const FileHandle dbf_handle = open_map_file(dbf_file);
    if (!dbf_handle) stop_open_failure(dbf_file);

    const std::vector<unsigned char> shp_bytes = read_whole(shp_handle.get(), u_shp);
    ShapeFileReader shp(shp_bytes);

    std::vector<std::int32_t> nparts;
    std::vector<std::int32_t> npoints;
    map.n_poly = count_records(shp, shp_file.path, nparts, npoints);
    create_polygons(state.ENpg, map.n_poly, nparts, npoints);
    fill_polygons(shp, shp_file.path, map, state.ENpg, nparts, npoints);

    const std::vector<unsigned char> dbf_bytes = read_whole(dbf_handle.get(), u_dbf);
    read_table(dbf_bytes, dbf_file.path, shp_file.path, field_name, map, state.ENpg);

    for (Polygon& pg : state.ENpg) compute_area_and_centroid(pg);

    if (trace > 0) std::fwrite("Exit:    read_ENV\n", 1, 18, stdout);
}

}  // namespace tulma
