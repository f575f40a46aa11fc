#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace tulma::testing {

// Byte builders for polygon maps written straight from numbers: the ESRI
// shapefile main file (.shp) and a dBASE III table (.dbf). Tests use them for
// files no GIS would write (cut short, out of sequence, lying counts) and for
// small maps in tests of the readers that use the polygons.

inline void put_be32(std::string& s, std::int32_t v) {
    const auto u = static_cast<std::uint32_t>(v);
    const char b[4] = {static_cast<char>(u >> 24), static_cast<char>(u >> 16),
                       static_cast<char>(u >> 8), static_cast<char>(u)};
    s.append(b, 4);
}
inline void put_le32(std::string& s, std::int32_t v) {
    const auto u = static_cast<std::uint32_t>(v);
    const char b[4] = {static_cast<char>(u), static_cast<char>(u >> 8), static_cast<char>(u >> 16),
                       static_cast<char>(u >> 24)};
    s.append(b, 4);
}
inline void put_le64(std::string& s, double v) {
    std::uint64_t u = 0;
    std::memcpy(&u, &v, sizeof u);
    char b[8];
    for (int k = 0; k < 8; ++k) b[k] = static_cast<char>(u >> (8 * k));
    s.append(b, 8);
}
// Overwrites 2 bytes little-endian at a byte offset (for patching table headers).
inline void set_le16(std::string& s, std::size_t at, std::int32_t v) {
    const auto u = static_cast<std::uint32_t>(v);
    s[at] = static_cast<char>(u & 0xFFu);
    s[at + 1] = static_cast<char>((u >> 8) & 0xFFu);
}
inline void set_le32(std::string& s, std::size_t at, std::int32_t v) {
    std::string b;
    put_le32(b, v);
    s.replace(at, 4, b);
}

// One shape record. parts are the 0-based ring starts as the file stores them.
struct ShapeRecord {
    std::vector<std::int32_t> parts;
    std::vector<double> x, y;
    std::vector<double> z, m;  // PolygonZ files only; one per point
    double xmin = 0.0, ymin = 0.0, xmax = 0.0, ymax = 0.0;
    double zmin = 0.0, zmax = 0.0, mmin = 0.0, mmax = 0.0;
    std::optional<std::int32_t> number;      // record header number; default: its place
    std::optional<std::int32_t> num_parts;   // stored NumParts; default: parts.size()
    std::optional<std::int32_t> num_points;  // stored NumPoints; default: x.size()
};

// A single-ring record from its points (x0, y0, x1, y1, ...), box from the points.
inline ShapeRecord ring_record(const std::vector<double>& xy) {
    ShapeRecord r;
    r.parts = {0};
    for (std::size_t k = 0; k + 1 < xy.size(); k += 2) {
        r.x.push_back(xy[k]);
        r.y.push_back(xy[k + 1]);
    }
    r.xmin = r.xmax = r.x.front();
    r.ymin = r.ymax = r.y.front();
    for (std::size_t k = 0; k < r.x.size(); ++k) {
        r.xmin = std::min(r.xmin, r.x[k]);
        r.xmax = std::max(r.xmax, r.x[k]);
        r.ymin = std::min(r.ymin, r.y[k]);
        r.ymax = std::max(r.ymax, r.y[k]);
    }
    return r;
}

// A whole .shp file: the 100-byte header (file code 9994, length in 16-bit
// words, version 1000, the shape type, a zero box) and the records.
inline std::string shp_file(std::int32_t shape_type, const std::vector<ShapeRecord>& records) {
    std::string file;
    put_be32(file, 9994);
    for (int k = 0; k < 5; ++k) put_be32(file, 0);
    put_be32(file, 0);  // file length, set at the end
    put_le32(file, 1000);
    put_le32(file, shape_type);
    for (int k = 0; k < 8; ++k) put_le64(file, 0.0);
    for (std::size_t i = 0; i < records.size(); ++i) {
        const ShapeRecord& r = records[i];
        put_be32(file, r.number.value_or(static_cast<std::int32_t>(i + 1)));
        const std::size_t length_at = file.size();
        put_be32(file, 0);  // content length, set below
        put_le32(file, shape_type);
        for (double v : {r.xmin, r.ymin, r.xmax, r.ymax}) put_le64(file, v);
        put_le32(file, r.num_parts.value_or(static_cast<std::int32_t>(r.parts.size())));
        put_le32(file, r.num_points.value_or(static_cast<std::int32_t>(r.x.size())));
        for (std::int32_t p : r.parts) put_le32(file, p);
        for (std::size_t k = 0; k < r.x.size(); ++k) {
            put_le64(file, r.x[k]);
            put_le64(file, r.y[k]);
        }
        if (shape_type == 15) {
            put_le64(file, r.zmin);
            put_le64(file, r.zmax);
            for (double v : r.z) put_le64(file, v);
            put_le64(file, r.mmin);
            put_le64(file, r.mmax);
            for (double v : r.m) put_le64(file, v);
        }
        std::string words;
        put_be32(words, static_cast<std::int32_t>((file.size() - length_at - 4) / 2));
        file.replace(length_at, 4, words);
    }
    std::string words;
    put_be32(words, static_cast<std::int32_t>(file.size() / 2));
    file.replace(24, 4, words);
    return file;
}

struct DbfField {
    std::string name;  // at most 11 characters, zero-padded in the file
    char type = 'C';
    std::uint8_t length = 10;
};

// A whole dBASE III table: header length 33 + 32 per field, record length 1 +
// the field lengths, every value left-aligned and blank-padded (cut to its
// field), each record after a blank deletion flag, then the 0x1A end mark.
inline std::string dbf_file(const std::vector<DbfField>& fields,
                            const std::vector<std::vector<std::string>>& records) {
    std::int32_t record_length = 1;
    for (const DbfField& f : fields) record_length += f.length;
    std::string file;
    file.push_back('\x03');
    file.append("\x7e\x0c\x05", 3);  // last update 2026-12-05
    put_le32(file, static_cast<std::int32_t>(records.size()));
    file.append(4, '\0');
    set_le16(file, 8, 33 + 32 * static_cast<std::int32_t>(fields.size()));
    set_le16(file, 10, record_length);
    file.append(20, '\0');
    for (const DbfField& f : fields) {
        std::string d(32, '\0');
        d.replace(0, f.name.size(), f.name);
        d[11] = f.type;
        d[16] = static_cast<char>(f.length);
        file += d;
    }
    file.push_back('\x0d');
    for (const std::vector<std::string>& values : records) {
        file.push_back(' ');
        for (std::size_t k = 0; k < fields.size(); ++k) {
            std::string v = k < values.size() ? values[k] : std::string();
            v.resize(fields[k].length, ' ');
            file += v;
        }
    }
    file.push_back('\x1a');
    return file;
}

// A table of one character field CODE (width 10) holding the given codes.
inline std::string code_table(const std::vector<std::string>& codes) {
    std::vector<std::vector<std::string>> records;
    for (const std::string& c : codes) records.push_back({c});
    return dbf_file({{"CODE", 'C', 10}}, records);
}

// Writes base.shp and base.dbf: one unit square per code, side by side from
// the origin, the codes in a field CODE. For tests whose parameter file names a
// map that only needs to be readable.
inline void write_map(const std::string& base, const std::vector<std::string>& codes) {
    std::vector<ShapeRecord> squares;
    for (std::size_t k = 0; k < codes.size(); ++k) {
        const double x = static_cast<double>(k);
        squares.push_back(ring_record({x, 0, x, 1, x + 1, 1, x + 1, 0, x, 0}));
    }
    std::ofstream(base + ".shp", std::ios::binary) << shp_file(5, squares);
    std::ofstream(base + ".dbf", std::ios::binary) << code_table(codes);
}

}  // namespace tulma::testing
